#pragma once

// Told when the settings sheet closes, so the settings button can be cleared.
class SettingsViewControllerDelegate {
public:
    virtual ~SettingsViewControllerDelegate() = default;
    virtual void deselectButton() {}
};
