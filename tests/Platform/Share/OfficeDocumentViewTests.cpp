#include "Platform/Base/BackgroundWork.h"
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
#include "tests/Support/OnExit.h"

#include <atomic>
#include <cctype>
#include <chrono>
#include <csignal>
#include <functional>
#include <map>
#include <sstream>
#include <thread>
#include <fcntl.h>
#include <fstream>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

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

// The resident memory of this process's descendants but the page workers, sampled every few
// milliseconds while it runs; the highest seen.
class DescendantsPeak {
public:
    DescendantsPeak()
        : m_thread([this] {
              while (!m_done) {
                  m_peak = std::max(m_peak.load(), sample());
                  std::this_thread::sleep_for(std::chrono::milliseconds(3));
              }
          })
    {
    }
    ~DescendantsPeak() { stop(); }
    size_t stop()
    {
        m_done = true;
        if (m_thread.joinable())
            m_thread.join();
        return m_peak;
    }

private:
    static size_t sample()
    {
        std::map<pid_t, pid_t> parents;
        std::map<pid_t, size_t> resident;
        for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
            std::string name = entry.path().filename();
            if (name.empty() || !std::isdigit(static_cast<unsigned char>(name[0])))
                continue;
            std::ifstream in(entry.path() / "stat");
            std::string line;
            std::getline(in, line);
            auto close = line.rfind(')');
            if (close == std::string::npos || line.find("brivanta-pdf") != std::string::npos)
                continue;
            // The converter's keeper is a fork of this process (named after the thread that
            // made it) that never starts another program: its resident pages are this
            // process's own, shared, not the suite's.
            const std::string comm = line.substr(line.find('('), close + 1 - line.find('('));
            if (comm == ownName() || comm == "(office-convert)")
                continue;
            std::istringstream fields(line.substr(close + 2));
            std::string field;
            std::vector<std::string> values;
            while (fields >> field)
                values.push_back(field);
            if (values.size() < 22)
                continue;
            pid_t pid = pid_t(std::stol(name));
            parents[pid] = pid_t(std::stol(values[1]));
            resident[pid] = size_t(std::stol(values[21])) * size_t(sysconf(_SC_PAGESIZE));
        }
        size_t total = 0;
        for (const auto& [pid, bytes] : resident) {
            pid_t up = pid;
            for (int hops = 0; hops < 32 && up > 1 && up != getpid(); ++hops)
                up = parents.count(up) ? parents[up] : 0;
            if (up == getpid() && pid != getpid())
                total += bytes;
        }
        return total;
    }

    // "(name)" as this process's stat gives it.
    static const std::string& ownName()
    {
        static const std::string name = [] {
            std::ifstream in("/proc/self/stat");
            std::string line;
            std::getline(in, line);
            auto open = line.find('('), close = line.rfind(')');
            return open == std::string::npos || close == std::string::npos ? std::string("()")
                                                                          : line.substr(open, close + 1 - open);
        }();
        return name;
    }

    std::atomic<bool> m_done{false};
    std::atomic<size_t> m_peak{0};
    std::thread m_thread;
};

// The real office suite, as the set-up installs it, under the converter's memory limit: a file of
// each kind converts and shows; a picture that claims gigabytes ends its conversion with the
// viewer's message, the suite and everything it started staying within the limit throughout.
TEST_F(OfficeViewTest, TheRealSuiteConvertsOrdinaryFilesAndEndsAPictureBombWithinItsLimit)
{
    if (!share::findProgram("soffice"))
        GTEST_SKIP() << "soffice is not installed: the office viewer falls back to the desktop";
    const fs::path documents = home.path() / "Documents";
    struct Case {
        const char* name;
        std::function<bool(const fs::path&)> make;
        bool shown;
    } cases[] = {
        {"terms.docx", [](const fs::path& p) { return officefix::make(officefix::Kind::Document, p, {"Terms of delivery"}); }, true},
        {"stock.xlsx", [](const fs::path& p) { return officefix::make(officefix::Kind::Spreadsheet, p, {"Item", "Count", "12"}); }, true},
        {"range.pptx", [](const fs::path& p) { return officefix::make(officefix::Kind::Presentation, p, {"Spring range", "Prices"}); }, true},
        {"picture-bomb.docx", [](const fs::path& p) { return officefix::makePictureBomb(p); }, false},
    };
    const auto limit = share::OfficeConverter::kMemoryLimit;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(c.make(documents / c.name));
        Heard heard;
        DescendantsPeak peak;
        auto view = load((documents / c.name).string(), heard);
        size_t highest = peak.stop();
        // Sampled a few milliseconds apart, as the converter watches it ten apart.
        EXPECT_LT(highest, limit.residentBytes + (size_t(192) << 20)) << (highest >> 20) << " MB";
        if (c.shown) {
            EXPECT_EQ(heard.events, (std::vector<std::string>{"start", "finish"}));
            EXPECT_GE(view->pageCount(), 1);
            EXPECT_EQ(view->failureMessage(), "");
        } else {
            EXPECT_EQ(heard.events, (std::vector<std::string>{"start", "fail"}));
            EXPECT_EQ(view->pageCount(), 0);
            EXPECT_NE(view->failureMessage(), "");
        }
        view->removeFromSuperview();
    }
}

// A program's group under a memory limit: the address-space limit reaches the processes it
// starts, and the group is ended when together they hold more than the resident limit.
TEST(ProgramMemoryLimit, HoldsTheWholeGroup)
{
    basetest::TempDir dir;
    auto limits = dir.path() / "limits.txt";
    share::MemoryLimit memory{size_t(256) << 20, size_t(2) << 30};
    struct Case {
        const char* name;
        std::string script;
        bool overMemory;
        int exitCode;
    } cases[] = {
        {"small", "exit 0", false, 0},
        {"limit seen by a grandchild", "sh -c 'grep \"Max address space\" /proc/self/limits > \"" + limits.string() + "\"'", false, 0},
        // Two helpers of 160 MB each: within the limit alone, past it together.
        {"helpers together", "for i in 1 2; do python3 -c 'import time; b = b\"x\" * (160 << 20); time.sleep(30)' & done; wait", true, -1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto start = std::chrono::steady_clock::now();
        auto result = share::runProgramWithTimeout({"sh", "-c", c.script}, 20, {}, memory);
        EXPECT_TRUE(result.started);
        EXPECT_EQ(result.overMemory, c.overMemory);
        EXPECT_FALSE(result.timedOut);
        EXPECT_EQ(result.exitCode, c.exitCode);
        EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(), 15);
    }
    std::ifstream in(limits);
    std::string line;
    std::getline(in, line);
    EXPECT_NE(line.find(std::to_string(memory.addressSpaceBytes)), std::string::npos) << line;
}

// The number the system gave its latest process.
long latestProcessNumber()
{
    long latest = -1;
    std::ifstream in("/proc/loadavg");
    std::string skip;
    in >> skip >> skip >> skip >> skip >> latest;
    return latest;
}

// The converter's watch reads its own group's processes, not the machine's: after its first
// look it reads the members again and only the processes started since, however many others
// run; a member whose parent left is still counted.
TEST(ProgramMemoryLimit, TheWatchReadsItsGroupNotTheMachine)
{
    auto spawn = [](const std::vector<std::string>& argv, bool ownGroup) {
        posix_spawnattr_t attributes;
        posix_spawnattr_init(&attributes);
        if (ownGroup) {
            posix_spawnattr_setpgroup(&attributes, 0);
            posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
        }
        std::vector<char*> args;
        for (const auto& a : argv)
            args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        pid_t pid = -1;
        if (posix_spawnp(&pid, args[0], nullptr, &attributes, args.data(), environ) != 0)
            pid = -1;
        posix_spawnattr_destroy(&attributes);
        return pid;
    };
    // A shell with a helper of its own and one whose parent has left.
    pid_t leader = spawn({"sh", "-c", "sleep 60 & (sleep 60 &); exec sleep 60"}, true);
    ASSERT_GT(leader, 0);
    std::vector<pid_t> others;
    testsupport::OnExit cleanUp([&] {
        ::kill(-leader, SIGKILL);
        ::waitpid(leader, nullptr, 0);
        for (pid_t other : others) {
            ::kill(other, SIGKILL);
            ::waitpid(other, nullptr, 0);
        }
    });
    // Settled once the shell has become a sleep and the subshell has left: three sleeps, and
    // nothing else, in the group, each asleep (their sizes change no more).
    auto settled = [&] {
        int count = 0, sleeps = 0;
        for (const auto& entry : fs::directory_iterator("/proc")) {
            if (!std::isdigit(static_cast<unsigned char>(entry.path().filename().string()[0])))
                continue;
            std::ifstream in(entry.path() / "stat");
            std::string text((std::istreambuf_iterator<char>(in)), {});
            auto close = text.rfind(')');
            if (close == std::string::npos)
                continue;
            char state;
            long parent, group;
            if (std::sscanf(text.c_str() + close + 1, " %c %ld %ld", &state, &parent, &group) == 3 && group == leader) {
                ++count;
                sleeps += text.find("(sleep)") != std::string::npos && state == 'S';
            }
        }
        return count == 3 && sleeps == 3;
    };
    ASSERT_TRUE(base::RunLoop::main().runUntil(settled, 10));

    // Every look reads what has started since: the limits of the watch itself are not timed here.
    share::GroupMemoryWatch watch(leader, std::chrono::milliseconds(0), std::chrono::hours(1));
    size_t first = watch.residentBytes();
    EXPECT_GT(first, 0u);
    EXPECT_EQ(first, share::groupResidentBytes(leader));
    for (int i = 0; i < 100; ++i) {
        pid_t other = spawn({"sleep", "60"}, false);
        ASSERT_GT(other, 0);
        others.push_back(other);
    }
    // Read before the watch's own last look: what starts between that look and this reading
    // is read by the next look, so it must count among those started meanwhile.
    long startedBefore = latestProcessNumber();
    watch.residentBytes();
    size_t before = watch.statusesRead();
    // (the full look of each comparison is not the watch's)
    for (int look = 0; look < 20; ++look)
        EXPECT_EQ(watch.residentBytes(), share::groupResidentBytes(leader));
    long startedMeanwhile = latestProcessNumber() - startedBefore;
    // Three members a look, and whatever else the machine started meanwhile (other tests may
    // start hundreds), never the hundred that were already running.
    if (startedMeanwhile >= 0) {
        EXPECT_LE(watch.statusesRead() - before, size_t(20 * 3 + startedMeanwhile));
    }
}

// The processes of a group as this test reads them itself: their resident pages, and whether
// every one is a sleep asleep (its size changes no more).
struct GroupSeen {
    std::map<long, long> residentPages;
    bool allAsleep = true;
};

GroupSeen readGroup(pid_t group)
{
    GroupSeen seen;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator("/proc", ec)) {
        std::string name = entry.path().filename().string();
        if (!std::isdigit(static_cast<unsigned char>(name[0])))
            continue;
        std::ifstream in(entry.path() / "stat");
        std::string text((std::istreambuf_iterator<char>(in)), {});
        auto close = text.rfind(')');
        if (close == std::string::npos)
            continue;
        std::istringstream fields(text.substr(close + 1));
        char state = 0;
        long parent = 0, processGroup = 0;
        fields >> state >> parent >> processGroup;
        if (!fields || processGroup != group)
            continue;
        // 19 fields after the group comes the resident size.
        std::string skip;
        for (int i = 0; i < 18; ++i)
            fields >> skip;
        long pages = -1;
        fields >> pages;
        seen.residentPages[std::stol(name)] = pages;
        seen.allAsleep = seen.allAsleep && state == 'S' && text.find("(sleep)") != std::string::npos;
    }
    return seen;
}

int openFileCount()
{
    int count = 0;
    std::error_code ec;
    for (auto it = fs::directory_iterator("/proc/self/fd", ec); !ec && it != fs::directory_iterator(); it.increment(ec))
        ++count;
    return count;
}

pid_t spawnSleep(pid_t group)
{
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    posix_spawnattr_setpgroup(&attributes, group);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
    char sleep[] = "sleep", time[] = "60";
    char* args[] = {sleep, time, nullptr};
    pid_t pid = -1;
    if (posix_spawnp(&pid, "sleep", nullptr, &attributes, args, environ) != 0)
        pid = -1;
    posix_spawnattr_destroy(&attributes);
    return pid;
}

// A group of more processes than the program may still open files: the watch counts every
// member, keeps no more than its few files open, and the program's other opens still succeed.
TEST(ProgramMemoryLimit, TheWatchCountsAGroupLargerThanTheFilesTheProgramMayOpen)
{
    constexpr int kMembers = 160;
    constexpr int kRoom = 64; // files the program may open beyond those open now
    static_assert(share::GroupMemoryWatch::kMembersKeptOpen + 8 < kRoom && kRoom < kMembers);
    std::vector<pid_t> members;
    testsupport::OnExit cleanUp([&] {
        if (!members.empty() && members.front() > 0)
            ::kill(-members.front(), SIGKILL);
        for (pid_t member : members)
            ::waitpid(member, nullptr, 0);
    });
    pid_t leader = spawnSleep(0);
    ASSERT_GT(leader, 0);
    members.push_back(leader);
    while (members.size() < size_t(kMembers)) {
        pid_t member = spawnSleep(leader);
        ASSERT_GT(member, 0);
        members.push_back(member);
    }
    GroupSeen settled;
    ASSERT_TRUE(base::RunLoop::main().runUntil([&] {
        settled = readGroup(leader);
        return settled.residentPages.size() == size_t(kMembers) && settled.allAsleep;
    }, 60)) << settled.residentPages.size() << " of " << kMembers << " members asleep";
    size_t expected = 0;
    for (const auto& [pid, pages] : settled.residentPages)
        expected += size_t(std::max(0L, pages)) * size_t(sysconf(_SC_PAGESIZE));

    rlimit was{};
    ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &was), 0);
    const int openBefore = openFileCount();
    rlimit lowered{rlim_t(openBefore + kRoom), was.rlim_max};
    ASSERT_LE(lowered.rlim_cur, was.rlim_cur) << "the program may open fewer files than this test needs";
    ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &lowered), 0);
    size_t counted = 0;
    int openDuring = 0;
    bool othersOpen = false;
    {
        testsupport::OnExit restore([&] { ::setrlimit(RLIMIT_NOFILE, &was); });
        share::GroupMemoryWatch watch(leader, std::chrono::milliseconds(0), std::chrono::hours(1));
        for (int look = 0; look < 3; ++look)
            counted = watch.residentBytes();
        openDuring = openFileCount();
        int other = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
        othersOpen = other >= 0;
        if (other >= 0)
            ::close(other);
    }
    EXPECT_EQ(counted, expected) << "the whole group of " << kMembers;
    EXPECT_LE(openDuring - openBefore, int(share::GroupMemoryWatch::kMembersKeptOpen) + 1);
    EXPECT_TRUE(othersOpen) << "the program's other files could not be opened while the watch lived";
}

// Set when the test below runs again inside namespaces of its own: the process-number
// namespace it was started from.
constexpr const char* kStartedFromNamespace = "BRIVANTA_TEST_STARTED_FROM_PID_NAMESPACE";

std::string namespaceOf(const char* link)
{
    std::error_code ec;
    auto target = fs::read_symlink(link, ec);
    return ec ? std::string() : target.string();
}

// A member that ends and whose number a new member of the group takes at once: the newcomer is
// counted from that look on. Process numbers are given out of turn only inside a process-number
// namespace of the test's own (with a /proc of its own), where its record of the last number
// given is its own: the test runs itself again there, and is skipped where the system offers
// none.
TEST(ProgramMemoryLimit, TheWatchCountsANewMemberUnderAnEndedMembersNumber)
{
    const std::string here = namespaceOf("/proc/self/ns/pid");
    const char* startedFrom = std::getenv(kStartedFromNamespace);
    if (!startedFrom) {
        auto unshare = share::findProgram("unshare");
        if (!unshare || here.empty())
            GTEST_SKIP() << "no namespaces of its own can be made here";
        basetest::TempDir dir;
        const fs::path output = dir.path() / "inside.txt";
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        ASSERT_NE(info, nullptr);
        std::string filter = std::string("--gtest_filter=") + info->test_suite_name() + "." + info->name();
        std::error_code ec;
        std::string self = fs::read_symlink("/proc/self/exe", ec).string();
        ASSERT_FALSE(ec);
        // The run inside neither reports into this run's files nor takes a share of it.
        std::string script = "exec env -u GTEST_OUTPUT -u GTEST_SHARD_INDEX -u GTEST_TOTAL_SHARDS "
                             "-u GTEST_SHARD_STATUS_FILE \"$0\" --user --map-root-user --pid --fork --mount "
                             "--mount-proc \"$1\" \"$2\" > \"$3\" 2>&1";
        auto result = share::runProgramWithTimeout({"sh", "-c", script, *unshare, self, filter, output.string()}, 240,
                                                   {{kStartedFromNamespace, here}});
        std::ifstream in(output);
        std::string said((std::istreambuf_iterator<char>(in)), {});
        ASSERT_TRUE(result.started);
        ASSERT_FALSE(result.timedOut) << said;
        if (said.find("Running 1 test") == std::string::npos)
            GTEST_SKIP() << "the system offers no process-number namespace of its own here: " << said;
        if (said.find("[  SKIPPED ] 1 test") != std::string::npos)
            GTEST_SKIP() << said;
        EXPECT_EQ(result.exitCode, 0) << said;
        EXPECT_NE(said.find("[  PASSED  ] 1 test"), std::string::npos) << said;
        return;
    }
    // Never where the numbers are the machine's.
    if (here.empty() || here == startedFrom)
        GTEST_SKIP() << "not in a process-number namespace of its own";
    const char* lastGiven = "/proc/sys/kernel/ns_last_pid";
    if (::access(lastGiven, W_OK) != 0)
        GTEST_SKIP() << "process numbers cannot be chosen here";
    // (never a number of 0 or below: those would reach a group, or every process)
    auto end = [](pid_t pid) {
        if (pid <= 0)
            return;
        ::kill(pid, SIGKILL);
        ::waitpid(pid, nullptr, 0);
    };
    pid_t leader = spawnSleep(0);
    ASSERT_GT(leader, 0);
    pid_t member = spawnSleep(leader);
    testsupport::OnExit cleanUp([&] {
        end(member);
        end(leader);
    });
    ASSERT_GT(member, 0);
    // A process of no group of theirs after them: the numbers given move on past the member's.
    pid_t after = spawnSleep(0);
    ASSERT_GT(after, 0);
    end(after);
    share::GroupMemoryWatch watch(leader, std::chrono::milliseconds(0), std::chrono::hours(1));
    auto bothCounted = [&] { return watch.residentBytes() == share::groupResidentBytes(leader); };
    // Until both have become sleeps (their sizes change no more).
    ASSERT_TRUE(base::RunLoop::main().runUntil(bothCounted, 10));

    // Tried until the look before saw another latest number, and the look after the number was
    // given again saw it as the latest (nothing else runs here, so the first try is clean).
    const pid_t number = member;
    end(member);
    member = -1;
    bool clean = false;
    for (int attempt = 0; attempt < 50 && !clean; ++attempt) {
        end(member);
        member = -1;
        pid_t other = spawnSleep(0);
        ASSERT_GT(other, 0);
        end(other);
        long seen = latestProcessNumber();
        watch.residentBytes();
        if (seen == number || latestProcessNumber() != seen)
            continue;
        std::ofstream(lastGiven) << number - 1;
        member = spawnSleep(leader);
        ASSERT_GT(member, 0);
        if (member != number)
            continue;
        bool latestBefore = latestProcessNumber() == number;
        watch.residentBytes();
        clean = latestBefore && latestProcessNumber() == number;
    }
    ASSERT_TRUE(clean) << "the number was never given again inside the test's own namespace";
    // The look that found it made it a member: each look from now on counts it, once it has
    // become a sleep like the one before.
    EXPECT_TRUE(base::RunLoop::main().runUntil(bothCounted, 10));
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

// Whether the process of that number has gone (or is only waiting to be reaped).
bool processGone(pid_t pid)
{
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    std::getline(stat, line);
    return !stat || line.find(") Z ") != std::string::npos;
}

bool waitFor(const std::function<bool()>& done, double seconds)
{
    auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        usleep(5000);
    }
    return true;
}

// How a program's run ended is told apart: its own exit, its deadline, or the application's
// end, which ends the whole group at once and is neither a time-out nor a failure.
TEST(ProgramTimeout, TheApplicationsEndIsNoTimeOut)
{
    basetest::TempDir dir;
    struct Case {
        const char* name;
        double timeout;
        bool endTheApplication;
        bool timedOut;
        bool stopped;
    } cases[] = {
        {"its deadline", 0.3, false, true, false},
        {"the application's end", 60, true, false, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto pidFile = dir.path() / (std::string(c.name) + ".pid");
        base::BackgroundWork::resetForTesting();
        std::atomic<bool> done = false;
        share::ProgramResult result;
        std::thread runner([&] {
            result = share::runProgramWithTimeout(
                {"sh", "-c", "sleep 30 & echo $! > \"$0\"; sleep 30", pidFile.string()}, c.timeout);
            done = true;
        });
        // Joined on every way out: the run ends by its deadline at the latest.
        testsupport::OnExit join([&] {
            runner.join();
            base::BackgroundWork::resetForTesting();
        });
        pid_t helper = 0;
        ASSERT_TRUE(waitFor([&] {
            std::ifstream in(pidFile);
            return bool(in >> helper);
        }, 20));
        auto asked = std::chrono::steady_clock::now();
        if (c.endTheApplication)
            base::BackgroundWork::stopAll();
        ASSERT_TRUE(waitFor([&] { return done.load(); }, 20));
        if (c.endTheApplication) {
            EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - asked).count(), 2);
        }
        EXPECT_TRUE(result.started);
        EXPECT_EQ(result.timedOut, c.timedOut);
        EXPECT_EQ(result.stopped, c.stopped);
        EXPECT_FALSE(result.overMemory);
        EXPECT_TRUE(waitFor([&] { return processGone(helper); }, 2)) << "the helper it started is left";
    }
}

} // namespace
