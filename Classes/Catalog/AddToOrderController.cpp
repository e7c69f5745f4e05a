#include "Classes/Catalog/AddToOrderController.h"

#include "Widgets/IconButton.h"
#include "Widgets/ProductAttributeView.h"
#include "Common/Language.h"
#include "Common/NumericInputValidator.h"
#include "Common/PublicFunction.h"
#include "Common/SkinManager.h"
#include "Common/UIToast.h"
#include "Database/DataAccessManager.h"
#include "Platform/UI/AlertView.h"
#include "Platform/UI/Animation.h"
#include "Platform/UI/Button.h"
#include "Platform/UI/ImageView.h"
#include "Platform/UI/NamedImage.h"
#include "Platform/UI/TextField.h"

#include <climits>

namespace {

const gfx::Color kAccent = gfx::Color::fromRgb(176, 48, 96);

std::shared_ptr<ui::LayerAnimation> opacity(double from, double to, double begin, ui::View::AnimationOptions::Curve curve)
{
    auto animation = ui::LayerAnimation::make("opacity");
    animation->values = {from, to};
    animation->duration = 0.5;
    animation->beginTime = ui::LayerAnimation::layerTime() + begin;
    animation->curve = curve;
    return animation;
}

} // namespace

int AddToOrderController::integerValueOfText(const std::string& text)
{
    long long value = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            break;
        value = value * 10 + (c - '0');
        if (value > INT_MAX)
            return INT_MAX;
    }
    return static_cast<int>(value);
}

void AddToOrderController::loadView()
{
    setView(std::make_shared<ui::View>(gfx::Rect({0, 0}, kContentSize)));
}

void AddToOrderController::viewDidLoad()
{
    BaseViewController::viewDidLoad();
    auto root = view();
    root->setBackgroundColor(gfx::Color::white());

    // Scrolling on: attributes from the fifth on lie below the chooser's 160 points.
    m_attributeView = std::make_shared<ProductAttributeView>(gfx::Rect(24, 2, 354, 160));
    m_attributeView->setBackgroundColor(gfx::Color::clear());
    m_attributeView->setOpaque(false);
    m_attributeView->setAttributeFont(gfx::Font::systemFont(17));
    m_attributeView->setAttributeColor(kAccent);
    root->addSubview(m_attributeView);
    m_attributeView->setAttributeAry(DataAccessManager::sharedDataModel()->getProductAttributeByProductId(m_product.product_id));

    m_divider = std::make_shared<ui::ImageView>(gfx::Rect(3, 177, 395, 1));
    m_divider->setImage(ui::imageNamed("productDetaildivideline.png"));
    root->addSubview(m_divider);

    m_minusButton = std::make_shared<ui::Button>(ui::ButtonType::Custom, gfx::Rect(24, 198, 28, 28));
    m_minusButton->setBackgroundImage(SkinManager::skinFromImageName("icon-remove.png"));
    m_minusButton->addTarget([this](ui::Control&) { deleteCount(); }, ui::ControlEventTouchUpInside);
    root->addSubview(m_minusButton);

    m_countField = std::make_shared<ui::TextField>(gfx::Rect(73, 198, 54, 30));
    m_countField->setTextAlignment(gfx::TextAlignment::Center);
    m_countField->setBorderStyle(ui::TextBorderStyle::RoundedRect);
    m_countField->setBackground(SkinManager::skinFromImageName("input.png"));
    m_countField->setKeyboardType(ui::KeyboardType::NumberPad);
    m_countField->setText("1");
    root->addSubview(m_countField);

    m_plusButton = std::make_shared<ui::Button>(ui::ButtonType::Custom, gfx::Rect(146, 198, 28, 28));
    m_plusButton->setBackgroundImage(SkinManager::skinFromImageName("icon-add.png"));
    m_plusButton->addTarget([this](ui::Control&) { addCount(); }, ui::ControlEventTouchUpInside);
    root->addSubview(m_plusButton);

    m_okButton = std::make_shared<IconButton>(gfx::Rect(230, 198, 143, 34));
    PublicFunction::initializeToButtonHeight34(m_okButton.get());
    m_okButton->setIconType(1);
    m_okButton->addTarget([this](ui::Control&) { addToOrderOKButtonClicked(); }, ui::ControlEventTouchUpInside);
    root->addSubview(m_okButton);

    if (!bViewHasLoad())
        viewAfterFirstDidLoad();
}

void AddToOrderController::updateLanguage(ui::Responder*)
{
    if (!isViewLoaded())
        return;
    m_okButton->reloadText();
    m_attributeView->setAttributeAry(DataAccessManager::sharedDataModel()->getProductAttributeByProductId(m_product.product_id));
}

void AddToOrderController::deleteCount()
{
    int value = integerValueOfText(m_countField->text());
    if (value >= 2)
        m_countField->setText(std::to_string(value - 1));
}

void AddToOrderController::addCount()
{
    int value = integerValueOfText(m_countField->text());
    if (value < kMaxQuantity)
        m_countField->setText(std::to_string(value + 1));
    else
        m_countField->setText(std::to_string(kMaxQuantity));
}

void AddToOrderController::alert(const std::string& message)
{
    auto box = std::make_shared<ui::AlertView>(Language::stringWithName("NOTIFICATION"), message, nullptr,
                                               Language::stringWithName("OK"));
    box->show();
}

void AddToOrderController::addToOrderOKButtonClicked()
{
    if (auto unchosen = m_attributeView->firstUnchosenAttributeIndex()) {
        std::make_shared<UIToast>()->show(Language::stringWithName("CHOOSEATTRIBUTE"));
        highlightAttribute(*unchosen);
        return;
    }
    std::optional<InputValidationError> error;
    if (!NumericInputValidator().validateInputError(m_countField.get(), &error)) {
        alert(error ? error->localizedFailureReason : Language::stringWithName("PLEASEINPUTAPOSITIVENUMBER"));
        return;
    }
    int count = integerValueOfText(m_countField->text());
    if (count > kMaxQuantity) {
        m_countField->setText(std::to_string(kMaxQuantity));
        alert(Language::stringWithName("ORDEROVERMAX"));
        return;
    }
    if (count < 1) {
        alert(Language::stringWithName("PLEASEINPUTAPOSITIVENUMBER"));
        return;
    }
    auto owner = delegate();
    if (!owner)
        return;
    m_product.attributes = m_attributeView->attributes();
    m_product.count = count;
    // The owner's popover dismissal is what closes the sheet; a modal sheet closes itself.
    auto keep = sharedController();
    owner->addProductToOrderWithProductCellIndex(m_product, m_cellIndex);
    if (presentingViewController())
        dismissViewController(true);
}

void AddToOrderController::highlightAttribute(size_t index)
{
    // Where the attribute shows now: the chooser may have been scrolled to reach it.
    double y = 10 + 78 * static_cast<double>(index / 2) - m_attributeView->contentOffset().y;
    auto frame = std::make_shared<ui::View>(gfx::Rect(10 + 198 * static_cast<double>(index % 2), y, 180, 80));
    frame->setBackgroundColor(gfx::Color::clear());
    frame->setOpaque(false);
    frame->setBorderWidth(2);
    frame->setBorderColor(kAccent);
    frame->setAlpha(0);
    frame->setUserInteractionEnabled(false);
    view()->addSubview(frame);
    using Curve = ui::View::AnimationOptions::Curve;
    frame->addAnimation(opacity(0, 1, 1.0, Curve::EaseIn), "BoxFadeIn");
    frame->addAnimation(opacity(1, 1, 1.5, Curve::Linear), "BoxStay");
    auto fadeOut = opacity(1, 0, 2.0, Curve::EaseOut);
    std::weak_ptr<ui::View> weak = frame;
    fadeOut->didStop = [weak](bool) {
        if (auto v = weak.lock())
            v->removeFromSuperview();
    };
    frame->addAnimation(fadeOut, "BoxFadeOut");
    m_highlightFrame = frame;
}
