#pragma once
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <set>

namespace gfx {

// The bytes that picture decodes in flight may hold at once, for the whole process. A decode
// asks for its bytes before it starts and waits until they fit beside the decodes already
// running (large ones in the order asked, those a screen waits for ahead of background work);
// one larger than the whole budget runs when nothing else does.
// Decoded pictures that are kept are not counted: only the work of decoding is.
class DecodeBudget {
public:
    static constexpr size_t kDefaultLimit = size_t(512) << 20;
    // Decodes this small (icons, thumbnails) wait only for room, never in line behind large ones;
    // a screen's do not wait at all.
    static constexpr size_t kSmallDecode = size_t(1) << 20;

    static DecodeBudget& shared();

    // A picture a screen is waiting for goes ahead of every background decode still waiting.
    enum class Priority { Background, Screen };

    class Reservation {
    public:
        Reservation() = default;
        Reservation(Reservation&& other) noexcept;
        Reservation& operator=(Reservation&& other) noexcept;
        Reservation(const Reservation&) = delete;
        Reservation& operator=(const Reservation&) = delete;
        ~Reservation() { release(); }
        size_t bytes() const { return m_bytes; }
        // False when no room was given: the application ends, and the decode is not made.
        explicit operator bool() const { return m_owner != nullptr; }
        void release();

    private:
        friend class DecodeBudget;
        Reservation(DecodeBudget* owner, size_t bytes) : m_owner(owner), m_bytes(bytes) {}
        DecodeBudget* m_owner = nullptr;
        size_t m_bytes = 0;
    };

    // Waits for room for `bytes`, then holds them until the reservation goes. Once the
    // application ends, no decode waits or starts: the reservation answers false.
    Reservation reserve(size_t bytes, Priority priority = Priority::Background);
    // How often a waiting decode looks whether the application ends.
    static constexpr std::chrono::milliseconds kEndLook{20};

    void setLimit(size_t bytes);
    size_t limit() const;
    size_t inFlight() const;
    // The most held at once since the last reset.
    size_t peakInFlight() const;
    void resetPeak();
    // Decodes waiting for room now.
    size_t waiting() const;

private:
    void give(size_t bytes);

    mutable std::mutex m_lock;
    std::condition_variable m_changed;
    size_t m_limit = kDefaultLimit;
    size_t m_inFlight = 0;
    size_t m_peak = 0;
    size_t m_running = 0;
    size_t m_waiting = 0;
    // One line of large decodes per priority; the background line moves only while the
    // screen's is empty.
    struct Line {
        uint64_t next = 0;
        uint64_t serving = 0;
        // Tickets given up while waiting; the line passes over them.
        std::set<uint64_t> dropped;
        bool empty() const { return next == serving; }
        void advance()
        {
            ++serving;
            while (dropped.erase(serving))
                ++serving;
        }
    };
    Line m_lines[2];
};

} // namespace gfx
