#include "App/BrivantaAppDelegate.h"
#include "Platform/UI/Application.h"

int main(int argc, char** argv)
{
    return ui::Application::main(argc, argv, std::make_shared<BrivantaAppDelegate>());
}
