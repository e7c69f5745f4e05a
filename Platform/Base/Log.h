#pragma once
#include <functional>
#include <string>
#include <memory>
#include <string_view>
#include <vector>

namespace base {

// The console log. Lines go to stderr, or to the capture hook a test installs.
void log(std::string_view line);
// printf-style convenience.
void logf(const char* format, ...) __attribute__((format(printf, 1, 2)));

using LogCapture = std::function<void(const std::string&)>;
// Installs a hook that receives every line instead of stderr; an empty hook restores stderr.
void setLogCapture(LogCapture capture);

// Collects log lines for the lifetime of the object (tests).
class ScopedLogCapture {
public:
    ScopedLogCapture();
    ~ScopedLogCapture();
    ScopedLogCapture(const ScopedLogCapture&) = delete;
    ScopedLogCapture& operator=(const ScopedLogCapture&) = delete;
    std::vector<std::string> lines() const;
    bool contains(std::string_view fragment) const;

private:
    struct State;
    std::shared_ptr<State> m_state;
};

} // namespace base
