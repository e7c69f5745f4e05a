// The mail program a message is handed to: one at a time, and the user told only when it
// had nowhere to hand the message (it could not start, or it exited with a failure status).
#include "Platform/Base/OutsideWork.h"
#include "Platform/Base/RunLoop.h"
#include "Platform/Share/MailComposer.h"
#include "Platform/UI/Application.h"
#include "tests/Platform/Base/FileTestSupport.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

class MailProgramTest : public ::testing::Test {
protected:
    MailProgramTest() { ui::Application::shared().setRecordsOpenedURLs(false); }
    ~MailProgramTest() override { share::MailComposer::setShared(nullptr); }

    // A stand-in mail program: notes each start, then waits for the test's word ("exit N" or
    // "signal NAME") and ends that way.
    void installMailProgram()
    {
        std::ofstream(m_bin / "xdg-email") << "#!/bin/sh\n"
                                              "ulimit -c 0\n"
                                              "echo started >> '" << started() << "'\n"
                                              "while [ ! -s '" << word() << "' ]; do /bin/sleep 0.02; done\n"
                                              "set -- $(/bin/cat '" << word() << "')\n"
                                              "/bin/rm -f '" << word() << "'\n"
                                              "if [ \"$1\" = signal ]; then kill -s \"$2\" $$; fi\n"
                                              "exit \"$2\"\n";
        fs::permissions(m_bin / "xdg-email", fs::perms::owner_all);
    }
    std::string started() const { return (m_bin / "started").string(); }
    std::string word() const { return (m_bin / "word").string(); }
    int starts() const
    {
        std::ifstream in(started());
        int n = 0;
        for (std::string line; std::getline(in, line);)
            ++n;
        return n;
    }
    static void tell(const std::string& path, const std::string& text)
    {
        std::ofstream(path + ".new") << text << "\n";
        fs::rename(path + ".new", path);
    }
    share::MailResult compose(share::OutboxMailComposer& mail)
    {
        base::Bytes pdf{'%', 'P', 'D', 'F'};
        return mail.compose("[Order]", {}, share::Attachment{pdf, "application/pdf", "Order.pdf"});
    }

    basetest::TempHome m_home;
    basetest::TempDir m_bin;
    basetest::ScopedEnv m_path{"PATH", m_bin.path().string()};
};

TEST_F(MailProgramTest, OneProgramAtATimeAndOnlyAFailureStatusIsTold)
{
    struct Case {
        const char* ending;
        bool told;
    };
    const Case cases[] = {
        {"exit 0", false},
        {"exit 3", true},    // the desktop has no mail program set up
        {"exit 1", true},
        {"signal SEGV", false}, // a mail client that crashed after showing itself
        {"signal TERM", false}, // closed by the desktop or the user
        {"signal KILL", false},
    };
    installMailProgram();
    auto mail = std::make_shared<share::OutboxMailComposer>();
    share::MailComposer::setShared(mail);
    std::vector<std::string> told;
    mail->setUnsentHandler([&](const std::string& path) { told.push_back(path); });
    int expectedStarts = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.ending);
        told.clear();
        EXPECT_EQ(compose(*mail), share::MailResult::Saved);
        std::string message = mail->lastMessagePath();
        ++expectedStarts;
        EXPECT_TRUE(mail->unsentMessagePath().empty()) << "handed over, nothing to say yet";
        ASSERT_TRUE(base::RunLoop::main().runUntil([&] { return starts() == expectedStarts; }, 30));
        // Five more clicks while it runs: no program, no message, no word.
        for (int click = 0; click < 5; ++click)
            EXPECT_EQ(compose(*mail), share::MailResult::Cancelled);
        EXPECT_EQ(mail->lastMessagePath(), message);
        EXPECT_TRUE(mail->isMailProgramRunning());
        tell(word(), c.ending);
        ASSERT_TRUE(base::RunLoop::main().runUntil([&] { return !mail->isMailProgramRunning(); }, 30));
        EXPECT_EQ(starts(), expectedStarts) << "a further click started a program";
        EXPECT_EQ(told, c.told ? std::vector<std::string>{message} : std::vector<std::string>{});
        EXPECT_TRUE(fs::exists(message)) << "the message stays in the Outbox";
    }
    EXPECT_EQ(base::outsideWorkCount(), 0);
    // No program on the path: nothing starts, and the message's place is told at once.
    fs::remove(m_bin.path() / "xdg-email");
    EXPECT_EQ(compose(*mail), share::MailResult::Saved);
    EXPECT_EQ(mail->unsentMessagePath(), mail->lastMessagePath());
    EXPECT_FALSE(mail->isMailProgramRunning());
}

} // namespace
