#pragma once
#include "Platform/UI/GradientView.h"
#include "Platform/UI/ImageView.h"
#include "Platform/UI/Label.h"

#include <string>

// The base of the reader's top bars: the skin's bar picture, a little see-through.
class BRToolbarView : public ui::GradientView {
public:
    explicit BRToolbarView(const gfx::Rect& frame);
    const char* className() const override { return "BRToolbarView"; }
    const std::shared_ptr<ui::ImageView>& backgroundImageView() const { return m_background; }

    // The bars' centred white title, shrinking to fit its width.
    static std::shared_ptr<ui::Label> makeTitleLabel(const gfx::Rect& frame, const std::string& text);
    // A reader bar fades out in a quarter second and is hidden at the end (taps pass while it
    // fades); fading in, it shows at once. Nothing happens when it is already so.
    static void fadeOut(ui::View& bar);
    static void fadeIn(ui::View& bar);

private:
    std::shared_ptr<ui::ImageView> m_background;
};

// A thin strip of shade under or over a bar.
class BRToolbarShadow : public ui::GradientView {
public:
    explicit BRToolbarShadow(const gfx::Rect& frame);
    const char* className() const override { return "BRToolbarShadow"; }
};
