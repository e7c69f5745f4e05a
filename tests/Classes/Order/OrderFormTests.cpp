// The order form and its screen: the PDF read back with the poppler tools, the signature taken
// on the pad through the window, saving or dropping it on leaving, mail and print.
#include "Classes/Order/OrderPDFCreater.h"
#include "Classes/Order/PainterViewController.h"
#include "Classes/Order/QuoteOrderPDFViewController.h"
#include "Common/UIHelpers.h"
#include "Common/SkinManager.h"
#include "Database/DataAccessManager.h"
#include "Database/QuoteOrderEntity.h"
#include "Platform/Base/OutsideWork.h"
#include "Platform/Base/Paths.h"
#include "Platform/Share/MailComposer.h"
#include "Platform/UI/Application.h"
#include "Platform/UI/Button.h"
#include "Platform/UI/ImageView.h"
#include "Platform/UI/Label.h"
#include "Platform/UI/NavigationBar.h"
#include "Platform/UI/NavigationController.h"
#include "Platform/UI/ScrollView.h"
#include "Protocol/LoginMode.h"
#include "tests/App/AppWindowTestSupport.h"
#include "tests/Platform/Graphics/TestSupport.h"

#include <pango/pangocairo.h>

#include <fstream>
#include <sstream>
#include <vector>

namespace {

using gfx::test::commandOutput;

// Hears what the screen hands the mail composer, and answers as told.
class RecordingComposer : public share::MailComposer {
public:
    bool canSendMail() override { return true; }
    share::MailResult compose(const std::string& subject, const std::vector<std::string>& recipients,
                              const share::Attachment& attachment) override
    {
        sent.push_back({subject, recipients, attachment});
        return share::MailResult::Failed;
    }
    struct Message {
        std::string subject;
        std::vector<std::string> recipients;
        share::Attachment attachment;
    };
    std::vector<Message> sent;
};

std::shared_ptr<QuoteOrderItemEntity> line(const std::string& name, double price, int quantity, double rate = 0)
{
    auto item = std::make_shared<QuoteOrderItemEntity>();
    brivanta_product_Entity product;
    product.product_id = 7;
    product.product_name = name;
    item->setProduct(product);
    item->setName(name);
    item->setSku("SKU-" + name);
    item->setCurrency("USD");
    item->setPrice(price);
    item->setFinalPrice(price < 0 ? price : price * (100 - rate) / 100);
    item->setDiscontRat(rate);
    item->setQuantity(quantity);
    item->setAttributes("Colour:Blue");
    return item;
}

std::shared_ptr<QuoteOrderEntity> order(int lines = 0)
{
    auto o = std::make_shared<QuoteOrderEntity>();
    o->setNumber("alice_260612140509");
    o->setCustomerName("ACME Ltd");
    o->setCustomerAddress("5 Elm Road");
    o->setCity("Springfield");
    o->setState("Ohio");
    o->setZip_code("45501");
    o->setMdate("06/12/2026 14:05:09");
    o->setCurrency("USD");
    o->items().push_back(line("Widget", 100, 2, 10));
    o->items().push_back(line("Gadget", -1, 1));
    for (int i = 0; i < lines; ++i)
        o->items().push_back(line("Part" + std::to_string(i), 5, 1));
    o->setDiscountRat(10);
    return o;
}

class PdfText {
public:
    explicit PdfText(const base::Bytes& data)
    {
        std::ofstream(m_path, std::ios::binary).write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));
    }
    std::string run(const std::string& tool) const { return commandOutput(tool + " '" + m_path + "' 2>&1"); }
    std::string text() const { return commandOutput("pdftotext -layout '" + m_path + "' - 2>&1"); }
    int pages() const
    {
        std::string info = run("pdfinfo");
        auto at = info.find("Pages:");
        return at == std::string::npos ? 0 : std::atoi(info.c_str() + at + 6);
    }
    int images() const
    {
        // Pictures, not the soft masks of those with transparency.
        std::istringstream list(run("pdfimages -list"));
        std::string row;
        int count = 0, page = 0, number = 0;
        char type[16] = {};
        while (std::getline(list, row))
            count += std::sscanf(row.c_str(), " %d %d %15s", &page, &number, type) == 3 && std::string(type) == "image";
        return count;
    }

private:
    gfx::test::TempDir m_dir;
    std::string m_path = m_dir.file("form.pdf");
};

class OrderFormTest : public apptest::AppWindowTest {
protected:
    OrderFormTest()
    {
        ui::View::setAnimationsEnabled(false);
        DataAccessManager::releaseDataModel();
        LoginMode::freeInstance();
        LoginMode::sharedInstance()->setClientID("AcMe");
        root = std::make_shared<ui::ViewController>();
        nav = std::make_shared<ui::NavigationController>(root);
        window->setRootViewController(nav);
    }
    ~OrderFormTest() override
    {
        share::MailComposer::setShared(nullptr);
        ui::AlertView::dismissAllForTesting();
        screen.reset();
        nav.reset();
        DataAccessManager::releaseDataModel();
        LoginMode::freeInstance();
    }
    void show(std::shared_ptr<QuoteOrderEntity> shown)
    {
        screen = std::make_shared<QuoteOrderPDFViewController>();
        screen->setOrder(std::move(shown));
        screen->setSaveOrder([this] {
            ++saves;
            return saveAnswer;
        });
        nav->pushViewController(screen, false);
        driver->wait(1);
        window->layoutIfNeeded();
    }
    // A stroke on the pad the signature field opened, then DONE.
    void sign()
    {
        auto* field = screen->pdfCreater()->signatureValue().get();
        screen->containerView()->scrollRectToVisible(field->frame(), false);
        window->layoutIfNeeded();
        ASSERT_TRUE(driver->tap(field));
        driver->wait(1);
        auto pad = std::dynamic_pointer_cast<PainterViewController>(screen->presentedViewController());
        ASSERT_NE(pad, nullptr);
        window->layoutIfNeeded();
        driver->drag({200, 300}, {700, 500});
        driver->tap(pad->naviBar()->rightButton());
        driver->wait(1);
    }

    std::shared_ptr<ui::ViewController> root;
    std::shared_ptr<ui::NavigationController> nav;
    std::shared_ptr<QuoteOrderPDFViewController> screen;
    int saves = 0;
    bool saveAnswer = true;
};

TEST_F(OrderFormTest, TheFormCarriesTheOrderOnNumberedPages)
{
    struct Case {
        const char* name;
        std::shared_ptr<QuoteOrderEntity> order;
        int pages; // at least
        std::vector<std::string> texts;
    };
    auto negative = order();
    negative->setDiscountRat(-5);
    auto empty = order();
    empty->items().clear();
    auto longAddress = order();
    longAddress->setCustomerAddress("Unit 4, Block B, The Old Mill Industrial Estate, 1200 Riverside Drive North, behind the "
                                    "grain silos and past the railway crossing, Springfield County, Ohio, United States");
    for (const Case& c : std::vector<Case>{
             {"two lines", order(), 1, {"Customer Information", "Order Form", "ACME Ltd", "Order Number: alice_260612140509",
                                        "Widget", "10.00% off", "- Page 1 -", "$180.00"}},
             {"negative rate", negative, 1, {"-5.00%"}},
             {"no lines", empty, 1, {"No.", "Itemized Total", "Original Total", "Discounted Total"}},
             {"thirty lines", order(30), 2, {"- Page 1 -", "- Page 2 -", "Part29"}},
             {"long address", longAddress, 1, {"Riverside"}},
         }) {
        OrderPDFCreater form(c.order, {1024, 1448}, nullptr);
        auto scroll = ui::View::make<ui::ScrollView>(gfx::Rect(0, 0, 1024, 724));
        form.generatePdfInScrollView(scroll.get());
        PdfText pdf(form.generatePDFToData());
        EXPECT_GE(pdf.pages(), c.pages) << c.name;
        EXPECT_EQ(scroll->contentSize().height, 1448.0 * form.currentPage()) << c.name;
        std::string text = pdf.text();
        for (const auto& expected : c.texts)
            EXPECT_NE(text.find(expected), std::string::npos) << c.name << ": " << expected;
        EXPECT_NE(pdf.run("qpdf --check").find("No syntax or stream encoding errors"), std::string::npos) << c.name;
        if (c.order->items().size() > 20) {
            // Each page automatic paging closed ends with the 1-point rule under its last row.
            const auto& pages = *form.cellsPageArray();
            ASSERT_GE(pages.size(), 2u);
            const auto& closing = pages[0].back();
            EXPECT_EQ(closing->frameInContainer().height(), 1);
            EXPECT_EQ(closing->frameInContainer().width(), 904);
        }
        if (std::string(c.name) == "long address") {
            // Row 2 grows with the wrapped street.
            bool tall = false;
            for (const auto& cell : (*form.cellsPageArray())[0])
                if (auto* s = dynamic_cast<BRPDFCreaterStringCell*>(cell.get()); s && s->text() && s->text()->find("Riverside") != std::string::npos)
                    tall = cell->frameInLine().height() > 40;
            EXPECT_TRUE(tall);
        }
        if (std::string(c.name) == "two lines") {
            // The hidden price's discount column reads "-".
            bool dash = false;
            for (const auto& cell : (*form.cellsPageArray())[0])
                if (auto* s = dynamic_cast<BRPDFCreaterStringCell*>(cell.get()); s && s->text() == "-   ")
                    dash = true;
            EXPECT_TRUE(dash);
        }
    }
}

TEST_F(OrderFormTest, ASignatureDrawnOnThePadGoesIntoTheNextPdfAndIsSavedOrDropped)
{
    auto unnamed = order();
    unnamed->setCustomerName("   ");
    show(unnamed);
    screen->pdfCreater()->signatureTapped();
    auto alert = ui::AlertView::visibleAlert();
    ASSERT_NE(alert, nullptr);
    EXPECT_EQ(alert->message(), Language::stringWithName("SELECTCUSTOMERALERT"));
    ui::AlertView::dismissAllForTesting();
    EXPECT_EQ(screen->presentedViewController(), nullptr);
    nav->popViewController(false);

    auto shown = order();
    show(shown);
    PdfText before(screen->createPDFData());
    sign();
    ASSERT_FALSE(screen->pdfCreater()->signatureValue()->image().isNull());
    EXPECT_TRUE(screen->pdfCreater()->hasEditsignature());
    ASSERT_TRUE(shown->signature());
    // The stored text is a JPEG: white where nothing was drawn, dark on the stroke.
    gfx::Image decoded = SkinManager::string2Image(shown->signature());
    ASSERT_FALSE(decoded.isNull());
    EXPECT_GT(decoded.colorAt(1, 1).r, 0.9);
    PdfText after(screen->createPDFData());
    EXPECT_EQ(after.images(), before.images() + 1);
    if (const char* review = std::getenv("BRIVANTA_REVIEW_DIR")) {
        screen->containerView()->setContentOffset({0, 600});
        driver->screenshot(std::string(review) + "/order_pdf_screen_signed.png");
    }

    // BACK asks; a tap outside keeps everything; DONTSAVE drops the signature and leaves.
    driver->tap(screen->backButton());
    alert = ui::AlertView::visibleAlert();
    ASSERT_NE(alert, nullptr);
    EXPECT_EQ(alert->tag(), QuoteOrderPDFViewController::kAskSaveSignature);
    driver->tap(gfx::Point{10, 700});
    EXPECT_EQ(ui::AlertView::visibleAlert(), nullptr);
    EXPECT_EQ(nav->topViewController(), screen);
    EXPECT_TRUE(shown->signature());

    // SAVE goes through the editor's save; a refused save keeps the screen.
    saveAnswer = false;
    screen->alertViewClickedButtonAtIndex(*alert, 1);
    EXPECT_EQ(saves, 1);
    EXPECT_EQ(nav->topViewController(), screen);
    saveAnswer = true;
    screen->alertViewClickedButtonAtIndex(*alert, 1);
    EXPECT_EQ(saves, 2);
    driver->wait(1);
    EXPECT_EQ(nav->topViewController(), root);
    EXPECT_TRUE(shown->signature());

    auto dropped = order();
    show(dropped);
    sign();
    driver->tap(screen->backButton());
    alert = ui::AlertView::visibleAlert();
    ASSERT_NE(alert, nullptr);
    screen->alertViewClickedButtonAtIndex(*alert, 0);
    EXPECT_EQ(dropped->signature(), std::nullopt);
    EXPECT_EQ(saves, 2);
}

TEST_F(OrderFormTest, MailAndPrintHandTheFormOver)
{
    auto recorder = std::make_shared<RecordingComposer>();
    share::MailComposer::setShared(recorder);
    auto& sent = recorder->sent;
    auto spaces = order();
    spaces->setCustomerName("  ");
    for (auto& shown : {order(), spaces}) {
        show(shown);
        driver->tap(screen->emailButton());
        auto alert = ui::AlertView::visibleAlert();
        ASSERT_NE(alert, nullptr);
        EXPECT_EQ(alert->title(), Language::stringWithName("MAILFAILED"));
        ui::AlertView::dismissAllForTesting();
        nav->popViewController(false);
    }
    ASSERT_EQ(sent.size(), 2u);
    std::string word = Language::stringWithName("ORDER");
    EXPECT_EQ(sent[0].subject, "[" + word + "-ACME Ltd]");
    EXPECT_EQ(sent[1].subject, "[" + word + "]");
    EXPECT_TRUE(sent[0].recipients.empty());
    EXPECT_EQ(sent[0].attachment.fileName, "Order.pdf");
    EXPECT_EQ(sent[0].attachment.mimeType, "application/pdf");
    EXPECT_EQ(PdfText(sent[0].attachment.data).pages(), 1);

    // The real Outbox: a message Python's mail parser reads; an Outbox that cannot be made
    // means no mail.
    share::MailComposer::setShared(nullptr);
    show(order());
    gfx::test::TempDir noPrograms;
    {
        // No mail program: the user is told where the message was left.
        basetest::ScopedEnv bare("PATH", noPrograms.file(""));
        driver->tap(screen->emailButton());
    }
    auto outbox = std::filesystem::path(base::Paths::home()) / "Outbox";
    std::string eml;
    for (const auto& entry : std::filesystem::directory_iterator(outbox))
        if (entry.path().extension() == ".eml")
            eml = entry.path().string();
    ASSERT_FALSE(eml.empty());
    {
        auto saved = ui::AlertView::visibleAlert();
        ASSERT_NE(saved, nullptr) << "the message was saved and nothing said so";
        EXPECT_EQ(saved->title(), Language::stringWithName("MAILSAVED"));
        EXPECT_EQ(saved->message(), eml);
        driver->wait(0.5);
        driver->screenshot(reviewPath("order_mail_saved_en.png"));
        ui::AlertView::dismissAllForTesting();
    }
    {
        // A mail program that takes the message needs no word from us.
        std::ofstream(noPrograms.file("xdg-email")) << "#!/bin/sh\nexit 0\n";
        std::filesystem::permissions(noPrograms.file("xdg-email"), std::filesystem::perms::owner_all);
        basetest::ScopedEnv handed("PATH", noPrograms.file(""));
        driver->tap(screen->emailButton());
        EXPECT_EQ(ui::AlertView::visibleAlert(), nullptr);
        base::RunLoop::main().runUntil([] { return base::outsideWorkCount() == 0; }, 30);
        EXPECT_EQ(ui::AlertView::visibleAlert(), nullptr);
    }
    // A mail program that takes the message and then fails (a desktop with no mail program
    // set up): once it has ended, the user is told where the message stays. A headless run
    // starts no program at all: it records the address and says where the message is.
    std::string started = noPrograms.file("started");
    std::ofstream(noPrograms.file("xdg-email")) << "#!/bin/sh\necho x >> '" << started << "'\nexit 3\n";
    for (bool headless : {false, true}) {
        SCOPED_TRACE(headless ? "headless" : "window");
        std::filesystem::remove(started);
        std::vector<std::string> recorded;
        ui::Application::shared().setRecordsOpenedURLs(headless);
        ui::Application::shared().setURLRecorder([&](const std::string& url) { recorded.push_back(url); });
        {
            basetest::ScopedEnv failing("PATH", noPrograms.file(""));
            driver->tap(screen->emailButton());
        }
        auto& mail = static_cast<share::OutboxMailComposer&>(share::MailComposer::shared());
        std::string kept = mail.lastMessagePath();
        ASSERT_TRUE(base::RunLoop::main().runUntil([] { return ui::AlertView::visibleAlert() != nullptr; }, 30))
            << "the mail program failed and nothing said so";
        auto saved = ui::AlertView::visibleAlert();
        EXPECT_EQ(saved->title(), Language::stringWithName("MAILSAVED"));
        EXPECT_EQ(saved->message(), kept);
        EXPECT_TRUE(std::filesystem::exists(kept));
        EXPECT_EQ(std::filesystem::exists(started), !headless);
        EXPECT_EQ(recorded, headless ? std::vector<std::string>{"mailto:?subject=%5B" + Language::stringWithName("ORDER") +
                                                                "-ACME%20Ltd%5D"}
                                     : std::vector<std::string>{});
        ui::AlertView::dismissAllForTesting();
        ui::Application::shared().setURLRecorder({});
        ui::Application::shared().setRecordsOpenedURLs(false);
    }
    std::string parsed = commandOutput("/usr/bin/python3 -c \"import email,sys; m=email.message_from_binary_file(open(sys.argv[1],'rb')); "
                                       "p=[x for x in m.walk() if x.get_filename()][0]; print(p.get_filename(), p.get_content_type(), "
                                       "p.get_payload(decode=True)[:5])\" '" + eml + "'");
    EXPECT_EQ(parsed, "Order.pdf application/pdf b'%PDF-'\n");

    // Printing: a stand-in lp on the PATH receives the file; without lp the PDF is kept.
    gfx::test::TempDir bin;
    std::string received = bin.file("received.pdf");
    std::ofstream(bin.file("lp")) << "#!/bin/sh\nfor last; do :; done\ncp \"$last\" '" << received << "'\n";
    std::filesystem::permissions(bin.file("lp"), std::filesystem::perms::owner_all);
    {
        std::string path = std::string(std::getenv("PATH") ? std::getenv("PATH") : "");
        basetest::ScopedEnv withLp("PATH", bin.file("") + ":" + path);
        driver->tap(screen->printButton());
        EXPECT_TRUE(std::filesystem::exists(received));
        EXPECT_EQ(ui::AlertView::visibleAlert(), nullptr);
    }
    {
        // Printed twice, the form is kept twice: the second never takes the first one's place.
        basetest::ScopedEnv noLp("PATH", bin.file("none"));
        std::vector<std::string> kept;
        for (int print = 0; print < 2; ++print) {
            driver->tap(screen->printButton());
            auto alert = ui::AlertView::visibleAlert();
            ASSERT_NE(alert, nullptr);
            kept.push_back(alert->message());
            ui::AlertView::dismissAllForTesting();
        }
        EXPECT_NE(kept[0], kept[1]);
        for (const auto& path : kept)
            EXPECT_TRUE(std::filesystem::exists(path)) << path;
    }
    nav->popViewController(false);
    std::filesystem::remove_all(outbox);
    std::ofstream(outbox.string()) << "not a folder";
    show(order());
    driver->tap(screen->emailButton());
    auto alert = ui::AlertView::visibleAlert();
    ASSERT_NE(alert, nullptr);
    EXPECT_EQ(alert->message(), Language::stringWithName("NOEMAILCONFIG"));
}

TEST_F(OrderFormTest, ChineseForm)
{
    LanguageManager::sharedInstance()->setCurrentLanguage(2);
    Language::resetLanguageCache();
    auto chinese = order();
    chinese->setCustomerName("张三");
    chinese->setCurrency("CNY");
    chinese->items().push_back(line("中国", 88, 1));
    chinese->items().back()->setCurrency("CNY");
    show(chinese);
    PdfText pdf(screen->createPDFData());
    std::string text = pdf.text();
    EXPECT_NE(text.find("张三"), std::string::npos);
    EXPECT_NE(text.find("中国"), std::string::npos);
    EXPECT_NE(text.find("¥88.00"), std::string::npos);
    EXPECT_EQ(pdf.run("pdffonts").find(" no  "), std::string::npos);
    if (const char* review = std::getenv("BRIVANTA_REVIEW_DIR"))
        driver->screenshot(std::string(review) + "/order_pdf_screen_chinese.png");

    share::MailComposer::setShared(nullptr);
    gfx::test::TempDir noPrograms;
    basetest::ScopedEnv bare("PATH", noPrograms.file(""));
    driver->tap(screen->emailButton());
    auto saved = ui::AlertView::visibleAlert();
    ASSERT_NE(saved, nullptr);
    EXPECT_EQ(saved->title(), Language::stringWithName("MAILSAVED"));
    driver->wait(0.5);
    driver->screenshot(reviewPath("order_mail_saved_cn.png"));
}

// The lines Pango makes of a label's text at the label's width, as a label lays it out.
std::vector<std::string> wrappedLines(const ui::Label& label)
{
    PangoFontMap* map = pango_cairo_font_map_new_for_font_type(CAIRO_FONT_TYPE_FT);
    pango_cairo_font_map_set_resolution(PANGO_CAIRO_FONT_MAP(map), 72);
    PangoContext* context = pango_font_map_create_context(map);
    PangoLayout* layout = pango_layout_new(context);
    PangoFontDescription* font = pango_font_description_new();
    pango_font_description_set_family(font, label.font().families().c_str());
    pango_font_description_set_absolute_size(font, label.font().pointSize() * PANGO_SCALE);
    pango_layout_set_font_description(layout, font);
    pango_layout_set_text(layout, label.text().c_str(), -1);
    pango_layout_set_width(layout, static_cast<int>(label.bounds().width() * PANGO_SCALE));
    pango_layout_set_wrap(layout, PANGO_WRAP_WORD_CHAR);
    std::vector<std::string> lines;
    for (int i = 0; i < pango_layout_get_line_count(layout); ++i) {
        PangoLayoutLine* line = pango_layout_get_line_readonly(layout, i);
        lines.push_back(label.text().substr(static_cast<size_t>(line->start_index), static_cast<size_t>(line->length)));
    }
    pango_font_description_free(font);
    g_object_unref(layout);
    g_object_unref(context);
    g_object_unref(map);
    return lines;
}

TEST_F(OrderFormTest, TheSavedMailPathBreaksAtSlashesAndShowsTheFileNameWhole)
{
    // What the alert draws, less its invisible break and join marks.
    auto visible = [](std::string line) {
        for (const std::string mark : {"\u200B", "\u2060"})
            for (size_t at = line.find(mark); at != std::string::npos; at = line.find(mark))
                line.erase(at, mark.size());
        return line;
    };
    const std::string paths[] = {
        // The names the outbox gives: an identifier wider than the alert, and ".eml".
        "/home/field-sales-user/.local/share/brivanta-client/Documents/../Outbox/3F2504E0-4F89-11D3-9A0C-0305E82C3301.eml",
        "/var/tmp/mail-outbox/1B4E28BA-2FA1-11D2-883F-0016D3CCA427.eml",
        "/home/field-sales-user/.local/share/brivanta-client/Outbox/order-form-2026-12-08-052650.eml",
        "/var/tmp/mail-outbox-of-the-account/unsent/message-0001-of-the-day.eml",
    };
    for (int language : {1, 2}) {
        LanguageManager::sharedInstance()->setCurrentLanguage(language);
        Language::resetLanguageCache();
        for (const std::string& path : paths) {
            SCOPED_TRACE(std::to_string(language) + " " + path);
            const std::string name = path.substr(path.rfind('/') + 1);
            showUnsentMail(path);
            window->layoutIfNeeded();
            auto saved = ui::AlertView::visibleAlert();
            ASSERT_NE(saved, nullptr);
            // The alert still gives the path itself.
            EXPECT_EQ(saved->message(), path);
            if (name.size() > 40)
                driver->screenshot(reviewPath(std::string("saved-mail-alert-") + (language == 1 ? "en" : "cn") + ".png"));
            auto lines = wrappedLines(saved->messageLabel());
            ASSERT_GT(lines.size(), 1u) << "too short to test the breaks";
            // The folders' lines end at a slash. The name stands whole on the last line, or
            // starts a line of its own and breaks, if it must, only after one of its hyphens.
            std::vector<std::string> shown;
            size_t length = 0;
            for (const auto& line : lines) {
                shown.push_back(visible(line));
                length += shown.back().size();
            }
            ASSERT_EQ(length, path.size());
            size_t nameAt = length - name.size(), at = 0, nameLine = 0;
            for (size_t i = 0; i < shown.size(); at += shown[i].size(), ++i)
                if (at <= nameAt && nameAt < at + shown[i].size())
                    nameLine = i;
            size_t lineStart = 0;
            for (size_t i = 0; i < nameLine; ++i) {
                lineStart += shown[i].size();
                EXPECT_TRUE(shown[i].ends_with("/")) << "line " << i << " ends inside a folder's name: " << shown[i];
            }
            if (lineStart != nameAt) {
                EXPECT_EQ(nameLine + 1, shown.size()) << "the name starts within a line and runs on: " << shown[nameLine];
            }
            for (size_t i = nameLine; i + 1 < shown.size(); ++i) {
                EXPECT_TRUE(shown[i].ends_with("-")) << "line " << i << " ends inside the name: " << shown[i];
            }
            ui::AlertView::dismissAllForTesting();
        }
    }
    LanguageManager::sharedInstance()->setCurrentLanguage(1);
    Language::resetLanguageCache();
}

} // namespace
