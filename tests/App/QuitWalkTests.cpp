// The program ended at any point of the walk over every control: for a seeded sample of
// controls spread over the screens, the application binary is started on the demo data, taken
// to the screen as a person would go, the control tapped, and the program ended by SIGTERM a
// short random moment later (the demo's seating guide, replaced by a document that opens
// slowly, is always among the controls). It must be gone within two seconds, with status 0 and no
// sanitizer report. The sample changes from run to run; the seed is printed, and
// BRIVANTA_QUIT_WALK_SEED replays one.
#include "ControlWalkSupport.h"

#include <chrono>
#include <cmath>
#include <fcntl.h>
#include <map>
#include <optional>
#include <set>
#include <cstdlib>
#include <fstream>
#include <random>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace {

using controlwalk::EveryControlTest;
using controlwalk::Screen;
namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr double kQuitBound = 2.0;    // seconds from SIGTERM until the process is gone
constexpr int kPerScreen = 3;         // controls of each screen in the sample
constexpr int kShortestDelayMs = 50;  // the quit comes this long after the tap at least,
constexpr int kLongestDelayMs = 500; // and at most

struct Case {
    std::string screen;
    std::string control;
    std::vector<std::string> road;
    gfx::Point point;
};

// The binary, started on HOME with SCRIPT; its output goes to LOG. Gives its pid, or -1.
pid_t startApp(const fs::path& home, const fs::path& script, const fs::path& log, const fs::path& noPrograms)
{
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e) {
        std::string entry(*e);
        for (const char* name : {"BRIVANTA_HOME=", "BRIVANTA_NETWORK=", "BRIVANTA_BUNDLE=", "PATH=", "ASAN_OPTIONS="})
            if (entry.rfind(name, 0) == 0)
                entry.clear();
        if (!entry.empty())
            env.push_back(entry);
    }
    env.push_back("BRIVANTA_HOME=" + home.string());
    env.push_back("BRIVANTA_NETWORK=none");
    // The program's own leaks are the in-process suites' to find; its exit status is this one's.
    env.push_back("ASAN_OPTIONS=detect_leaks=0");
    // Mail and printing end in a saved file, never in a program of the machine's.
    env.push_back("PATH=" + noPrograms.string());
    std::vector<char*> envp;
    for (auto& e : env)
        envp.push_back(e.data());
    envp.push_back(nullptr);
    // Another build's binary may be walked instead (an older one, to see the walk fail).
    const char* other = std::getenv("BRIVANTA_QUIT_WALK_APP");
    std::string app = other && *other ? other : BRIVANTA_APP_BINARY, headless = "--headless", scriptFlag = "--script", scriptPath = script.string();
    std::vector<char*> argv{app.data(), headless.data(), scriptFlag.data(), scriptPath.data(), nullptr};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    pid_t pid = -1;
    if (posix_spawn(&pid, app.c_str(), &actions, nullptr, argv.data(), envp.data()) != 0)
        pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

// Waits until the process ends or the time is up; gives its wait status, or nothing.
std::optional<int> waitForExit(pid_t pid, double seconds)
{
    auto deadline = Clock::now() + std::chrono::duration<double>(seconds);
    for (;;) {
        int status = 0;
        pid_t done = waitpid(pid, &status, WNOHANG);
        if (done == pid)
            return status;
        if (done < 0 || Clock::now() >= deadline)
            return std::nullopt;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
}

std::string logTail(const fs::path& log)
{
    std::ifstream in(log);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    return text.size() > 3000 ? text.substr(text.size() - 3000) : text;
}

class QuitWalkTest : public EveryControlTest {
protected:
    // The controls of every screen a script can reach, with the road to each.
    std::vector<Case> enumerate()
    {
        std::vector<Case> all;
        for (const Screen& screen : controlwalk::kScreens) {
            backToMain();
            if (!screen.open(*this)) {
                ADD_FAILURE() << screen.name << " could not be opened";
                continue;
            }
            bool scripted = std::none_of(road.begin(), road.end(), [](const std::string& l) { return l[0] == '#'; });
            if (!scripted)
                continue;
            // The tile of the document that opens slowly (see the template below).
            const ui::View* guide = std::string(screen.name) == "library" ? driver->findByText("Seating Guide") : nullptr;
            double nearest = 1e9;
            for (const auto& target : targets()) {
                if (!screen.withTabBar && target.what.starts_with("UITabBarControllerExt:"))
                    continue;
                all.push_back({screen.name, target.what, road, target.point});
                if (guide) {
                    gfx::Point at = driver->centerOf(guide);
                    double distance = std::hypot(at.x - target.point.x, at.y - target.point.y);
                    if (distance < nearest) {
                        nearest = distance;
                        m_slowTile = all.back();
                    }
                }
            }
        }
        backToMain();
        return all;
    }

    // A few controls of each screen, chosen by the seed, and always the tile of the document
    // that opens slowly: quitting while a document opens is where the program once hung.
    std::vector<Case> sample(std::vector<Case> all, std::mt19937& random) const
    {
        std::shuffle(all.begin(), all.end(), random);
        std::map<std::string, int> taken;
        std::vector<Case> chosen;
        bool slowTile = false;
        for (auto& c : all) {
            if (taken[c.screen]++ >= kPerScreen)
                continue;
            slowTile = slowTile || (m_slowTile && c.control == m_slowTile->control);
            chosen.push_back(std::move(c));
        }
        if (m_slowTile && !slowTile)
            chosen.push_back(*m_slowTile);
        return chosen;
    }

    // A long document whose cross-reference table cannot be read: the page worker rebuilds it
    // from the whole file, so opening it takes a while and then succeeds.
    static void writeSlowDocument(const fs::path& path)
    {
        constexpr int kPages = 300000;
        std::ofstream out(path, std::ios::binary);
        out << "%PDF-1.7\n1 0 obj\n<< /Type /Catalog /Pages 2 0 R >>\nendobj\n2 0 obj\n<< /Type /Pages /Kids [";
        for (int i = 0; i < kPages; ++i)
            out << (i + 3) << " 0 R ";
        out << "] /Count " << kPages << " >>\nendobj\n";
        for (int i = 0; i < kPages; ++i)
            out << (i + 3) << " 0 obj\n<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] >>\nendobj\n";
        out << "trailer\n<< /Size " << (kPages + 3) << " /Root 1 0 R >>\nstartxref\n999999999\n%%EOF\n";
    }

    std::optional<Case> m_slowTile;
};

TEST_F(QuitWalkTest, EndingTheProgramAfterAnyControlEndsItWithinTwoSeconds)
{
    unsigned seed = std::random_device{}();
    if (const char* given = std::getenv("BRIVANTA_QUIT_WALK_SEED"); given && *given)
        seed = static_cast<unsigned>(std::strtoul(given, nullptr, 10));
    std::printf("quit walk seed %u (BRIVANTA_QUIT_WALK_SEED replays it)\n", seed);
    std::mt19937 random(seed);

    media::Player::setAudioEnabled(false);
    fs::create_directories(documents());
    fs::path noPrograms = m_home.path() / "no-programs";
    fs::create_directories(noPrograms);
    basetest::ScopedEnv path("PATH", noPrograms.string());
    ui::Application::shared().setRecordsOpenedURLs(true);
    ASSERT_TRUE(SkinManager::sharedInstance()->initializeDemoZip());
    loginAsDemo();
    ASSERT_TRUE(showMain());
    std::vector<Case> cases = sample(enumerate(), random);
    ui::Application::shared().setRecordsOpenedURLs(false);
    std::set<std::string> screens;
    for (const auto& c : cases)
        screens.insert(c.screen);
    EXPECT_GE(cases.size(), 40u);
    EXPECT_GE(screens.size(), 14u) << "every screen a script reaches has controls in the sample";

    // The demo data unpacked once by the binary itself; each run starts from a copy of it.
    fs::path work = m_home.path() / "quit-walk";
    fs::path templateHome = work / "template";
    fs::create_directories(work);
    {
        std::ofstream(work / "prepare.txt") << "waitfor \"Preparing the demo data\" 60\n"
                                               "waitgone \"Preparing the demo data\" 60\n"
                                               "waitfor \"Log in\" 60\n";
        pid_t pid = startApp(templateHome, work / "prepare.txt", work / "prepare.log", noPrograms);
        ASSERT_GT(pid, 0);
        auto status = waitForExit(pid, 300);
        if (!status)
            kill(pid, SIGKILL), waitpid(pid, nullptr, 0);
        ASSERT_TRUE(status && WIFEXITED(*status) && WEXITSTATUS(*status) == 0) << logTail(work / "prepare.log");
        fs::path guide;
        for (const auto& entry : fs::recursive_directory_iterator(templateHome / "Documents"))
            if (entry.path().filename() == "seating_guide.pdf")
                guide = entry.path();
        ASSERT_FALSE(guide.empty()) << "the demo data has no seating guide";
        writeSlowDocument(guide);
    }

    std::uniform_int_distribution<int> delay(kShortestDelayMs, kLongestDelayMs);
    int n = 0;
    for (const auto& c : cases) {
        ++n;
        SCOPED_TRACE(c.screen + ": " + c.control);
        fs::path home = work / ("run-" + std::to_string(n));
        fs::path marker = work / ("marker-" + std::to_string(n) + ".png");
        fs::path log = work / ("run-" + std::to_string(n) + ".log");
        fs::path script = work / ("run-" + std::to_string(n) + ".txt");
        fs::copy(templateHome, home, fs::copy_options::recursive);
        {
            std::ofstream out(script);
            out << "wait 1\ntap 340 666\nwaitfor \"Home\" 60\n";
            for (const auto& line : c.road)
                out << line << "\n";
            // The picture is the sign that the road is behind: the tap follows at once.
            out << "screenshot " << marker.string() << "\n";
            out << "tap " << std::lround(c.point.x) << " " << std::lround(c.point.y) << "\n";
            out << "waitfor \"never shown\" 300\n";
        }
        pid_t pid = startApp(home, script, log, noPrograms);
        ASSERT_GT(pid, 0);
        bool reached = false;
        for (auto until = Clock::now() + std::chrono::seconds(300); Clock::now() < until;) {
            if (fs::exists(marker)) {
                reached = true;
                break;
            }
            int status = 0;
            if (waitpid(pid, &status, WNOHANG) == pid) {
                pid = -1;
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        if (!reached) {
            if (pid > 0)
                kill(pid, SIGKILL), waitpid(pid, nullptr, 0);
            ADD_FAILURE() << "the road to the control was never behind\n" << logTail(log);
            continue;
        }
        int wait = delay(random);
        std::this_thread::sleep_for(std::chrono::milliseconds(wait));
        auto sent = Clock::now();
        kill(pid, SIGTERM);
        auto status = waitForExit(pid, kQuitBound);
        double took = std::chrono::duration<double>(Clock::now() - sent).count();
        if (!status) {
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
            ADD_FAILURE() << "still running " << took << " s after SIGTERM, sent " << wait << " ms after the tap\n"
                          << logTail(log);
            continue;
        }
        std::printf("%s: %s: gone %.3f s after SIGTERM, sent %d ms after the tap\n", c.screen.c_str(),
                    c.control.c_str(), took, wait);
        std::string said = logTail(log);
        EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 0) << "ended with status " << *status << "\n" << said;
        EXPECT_EQ(said.find("AddressSanitizer"), std::string::npos) << said;
        EXPECT_EQ(said.find("runtime error:"), std::string::npos) << said;
        std::error_code ignored;
        fs::remove_all(home, ignored);
    }
}

} // namespace
