#pragma once
#include "Common/LanguageManager.h"
#include "Platform/UI/ViewController.h"

// The base of the application's screens: a language listener from its first viewDidLoad
// until it is destroyed, with hooks for first-load work, texts and memory warnings.
class BaseViewController : public ui::ViewController, public LanguageManagerDelegate {
public:
    BaseViewController() = default;
    ~BaseViewController() override;
    const char* className() const override { return "BaseViewController"; }

    // The first-load work has run; stays set when the view is loaded again.
    bool bViewHasLoad() const { return m_bViewHasLoad; }
    // The screen is on screen.
    bool bViewAppear() const { return m_bViewAppear; }

    void viewDidLoad() override;
    // Work that runs once per screen: a subclass's viewDidLoad calls it while bViewHasLoad
    // is false, and a subclass's own version calls this one first.
    virtual void viewAfterFirstDidLoad();
    void viewDidAppear(bool animated) override;
    void viewDidDisappear(bool animated) override;
    // Screens set their texts again here.
    virtual void updateLanguage(ui::Responder* sender) {}
    void notifiChangelanguage() override;
    void didReceiveMemoryWarning() override;
    // Screens let go of views they can build again.
    virtual void hightVersionViewDidUnload() {}
    void viewDidUnload() override {}
    // Every road out of the screen (its own buttons, a tab, logout) asks this first: the value
    // being typed is taken through the check Return runs. NO stops the road, the refusal
    // shown; quietly, for a road that cannot stop, nothing is shown or asked.
    virtual bool takeTyping(bool quiet) { return true; }

private:
    bool m_bViewHasLoad = false;
    bool m_bViewAppear = false;
};
