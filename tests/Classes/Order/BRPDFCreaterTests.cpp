// The layout engine: where cells land and when pages turn, and the PDF and preview it renders,
// checked with the poppler and qpdf tools.
#include "Classes/Order/BRPDFCreater.h"
#include "Platform/Graphics/Context.h"
#include "tests/Platform/Graphics/TestSupport.h"

#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <sstream>

namespace {

using gfx::test::commandOutput;

std::shared_ptr<BRPDFCreaterBaseCell> box(double x, double y, double w, double h, int tag = 0)
{
    auto cell = std::make_shared<BRPDFCreaterBaseCell>(gfx::Rect(x, y, w, h));
    cell->setTagOfCell(tag);
    return cell;
}

std::shared_ptr<BRPDFCreaterStringCell> text(const std::string& s, gfx::Rect frame, int alignment = 0)
{
    return std::make_shared<BRPDFCreaterStringCell>(frame, s, gfx::Font::systemFont(15), gfx::Color::black(), alignment);
}

gfx::Image picture(gfx::Color color)
{
    auto context = gfx::Context::createBitmap({16, 8}, 1);
    context->setFillColor(color);
    context->fillRect({0, 0, 16, 8});
    return context->makeImage();
}

// Which page (from 1) holds the cell.
int pageOf(const BRPDFCreater& creator, const std::shared_ptr<BRPDFCreaterBaseCell>& cell)
{
    const auto& pages = *creator.cellsPageArray();
    for (size_t k = 0; k < pages.size(); ++k)
        for (const auto& c : pages[k])
            if (c == cell)
                return static_cast<int>(k) + 1;
    return 0;
}

class PdfFile {
public:
    explicit PdfFile(const base::Bytes& data)
    {
        std::ofstream(m_path, std::ios::binary).write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));
    }
    std::string run(const std::string& tool) const { return commandOutput(tool + " '" + m_path + "' 2>&1"); }
    std::string text() const { return commandOutput("pdftotext -layout '" + m_path + "' - 2>&1"); }
    // The word boxes on one page, as (word, xMin, yMin, xMax, yMax).
    struct Word {
        std::string word;
        double x0, y0, x1, y1;
    };
    std::vector<Word> words(int page) const
    {
        std::string out = commandOutput("pdftotext -bbox -f " + std::to_string(page) + " -l " + std::to_string(page)
                                        + " '" + m_path + "' - 2>&1");
        std::vector<Word> words;
        std::regex re(R"re(<word xMin="([\d.]+)" yMin="([\d.]+)" xMax="([\d.]+)" yMax="([\d.]+)">([^<]*)</word>)re");
        for (auto it = std::sregex_iterator(out.begin(), out.end(), re); it != std::sregex_iterator(); ++it)
            words.push_back({(*it)[5], std::stod((*it)[1]), std::stod((*it)[2]), std::stod((*it)[3]), std::stod((*it)[4])});
        return words;
    }

private:
    gfx::test::TempDir m_dir;
    std::string m_path = m_dir.file("doc.pdf");
};

// Rows of `pdfimages -list` on the page, or on every page for 0.
int imagesOnPage(const PdfFile& pdf, int page)
{
    std::istringstream list(pdf.run("pdfimages -list"));
    std::string line;
    int count = 0;
    while (std::getline(list, line)) {
        int on = 0;
        if (std::sscanf(line.c_str(), " %d", &on) == 1 && (page == 0 || on == page))
            ++count;
    }
    return count;
}

TEST(BRPDFCreater, PagesTurnWhenABandCrossesTheBottomMargin)
{
    struct Case {
        const char* name;
        std::vector<gfx::Rect> line; // one line of cells at H = 60 on page 1
        int page; // where the line lands
        double y; // the line's top in container space
        double after; // H once placed
    };
    const double P = 1448;
    for (const Case& c : std::vector<Case>{
             {"fits exactly", {{0, 0, 10, 1328}}, 1, 60, 1388},
             {"one point more", {{0, 0, 10, 1329}}, 2, P + 60, P + 60 + 1329},
             {"second cell too tall takes the line", {{0, 0, 10, 40}, {20, 0, 10, 1400}}, 2, P + 60, P + 1460},
             {"taller than a page turns once", {{0, 0, 10, 2000}}, 2, P + 60, P + 2060},
             {"negative y lands above H", {{0, -20, 10, 10}}, 1, 40, 60},
         }) {
        BRPDFCreater creator;
        std::vector<std::shared_ptr<BRPDFCreaterBaseCell>> cells;
        for (const gfx::Rect& r : c.line) {
            cells.push_back(box(r.x(), r.y(), r.width(), r.height()));
            creator.addCell(cells.back());
        }
        creator.beginNewLine();
        for (const auto& cell : cells)
            EXPECT_EQ(pageOf(creator, cell), c.page) << c.name;
        EXPECT_EQ(cells.front()->frameInContainer().y(), c.y) << c.name;
        EXPECT_EQ(cells.front()->frameInContainer().x(), 60 + c.line.front().x()) << c.name;
        EXPECT_EQ(creator.currentContentHeight(), c.after) << c.name;
        EXPECT_EQ(creator.currentPage(), c.page) << c.name;
    }
}

TEST(BRPDFCreater, LinesSpacingsAndPageLists)
{
    BRPDFCreater creator;
    EXPECT_EQ(creator.currentPage(), 0);
    EXPECT_EQ(creator.currentContentHeight(), 60);
    EXPECT_TRUE(creator.generatePDFToData().empty());

    // A null cell is dropped but begins page 1 with its number.
    creator.addCell(nullptr);
    EXPECT_EQ(creator.currentPage(), 1);
    EXPECT_TRUE(creator.currentLineArray().empty());
    creator.beginNewLine();
    EXPECT_EQ(creator.currentContentHeight(), 60);
    creator.setLineSpacing(5);
    creator.beginNewLine();
    EXPECT_EQ(creator.currentContentHeight(), 65);
    creator.addCell(box(0, 0, 10, 30));
    creator.beginNewLine();
    EXPECT_EQ(creator.currentContentHeight(), 100);

    // Spacing with automatic paging only tests the page; without it, H moves.
    creator.addSpacing(200);
    EXPECT_EQ(creator.currentContentHeight(), 100);
    creator.addSpacing(1300);
    EXPECT_EQ(creator.currentPage(), 2);
    EXPECT_EQ(creator.currentContentHeight(), 1448 + 60);
    creator.setAutoPage(false);
    creator.addSpacing(20);
    EXPECT_EQ(creator.currentContentHeight(), 1448 + 80);

    // Page 2's number: the bottom band between the margins.
    auto number = (*creator.cellsPageArray())[1].front();
    auto* numberText = dynamic_cast<BRPDFCreaterStringCell*>(number.get());
    ASSERT_NE(numberText, nullptr);
    EXPECT_EQ(numberText->text(), "- Page 2 -");
    EXPECT_EQ(number->frameInContainer(), gfx::Rect(60, 2836, 904, 60));
    EXPECT_EQ(number->frameInLine(), gfx::Rect(0, 0, 904, 60));
    EXPECT_EQ(numberText->textAlignment(), 1);
    EXPECT_TRUE(numberText->centerInVertical());

    // Tag 0 is everyone's: page 1's number comes first.
    EXPECT_EQ(creator.cellWithTag(0), (*creator.cellsPageArray())[0].front());
    creator.addCell(box(0, 0, 5, 5, 7));
    creator.addCell(box(10, 0, 5, 5, 7));
    creator.beginNewPage();
    EXPECT_EQ(creator.currentPage(), 3);
    auto first = creator.cellWithTag(7);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->frameInContainer().x(), 60);
    creator.removeCellByTag(7);
    auto second = creator.cellWithTag(7);
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(second->frameInContainer().x(), 70);
    creator.removeCellByTag(7);
    EXPECT_EQ(creator.cellWithTag(7), nullptr);
    creator.removeCellByTag(7); // none left: nothing happens
    EXPECT_EQ(creator.cellsPageArray()->size(), 3u);

    creator.clearAllCell();
    EXPECT_EQ(creator.currentPage(), 0);
    EXPECT_TRUE(creator.cellsPageArray()->empty());
    EXPECT_TRUE(creator.generatePDFToData().empty());
}

// Footer and header hooks: a rule under every page closed by automatic paging.
class FooterCreater : public BRPDFCreater {
public:
    BRPDFCellList additionalHeaderInPage(int page) override
    {
        heads.push_back(page);
        return {};
    }
    BRPDFCellList additionalFooterInPage(int page) override
    {
        feet.push_back(page);
        auto rule = box(0, 0, 904, 1, 900 + page);
        rule->setFrameInContainer({60, currentContentHeight(), 904, 1});
        return {rule};
    }
    std::vector<int> heads, feet;
};

TEST(BRPDFCreater, HooksGiveHeadersAndFootersToTheirPages)
{
    FooterCreater creator;
    creator.addSpacing(10); // before any page: page 1 first, no footer for page 0
    for (int row = 0; row < 70; ++row) {
        creator.addCell(box(0, 0, 100, 40, 1));
        creator.beginNewLine();
    }
    creator.beginNewPage();
    // 33 rows on each page (content 60 to 1388 of the page), 4 on page 3; the last call begins page 4.
    EXPECT_EQ(creator.heads, (std::vector<int>{1, 2, 3, 4}));
    EXPECT_EQ(creator.feet, (std::vector<int>{1, 2}));
    const auto& pages = *creator.cellsPageArray();
    ASSERT_EQ(pages.size(), 4u);
    // Number first, content, then the footer as the last cell of a page paging closed.
    EXPECT_EQ(pages[0].back()->tagOfCell(), 901);
    EXPECT_EQ(pages[0].back()->frameInContainer().y(), 60 + 33 * 40);
    EXPECT_EQ(pages[1].back()->tagOfCell(), 902);
    EXPECT_EQ(pages[0].size(), 1u + 33 + 1);
    EXPECT_EQ(pages[1].size(), 1u + 33 + 1);
    EXPECT_EQ(pages[2].size(), 1u + 4);
    EXPECT_EQ(pages[3].size(), 1u);
}

TEST(BRPDFCreater, RendersTextAndPicturesToAValidPdf)
{
    BRPDFCreater creator;
    std::vector<std::shared_ptr<BRPDFCreaterImageCell>> images;
    for (int page = 0; page < 3; ++page) {
        creator.addCell(text("Widget", {0, 0, 300, 40}));
        creator.addCell(text("中国", {400, 0, 200, 40}, 1));
        images.push_back(std::make_shared<BRPDFCreaterImageCell>(gfx::Rect(700, 0, 160, 80), picture(gfx::Color::red())));
        creator.addCell(images.back());
        creator.addCell(std::make_shared<BRPDFCreaterImageCell>(gfx::Rect(0, 100, 50, 50))); // no image: nothing drawn
        creator.beginNewLine();
        if (page < 2)
            creator.beginNewPage();
    }
    base::Bytes data = creator.generatePDFToData();
    ASSERT_FALSE(data.empty());
    PdfFile pdf(data);
    std::string info = pdf.run("pdfinfo");
    EXPECT_NE(info.find("Pages:           3"), std::string::npos) << info;
    EXPECT_NE(info.find("1024 x 1448 pts"), std::string::npos) << info;
    std::string all = pdf.text();
    EXPECT_NE(all.find("Widget"), std::string::npos);
    EXPECT_NE(all.find("中国"), std::string::npos);
    EXPECT_NE(all.find("- Page 3 -"), std::string::npos);
    std::string fonts = pdf.run("pdffonts");
    EXPECT_NE(fonts.find("LiberationSans"), std::string::npos) << fonts;
    EXPECT_NE(fonts.find("WenQuanYi"), std::string::npos) << fonts;
    EXPECT_NE(fonts.find("LiberationSerif-Italic"), std::string::npos) << fonts;
    EXPECT_EQ(fonts.find(" no  "), std::string::npos) << "every font embedded:\n" << fonts;
    EXPECT_EQ(imagesOnPage(pdf, 0), 3);
    EXPECT_NE(pdf.run("qpdf --check").find("No syntax or stream encoding errors"), std::string::npos);

    // The centred cell's text is centred on its box; the number stands in the bottom margin.
    for (const auto& word : pdf.words(2)) {
        if (word.word == "中国") {
            EXPECT_NEAR((word.x0 + word.x1) / 2, 60 + 400 + 100, 1.0);
            EXPECT_NEAR((word.y0 + word.y1) / 2, 60 + 20, 3.0);
        }
        if (word.word == "Page") {
            EXPECT_GT(word.y0, 1448 - 60);
        }
    }

    // The same layout again gives the same bytes.
    creator.clearAllCell();
    for (int page = 0; page < 3; ++page) {
        creator.addCell(text("Widget", {0, 0, 300, 40}));
        creator.addCell(text("中国", {400, 0, 200, 40}, 1));
        creator.addCell(std::make_shared<BRPDFCreaterImageCell>(gfx::Rect(700, 0, 160, 80), picture(gfx::Color::red())));
        creator.addCell(std::make_shared<BRPDFCreaterImageCell>(gfx::Rect(0, 100, 50, 50)));
        creator.beginNewLine();
        if (page < 2)
            creator.beginNewPage();
    }
    EXPECT_EQ(creator.generatePDFToData(), data);
}

TEST(BRPDFCreater, PreviewSharesThePagesAndDrawsOnlyWhatShows)
{
    BRPDFCreater creator;
    for (int page = 0; page < 3; ++page) {
        creator.addCell(text("Widget", {0, 0, 300, 40}));
        creator.addCell(std::make_shared<BRPDFCreaterImageCell>(gfx::Rect(400, 0, 100, 50), picture(gfx::Color::blue())));
        creator.beginNewLine();
        if (page < 2)
            creator.beginNewPage();
    }
    auto view = creator.generatePDFToView();
    EXPECT_EQ(view->frame(), gfx::Rect(0, 0, 1024, 3 * 1448));
    EXPECT_EQ(view->cellsArray(), creator.cellsPageArray());

    // A cell added afterwards shows in the next PDF and in the preview's next drawing.
    creator.addCell(std::make_shared<BRPDFCreaterImageCell>(gfx::Rect(600, 0, 100, 50), picture(gfx::Color::green())));
    PdfFile pdf(creator.generatePDFToData());
    EXPECT_EQ(imagesOnPage(pdf, 3), 2);
    auto context = gfx::Context::createBitmap({1024, 1448});
    context->translate(0, -2 * 1448);
    view->drawRect(*context, {0, 2 * 1448, 1024, 1448});
    gfx::Image page3 = context->makeImage();
    EXPECT_EQ(page3.pixelAt(660 + 50, 110 + 25), 0xff00ff00u); // below the line's 50 points
    EXPECT_EQ(page3.pixelAt(460 + 50, 60 + 25), 0xff0000ffu);
    // A dirty rectangle that misses a cell leaves it undrawn.
    auto part = gfx::Context::createBitmap({1024, 100});
    part->translate(0, -2 * 1448);
    view->drawRect(*part, {0, 2 * 1448, 500, 100});
    gfx::Image partImage = part->makeImage();
    EXPECT_EQ(partImage.pixelAt(460 + 50, 60 + 25), 0xff0000ffu);
    EXPECT_EQ(partImage.pixelAt(660 + 50, 110 + 25), 0u);
    if (const char* review = std::getenv("BRIVANTA_REVIEW_DIR")) {
        EXPECT_EQ(page3.writePng(std::string(review) + "/pdf_preview_page3.png"), nullptr);
    }
}

} // namespace

#include "Platform/UI/ScrollView.h"
#include "Platform/UI/ViewController.h"
#include "tests/App/AppWindowTestSupport.h"
#include <sys/resource.h>

namespace {

class PreviewWindowTest : public apptest::AppWindowTest {};

long peakKiB()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

TEST_F(PreviewWindowTest, ALongPreviewDrawsItsVisiblePartOnly)
{
    BRPDFCreater creator;
    for (int page = 0; page < 20; ++page) {
        creator.addCell(text("Page body " + std::to_string(page + 1), {0, 0, 400, 40}));
        creator.beginNewPage();
    }
    auto preview = creator.generatePDFToView();
    ASSERT_EQ(preview->frame().height(), 21 * 1448.0);
    auto host = std::make_shared<ui::ViewController>();
    window->setRootViewController(host);
    auto scroll = ui::View::make<ui::ScrollView>(gfx::Rect(0, 44, 1024, 724));
    scroll->setContentSize(preview->frame().size);
    scroll->addSubview(preview);
    host->view()->addSubview(scroll);
    scroll->setContentOffset({0, 10 * 1448});
    long before = peakKiB();
    std::string shot = reviewPath("pdf_preview_window.png");
    ASSERT_TRUE(driver->screenshot(shot));
    // A bitmap of the whole preview would be 1024 x 30408 x 4 bytes, about 120 MB.
    EXPECT_LT(peakKiB() - before, 40 * 1024);
    EXPECT_NE(driver->findByClass("BRPDFView"), nullptr);
}

} // namespace
