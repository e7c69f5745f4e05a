#pragma once
#include "Classes/Order/BRPDFCreater.h"

#include <memory>

class QuoteOrderEntity;
class QuoteOrderItemEntity;
namespace ui {
class ImageView;
class ScrollView;
class ViewController;
}

// The order form: logo, customer block, order block with the lines and four summary lines,
// and the signature field, laid out on 1024 x 1448 pages, shown in a scroll view and rendered
// as PDF with the signature of the moment.
class OrderPDFCreater : public BRPDFCreater {
public:
    // The signature cell that each PDF rendering fills from the signature view.
    static constexpr int kSignatureCellTag = 5001;
    static constexpr double kContentWidth = 904;
    static constexpr double kUnit = kContentWidth / 22.5;

    OrderPDFCreater() : BRPDFCreater(gfx::Size{0, 0}) {}
    OrderPDFCreater(std::shared_ptr<QuoteOrderEntity> order, gfx::Size pageSize, ui::ViewController* rootViewController);
    ~OrderPDFCreater() override;

    const std::shared_ptr<QuoteOrderEntity>& order() const { return m_order; }
    ui::ScrollView* pdfScrollView() const { return m_pdfScrollView; }
    // The screen that presents the signature pad; it clears this before it goes.
    void setRootViewController(ui::ViewController* controller) { m_rootViewController = controller; }
    const std::shared_ptr<ui::ImageView>& signatureValue() const { return m_signatureValue; }
    bool hasEditsignature() const { return *m_hasEditsignature; }

    void generatePdfInScrollView(ui::ScrollView* scrollView);
    // Lays the form out again in the current language; the signature view moves with it.
    void updateLanguage();
    // With the signature view's image in the signature cell.
    base::Bytes generatePDFToData();
    BRPDFCellList additionalFooterInPage(int page) override;
    // The action of a tap on an empty signature field.
    void signatureTapped();

private:
    void layOut();
    void addLogoImageView();
    void addCustomerInfoLabels();
    void addOrderLabels();
    void addOneOrderItemIndex(const QuoteOrderItemEntity& line, int index);
    void addOneDiscountLineWithLeftStringRightString(const std::string& left, const std::string& right);
    void addSignatureLabels();
    void addSignatureImageView();
    void addLineFromPointToPointWidth(gfx::Point from, gfx::Point to, int width);
    void addText(const gfx::Rect& frame, const std::string& text, const gfx::Font& font, int alignment);
    void addRuleAcross(int width);
    void addVerticals(const std::vector<double>& xs, double bottom);
    void showPreview();
    void placeSignatureView();

    std::shared_ptr<QuoteOrderEntity> m_order;
    ui::ScrollView* m_pdfScrollView = nullptr;
    ui::ViewController* m_rootViewController = nullptr;
    std::shared_ptr<ui::ImageView> m_signatureValue;
    // Shared with the pad's block, which may outlive a form whose screen went away.
    std::shared_ptr<bool> m_hasEditsignature = std::make_shared<bool>(false);
};
