#include "Classes/Login/LoginItem.h"

#include "Common/Language.h"
#include "Common/PublicFunction.h"
#include "Platform/UI/ImageView.h"
#include "Platform/UI/Label.h"
#include "Platform/UI/NamedImage.h"

namespace {

const gfx::Rect kCompanyFrame{70, 15, 150, 30};
const gfx::Rect kDemoFrame{110, 15, 90, 30};

// The language texts carry one "%@" for the argument. The argument is put in as it is: a
// client id is the user's text and must never be read as a format.
std::string fillFormat(const std::string& format, const std::string& argument)
{
    auto at = format.find("%@");
    if (at == std::string::npos)
        return format;
    return format.substr(0, at) + argument + format.substr(at + 2);
}

} // namespace

LoginItem::LoginItem(const gfx::Rect& frame) : Button(ui::ButtonType::Custom, frame)
{
    setBackgroundColor(gfx::Color::clear());
    setOpaque(false);
    setBackgroundImage(ui::imageNamed("logobtn.png"), ui::ControlStateNormal);
    gfx::Image on = ui::imageNamed("logobtn-on.png");
    setBackgroundImage(on, ui::ControlStateSelected);
    setBackgroundImage(on, ui::ControlStateHighlighted);
    setBackgroundImage(on, ui::ControlStateSelected | ui::ControlStateHighlighted);
    imageView().setContentMode(ui::ContentMode::ScaleAspectFit);

    m_lblCompany = std::make_shared<ui::Label>(kCompanyFrame);
    m_lblCompany->setTextAlignment(gfx::TextAlignment::Center);
    m_lblCompany->setBackgroundColor(gfx::Color::clear());
    m_lblCompany->setFont(gfx::Font::boldSystemFont(20));
    m_lblCompany->setAdjustsFontSizeToFitWidth(true);
    m_lblCompany->setMinimumFontSize(15);
    m_lblCompany->setTextColor(gfx::Color::fromRgb(46, 109, 173));
    m_lblCompany->setLineBreakMode(gfx::LineBreakMode::TruncateTail);
    m_lblCompany->setHidden(true);
    addSubview(m_lblCompany);

    m_btnDelete = std::make_shared<ui::Button>(ui::ButtonType::Custom, gfx::Rect{210, -10, 30, 30});
    m_btnDelete->setImage(ui::imageNamed("file-del.png"));
    m_btnDelete->setHidden(true);
    m_btnDelete->addTarget([this](ui::Control&) { deleteTapped(); }, ui::ControlEventTouchUpInside);
    addSubview(m_btnDelete);
}

LoginItem::~LoginItem() = default;

void LoginItem::setClientId(std::string clientId)
{
    m_clientId = std::move(clientId);
    if (!m_isDemo)
        m_lblCompany->setText(m_clientId);
}

void LoginItem::setIsDemo(bool isDemo)
{
    m_isDemo = isDemo;
    if (isDemo) {
        m_lblCompany->setText(Language::stringWithName("DEMOTILE"));
        m_lblCompany->setFrame(kDemoFrame);
    }
}

void LoginItem::setHasNoLogo(bool hasNoLogo)
{
    if (hasNoLogo == m_hasNoLogo)
        return;
    m_hasNoLogo = hasNoLogo;
    m_lblCompany->setHidden(!hasNoLogo);
}

void LoginItem::setShaking(bool shaking)
{
    m_shaking = shaking;
    m_btnDelete->setHidden(!shaking);
    PublicFunction::setViewShakingShaking(this, shaking);
}

void LoginItem::deleteTapped()
{
    if (m_alert)
        return;
    std::string name = m_isDemo ? Language::stringWithName("DEMOTILE") : m_clientId;
    std::string title = fillFormat(Language::stringWithName("DELETESHORTCUT"), name);
    std::string message = m_isDemo ? Language::stringWithName("DELETEDEMOSHORTCUT")
                                   : fillFormat(Language::stringWithName("DELETENORMALSHORTCUT"), m_clientId);
    m_alert = std::make_shared<ui::AlertView>(title, message, nullptr, Language::stringWithName("CANCEL"),
                                              std::vector<std::string>{Language::stringWithName("DELETE")});
    // The row may drop this tile while the alert is up: the alert then tells no one.
    m_alert->setDelegate(std::weak_ptr<ui::AlertViewDelegate>(
        std::shared_ptr<ui::AlertViewDelegate>(sharedView(), static_cast<ui::AlertViewDelegate*>(this))));
    m_alert->show();
}

void LoginItem::alertViewClickedButtonAtIndex(ui::AlertView& alert, int index)
{
    bool confirmed = index == alert.firstOtherButtonIndex();
    m_alert.reset();
    if (confirmed && m_delegate)
        m_delegate->btnDeleteClick(*this);
}
