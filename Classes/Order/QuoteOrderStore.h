#pragma once
#include <memory>

// The process-wide order store. For now it holds the customer-module switch that the
// order tables consult when they build and mark the upload document.
class QuoteOrderStore {
public:
    // Made on first use; freeInstance forgets it (logout), and the next use makes a new one.
    static std::shared_ptr<QuoteOrderStore> sharedQuoteOrderStore();
    static void freeInstance();

    // YES when the store is made; the customer screen and the sync set it.
    bool isCustomerOnShow() const { return m_isCustomerOnShow; }
    void setIsCustomerOnShow(bool v) { m_isCustomerOnShow = v; }

private:
    bool m_isCustomerOnShow = true;
};
