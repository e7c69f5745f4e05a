#include "App/BrivantaAppDelegate.h"
#include "App/InstanceLock.h"
#include "Platform/Base/Paths.h"
#include "Platform/Media/Player.h"
#include "Platform/UI/Application.h"
#include "Platform/UI/Backend.h"

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
    // Two copies on one data folder would share its database, defaults and caches: the second
    // says so and stops before touching anything there.
    InstanceLock lock;
    std::string folder = base::Paths::home();
    if (lock.acquire(folder) == InstanceLock::State::HeldElsewhere) {
        std::string message = InstanceLock::alreadyRunningMessage(folder);
        std::fprintf(stderr, "%s\n", message.c_str());
        if (!headless)
            ui::Backend::showMessageBox("Brivanta", message);
        return 1;
    }
    return ui::Application::main(argc, argv, std::make_shared<BrivantaAppDelegate>());
}
