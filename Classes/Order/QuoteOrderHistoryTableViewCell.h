#pragma once
#include "Platform/UI/TableViewCell.h"

#include <memory>
#include <optional>
#include <string>

namespace ui {
class Button;
class ImageView;
class Label;
}

// One stored order in the orders list: number, customer, signed badge, price, time, note,
// its SUBMIT button and a tint shown while the row is touched.
class QuoteOrderHistoryTableViewCell : public ui::TableViewCell {
public:
    static constexpr const char* kReuseIdentifier = "historyOrdersTableViewCell";

    QuoteOrderHistoryTableViewCell();
    const char* className() const override { return "QuoteOrderHistoryTableViewCell"; }

    void setOderNumber(const std::optional<std::string>& number);
    // Enables SUBMIT for a name that is not blank; the screen may narrow it afterwards.
    void setCustomer(const std::optional<std::string>& name);
    void setStrPrice(const std::string& price);
    // "MM/dd/yyyy HH:mm:ss" shown as the time and the date in the language's short form.
    void setStrOrderTime(const std::optional<std::string>& time);
    void setNote(const std::string& note);
    void setIsSigned(bool isSigned);
    bool isSigned() const { return m_isSigned; }
    void showTouched(bool touched);
    bool isTouched() const;
    // The SUBMIT title and the badge of the current language.
    void updateLanguage();
    void clear();

    ui::Label& lblOrderNum() const { return *m_lblOrderNum; }
    ui::Label& lblCustomer() const { return *m_lblCustomer; }
    ui::Label& lblPrice() const { return *m_lblPrice; }
    ui::Label& lblOrderTime() const { return *m_lblOrderTime; }
    ui::Label& lblNote() const { return *m_lblNote; }
    ui::ImageView& signedView() const { return *m_signedView; }
    ui::Button& btnSubmit() const { return *m_btnSubmit; }

    // The shown form of a stored order time; "" when it does not parse.
    static std::string shownOrderTime(const std::optional<std::string>& time);

private:
    std::shared_ptr<ui::Label> m_lblOrderNum;
    std::shared_ptr<ui::Label> m_lblCustomer;
    std::shared_ptr<ui::ImageView> m_signedView;
    std::shared_ptr<ui::Label> m_lblPrice;
    std::shared_ptr<ui::Label> m_lblOrderTime;
    std::shared_ptr<ui::Label> m_lblNote;
    std::shared_ptr<ui::Button> m_btnSubmit;
    std::shared_ptr<ui::View> m_tintView;
    bool m_isSigned = false;
};
