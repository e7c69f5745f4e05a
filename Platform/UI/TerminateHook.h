#pragma once
#include <functional>
#include <string>
#include <vector>

namespace ui {

// What an uncaught exception tells the handler: its type, its message and the call stack.
struct UncaughtException {
    std::string name;
    std::string reason;
    std::vector<std::string> callStack;
};

// Installs a handler for C++ exceptions that nothing caught. The handler runs on the thread
// that threw; the process ends after it returns.
void setUncaughtExceptionHandler(std::function<void(const UncaughtException&)> handler);

} // namespace ui
