#pragma once
#include <cstdint>
#include <cstring>
#include <string>
#include <type_traits>

namespace pdf::worker {

// What a worker is handed when it starts: its end of the request socket (one message a
// request; an answer and then its payload in pieces) and the shared file its pixels go into.
constexpr int kSocketFd = 3;
constexpr int kPixelsFd = 4;
constexpr uint32_t kMagic = 0x50574b32;
// The worker ran out of memory under its limit.
constexpr int kExitOverLimit = 75;

// What is asked of the document at the path: everything that reads the file is asked here.
enum class Ask : int32_t {
    Open = 1,     // payload: page count, then how many pages follow and each one's description
    Page = 2,     // payload: the page's description
    Links = 4,    // payload: count, then each area (upright page, points, y down) and target
    Text = 5,     // payload: the page's text
    Draw = 6,     // into the shared pixels; no payload
};

// For Draw, one page into a bitmap of `width` x `height` pixels (ARGB32, rows of width * 4
// bytes) at the start of the shared file, a twin of the caller's: its device scale and offset,
// its transform and clip. Only `region` (x, y, width, height in pixels) is cleared (to nothing,
// or to white paper under the page when `onPaper`) and read back. Every request is followed by
// the path's and the password's bytes.
struct Request {
    uint32_t magic = kMagic;
    Ask ask = Ask::Draw;
    int32_t page = 0;
    int32_t width = 0, height = 0;
    uint64_t sharedBytes = 0; // the shared file's size now, at least width * height * 4
    double deviceScale[2] = {1, 1};
    double deviceOffset[2] = {0, 0};
    double ctm[6] = {1, 0, 0, 1, 0, 0};           // user to device, as cairo_get_matrix
    double pageToContext[6] = {1, 0, 0, 1, 0, 0}; // the page in user space
    double clip[4] = {0, 0, 0, 0};                // x, y, width, height in user space
    int32_t region[4] = {0, 0, 0, 0};
    uint32_t pathBytes = 0;
    uint32_t passwordBytes = 0;
    int32_t hasPassword = 0;
    int32_t onPaper = 0;
};

// Done: answered (drawn); NotRead: the document or page cannot be had; Locked: the document
// needs a password it was not given. Ready, with no payload, is a new worker's first message:
// its libraries are loaded, and a page's time starts from there.
enum class Answer : int32_t { Done = 0, NotRead = 1, Locked = 2, Ready = 3 };

struct Reply {
    uint32_t magic = kMagic;
    Answer answer = Answer::NotRead;
    uint32_t payloadBytes = 0; // follows in messages of at most kPieceBytes
};

// What the screens need of a page, answered for the first pages at opening and for any other
// page by Ask::Page: its crop box (PDF units, y up, unrotated), its size with the rotation
// applied, and the rotation in degrees.
struct PageDescription {
    double box[4] = {0, 0, 0, 0};
    double size[2] = {0, 0};
    int32_t rotation = 0;
};
// Pages described in the opening's answer: every page of an ordinary document, and the first
// ones of a larger one (the rest are asked for one by one, off the main thread).
constexpr uint32_t kPagesDescribedAtOpen = 2048;

constexpr uint32_t kMaxPathBytes = 8192;
constexpr uint32_t kPieceBytes = 32 * 1024;
// A payload larger than this is not taken (a page's text is far below).
constexpr uint32_t kMaxPayloadBytes = 64u << 20;

// Payloads: plain values in this machine's order, strings with their length first.
class PayloadWriter {
public:
    template <typename T>
    void put(T value)
    {
        static_assert(std::is_trivially_copyable_v<T>);
        m_bytes.append(reinterpret_cast<const char*>(&value), sizeof value);
    }
    void putString(const std::string& text)
    {
        put(uint32_t(text.size()));
        m_bytes += text;
    }
    const std::string& bytes() const { return m_bytes; }

private:
    std::string m_bytes;
};

class PayloadReader {
public:
    explicit PayloadReader(const std::string& bytes) : m_bytes(bytes) {}
    template <typename T>
    bool get(T& value)
    {
        static_assert(std::is_trivially_copyable_v<T>);
        if (m_bytes.size() - m_at < sizeof value)
            return false;
        std::memcpy(&value, m_bytes.data() + m_at, sizeof value);
        m_at += sizeof value;
        return true;
    }
    bool getString(std::string& text)
    {
        uint32_t size = 0;
        if (!get(size) || m_bytes.size() - m_at < size)
            return false;
        text.assign(m_bytes, m_at, size);
        m_at += size;
        return true;
    }

private:
    const std::string& m_bytes;
    size_t m_at = 0;
};

} // namespace pdf::worker
