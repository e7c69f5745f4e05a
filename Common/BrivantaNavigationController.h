#pragma once
#include "Platform/UI/NavigationController.h"

// The navigation controller that hosts the main screen: its top screen decides rotation.
class BrivantaNavigationController : public ui::NavigationController {
public:
    using ui::NavigationController::NavigationController;
    const char* className() const override { return "BrivantaNavigationController"; }

    bool shouldAutorotate() const override;
    unsigned supportedInterfaceOrientations() const override;
};
