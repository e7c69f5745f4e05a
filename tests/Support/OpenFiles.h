#pragma once
#include <filesystem>
#include <string>

namespace testsupport {

// How many of the process's open files lie in `folder`, named or unnamed (an unnamed or
// unlinked file still shows the folder it was made in).
inline int openFilesIn(const std::string& folder)
{
    namespace fs = std::filesystem;
    std::string prefix = folder + "/";
    int count = 0;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator("/proc/self/fd", ec)) {
        std::error_code readError;
        auto target = fs::read_symlink(entry.path(), readError);
        if (!readError && target.string().rfind(prefix, 0) == 0)
            ++count;
    }
    return count;
}

} // namespace testsupport
