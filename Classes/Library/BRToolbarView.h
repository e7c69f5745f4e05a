#pragma once
#include "Platform/UI/GradientView.h"
#include "Platform/UI/ImageView.h"

// The base of the reader's top bars: the skin's bar picture, a little see-through.
class BRToolbarView : public ui::GradientView {
public:
    explicit BRToolbarView(const gfx::Rect& frame);
    const char* className() const override { return "BRToolbarView"; }
    const std::shared_ptr<ui::ImageView>& backgroundImageView() const { return m_background; }

private:
    std::shared_ptr<ui::ImageView> m_background;
};

// A thin strip of shade under or over a bar.
class BRToolbarShadow : public ui::GradientView {
public:
    explicit BRToolbarShadow(const gfx::Rect& frame);
    const char* className() const override { return "BRToolbarShadow"; }
};
