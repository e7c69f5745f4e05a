#pragma once
#include "Platform/Graphics/Image.h"
#include "Platform/UI/View.h"

#include <functional>
#include <memory>
#include <string>

namespace ui {
class ImageView;
class Label;
}

// A check box with a text label, in one of five picture sets; always 36 points high.
class BRCheckBoxView : public ui::View {
public:
    enum Style { Box = 0, Dark = 1, Glossy = 2, Green = 3, Mono = 4 };
    using StateChanged = std::function<void(BRCheckBoxView&)>;

    BRCheckBoxView(const gfx::Rect& frame, int style, bool checked);
    const char* className() const override { return "BRCheckBoxView"; }

    int style() const { return m_style; }
    bool checked() const { return m_checked; }
    void setChecked(bool checked);
    bool enabled() const { return m_enabled; }
    void setEnabled(bool enabled);
    void setText(const std::string& text);

    // Called after each user toggle while the target lives; wins over the block.
    void setStateChangedTargetSelector(std::weak_ptr<void> target, StateChanged selector);
    void setStateChangedBlock(StateChanged block) { m_stateChangedBlock = std::move(block); }

    ui::ImageView& checkBoxImageView() const { return *m_checkBoxImageView; }
    ui::Label& textLabel() const { return *m_textLabel; }

    // Null for a style outside 0..4.
    static gfx::Image checkBoxImageForStyle(int style, bool checked);
    static gfx::Rect imageViewFrameForCheckBoxImage(const gfx::Image& image);

    bool canBecomeFirstResponder() const override { return true; }
    void touchesBegan(const std::vector<ui::Touch*>& touches, ui::Event& event) override;
    void touchesEnded(const std::vector<ui::Touch*>& touches, ui::Event& event) override;
    void touchesCancelled(const std::vector<ui::Touch*>& touches, ui::Event& event) override;
    void layoutSubviews() override;

private:
    void showImage();
    void placeImage();

    int m_style;
    bool m_checked;
    bool m_enabled = true;
    std::shared_ptr<ui::ImageView> m_checkBoxImageView;
    std::shared_ptr<ui::Label> m_textLabel;
    StateChanged m_stateChangedSelector;
    std::weak_ptr<void> m_target;
    bool m_hasTarget = false;
    StateChanged m_stateChangedBlock;
};
