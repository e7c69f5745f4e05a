#include "Platform/Base/RunLoop.h"
#include "Platform/Share/DocumentOpener.h"
#include "Platform/Share/OfficeConverter.h"
#include "Platform/Share/OfficeDocumentView.h"
#include "Platform/UI/TiledView.h"
#include "Platform/Share/Program.h"
#include "Platform/UI/ScrollView.h"
#include "Platform/UI/Window.h"
#include "tests/Platform/Base/FileTestSupport.h"
#include "tests/Support/OfficeFixtures.h"

#include <csignal>
#include <fcntl.h>
#include <fstream>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace {

struct Heard : share::OfficeDocumentViewDelegate {
    std::vector<std::string> events;
    void officeDocumentViewDidStartLoad(share::OfficeDocumentView&) override { events.push_back("start"); }
    void officeDocumentViewDidFinishLoad(share::OfficeDocumentView&) override { events.push_back("finish"); }
    void officeDocumentViewDidFailLoad(share::OfficeDocumentView&, const std::string&) override
    {
        events.push_back("fail");
    }
};

class OfficeViewTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::filesystem::create_directories(bin());
        window = std::make_shared<ui::Window>();
        window->makeKeyAndVisible();
    }
    void TearDown() override
    {
        window.reset();
        share::DocumentOpener::setShared(nullptr);
    }
    std::filesystem::path bin() const { return home.path() / "bin"; }
    void script(const std::string& name, const std::string& body) const
    {
        auto path = bin() / name;
        pdffix::writeFile(path, "#!/bin/sh\n" + body + "\n");
        chmod(path.c_str(), 0755);
    }
    static int lines(const std::filesystem::path& path)
    {
        std::ifstream in(path);
        int count = 0;
        for (std::string line; std::getline(in, line);)
            ++count;
        return count;
    }
    // Loads the file into a fresh view on the window and waits for the outcome.
    std::shared_ptr<share::OfficeDocumentView> load(const std::string& path, Heard& heard)
    {
        auto view = ui::View::make<share::OfficeDocumentView>(gfx::Rect(0, 44, 1024, 704));
        view->setDelegate(&heard);
        window->addSubview(view);
        view->loadFile(path);
        EXPECT_EQ(heard.events, std::vector<std::string>{"start"}) << "the start is heard at once";
        EXPECT_TRUE(base::RunLoop::main().runUntil([&] { return !view->isLoading(); }, 90));
        return view;
    }
    static std::string review(const std::string& name)
    {
        const char* dir = std::getenv("BRIVANTA_REVIEW_DIR");
        return (dir && *dir) ? std::string(dir) + "/" + name : std::string();
    }

    basetest::TempHome home;
    std::shared_ptr<ui::Window> window;
};

TEST_F(OfficeViewTest, ConvertsOnceByVersionAndShowsThePagesStacked)
{
    auto real = share::findProgram("soffice");
    if (!real)
        GTEST_SKIP() << "soffice is not installed: the office viewer falls back to the desktop";
    // Counts the suite's runs, then hands over to it.
    auto runs = home.path() / "soffice-runs";
    script("soffice", "echo run >> '" + runs.string() + "'\nexec '" + *real + "' \"$@\"");
    basetest::ScopedEnv path("PATH", bin().string() + ":/usr/bin:/bin");
    auto docx = home.path() / "Documents/Price list.docx";
    ASSERT_TRUE(officefix::make(officefix::Kind::Document, docx, {"Quarterly price list", "Valid from March", "\f", "Second page terms"}));

    Heard heard;
    auto view = load(docx.string(), heard);
    EXPECT_EQ(heard.events, (std::vector<std::string>{"start", "finish"}));
    EXPECT_EQ(view->pageCount(), 2);
    EXPECT_EQ(view->failureMessage(), "");
    // Two pages fitted to the width, each taller than wide, with margins around them.
    EXPECT_GT(view->contentHeight(), 2 * 1004.0);
    EXPECT_EQ(view->scrollView().contentSize().height, view->contentHeight());
    auto text = home.path() / "converted.txt";
    ASSERT_TRUE(pdffix::run({"pdftotext", view->pdfPath(), text.string()}));
    std::ifstream in(text);
    std::string all((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_NE(all.find("Quarterly price list"), std::string::npos);
    EXPECT_NE(all.find("Second page terms"), std::string::npos);

    // The first page shows its text: dark pixels where the first lines stand, once its tiles
    // come from the page workers.
    int tiled = 0;
    for (const auto& page : view->scrollView().subviews())
        if (auto* pageView = dynamic_cast<ui::TiledView*>(page.get())) {
            pageView->drawVisibleTilesNow();
            tiled += pageView->tilesDrawn() > 0;
        }
    EXPECT_EQ(tiled, 1) << "the first page shows";
    gfx::Image shot = window->snapshot();
    if (auto out = review("office_view_docx.png"); !out.empty())
        shot.writePng(out);
    int dark = 0;
    for (int y = 44 + 60; y < 44 + 200; y += 2)
        for (int x = 60; x < 600; x += 2)
            dark += shot.colorAt(x, y).r < 0.4;
    EXPECT_GT(dark, 20);
    // Printed, the margins are paper, not the grey the pages stand on.
    gfx::Image printed = view->imageOfVisiblePart(1);
    EXPECT_EQ(printed.size(), (gfx::Size{1024, 704}));
    EXPECT_GT(printed.colorAt(3, 3).g, 0.99);
    EXPECT_LT(shot.colorAt(3, 44 + 3).g, 0.6);

    // A second opening of the same version uses the kept PDF; a changed file converts again.
    Heard again;
    EXPECT_EQ(load(docx.string(), again)->pageCount(), 2);
    EXPECT_EQ(lines(runs), 1);
    ASSERT_TRUE(officefix::make(officefix::Kind::Document, docx, {"Quarterly price list, revised"}));
    struct timespec times[2] = {{0, UTIME_NOW}, {1'900'000'000, 0}};
    utimensat(AT_FDCWD, docx.c_str(), times, 0);
    Heard changed;
    EXPECT_EQ(load(docx.string(), changed)->pageCount(), 1);
    EXPECT_EQ(lines(runs), 2);
}

TEST_F(OfficeViewTest, WithoutTheSuiteTheFileGoesToTheDesktopAndAMessageShows)
{
    auto sheet = home.path() / "Documents/Stock.xlsx";
    ASSERT_TRUE(officefix::make(officefix::Kind::Spreadsheet, sheet, {"Item", "Count"}));
    auto opened = home.path() / "opened";
    script("xdg-open", "echo \"$1\" >> '" + opened.string() + "'");
    // Only the stubs: no office suite on the PATH.
    basetest::ScopedEnv path("PATH", bin().string());
    struct Case {
        const char* name;
        const char* handler; // what the desktop names for the type
        bool handedOver;
    } cases[] = {{"a desktop with a spreadsheet program", "sheets.desktop", true}, {"a bare desktop", "", false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::filesystem::remove(opened);
        script("xdg-mime", std::string("echo '") + c.handler + "'");
        Heard heard;
        auto view = ui::View::make<share::OfficeDocumentView>(gfx::Rect(0, 44, 1024, 704));
        view->setFailureMessages("handed over", "nothing took it");
        view->setDelegate(&heard);
        window->addSubview(view);
        view->loadFile(sheet.string());
        ASSERT_TRUE(base::RunLoop::main().runUntil([&] { return !view->isLoading(); }, 30));
        EXPECT_EQ(heard.events, (std::vector<std::string>{"start", "fail"}));
        EXPECT_EQ(view->failureMessage(), c.handedOver ? "handed over" : "nothing took it");
        EXPECT_EQ(view->pageCount(), 0);
        for (int i = 0; i < 400 && c.handedOver && lines(opened) == 0; ++i)
            usleep(5000);
        EXPECT_EQ(lines(opened), c.handedOver ? 1 : 0);
        view->removeFromSuperview();
    }
}

TEST(ProgramTimeout, EndsTheWholeGroup)
{
    basetest::TempDir dir;
    auto pidFile = dir.path() / "helper.pid";
    auto result = share::runProgramWithTimeout(
        {"sh", "-c", "sleep 30 & echo $! > '" + pidFile.string() + "'; sleep 30"}, 0.3);
    EXPECT_TRUE(result.started);
    EXPECT_TRUE(result.timedOut);
    std::ifstream in(pidFile);
    pid_t helper = 0;
    in >> helper;
    ASSERT_GT(helper, 0);
    // The helper started in the background went with the group (reaped by whoever adopted it).
    bool gone = false;
    for (int i = 0; i < 400 && !gone; ++i) {
        std::ifstream stat("/proc/" + std::to_string(helper) + "/stat");
        std::string line;
        std::getline(stat, line);
        gone = !stat || line.find(") Z ") != std::string::npos;
        if (!gone)
            usleep(5000);
    }
    EXPECT_TRUE(gone);

    auto quick = share::runProgramWithTimeout({"sh", "-c", "exit 3"}, 10);
    EXPECT_FALSE(quick.timedOut);
    EXPECT_EQ(quick.exitCode, 3);
}

} // namespace
