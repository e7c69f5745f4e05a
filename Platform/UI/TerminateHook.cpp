#include "Platform/UI/TerminateHook.h"

#include <cstdlib>
#include <cxxabi.h>
#include <exception>
#include <execinfo.h>
#include <memory>
#include <typeinfo>

namespace ui {

namespace {

std::function<void(const UncaughtException&)>& handlerSlot()
{
    static auto* slot = new std::function<void(const UncaughtException&)>();
    return *slot;
}

std::string demangle(const char* name)
{
    int status = 0;
    std::unique_ptr<char, void (*)(void*)> out(abi::__cxa_demangle(name, nullptr, nullptr, &status), std::free);
    return status == 0 && out ? std::string(out.get()) : std::string(name);
}

std::vector<std::string> callStack()
{
    void* frames[64];
    int count = backtrace(frames, 64);
    std::vector<std::string> out;
    std::unique_ptr<char*, void (*)(void*)> symbols(backtrace_symbols(frames, count), std::free);
    for (int i = 0; symbols && i < count; ++i)
        out.emplace_back(symbols.get()[i]);
    return out;
}

[[noreturn]] void onTerminate()
{
    UncaughtException info;
    if (auto current = std::current_exception()) {
        std::type_info* type = abi::__cxa_current_exception_type();
        info.name = type ? demangle(type->name()) : "unknown";
        try {
            std::rethrow_exception(current);
        } catch (const std::exception& e) {
            info.reason = e.what();
        } catch (...) {
        }
    } else {
        info.name = "terminate";
    }
    info.callStack = callStack();
    if (auto& handler = handlerSlot())
        handler(info);
    std::abort();
}

} // namespace

void setUncaughtExceptionHandler(std::function<void(const UncaughtException&)> handler)
{
    handlerSlot() = std::move(handler);
    std::set_terminate(onTerminate);
}

} // namespace ui
