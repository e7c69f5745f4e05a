#pragma once
#include "Common/BaseViewController.h"

#include <memory>

namespace ui {
class Button;
}

// Hears COPY and DELETE. The order is named by its serial, taken when the popover opened:
// the list may be fetched again while the popover is up.
class HistoryEditPopControllerDelegate {
public:
    virtual ~HistoryEditPopControllerDelegate() = default;
    virtual void historyOrderCopy(int cellTag, int orderSerial) = 0;
    virtual void historyOrderDelete(int cellTag, int orderSerial) = 0;
};

// The copy/delete buttons shown over a long-pressed order row.
class HistoryEditPopController : public BaseViewController {
public:
    static constexpr int kCopyTag = 1000;
    static constexpr int kDeleteTag = 1001;

    HistoryEditPopController(int cellTag, int orderSerial);
    const char* className() const override { return "HistoryEditPopController"; }

    int cellTag() const { return m_cellTag; }
    int orderSerial() const { return m_orderSerial; }
    void setDelegate(HistoryEditPopControllerDelegate* delegate) { m_delegate = delegate; }

    void viewDidLoad() override;
    void updateLanguage(ui::Responder* sender) override;
    ui::Button* btnCopy() const { return m_btnCopy.get(); }
    ui::Button* btnDelete() const { return m_btnDelete.get(); }

private:
    std::shared_ptr<ui::Button> makeButton(int tag, double x, const char* highlighted);
    void buttonClick(int tag);

    int m_cellTag;
    int m_orderSerial;
    HistoryEditPopControllerDelegate* m_delegate = nullptr;
    std::shared_ptr<ui::Button> m_btnCopy;
    std::shared_ptr<ui::Button> m_btnDelete;
};
