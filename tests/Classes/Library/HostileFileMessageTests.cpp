// Files that cannot be shown say why, in the user's language: opened from the library grid
// by tapping their tiles, once in English and once in Chinese.
#include "Classes/Library/LibraryFileOpener.h"
#include "Common/Language.h"
#include "Common/LanguageManager.h"
#include "Platform/Media/Player.h"
#include "Platform/Share/OfficeDocumentView.h"
#include "Platform/UI/AlertView.h"
#include "Platform/UI/Button.h"
#include "tests/Classes/Library/OpeningTestSupport.h"
#include "tests/Platform/Base/FileTestSupport.h"
#include "tests/Support/Bombs.h"
#include "tests/Support/CompoundFiles.h"

#include <map>

namespace {

using namespace librarytest;

class HostileFileMessageTest : public LibraryRoutingTest {
protected:
    void TearDown() override
    {
        LanguageManager::sharedInstance()->setCurrentLanguage(1);
        LibraryRoutingTest::TearDown();
    }
};

TEST_F(HostileFileMessageTest, EachFileThatCannotBeShownSaysWhyInTheUsersLanguage)
{
    media::Player::setAudioEnabled(false);
    std::string home = base::Paths::home();
    stub("xdg-mime", "exit 1");
    stub("xdg-open", "exit 0");
    // A suite that cannot convert anything: what the viewer says must come from the file.
    stub("soffice", "exit 1");
    basetest::ScopedEnv path("PATH", home + "/bin:/usr/bin:/bin");

    place("empty.docx", "other", "");
    place("locked.doc", "other", compoundfix::wordDocument(true));
    place("locked.xls", "other", compoundfix::excelWorkbook(true));
    place("bomb.docx", "other", bombfix::zipBomb(1024, "word/document.xml"));
    place("broken.webm", "VEDIO", std::string(5000, 'x'));
    std::string song = place("song.webm", "VEDIO", "");
    ASSERT_TRUE(pdffix::run({"gst-launch-1.0", "-q", "audiotestsrc", "num-buffers=40", "!", "audioconvert", "!",
                             "vorbisenc", "!", "webmmux", "!", "filesink", "location=" + song}));
    saveFiles({libraryFile(1, "Empty memo", "empty.docx", "other"), libraryFile(2, "Locked letter", "locked.doc", "other"),
               libraryFile(3, "Locked sheet", "locked.xls", "other"), libraryFile(4, "Bomb", "bomb.docx", "other"),
               libraryFile(5, "Broken film", "broken.webm", "VEDIO"), libraryFile(6, "Song", "song.webm", "VEDIO")});

    enum class Where { Alert, OfficePage, PlayerArea };
    struct Case {
        const char* title;
        Where where;
        const char* key;
    } cases[] = {
        {"Empty memo", Where::Alert, "THEFILEISEMPTY"},
        {"Locked letter", Where::OfficePage, "THEFILEISPROTECTED"},
        {"Locked sheet", Where::OfficePage, "THEFILEISPROTECTED"},
        {"Bomb", Where::OfficePage, "THEFILEISCORRUPTED"},
        {"Broken film", Where::PlayerArea, "VIDEOCANNOTPLAY"},
        {"Song", Where::PlayerArea, "VIDEOHASNOPICTURE"},
    };
    std::map<std::string, std::vector<std::string>> shown; // key -> text in each language
    for (int language : {1, 2}) {
        LanguageManager::sharedInstance()->setCurrentLanguage(language);
        SaleslibraryModel::freeInstance();
        auto grid = showGrid(0);
        for (const auto& c : cases) {
            SCOPED_TRACE(std::string(c.title) + (language == 1 ? " in English" : " in Chinese"));
            auto* tile = tileOf(c.title);
            ASSERT_NE(tile, nullptr);
            driver->tap(driver->centerOf(&tile->fileImageView()));
            base::RunLoop::main().advance(1);
            std::string text;
            if (c.where == Where::Alert) {
                auto alert = ui::AlertView::visibleAlert();
                text = alert ? alert->message() : "";
                EXPECT_EQ(topScreen(), "LibraryDetailController");
                ui::AlertView::dismissAllForTesting();
            } else if (c.where == Where::OfficePage) {
                auto office = std::dynamic_pointer_cast<PPTLoadingViewController>(m_navigation->topViewController());
                ASSERT_TRUE(office);
                ASSERT_TRUE(runUntilReal([&] { return !office->webView()->isLoading(); }));
                text = office->webView()->failureMessage();
                EXPECT_EQ(ui::AlertView::visibleAlert(), nullptr);
                ASSERT_TRUE(driver->tap(office->backButton().get()));
            } else {
                auto* player = dynamic_cast<media::PlayerView*>(driver->findByClass("PlayerView"));
                ASSERT_NE(player, nullptr);
                ASSERT_TRUE(runUntilReal([&] { return !player->accessibilityText().empty(); }));
                text = player->accessibilityText();
                EXPECT_NE(text, player->player()->errorMessage()) << "the framework's own words";
                auto* back = driver->findByText(Language::stringWithName("BACK"));
                ASSERT_NE(back, nullptr);
                ASSERT_TRUE(driver->tap(back));
            }
            base::RunLoop::main().advance(1);
            EXPECT_EQ(text, Language::stringWithName(c.key));
            shown[c.key].push_back(text);
            EXPECT_EQ(topScreen(), "LibraryDetailController");
        }
    }
    for (const auto& [key, texts] : shown) {
        SCOPED_TRACE(key);
        ASSERT_EQ(texts.size() % 2, 0u);
        EXPECT_FALSE(texts.front().empty());
        EXPECT_NE(texts.front(), texts.back()) << "the same text in both languages";
    }
}

} // namespace
