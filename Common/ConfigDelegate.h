#pragma once

// A screen that shows or hides parts of itself by the client's module switches.
class ConfigDelegate {
public:
    virtual ~ConfigDelegate() = default;
    virtual void loadByConfig() = 0;
};
