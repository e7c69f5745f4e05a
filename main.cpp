#include "App/BrivantaAppDelegate.h"
#include "App/DataFolderCheck.h"
#include "App/InstanceLock.h"
#include "Platform/Base/Paths.h"
#include "Platform/Media/Player.h"
#include "Platform/UI/Application.h"
#include "Platform/UI/Backend.h"

#include <csignal>
#include <cstdio>
#include <cstring>

int main(int argc, char** argv)
{
    bool headless = false;
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], "--headless") == 0)
            headless = true;
    // A headless run plays videos silently, as tests do.
    if (headless)
        media::Player::setAudioEnabled(false);
    // A write past a size limit fails like one on a full disk, instead of ending the process.
    std::signal(SIGXFSZ, SIG_IGN);
    // Two copies on one data folder would share its database, defaults and caches: the second
    // says so and stops before touching anything there.
    InstanceLock lock;
    std::string folder = base::Paths::home();
    auto stop = [headless, &folder](const std::string& message) {
        std::fprintf(stderr, "%s\n", message.c_str());
        if (!headless)
            ui::Backend::showMessageBox("Brivanta", message, InstanceLock::textInFolderLanguage(folder, "OK", "OK"));
        return 1;
    };
    switch (lock.acquire(folder)) {
    case InstanceLock::State::HeldElsewhere:
        return stop(InstanceLock::alreadyRunningMessage(folder));
    case InstanceLock::State::Unavailable:
        return stop(DataFolderCheck::message(folder, {lock.problemPath(), lock.problemReason()}));
    case InstanceLock::State::Held:
        break;
    }
    // Work that could not be saved would be lost without a word: a folder that takes no
    // writes stops the program here, saying why.
    if (auto failure = DataFolderCheck::check(folder))
        return stop(DataFolderCheck::message(folder, *failure));
    return ui::Application::main(argc, argv, std::make_shared<BrivantaAppDelegate>());
}
