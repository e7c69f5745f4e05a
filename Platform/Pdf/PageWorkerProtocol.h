#pragma once
#include <cstdint>

namespace pdf::worker {

// What a worker is handed when it starts: its end of the request socket (one message a
// request, one an answer) and the shared file its pixels go into.
constexpr int kSocketFd = 3;
constexpr int kPixelsFd = 4;
constexpr uint32_t kMagic = 0x50574b31;
// The worker ran out of memory under its limit.
constexpr int kExitOverLimit = 75;

// One page to draw into a bitmap of `width` x `height` pixels (ARGB32, rows of width * 4 bytes)
// at the start of the shared file, a twin of the caller's: its device scale and offset, its
// transform and clip. Only `region` (x, y, width, height in pixels) is cleared and read back.
// Followed by the path's and the password's bytes.
struct Request {
    uint32_t magic = kMagic;
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
};

enum class Answer : int32_t { Drawn = 0, NotRead = 1 };

struct Reply {
    uint32_t magic = kMagic;
    Answer answer = Answer::NotRead;
};

constexpr uint32_t kMaxPathBytes = 8192;

} // namespace pdf::worker
