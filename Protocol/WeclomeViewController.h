#pragma once
#include "Platform/UI/ViewController.h"

// The welcome and login screen, the root after launch and after every logout.
class WeclomeViewController : public ui::ViewController {
public:
    WeclomeViewController();
    const char* className() const override { return "WeclomeViewController"; }
    void loadView() override;
};
