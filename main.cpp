#include "App/BrivantaAppDelegate.h"
#include "Platform/Media/Player.h"
#include "Platform/UI/Application.h"

#include <cstring>

int main(int argc, char** argv)
{
    // A headless run plays videos silently, as tests do.
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], "--headless") == 0)
            media::Player::setAudioEnabled(false);
    return ui::Application::main(argc, argv, std::make_shared<BrivantaAppDelegate>());
}
