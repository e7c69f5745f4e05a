#pragma once
#include "Platform/UI/View.h"

#include <memory>
#include <string>

namespace ui {
class Button;
class Control;
}
class SwitchButton;

class SwitchButtonDelegate {
public:
    virtual ~SwitchButtonDelegate() = default;
    // Told before the switch's currentIndex changes when a user taps; after it otherwise.
    virtual void selectSwitchButtonIndex(SwitchButton& sender, int index) {}
};

// Two halves drawn from the skin, one of them selected; tag 0 is the left half, 1 the right.
class SwitchButton : public ui::View {
public:
    explicit SwitchButton(const gfx::Rect& frame);
    const char* className() const override { return "SwitchButton"; }

    SwitchButtonDelegate* delegate() const { return m_delegate; }
    void setDelegate(SwitchButtonDelegate* delegate) { m_delegate = delegate; }

    void setLeftTittle(const std::string& title);
    void setRightTittle(const std::string& title);
    std::string leftTittle() const;
    std::string rightTittle() const;

    int currentIndex() const { return m_currentIndex; }
    void setCurrentIndex(int index);

    ui::Button* btnLeft() const { return btnLeft_.get(); }
    ui::Button* btnRight() const { return btnRight_.get(); }

private:
    void btnClick(ui::Control& sender);
    void selectHalf(int index);

    std::shared_ptr<ui::Button> btnLeft_;
    std::shared_ptr<ui::Button> btnRight_;
    SwitchButtonDelegate* m_delegate = nullptr;
    int m_currentIndex = 0;
};
