#include "Platform/Share/DocumentOpener.h"

#include "Platform/Base/Log.h"
#include "Platform/Net/MimeTypes.h"
#include "Platform/Share/Program.h"

#include <filesystem>
#include <mutex>

namespace share {

namespace {
std::mutex g_sharedMutex;
std::shared_ptr<DocumentOpener> g_shared;
}

DocumentOpener& DocumentOpener::shared()
{
    std::lock_guard lock(g_sharedMutex);
    if (!g_shared)
        g_shared = std::make_shared<DocumentOpener>();
    return *g_shared;
}

void DocumentOpener::setShared(std::shared_ptr<DocumentOpener> opener)
{
    std::lock_guard lock(g_sharedMutex);
    g_shared = std::move(opener);
}

bool DocumentOpener::open(const std::string& path, const std::string& mimeType)
{
    if (path.empty() || path.front() == '-')
        return false;
    std::string type = mimeType.empty() ? net::MimeTypes::system().typeForPath(path) : mimeType;
    auto query = runProgram({"xdg-mime", "query", "default", type}, true);
    std::string handler = query.output;
    while (!handler.empty() && (handler.back() == '\n' || handler.back() == ' '))
        handler.pop_back();
    if (!query.started || query.exitCode != 0 || handler.empty())
        return false;
    // Handed over whole: the other program does not start in our folder.
    std::error_code error;
    std::string whole = std::filesystem::absolute(path, error).lexically_normal().string();
    if (error)
        whole = path;
    if (!startProgram({"xdg-open", whole})) {
        base::logf("DocumentOpener: xdg-open did not start for %s", path.c_str());
        return false;
    }
    return true;
}

} // namespace share
