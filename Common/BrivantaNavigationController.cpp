#include "Common/BrivantaNavigationController.h"

bool BrivantaNavigationController::shouldAutorotate() const
{
    auto top = topViewController();
    return top ? top->shouldAutorotate() : ui::NavigationController::shouldAutorotate();
}

unsigned BrivantaNavigationController::supportedInterfaceOrientations() const
{
    auto top = topViewController();
    return top ? top->supportedInterfaceOrientations() : ui::NavigationController::supportedInterfaceOrientations();
}
