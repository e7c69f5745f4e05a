#pragma once
#include "Platform/UI/Label.h"

#include <memory>

class LinkLabel;

class LinkLabelDelegate {
public:
    virtual ~LinkLabelDelegate() = default;
    virtual void linkLabelToucheTouchesWtihTag(LinkLabel& label, int tag) {}
};

// An underlined label that can be tapped: it lights up while touched and tells its delegate
// when the touch ends.
class LinkLabel : public ui::Label {
public:
    LinkLabel();
    explicit LinkLabel(const gfx::Rect& frame);
    const char* className() const override { return "LinkLabel"; }

    // Not kept alive by the label.
    void setDelegate(const std::shared_ptr<LinkLabelDelegate>& delegate) { m_delegate = delegate; }

    void drawRect(gfx::Context& context, const gfx::Rect& rect) override;
    void touchesBegan(const std::vector<ui::Touch*>& touches, ui::Event& event) override;
    void touchesEnded(const std::vector<ui::Touch*>& touches, ui::Event& event) override;
    void touchesCancelled(const std::vector<ui::Touch*>& touches, ui::Event& event) override;

private:
    void setUp();
    void touchFinished();

    std::weak_ptr<LinkLabelDelegate> m_delegate;
};
