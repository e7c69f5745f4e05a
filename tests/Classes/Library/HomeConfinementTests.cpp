// Playing a video and converting a document write nothing outside the application's home:
// a child run of this suite gets a home folder of its own and an empty temporary folder.
#include "Platform/Base/RunLoop.h"
#include "Platform/Media/Player.h"
#include "Platform/Share/OfficeConverter.h"
#include "Platform/Share/Program.h"
#include "tests/Support/OfficeFixtures.h"

#include <cstdlib>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>

extern char** environ;

namespace {

namespace fs = std::filesystem;
constexpr const char* kChildVariable = "BRIVANTA_CONFINED_FILES";

std::vector<std::string> everythingBelow(const fs::path& folder)
{
    std::vector<std::string> found;
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(folder, ec); !ec && it != fs::recursive_directory_iterator();
         it.increment(ec))
        found.push_back(it->path().string());
    return found;
}

} // namespace

// The child's half: plays the video to its end, then converts the document.
TEST(HomeConfinement, ChildPlaysAndConverts)
{
    const char* files = std::getenv(kChildVariable);
    if (!files)
        GTEST_SKIP() << "run by PlayingAndConvertingWriteOnlyIntoTheApplicationsHome";
    std::string list = files;
    std::string video = list.substr(0, list.find('\n')), document = list.substr(list.find('\n') + 1);
    media::Player::setAudioEnabled(false);
    auto player = media::Player::create();
    ASSERT_TRUE(player->play(video));
    ASSERT_TRUE(base::RunLoop::main().runUntil([&] { return player->endOfStreamCount() > 0; }, 120));
    player.reset();
    auto result = share::OfficeConverter::convert(document);
    EXPECT_TRUE(result.ok()) << int(result.status);
}

TEST(HomeConfinement, PlayingAndConvertingWriteOnlyIntoTheApplicationsHome)
{
    if (!share::findProgram("soffice"))
        GTEST_SKIP() << "no office suite installed";
    char pattern[] = "/tmp/confined-XXXXXX";
    ASSERT_TRUE(mkdtemp(pattern));
    const fs::path root = pattern, home = root / "home", tmp = root / "tmp", files = root / "files";
    for (const auto& folder : {home, tmp, files})
        fs::create_directories(folder);
    const std::string video = (files / "clip.webm").string(), document = (files / "memo.docx").string();
    ASSERT_TRUE(pdffix::run({"gst-launch-1.0", "-q", "videotestsrc", "num-buffers=10", "!",
                             "video/x-raw,width=64,height=48,framerate=10/1", "!", "vp8enc", "!", "webmmux", "!",
                             "filesink", "location=" + video}));
    ASSERT_TRUE(officefix::make(officefix::Kind::Document, document, {"Kept at home"}));

    // The child sees only HOME and TMPDIR: the application's home is the default below HOME.
    std::vector<std::string> variables;
    for (char** entry = environ; *entry; ++entry) {
        std::string text = *entry;
        std::string name = text.substr(0, text.find('='));
        if (name != "HOME" && name != "TMPDIR" && name != "BRIVANTA_HOME" && name.rfind("XDG_", 0) != 0 &&
            name.rfind("GST_", 0) != 0)
            variables.push_back(text);
    }
    variables.push_back("HOME=" + home.string());
    variables.push_back("TMPDIR=" + tmp.string());
    variables.push_back(std::string(kChildVariable) + "=" + video + "\n" + document);
    std::vector<char*> envp;
    for (auto& v : variables)
        envp.push_back(v.data());
    envp.push_back(nullptr);
    std::string self = fs::read_symlink("/proc/self/exe").string();
    std::string filter = "--gtest_filter=HomeConfinement.ChildPlaysAndConverts";
    char* argv[] = {self.data(), filter.data(), nullptr};
    pid_t pid = -1;
    ASSERT_EQ(posix_spawn(&pid, self.c_str(), nullptr, nullptr, argv, envp.data()), 0);
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "the child's run failed";

    const std::string applicationHome = (home / ".local/share/brivanta").string();
    EXPECT_TRUE(fs::exists(applicationHome + "/Library/Caches/OfficeDocuments"));
    EXPECT_TRUE(fs::exists(applicationHome + "/Library/Caches/gstreamer-1.0"));
    for (const auto& path : everythingBelow(home)) {
        bool insideHome = path.rfind(applicationHome, 0) == 0;
        bool onTheWay = applicationHome.rfind(path + "/", 0) == 0;
        EXPECT_TRUE(insideHome || onTheWay) << path << " written outside the application's home";
    }
    EXPECT_EQ(everythingBelow(tmp), std::vector<std::string>{}) << "the temporary folder was written to";
    std::error_code ignored;
    fs::remove_all(root, ignored);
}
