#include "Platform/Base/Log.h"

#include <cstdarg>
#include <cstdio>
#include <mutex>

namespace base {

namespace {
std::mutex g_logMutex;
LogCapture g_capture;
}

void log(std::string_view line)
{
    std::lock_guard lock(g_logMutex);
    if (g_capture) {
        g_capture(std::string(line));
        return;
    }
    std::fprintf(stderr, "%.*s\n", static_cast<int>(line.size()), line.data());
}

void logf(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    va_list copy;
    va_copy(copy, args);
    int n = std::vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    std::string text(n > 0 ? static_cast<size_t>(n) : 0, '\0');
    if (n > 0)
        std::vsnprintf(text.data(), text.size() + 1, format, args);
    va_end(args);
    log(text);
}

void setLogCapture(LogCapture capture)
{
    std::lock_guard lock(g_logMutex);
    g_capture = std::move(capture);
}

struct ScopedLogCapture::State {
    mutable std::mutex mutex;
    std::vector<std::string> lines;
};

ScopedLogCapture::ScopedLogCapture() : m_state(std::make_shared<State>())
{
    auto state = m_state;
    setLogCapture([state](const std::string& line) {
        std::lock_guard lock(state->mutex);
        state->lines.push_back(line);
    });
}

ScopedLogCapture::~ScopedLogCapture()
{
    setLogCapture({});
}

std::vector<std::string> ScopedLogCapture::lines() const
{
    std::lock_guard lock(m_state->mutex);
    return m_state->lines;
}

bool ScopedLogCapture::contains(std::string_view fragment) const
{
    for (auto& l : lines())
        if (l.find(fragment) != std::string::npos)
            return true;
    return false;
}

} // namespace base
