#pragma once
#include "Platform/UI/AlertView.h"
#include "Platform/UI/TextField.h"
#include "Platform/UI/ViewController.h"

#include <memory>

class QVTextField;
namespace ui {
class Label;
}

class DiscountPopControllerDelegate {
public:
    virtual ~DiscountPopControllerDelegate() = default;
    // The rate typed, percent off; only a valid text is reported.
    virtual void discountRatChanged(double rate) {}
    virtual void discountWillEndInput() {}
};

// The whole-order discount rate in a small popup; the order editor makes it once and reuses it.
class DiscountPopController : public ui::ViewController, public ui::TextFieldDelegate, public ui::AlertViewDelegate {
public:
    static constexpr gfx::Size kContentSize{125, 50};

    const char* className() const override { return "DiscountPopController"; }
    void viewDidLoad() override;
    void viewDidAppear(bool animated) override;

    const std::shared_ptr<QVTextField>& txtDiscountRat();
    DiscountPopControllerDelegate* delegate() const { return m_delegate; }
    void setDelegate(DiscountPopControllerDelegate* delegate) { m_delegate = delegate; }

    void textFieldDidBeginEditing(ui::TextField& field) override;
    bool textFieldShouldEndEditing(ui::TextField& field) override;
    void textFieldDidEndEditing(ui::TextField& field) override;
    bool textFieldShouldReturn(ui::TextField& field) override;

private:
    std::shared_ptr<QVTextField> m_txtDiscountRat;
    std::shared_ptr<ui::Label> m_percentLabel;
    DiscountPopControllerDelegate* m_delegate = nullptr;
};
