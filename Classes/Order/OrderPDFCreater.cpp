#include "Classes/Order/OrderPDFCreater.h"

#include "Classes/Order/PainterViewController.h"
#include "Common/Language.h"
#include "Common/PublicFunction.h"
#include "Common/SkinManager.h"
#include "Database/DataAccessManager.h"
#include "Database/QuoteOrderEntity.h"
#include "Platform/Graphics/Context.h"
#include "Platform/Graphics/Text.h"
#include "Platform/UI/AlertView.h"
#include "Platform/UI/ImageView.h"
#include "Platform/UI/ScrollView.h"
#include "Platform/UI/TapGestureRecognizer.h"
#include "Platform/UI/ViewController.h"

#include <algorithm>
#include <cstdio>

namespace {

constexpr double U = OrderPDFCreater::kUnit;
constexpr double W = OrderPDFCreater::kContentWidth;
// The table's column edges.
const std::vector<double> kColumns = {0, 1 * U, 4.125 * U, 6.625 * U, 7.875 * U, 11.625 * U,
                                      12.875 * U, 14.75 * U, 16.625 * U, 19.125 * U, W};

// A rule: the one-pixel picture stretched with hard edges, so thin lines stay crisp.
class RuleCell : public BRPDFCreaterImageCell {
public:
    using BRPDFCreaterImageCell::BRPDFCreaterImageCell;
    void drawInRect(gfx::Context& context, const gfx::Rect& rect) override
    {
        context.save();
        context.setImageSmoothing(false);
        BRPDFCreaterImageCell::drawInRect(context, rect);
        context.restore();
    }
};

const gfx::Image& rulePicture()
{
    static const gfx::Image picture = [] {
        gfx::Image image = SkinManager::bundledImageNamed("Line_Pixel_1x1.png");
        if (!image.isNull())
            return image;
        auto context = gfx::Context::createBitmap({1, 1}, 1);
        context->setFillColor(gfx::Color::black());
        context->fillRect({0, 0, 1, 1});
        return context->makeImage();
    }();
    return picture;
}

bool blank(const std::optional<std::string>& value)
{
    return !value || value->find_first_not_of(" \t\r\n") == std::string::npos;
}

std::string labelled(const char* key, const std::optional<std::string>& value)
{
    return Language::stringWithName(key) + ": " + value.value_or("");
}

// The height a text needs in the font within a width, but at least the floor.
double heightOf(const std::string& text, const gfx::Font& font, double width, double floor)
{
    if (text.empty())
        return floor;
    return std::max(floor, gfx::sizeOfText(text, font, {width, 1e6}, gfx::LineBreakMode::WordWrap).height);
}

std::string format(const char* pattern, double value)
{
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, pattern, value);
    return buffer;
}

} // namespace

OrderPDFCreater::OrderPDFCreater(std::shared_ptr<QuoteOrderEntity> order, gfx::Size pageSize,
                                 ui::ViewController* rootViewController)
    : BRPDFCreater(pageSize), m_order(std::move(order)), m_rootViewController(rootViewController)
{
}

OrderPDFCreater::~OrderPDFCreater()
{
    // Its tap action points back here.
    if (m_signatureValue) {
        m_signatureValue->setUserInteractionEnabled(false);
        m_signatureValue->removeFromSuperview();
    }
}

void OrderPDFCreater::addText(const gfx::Rect& frame, const std::string& text, const gfx::Font& font, int alignment)
{
    addCell(std::make_shared<BRPDFCreaterStringCell>(frame, text, font, gfx::Color::black(), alignment));
}

void OrderPDFCreater::addLineFromPointToPointWidth(gfx::Point from, gfx::Point to, int width)
{
    gfx::Rect frame;
    if (from.y == to.y)
        frame = {from.x, from.y, to.x + 1 - from.x, static_cast<double>(width)};
    else if (from.x == to.x)
        frame = {from.x, from.y, static_cast<double>(width), to.y + 1 - from.y};
    else
        return; // only straight rules
    addCell(std::make_shared<RuleCell>(frame, rulePicture()));
}

void OrderPDFCreater::addRuleAcross(int width)
{
    addLineFromPointToPointWidth({0, 0}, {W, 0}, width);
}

void OrderPDFCreater::addVerticals(const std::vector<double>& xs, double bottom)
{
    for (double x : xs)
        addLineFromPointToPointWidth({x, 0}, {x, bottom}, x == 0 || x == W ? 2 : 1);
}

void OrderPDFCreater::generatePdfInScrollView(ui::ScrollView* scrollView)
{
    if (scrollView == m_pdfScrollView && scrollView) {
        for (const auto& subview : std::vector<std::shared_ptr<ui::View>>(scrollView->subviews()))
            subview->removeFromSuperview();
    } else {
        m_pdfScrollView = scrollView;
    }
    if (!m_order)
        return;
    layOut();
    showPreview();
    addSignatureImageView();
}

void OrderPDFCreater::layOut()
{
    clearAllCell();
    beginNewPage();
    addLogoImageView();
    addCustomerInfoLabels();
    addOrderLabels();
    addSignatureLabels();
}

void OrderPDFCreater::showPreview()
{
    auto preview = generatePDFToView();
    if (m_pdfScrollView) {
        m_pdfScrollView->addSubview(preview);
        m_pdfScrollView->setContentSize(preview->frame().size);
    }
}

void OrderPDFCreater::updateLanguage()
{
    if (m_pdfScrollView)
        for (const auto& subview : std::vector<std::shared_ptr<ui::View>>(m_pdfScrollView->subviews()))
            subview->removeFromSuperview();
    if (!m_order)
        return;
    layOut();
    showPreview();
    if (m_signatureValue) {
        placeSignatureView();
        if (m_pdfScrollView)
            m_pdfScrollView->addSubview(m_signatureValue);
    }
}

void OrderPDFCreater::addLogoImageView()
{
    beginNewLine();
    if (SkinManager::hasCustomerImage(std::string("homelogo.png")))
        addCell(std::make_shared<BRPDFCreaterImageCell>(gfx::Rect(0, 0, 222, 51),
                                                        SkinManager::skinFromImageName(std::string("homelogo.png"))));
    else
        addSpacing(120);
}

void OrderPDFCreater::addCustomerInfoLabels()
{
    const QuoteOrderEntity& order = *m_order;
    gfx::Font label = gfx::Font::boldSystemFont(16), value = gfx::Font::systemFont(15);
    beginNewLine();
    addSpacing(10);
    beginNewLine();
    addText({0, 10, W, 40}, Language::stringWithName("CUSTOMERINFO"), gfx::Font::boldSystemFont(19), 1);
    beginNewLine();
    addRuleAcross(2);
    beginNewLine();

    auto endRow = [this](bool last) {
        beginNewLine();
        addRuleAcross(last ? 2 : 1);
        if (!last)
            beginNewLine();
    };
    addText({0, 10, 246, 40}, Language::stringWithName("NAME"), label, 2);
    addText({266, 10, 512, 40}, order.customerName().value_or(""), value, 0);
    addVerticals({0, 256, W}, 50);
    endRow(false);

    std::string street = order.customerAddress().value_or("");
    double a = heightOf(street, value, 512, 40);
    addText({0, 10, 246, a}, Language::stringWithName("STREETADDRESS"), label, 2);
    addText({266, 10, 512, a}, street, value, 0);
    addVerticals({0, 256, W}, a + 10);
    endRow(false);

    // City and zip stop before the second label at 502, state and phone before the page edge.
    addText({0, 10, 246, 40}, Language::stringWithName("CITY"), label, 2);
    addText({266, 10, 226, 40}, order.city().value_or(""), value, 0);
    addText({502, 10, 246, 40}, Language::stringWithName("STATE"), label, 2);
    addText({778, 10, 116, 40}, order.state().value_or(""), value, 0);
    addVerticals({0, 256, 502, 768, W}, 50);
    endRow(false);

    addText({0, 10, 246, 40}, Language::stringWithName("ZIPCODE"), label, 2);
    addText({266, 10, 226, 40}, order.zip_code().value_or(""), value, 0);
    addText({502, 10, 246, 40}, Language::stringWithName("PHONE"), label, 2);
    addText({778, 10, 116, 40}, order.phoneNumber().value_or(""), value, 0);
    addVerticals({0, 256, 502, 768, W}, 50);
    endRow(false);

    addText({0, 10, 246, 40}, Language::stringWithName("BANKACCOUNT"), label, 2);
    addText({266, 10, 512, 40}, order.bankAccount().value_or(""), value, 0);
    addVerticals({0, 256, W}, 50);
    endRow(true);
}

void OrderPDFCreater::addOrderLabels()
{
    const QuoteOrderEntity& order = *m_order;
    gfx::Font bold = gfx::Font::boldSystemFont(15);
    addSpacing(20);
    beginNewLine();
    addText({0, 10, W, 40}, Language::stringWithName("ORDERFORM"), gfx::Font::boldSystemFont(19), 1);
    beginNewLine();

    addRuleAcross(2);
    addText({2.5 * U, 10, 10.625 * U, 40}, labelled("ORDERNUMBER", order.number()), bold, 0);
    addVerticals({0, W}, 50);
    beginNewLine();
    addRuleAcross(1);
    beginNewLine();

    std::string note = labelled("NOTE", order.customerNote());
    double b = heightOf(note, bold, 8.125 * U, 40);
    addText({2.5 * U, 10, 10.625 * U, b}, labelled("ORDERTIME", order.mdate()), bold, 0);
    addText({14.125 * U, 10, 8.125 * U, b}, note, bold, 0);
    addVerticals({0, 11.625 * U, W}, b + 10);
    beginNewLine();

    addRuleAcross(1);
    const char* headers[] = {"NUMBER", "IMAGE", "NAME", "SKU", "DETAILS", "QTY", "PRICE", "DISCOUNT", "DISCOUNTEDPRICE", "ITEMIZEDTOTAL"};
    for (size_t i = 0; i < 10; ++i)
        addText({kColumns[i], 10, kColumns[i + 1] - kColumns[i], 40}, Language::stringWithName(headers[i]), bold, 1);
    addVerticals(kColumns, 50);

    int index = 1;
    for (const auto& line : order.items())
        if (line)
            addOneOrderItemIndex(*line, index++);

    addOneDiscountLineWithLeftStringRightString(Language::stringWithName("ORIGINALTOTAL"), order.strOriginalTotal());
    addOneDiscountLineWithLeftStringRightString(Language::stringWithName("TOTAL"), order.strTotal());
    double rate = order.discountRat();
    addOneDiscountLineWithLeftStringRightString(Language::stringWithName("DISCOUNT"),
                                                format(rate >= 0 ? "%.2f%% off" : "%.2f%%", rate));
    addOneDiscountLineWithLeftStringRightString(Language::stringWithName("DISCOUNTEDTOTAL"), order.strDiscount());
    beginNewLine();
    addRuleAcross(2);
}

void OrderPDFCreater::addOneOrderItemIndex(const QuoteOrderItemEntity& line, int index)
{
    gfx::Font plain = gfx::Font::systemFont(15);
    beginNewLine();
    addRuleAcross(1);
    std::string details = line.attributes().value_or("");
    double r = heightOf(details, plain, 3.75 * U, 80);
    auto column = [&](int i, const std::string& text, double width = -1) {
        addText({kColumns[i], 10, width < 0 ? kColumns[i + 1] - kColumns[i] : width, r}, text, plain, 1);
    };
    column(0, std::to_string(index));
    std::optional<std::string> thumb;
    if (line.product())
        if (auto data = DataAccessManager::sharedDataModel())
            if (auto image = data->getImageByKeyId(line.product()->product_id))
                thumb = image->image_thumb_address;
    addCell(std::make_shared<BRPDFCreaterImageCell>(gfx::Rect(kColumns[1], 7, kColumns[2] - kColumns[1], r),
                                                    PublicFunction::getLocalImageFiletype(thumb, 1)));
    column(2, line.name().value_or(line.product() ? line.product()->product_name.value_or("") : ""));
    column(3, line.sku().value_or(""));
    column(4, details);
    column(5, std::to_string(line.quantity()));
    column(6, line.strPrice());
    column(7, line.price() < 0 ? "-   " : format("%.2f%%", line.discontRat()));
    column(8, line.strFinalPrice());
    column(9, line.strSubtotal(), 2.5 * U);
    addVerticals(kColumns, r + 10);
}

void OrderPDFCreater::addOneDiscountLineWithLeftStringRightString(const std::string& left, const std::string& right)
{
    gfx::Font bold = gfx::Font::boldSystemFont(15);
    beginNewLine();
    addRuleAcross(1);
    addText({0, 10, 452, 40}, left, bold, 2);
    addText({12 * U, 10, 13.75 * U, 40}, right, bold, 0);
    addVerticals({0, 11.625 * U, W}, 50);
}

void OrderPDFCreater::addSignatureLabels()
{
    beginNewLine();
    addText({0, 80, 16.5 * U, 80}, Language::stringWithName("SIGNATUREOFCUSTOMER") + ": ", gfx::Font::boldSystemFont(15), 2);
    addLineFromPointToPointWidth({16.5 * U, 135}, {16.5 * U + 192, 135}, 2);
}

void OrderPDFCreater::placeSignatureView()
{
    m_signatureValue->setFrame({leftMargin() + 16.5 * U, currentContentHeight() - 132 - 25, 192, 132});
}

void OrderPDFCreater::addSignatureImageView()
{
    m_signatureValue = ui::View::make<ui::ImageView>();
    m_signatureValue->setBackgroundColor(gfx::Color::clear());
    placeSignatureView();
    if (!blank(m_order->signature()))
        m_signatureValue->setImage(SkinManager::string2Image(m_order->signature()));
    if (m_signatureValue->image().isNull() && !m_order->isUploaded()) {
        m_signatureValue->setUserInteractionEnabled(true);
        auto tap = std::make_shared<ui::TapGestureRecognizer>();
        tap->addTarget([this](ui::GestureRecognizer& recognizer) {
            if (recognizer.state() == ui::GestureRecognizer::State::Ended)
                signatureTapped();
        });
        m_signatureValue->addGestureRecognizer(tap);
    }
    if (m_pdfScrollView)
        m_pdfScrollView->addSubview(m_signatureValue);
}

void OrderPDFCreater::signatureTapped()
{
    if (!m_rootViewController || !m_order)
        return;
    if (blank(m_order->customerName())) {
        auto alert = std::make_shared<ui::AlertView>(Language::stringWithName("NOTIFICATION"),
                                                     Language::stringWithName("SELECTCUSTOMERALERT"), nullptr,
                                                     Language::stringWithName("OK"));
        alert->show();
        return;
    }
    auto pad = std::make_shared<PainterViewController>();
    std::weak_ptr<ui::ImageView> view = m_signatureValue;
    std::weak_ptr<QuoteOrderEntity> order = m_order;
    std::shared_ptr<bool> edited = m_hasEditsignature;
    pad->setBlock([view, order, edited](const gfx::Image& image) {
        auto shown = view.lock();
        auto target = order.lock();
        if (image.isNull() || !shown || !target)
            return;
        gfx::Image fitted = PublicFunction::scaleImageToFitSize(image, shown->frame().size);
        shown->setImage(fitted);
        target->setSignature(SkinManager::image2String(fitted));
        *edited = true;
    });
    m_rootViewController->presentViewController(pad, true);
}

BRPDFCellList OrderPDFCreater::additionalFooterInPage(int)
{
    auto rule = std::make_shared<RuleCell>(gfx::Rect(0, 0, W, 1), rulePicture());
    rule->setFrameInContainer({60, currentContentHeight(), W, 1});
    return {rule};
}

base::Bytes OrderPDFCreater::generatePDFToData()
{
    gfx::Image signature = m_signatureValue ? m_signatureValue->image() : gfx::Image();
    if (auto* cell = dynamic_cast<BRPDFCreaterImageCell*>(cellWithTag(kSignatureCellTag).get())) {
        cell->setImage(signature);
    } else {
        removeCellByTag(kSignatureCellTag);
        auto fresh = std::make_shared<BRPDFCreaterImageCell>(gfx::Rect(16.5 * U, -157, 192, 132), signature);
        fresh->setTagOfCell(kSignatureCellTag);
        addCell(fresh);
    }
    return BRPDFCreater::generatePDFToData();
}
