#pragma once
#include "Platform/Base/Date.h"
#include "Platform/Base/Value.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <sys/types.h>
#include <vector>

namespace base {

// File operations the application needs; failures return false / nullopt / empty.
class FileManager {
public:
    using Path = std::filesystem::path;

    static bool exists(const Path& path); // follows symlinks: a dangling one does not exist
    static bool isDirectory(const Path& path);
    // mkdir -p; mode (less the umask) applies to the folders it creates.
    static bool createDirectories(const Path& path, mode_t mode = 0755);
    // Entry names, sorted; empty when the folder cannot be read.
    static std::vector<std::string> contentsOfDirectory(const Path& path);

    static std::optional<Bytes> readFile(const Path& path);
    static std::optional<std::string> readTextFile(const Path& path);
    // Writes a sibling temporary file, syncs it and renames it over the target: readers see
    // the old contents or the new, never a part; on failure no temporary is left behind.
    static bool writeAtomically(const Path& path, const Bytes& bytes, mode_t mode = 0644);
    static bool writeAtomically(const Path& path, std::string_view text, mode_t mode = 0644);
    // As writeAtomically, but the caller does not wait for the disk: the file is renamed into
    // place at once and synced, with its folder, on a thread of its own afterwards. For records
    // written on the way to showing something, where a crash may cost the last change.
    static bool writeAtomicallySyncLater(const Path& path, std::string_view text, mode_t mode = 0644);
    // Blocks until every such sync is done (tests, shutdown).
    static void waitForLaterSyncs();

    // Copies a regular file to a sibling temporary name, syncs it and renames it over the
    // target, so the target is never seen half-written; on failure nothing is left behind.
    static bool copyFileAtomically(const Path& from, const Path& to, mode_t mode = 0644);

    // Both fail when the destination exists. Folders are copied whole; symlinks stay links.
    static bool moveItem(const Path& from, const Path& to);
    static bool copyItem(const Path& from, const Path& to);

    // Removes a file, a symlink (never its target) or a folder with its contents.
    static bool removeItem(const Path& path);
    // As removeItem, but refuses unless the path lies strictly inside root once symlinks and
    // ".." in its folders are resolved.
    static bool removeRecursively(const Path& path, const Path& root);

    static std::optional<uint64_t> fileSize(const Path& path);
    static std::optional<Date> modificationDate(const Path& path);
    static bool setModificationDate(const Path& path, Date date);

private:
    static bool writeReplacing(const Path& path, const void* data, size_t size, mode_t mode, bool syncNow);
};

} // namespace base
