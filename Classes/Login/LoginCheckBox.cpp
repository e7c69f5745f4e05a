#include "Classes/Login/LoginCheckBox.h"

#include "Common/AppSession.h"
#include "Common/Language.h"
#include "Common/PublicFunction.h"
#include "Platform/Graphics/Text.h"
#include "Platform/UI/Application.h"
#include "Platform/UI/Button.h"
#include "Platform/UI/ImageView.h"
#include "Platform/UI/NamedImage.h"
#include "Platform/UI/TableViewCell.h"
#include "Platform/UI/TapGestureRecognizer.h"
#include "Platform/UI/Touch.h"
#include "Protocol/RequestLogin.h"
#include "Protocol/SavedLogins.h"
#include "Widgets/BRPageControl.h"

#include <cctype>
#include <cmath>

namespace {

const gfx::Color kLinkBlue = gfx::Color::fromRgb(53, 107, 168);

std::string trimmed(const std::string& text)
{
    size_t begin = 0, end = text.size();
    while (begin < end && std::isspace(static_cast<unsigned char>(text[begin])))
        ++begin;
    while (end > begin && std::isspace(static_cast<unsigned char>(text[end - 1])))
        --end;
    return text.substr(begin, end - begin);
}

std::string text(const char* key)
{
    return Language::stringWithName(key);
}

// A language text used as a format with one "%@".
std::string filled(const std::string& format, const std::string& value)
{
    std::string out = format;
    if (auto at = out.find("%@"); at != std::string::npos)
        out.replace(at, 2, value);
    return out;
}

} // namespace

std::shared_ptr<LoginCheckBox> LoginCheckBox::create(const gfx::Rect& frame, LoginDelegate* delegate)
{
    auto form = std::make_shared<LoginCheckBox>(frame);
    form->setDelegate(delegate);
    form->wire();
    return form;
}

LoginCheckBox::LoginCheckBox(const gfx::Rect& frame) : ui::View(frame)
{
    build();
}

LoginCheckBox::~LoginCheckBox()
{
    for (auto* field : {static_cast<ui::TextField*>(m_userNameInputText.get()), m_passWordInputText.get(),
                        static_cast<ui::TextField*>(m_clientIDInputText.get())})
        field->setDelegate(nullptr);
    m_loginItemList->setDelegate(nullptr);
    m_loginItemList->setItemListDelegate(nullptr);
    if (m_alert)
        m_alert->setDelegate(static_cast<ui::AlertViewDelegate*>(nullptr));
}

void LoginCheckBox::setUpField(ui::TextField& field, const gfx::Rect& background, ui::ReturnKeyType returnKey)
{
    auto glow = glowingLayerWithFrame(background);
    addSubview(glow);
    auto backing = std::make_shared<ui::ImageView>(background);
    backing->setImage(ui::imageNamed("login_input.png"));
    addSubview(backing);
    field.setFont(gfx::Font::systemFont(18));
    field.setTextColor(gfx::Color::black());
    field.setReturnKeyType(returnKey);
    field.setClearButtonMode(ui::TextFieldViewMode::WhileEditing);
    field.setAutocorrectionType(ui::TextAutocorrectionType::No);
    field.setAutocapitalizationType(ui::TextAutocapitalizationType::None);
    field.setDelegate(this);
    addSubview(field.sharedView());
    if (&field == m_userNameInputText.get())
        m_glowingUser = glow;
    else if (&field == m_passWordInputText.get())
        m_glowingPassword = glow;
    else
        m_glowingClient = glow;
}

void LoginCheckBox::build()
{
    m_userNameInputText = std::make_shared<AutoInputTextField>(gfx::Rect(350, 270, 328, 40));
    m_passWordInputText = std::make_shared<ui::TextField>(gfx::Rect(350, 322, 328, 40));
    m_passWordInputText->setSecureTextEntry(true);
    m_clientIDInputText = std::make_shared<AutoInputTextField>(gfx::Rect(350, 374, 328, 40));
    setUpField(*m_userNameInputText, {340, 270, 338, 39}, ui::ReturnKeyType::Next);
    setUpField(*m_passWordInputText, {340, 322, 338, 39}, ui::ReturnKeyType::Next);
    setUpField(*m_clientIDInputText, {340, 374, 338, 39}, ui::ReturnKeyType::Done);

    m_btnAutologin = std::make_shared<ui::Button>(ui::ButtonType::Custom, gfx::Rect(340, 428, 180, 35));
    m_btnAutologin->setTitleColor(gfx::Color::white());
    m_btnAutologin->titleLabel().setFont(gfx::Font("Helvetica-Bold", 16));
    // The box at the left edge with its title beside it.
    m_btnAutologin->setContentHorizontalAlignment(ui::ContentHorizontalAlignment::Left);
    m_btnAutologin->setTitleEdgeInsets({0, 8, 0, 0});
    m_btnAutologin->setImage(ui::imageNamed("checkbox-off.png"));
    m_btnAutologin->setImage(ui::imageNamed("checkbox-on.png"), ui::ControlStateSelected);
    m_btnAutologin->addTarget([this](ui::Control&) { setAutoLogin(); }, ui::ControlEventTouchUpInside);
    addSubview(m_btnAutologin);

    m_forgotPasswordLink = std::make_shared<LinkLabel>(gfx::Rect(525, 427, 150, 35));
    m_forgotPasswordLink->setTag(kForgotPasswordTag);
    m_forgotPasswordLink->setTextAlignment(gfx::TextAlignment::Right);
    m_forgotPasswordLink->setFont(gfx::Font("Helvetica-Bold", 16));
    m_forgotPasswordLink->setTextColor(gfx::Color::white());
    addSubview(m_forgotPasswordLink);

    m_loginBut = std::make_shared<ui::Button>(ui::ButtonType::Custom, gfx::Rect(340, 475, 338, 36));
    m_loginBut->titleLabel().setFont(gfx::Font::boldSystemFont(20));
    m_loginBut->setTitleColor(gfx::Color::white());
    m_loginBut->setBackgroundImage(ui::imageNamed("btn-login.png"));
    m_loginBut->addTarget([this](ui::Control&) { loginFromOther(); }, ui::ControlEventTouchUpInside);
    addSubview(m_loginBut);

    m_btnFreeTrial = std::make_shared<ui::Button>(ui::ButtonType::Custom, gfx::Rect(559, 530, 116, 35));
    m_btnFreeTrial->titleLabel().setFont(gfx::Font::boldSystemFont(16));
    m_btnFreeTrial->setTitleColor(gfx::Color::white());
    m_btnFreeTrial->setBackgroundImage(ui::imageNamed("free_trial.png"));
    m_btnFreeTrial->setTitleEdgeInsets({0, 5, 0, 25});
    m_btnFreeTrial->addTarget([this](ui::Control&) { btnFreeTrialClick(); }, ui::ControlEventTouchUpInside);
    addSubview(m_btnFreeTrial);

    m_loginItemList = std::make_shared<LoginItemList>(gfx::Rect(0, 628, 1024, 80));
    m_loginItemList->setItemListDelegate(this);
    m_loginItemList->setDelegate(this);
    addSubview(m_loginItemList);

    m_pageControl = std::make_shared<BRPageControl>(gfx::Rect(0, kPageControlY, 0, 0));
    m_pageControl->setHidesForSinglePage(true);
    m_pageControl->setCurrentPageIndicatorTintColor(kLinkBlue);
    m_pageControl->setPageIndicatorTintColor(gfx::Color::fromWhite(0.83));
    m_pageControl->addTarget([this](ui::Control&) { pageChanged(); }, ui::ControlEventValueChanged);
    addSubview(m_pageControl);

    m_companyLink = std::make_shared<LinkLabel>(gfx::Rect(50, 840, 285, 40));
    m_companyLink->setTag(kCompanyLinkTag);
    m_companyLink->setTextColor(kLinkBlue);
    addSubview(m_companyLink);

    // Built for the registration road, which this form does not show.
    m_notmemberLink = std::make_shared<LinkLabel>();
    m_notmemberLink->setFont(gfx::Font("Arial", 18));
    m_registerBut = std::make_shared<ui::Button>();
    m_registerBut->titleLabel().setFont(gfx::Font("Arial", 18));
    m_registerBut->setTitleColor(gfx::Color::fromRgb(0, 48, 148));

    m_candidateTap = std::make_shared<ui::TapGestureRecognizer>();
    m_candidateTap->setDelegate(this);
    m_candidateTap->setCancelsTouchesInView(false);
    m_candidateTap->addTarget([this](ui::GestureRecognizer& r) { tapForCandidate(r); });
    addGestureRecognizer(m_candidateTap);
    m_endEditingTap = std::make_shared<ui::TapGestureRecognizer>();
    m_endEditingTap->setDelegate(this);
    m_endEditingTap->setCancelsTouchesInView(false);
    m_endEditingTap->addTarget([this](ui::GestureRecognizer& r) { tapToEndEditing(r); });
    addGestureRecognizer(m_endEditingTap);

    updateLanguage();
    prefill();
    sizePageControl();
}

void LoginCheckBox::wire()
{
    // The labels keep a weak reference: one that shares this form's life.
    std::shared_ptr<LinkLabelDelegate> self(sharedView(), static_cast<LinkLabelDelegate*>(this));
    m_forgotPasswordLink->setDelegate(self);
    m_companyLink->setDelegate(self);
}

void LoginCheckBox::prefill()
{
    base::Array list = SavedLogins::stored();
    if (auto first = SavedLogins::prefill(list)) {
        m_userNameInputText->setText(first->first);
        m_clientIDInputText->setText(first->second);
    }
    m_loginItemList->setLoginArry(list);
    m_pageControl->setNumberOfPages(m_loginItemList->page());
    m_pageControl->setCurrentPage(0);
}

void LoginCheckBox::updateLanguage()
{
    m_userNameInputText->setPlaceholder(text("USERNAMEINPUT"));
    m_passWordInputText->setPlaceholder(text("PASSWORDINPUT"));
    m_clientIDInputText->setPlaceholder(text("CLIENTIDINPUT"));
    m_btnAutologin->setTitle(text("CREATELOGINSHORTCUT"));
    m_forgotPasswordLink->setText(text("FORGOTPASSWORD"));
    m_loginBut->setTitle(text("LOGINBUT"));
    m_btnFreeTrial->setTitle(text("FREETRIAL"));
    m_notmemberLink->setText(text("NOTAMEMBER"));
    m_registerBut->setTitle(text("RESIGSTERHERE"));
    m_companyLink->setText(text(AppSession::kRegistrationPageAddress));
}

void LoginCheckBox::resignTextFirstResponder()
{
    if (m_activeField)
        m_activeField->resignFirstResponder();
}

void LoginCheckBox::changeButState()
{
    m_loginItemList->resetItemStatus();
}

void LoginCheckBox::setInputEnabled(bool enabled)
{
    m_inputEnabled = enabled;
    m_loginBut->setEnabled(enabled);
    m_loginItemList->setUserInteractionEnabled(enabled);
}

void LoginCheckBox::sizePageControl()
{
    gfx::Size size = m_pageControl->sizeForNumberOfPages(m_pageControl->numberOfPages());
    m_pageControl->setFrame({(1024 - size.width) / 2, kPageControlY, size.width, size.height});
}

void LoginCheckBox::stopShaking()
{
    m_loginItemList->stopSharking();
}

void LoginCheckBox::alert(const std::string& message)
{
    m_alert = std::make_shared<ui::AlertView>(text("NOTIFICATION"), message, nullptr, text("OK"));
    m_alert->show();
}

void LoginCheckBox::loginFromOther()
{
    stopShaking();
    const std::string user = m_userNameInputText->text();
    const std::string password = m_passWordInputText->text();
    const std::string client = m_clientIDInputText->text();
    if (trimmed(user).empty() || trimmed(password).empty() || trimmed(client).empty()) {
        alert(text("INPUTCANTNOTNULL"));
        changeButState();
        return;
    }
    resignTextFirstResponder();
    LoginInfo info;
    info.accountId = user;
    info.passWord = RequestLogin::passwordDigest(password);
    info.clientId = client;
    info.deviceId = PublicFunction::getOpenUDID();
    if (m_delegate)
        m_delegate->loginIsFromInputIsAutoLogin(info, true, m_btnAutologin->isSelected());
}

void LoginCheckBox::setAutoLogin()
{
    stopShaking();
    m_btnAutologin->setSelected(!m_btnAutologin->isSelected());
    if (!m_btnAutologin->isSelected())
        return;
    const std::string client = m_clientIDInputText->text();
    if (!SavedLogins::isShortcutTaken(SavedLogins::stored(), client, m_userNameInputText->text()))
        return;
    m_alert = std::make_shared<ui::AlertView>(filled(text("SHORTCUTEXISTS"), client),
                                              filled(text("SHORTCUTREPLACEALERT"), client), nullptr,
                                              text("REPLACE"), std::vector<std::string>{text("CANCEL")});
    m_alert->setTag(kReplaceAlertTag);
    m_alert->setDelegate(this);
    m_alert->show();
}

void LoginCheckBox::alertViewClickedButtonAtIndex(ui::AlertView& alert, int index)
{
    // The cancel button (index 0) is "REPLACE"; "CANCEL" leaves no shortcut asked for.
    if (alert.tag() == kReplaceAlertTag && index == 1)
        m_btnAutologin->setSelected(false);
}

void LoginCheckBox::btnFreeTrialClick()
{
    stopShaking();
    std::string address = AppSession::kRegistrationPageAddress;
    if (!trimmed(address).empty())
        ui::Application::shared().openURL(address);
}

void LoginCheckBox::linkLabelToucheTouchesWtihTag(LinkLabel& label, int tag)
{
    stopShaking();
    std::string address;
    if (tag == kForgotPasswordTag)
        address = PublicFunction::forgetPassWordUrl();
    else if (tag == kCompanyLinkTag && !trimmed(label.text()).empty())
        address = "http://" + label.text();
    if (!trimmed(address).empty())
        ui::Application::shared().openURL(address);
}

void LoginCheckBox::loginItemClick(LoginItem& item)
{
    if (!m_inputEnabled || !m_delegate)
        return;
    if (item.isDemo()) {
        m_delegate->login(item.clientId());
        return;
    }
    resignTextFirstResponder();
    LoginInfo info;
    info.accountId = item.accountId();
    info.passWord = item.passWord();
    info.clientId = item.clientId();
    info.deviceId = PublicFunction::getOpenUDID();
    m_delegate->loginIsFromInputIsAutoLogin(info, true, m_btnAutologin->isSelected());
}

void LoginCheckBox::loginItemDelete(LoginItem& item)
{
    if (m_userNameInputText->text() == item.accountId() && m_clientIDInputText->text() == item.clientId())
        m_btnAutologin->setSelected(false);
    m_pageControl->setNumberOfPages(m_loginItemList->page());
    sizePageControl();
}

// --- Completion -----------------------------------------------------------------------------

void LoginCheckBox::showCandidates(AutoInputTextField& field, const std::string& newText)
{
    base::Array list = SavedLogins::stored();
    if (newText.empty())
        m_loginData.clear();
    else if (&field == m_userNameInputText.get())
        m_loginData = SavedLogins::userNameCandidates(list, newText);
    else
        m_loginData = SavedLogins::clientIdCandidates(list, newText);
    if (m_loginData.empty() || m_loginData.front().size() < newText.size()) {
        field.showAutoTextWithPointX(std::string(), 0);
        return;
    }
    double width = gfx::sizeOfText(newText, field.font(), {1e6, 20}, gfx::LineBreakMode::WordWrap).width;
    field.showAutoTextWithPointX(m_loginData.front().substr(newText.size()), width);
}

bool LoginCheckBox::textFieldShouldChangeCharactersInRange(ui::TextField& field, size_t location, size_t length,
                                                           const std::string& replacement)
{
    if (&field != m_userNameInputText.get() && &field != m_clientIDInputText.get())
        return true;
    auto& completing = static_cast<AutoInputTextField&>(field);
    // A deletion hides the completion until the next letter.
    if (replacement.empty()) {
        completing.showAutoTextWithPointX(std::nullopt, 0);
        m_loginData.clear();
        return true;
    }
    std::string newText = length > 0 ? field.text().substr(0, std::min(location, field.text().size()))
                                     : field.text() + replacement;
    showCandidates(completing, newText);
    return true;
}

bool LoginCheckBox::textFieldShouldBeginEditing(ui::TextField& field)
{
    m_shouldActiveField = &field;
    return true;
}

void LoginCheckBox::textFieldDidBeginEditing(ui::TextField& field)
{
    m_activeField = &field;
    m_shouldActiveField = nullptr;
    if (ui::View* glow = glowFor(field))
        fadeIn(*glow);
    stopShaking();
}

void LoginCheckBox::acceptSuffix(AutoInputTextField& field)
{
    const auto& suffix = field.autoTextStr();
    if (!m_shouldActiveField && suffix && !suffix->empty())
        field.setText(field.text() + *suffix);
}

void LoginCheckBox::hideSuffix()
{
    m_userNameInputText->showAutoTextWithPointX(std::nullopt, 0);
    m_clientIDInputText->showAutoTextWithPointX(std::nullopt, 0);
}

void LoginCheckBox::textFieldDidEndEditing(ui::TextField& field)
{
    if (ui::View* glow = glowFor(field))
        fadeOut(*glow);
    m_loginData.clear();
    if (&field == m_userNameInputText.get() || &field == m_clientIDInputText.get()) {
        auto& completing = static_cast<AutoInputTextField&>(field);
        acceptSuffix(completing);
        completing.showAutoTextWithPointX(std::nullopt, 0);
    }
    if (m_activeField == &field)
        m_activeField = nullptr;
}

bool LoginCheckBox::textFieldShouldClear(ui::TextField& field)
{
    m_loginData.clear();
    hideSuffix();
    return true;
}

bool LoginCheckBox::textFieldShouldReturn(ui::TextField& field)
{
    if (&field == m_userNameInputText.get()) {
        acceptSuffix(*m_userNameInputText);
        m_userNameInputText->showAutoTextWithPointX(std::nullopt, 0);
        m_passWordInputText->becomeFirstResponder();
    } else if (&field == m_passWordInputText.get()) {
        m_clientIDInputText->becomeFirstResponder();
        autoLoadCompanyId();
    } else {
        loginFromOther();
    }
    return false;
}

void LoginCheckBox::autoLoadCompanyId()
{
    const std::string password = m_passWordInputText->text();
    m_loginData = SavedLogins::clientIdsForUser(SavedLogins::stored(), m_userNameInputText->text(),
                                                password.empty() ? std::string() : RequestLogin::passwordDigest(password));
    if (m_loginData.size() == 1)
        m_clientIDInputText->setText(m_loginData.front());
}

ui::View* LoginCheckBox::glowFor(const ui::TextField& field) const
{
    if (&field == m_userNameInputText.get())
        return m_glowingUser.get();
    if (&field == m_passWordInputText.get())
        return m_glowingPassword.get();
    if (&field == m_clientIDInputText.get())
        return m_glowingClient.get();
    return nullptr;
}

// --- Gestures, glow and paging ----------------------------------------------------------------

bool LoginCheckBox::gestureRecognizerShouldReceiveTouch(ui::GestureRecognizer&, ui::Touch& touch)
{
    for (ui::View* v = touch.view(); v && v != this; v = v->superview()) {
        if (dynamic_cast<ui::Control*>(v) || dynamic_cast<ui::Label*>(v) || dynamic_cast<ui::TableViewCell*>(v))
            return false;
    }
    return true;
}

void LoginCheckBox::tapForCandidate(ui::GestureRecognizer&)
{
    if (!m_activeField || m_activeField == m_passWordInputText.get() || m_loginData.empty())
        return;
    hideSuffix();
    m_activeField->setText(m_loginData.front());
}

void LoginCheckBox::tapToEndEditing(ui::GestureRecognizer& recognizer)
{
    resignTextFirstResponder();
    if (recognizer.locationInView(this).y < m_loginItemList->frame().minY() - 40)
        stopShaking();
}

std::shared_ptr<ui::View> LoginCheckBox::glowingLayerWithFrame(const gfx::Rect& frame)
{
    auto glow = std::make_shared<ui::View>(frame);
    glow->setBackgroundColor(gfx::Color::clear());
    ui::View::Shadow shadow{gfx::Color::fromRgb(48, 121, 185), {0, 2}, 3, 0.8};
    shadow.path = gfx::Rect(-2, -4, frame.width() + 4, frame.height() + 4);
    glow->setShadow(shadow);
    glow->setAlpha(0);
    glow->setUserInteractionEnabled(false);
    return glow;
}

void LoginCheckBox::fadeIn(ui::View& view)
{
    ui::View::animate(0.25, [&view] { view.setAlpha(1); });
}

void LoginCheckBox::fadeOut(ui::View& view)
{
    ui::View::animate(0.25, [&view] { view.setAlpha(0); });
}

void LoginCheckBox::pageChanged()
{
    double width = m_loginItemList->frame().width();
    m_loginItemList->setContentOffset({m_pageControl->currentPage() * width, 0}, true);
    m_pageControlUsed = true;
}

void LoginCheckBox::scrollViewDidScroll(ui::ScrollView& scrollView)
{
    if (m_pageControlUsed)
        return;
    double width = scrollView.frame().width();
    int page = static_cast<int>(std::floor((scrollView.contentOffset().x - width / 2) / width)) + 1;
    m_pageControl->setCurrentPage(page);
}

void LoginCheckBox::scrollViewWillBeginDragging(ui::ScrollView&)
{
    m_pageControlUsed = false;
}
