#pragma once
#include "Platform/UI/Application.h"

#include <memory>

namespace ui {

// Where the window is shown and input comes from: an SDL window, or nothing (headless).
class Backend {
public:
    virtual ~Backend() = default;
    virtual int run(Application& app, const Application::Options& options,
                    std::shared_ptr<ApplicationDelegate> delegate) = 0;

    static std::unique_ptr<Backend> makeHeadless();
    // Nothing when no display can be opened.
    static std::unique_ptr<Backend> makeWindowed();
};

} // namespace ui
