#pragma once
#include "Platform/UI/ViewController.h"

// A controller that turns with the device between the two landscape orientations only.
class BRAutorotatingViewController : public ui::ViewController {
public:
    const char* className() const override { return "BRAutorotatingViewController"; }
    unsigned supportedInterfaceOrientations() const override { return ui::InterfaceOrientationMaskLandscape; }
};
