#include "Classes/Library/PdfMainToolbar.h"

#include "Common/Language.h"
#include "Common/PublicFunction.h"
#include "Common/SkinManager.h"
#include "Platform/UI/Button.h"
#include "Platform/UI/Label.h"
#include "Platform/UI/NamedImage.h"

PdfMainToolbar::PdfMainToolbar(const gfx::Rect& frame, const std::shared_ptr<PdfDocument>&, const std::string& documentName)
    : BRToolbarView(frame)
{
    double width = bounds().width();
    gfx::Image buttonBackground =
        SkinManager::skinFromImageName(std::string("Button-default_H34.png")).stretchable(5, 0);

    m_done = std::make_shared<ui::Button>(ui::ButtonType::Custom, gfx::Rect(8, 5, 60, 34));
    m_done->setTitle(Language::stringWithName("BACK"));
    PublicFunction::initializeToBackButtonHeight34(m_done.get());
    m_done->addTarget([this](ui::Control& c) {
        if (m_delegate)
            m_delegate->tappedInToolbarDoneButton(*this, static_cast<ui::Button&>(c));
    }, ui::ControlEventTouchUpInside);
    addSubview(m_done);

    m_thumbs = std::make_shared<ui::Button>(ui::ButtonType::Custom, gfx::Rect(76, 5, 34, 34));
    m_thumbs->setImage(ui::imageNamed("Pdf-Thumbs"));
    m_thumbs->setBackgroundImage(buttonBackground);
    m_thumbs->addTarget([this](ui::Control& c) {
        if (m_delegate)
            m_delegate->tappedInToolbarThumbsButton(*this, static_cast<ui::Button&>(c));
    }, ui::ControlEventTouchUpInside);
    addSubview(m_thumbs);

    m_mark = std::make_shared<ui::Button>(ui::ButtonType::Custom, gfx::Rect(width - 42, 5, 34, 34));
    m_mark->setBackgroundImage(buttonBackground);
    m_mark->setAutoresizingMask(ui::AutoresizingFlexibleLeftMargin);
    m_mark->setEnabled(false);
    m_mark->setTag(kNoState);
    m_mark->addTarget([this](ui::Control& c) {
        if (m_delegate)
            m_delegate->tappedInToolbarMarkButton(*this, static_cast<ui::Button&>(c));
    }, ui::ControlEventTouchUpInside);
    addSubview(m_mark);

    m_share = std::make_shared<ui::Button>(ui::ButtonType::Custom, gfx::Rect(width - 84, 5, 34, 34));
    m_share->setImage(SkinManager::skinFromImageName(std::string("btn-share.png")));
    m_share->setAutoresizingMask(ui::AutoresizingFlexibleLeftMargin);
    m_share->addTarget([this](ui::Control& c) {
        if (m_delegate)
            m_delegate->tappedInToolbarShareButton(*this, static_cast<ui::Button&>(c));
    }, ui::ControlEventTouchUpInside);
    addSubview(m_share);

    m_title = makeTitleLabel(gfx::Rect(118, 7, width - 210, 30), documentName);
    addSubview(m_title);
}

void PdfMainToolbar::setBookmarkState(bool state)
{
    if (m_mark->tag() != int(state)) {
        if (!isHidden())
            m_mark->setImage(ui::imageNamed(state ? "Pdf-Mark-Y" : "Pdf-Mark-N"));
        m_mark->setTag(int(state));
    }
    if (!m_mark->isEnabled())
        m_mark->setEnabled(true);
}

void PdfMainToolbar::updateBookmarkImage()
{
    if (m_mark->tag() != kNoState)
        m_mark->setImage(ui::imageNamed(m_mark->tag() ? "Pdf-Mark-Y" : "Pdf-Mark-N"));
    if (!m_mark->isEnabled())
        m_mark->setEnabled(true);
}

void PdfMainToolbar::hideToolbar()
{
    fadeOut(*this);
}

void PdfMainToolbar::showToolbar()
{
    if (!isHidden())
        return;
    updateBookmarkImage();
    fadeIn(*this);
}
