#pragma once
#include "Platform/UI/TextField.h"

#include <optional>
#include <string>

// A field that shows a grey completion after what was typed (the login form's user name), on
// the typed text's baseline.
class AutoInputTextField : public ui::TextField {
public:
    using ui::TextField::TextField;
    const char* className() const override { return "AutoInputTextField"; }

    const std::optional<std::string>& autoTextStr() const { return m_autoTextStr; }
    double x() const { return m_x; }
    // Stores the suggestion (none removes it) and where it starts, and redraws.
    void showAutoTextWithPointX(const std::optional<std::string>& text, double x);

    void drawRect(gfx::Context& context, const gfx::Rect& rect) override;

private:
    double m_x = 0;
    std::optional<std::string> m_autoTextStr;
};
