#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace base {

// Bytes kept in a temporary file rather than in memory: written in pieces by one thread, then
// read (by the same or, once handed over, another) through a read-only mapping whose pages the
// reader lets go behind it. The file has no name from the start (or loses it as soon as it is
// open), so nothing is left behind however its work ends: it goes with its last owner.
class SpoolFile {
public:
    // A new empty file under Paths::tmp(); nullptr when none can be made. `prefix` names it
    // for the moment between its making and its unlinking where the file system cannot make
    // unnamed files.
    static std::shared_ptr<SpoolFile> create(std::string_view prefix);
    ~SpoolFile();
    SpoolFile(const SpoolFile&) = delete;
    SpoolFile& operator=(const SpoolFile&) = delete;

    // False when the file did not take them all (the file then holds an unknown part).
    bool append(const void* bytes, size_t length);
    uint64_t size() const { return m_size; }
    // Where a text held in it ends: its first zero byte, else its size.
    uint64_t textLength() const { return m_textLength; }
    // Up to `length` bytes of the text's start, read from the file, not through the mapping.
    std::string head(size_t length) const;

    // The text, mapped read-only on first use and valid while this object lives; nothing
    // when it cannot be mapped. Appending ends once it is mapped.
    std::optional<std::string_view> text();
    // The text's pages wholly before `offset` leave the resident set; touched again, they are
    // read again from the file.
    void releaseBefore(size_t offset);
    // Every page of the text leaves the resident set, for a reader that starts over.
    void releaseAll();

private:
    explicit SpoolFile(int fd) : m_fd(fd) {}

    int m_fd = -1;
    uint64_t m_size = 0;
    uint64_t m_textLength = 0;
    bool m_sawZero = false;
    const char* m_map = nullptr;
    size_t m_mapLength = 0;
    bool m_mapped = false;
    // Of the text, the pages before this have been let go since the last releaseAll.
    size_t m_released = 0;
};

} // namespace base
