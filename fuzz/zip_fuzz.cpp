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
        FUZZ_CHECK(path.filename().string().rfind(".brzip-", 0) != 0);
        FUZZ_CHECK(it->is_regular_file() || (it->is_directory() && !it->is_symlink()));
    }
    fs::remove_all(sandbox);
    return 0;
}
