#pragma once
#include "Platform/UI/View.h"

#include <memory>

namespace ui {
class Button;
class Label;
class Switch;
}

class CustomerInfoViewHiddenCellDelegate {
public:
    virtual ~CustomerInfoViewHiddenCellDelegate() = default;
    virtual void switchViewAction(bool on) {}
    virtual void submitAction() {}
};

// The bar over the customer detail: the hide switch and, for a local customer, SUBMIT.
class CustomerInfoViewHiddenCell : public ui::View {
public:
    explicit CustomerInfoViewHiddenCell(const gfx::Rect& frame);
    const char* className() const override { return "CustomerInfoViewHiddenCell"; }

    ui::Label& hiddenFromLabel() const { return *m_label; }
    ui::Switch& switchView() const { return *m_switch; }
    ui::Button& submitButton() const { return *m_submit; }
    CustomerInfoViewHiddenCellDelegate* delegate = nullptr;

private:
    std::shared_ptr<ui::Label> m_label;
    std::shared_ptr<ui::Switch> m_switch;
    std::shared_ptr<ui::Button> m_submit;
};
