// Zip extraction of any bytes into a sandbox: nothing may appear outside the target folder,
// no temporary file may stay, and nothing but files and folders may be made.
#include "FuzzCheck.h"
#include "Network/BRZipArchive.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {
// The extractor's own temporary names, ".brzip-<pid>-<n>.tmp"; an archive may hold a file whose
// name merely begins the same way, and that one is extracted like any other.
bool isExtractorTemporary(const std::string& name)
{
    const std::string prefix = ".brzip-" + std::to_string(::getpid()) + "-";
    const std::string suffix = ".tmp";
    if (name.size() <= prefix.size() + suffix.size() || name.rfind(prefix, 0) != 0 ||
        name.compare(name.size() - suffix.size(), suffix.size(), suffix) != 0)
        return false;
    const std::string counter = name.substr(prefix.size(), name.size() - prefix.size() - suffix.size());
    return counter.find_first_not_of("0123456789") == std::string::npos;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::string pattern = (fs::temp_directory_path() / "brzip-fuzz-XXXXXX").string();
    FUZZ_CHECK(::mkdtemp(pattern.data()));
    const fs::path sandbox = pattern;
    const fs::path archive = sandbox / "input.zip";
    const fs::path target = sandbox / "target";
    {
        std::ofstream out(archive, std::ios::binary);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    // The sandbox is the working folder too, so a relative escape would land in it.
    const fs::path previous = fs::current_path();
    fs::current_path(sandbox);
    {
        BRZipArchive zip;
        if (zip.UnzipOpenFile(archive.string())) {
            zip.UnzipFileToOverWrite(target.string(), true);
            zip.UnzipCloseFile();
        }
    }
    fs::current_path(previous);

    for (auto it = fs::recursive_directory_iterator(sandbox); it != fs::recursive_directory_iterator(); ++it) {
        const fs::path& path = it->path();
        if (path == archive || path == target)
            continue;
        // Outside means a first step of ".."; a name that only begins with dots ("..?a") is inside.
        const fs::path relative = path.lexically_relative(target);
        FUZZ_CHECK(!relative.empty() && *relative.begin() != "..");
        FUZZ_CHECK(!isExtractorTemporary(path.filename().string()));
        FUZZ_CHECK(it->is_regular_file() || (it->is_directory() && !it->is_symlink()));
    }
    fs::remove_all(sandbox);
    return 0;
}
