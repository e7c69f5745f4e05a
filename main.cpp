#include "App/BrivantaAppDelegate.h"
#include "Platform/UI/Application.h"

#include <cstdio>

int main(int argc, char** argv)
{
    ui::Application::Options options;
    std::string message;
    if (!ui::Application::parseArguments(argc, argv, options, message)) {
        std::fprintf(stderr, "%s\n", message.c_str());
        return 2;
    }
    return ui::Application::shared().run(options, std::make_shared<BrivantaAppDelegate>());
}
