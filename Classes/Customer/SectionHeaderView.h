#pragma once
#include "Platform/UI/View.h"

#include <memory>
#include <string>

namespace ui {
class Button;
class ImageView;
class Label;
}

class SectionHeaderView;

class SectionHeaderViewDelegate {
public:
    virtual ~SectionHeaderViewDelegate() = default;
    virtual void sectionHeaderViewSectionOpened(SectionHeaderView&, int section) {}
    virtual void sectionHeaderViewSectionClosed(SectionHeaderView&, int section) {}
};

// The tappable header of one collapsible customer group.
class SectionHeaderView : public ui::View {
public:
    SectionHeaderView(const gfx::Rect& frame, const std::string& title, int section, bool opened,
                      SectionHeaderViewDelegate* delegate);
    const char* className() const override { return "SectionHeaderView"; }

    ui::Label& titleLabel() const { return *m_titleLabel; }
    ui::Button& disclosureButton() const { return *m_disclosureButton; }
    int section() const { return m_section; }
    void clearDelegate() { m_delegate = nullptr; }

    // Flips the disclosure and tells the delegate, which may flip it back.
    void toggleAction();
    void touchesEnded(const std::vector<ui::Touch*>& touches, ui::Event& event) override;

private:
    std::shared_ptr<ui::ImageView> m_sectionbg;
    std::shared_ptr<ui::Label> m_titleLabel;
    std::shared_ptr<ui::Button> m_disclosureButton;
    int m_section;
    SectionHeaderViewDelegate* m_delegate;
};
