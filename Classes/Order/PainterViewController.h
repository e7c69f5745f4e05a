#pragma once
#include "Common/BaseViewController.h"
#include "Platform/Graphics/Image.h"

#include <functional>
#include <memory>
#include <optional>

namespace ui {
class ImageView;
class NavigationBar;
class NavigationItem;
class View;
}

// The full-screen pad the customer signs on. DONE hands the part of the drawing inside the
// signing area to the block (a null image when nothing was drawn); CANCEL hands nothing.
class PainterViewController : public BaseViewController {
public:
    using Block = std::function<void(const gfx::Image& signature)>;
    // The signing area, of the order form's signature box shape (192 : 132).
    static gfx::Rect canvasFrame() { return {76, 104, 872, 600}; }

    const char* className() const override { return "PainterViewController"; }
    unsigned supportedInterfaceOrientations() const override { return ui::InterfaceOrientationMaskLandscape; }

    void setBlock(Block block) { m_block = std::move(block); }
    const Block& block() const { return m_block; }
    const std::shared_ptr<ui::NavigationBar>& naviBar() const { return m_naviBar; }
    const std::shared_ptr<ui::View>& canvasView() const { return m_canvasView; }
    const std::shared_ptr<ui::ImageView>& painterView() const { return m_painterView; }
    gfx::Point lastPoint() const { return m_lastPoint; }
    bool mouseMoved() const { return m_mouseMoved; }

    void viewDidLoad() override;
    void viewDidUnload() override;
    void updateLanguage(ui::Responder* sender) override;

    void cancelButtonTapped();
    void doneButtonTapped();
    // One stroke segment into the drawing; A to A leaves a round dot.
    void drawLineFromPointToPoint(gfx::Point from, gfx::Point to);
    // The part of the image inside the canvas frame; null for null.
    gfx::Image decompressedImage(const gfx::Image& image) const;

    void touchesBegan(const std::vector<ui::Touch*>& touches, ui::Event& event) override;
    void touchesMoved(const std::vector<ui::Touch*>& touches, ui::Event& event) override;
    void touchesEnded(const std::vector<ui::Touch*>& touches, ui::Event& event) override;
    void touchesCancelled(const std::vector<ui::Touch*>&, ui::Event&) override {}

private:
    gfx::Point touchPoint(const std::vector<ui::Touch*>& touches) const;

    std::shared_ptr<ui::NavigationBar> m_naviBar;
    std::shared_ptr<ui::NavigationItem> m_barItem;
    std::shared_ptr<ui::ImageView> m_barBackground;
    std::shared_ptr<ui::View> m_canvasView;
    std::shared_ptr<ui::ImageView> m_painterView;
    gfx::Point m_lastPoint;
    bool m_mouseMoved = false;
    Block m_block;
};
