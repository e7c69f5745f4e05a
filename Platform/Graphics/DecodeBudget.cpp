#include "Platform/Graphics/DecodeBudget.h"

#include "Platform/Base/BackgroundWork.h"

#include <algorithm>
#include <utility>

namespace gfx {

DecodeBudget& DecodeBudget::shared()
{
    // Never destroyed: a decode on a worker thread may still end after static destruction began.
    static DecodeBudget* budget = new DecodeBudget();
    return *budget;
}

DecodeBudget::Reservation::Reservation(Reservation&& other) noexcept
    : m_owner(std::exchange(other.m_owner, nullptr)), m_bytes(std::exchange(other.m_bytes, 0))
{
}

DecodeBudget::Reservation& DecodeBudget::Reservation::operator=(Reservation&& other) noexcept
{
    if (this != &other) {
        release();
        m_owner = std::exchange(other.m_owner, nullptr);
        m_bytes = std::exchange(other.m_bytes, 0);
    }
    return *this;
}

void DecodeBudget::Reservation::release()
{
    if (m_owner)
        std::exchange(m_owner, nullptr)->give(std::exchange(m_bytes, 0));
}

DecodeBudget::Reservation DecodeBudget::reserve(size_t bytes, Priority priority)
{
    std::unique_lock guard(m_lock);
    // The application's end is looked at while waiting: what waits then is dropped.
    auto waitFor = [&](auto ready) {
        while (!ready()) {
            if (base::BackgroundWork::isStopping())
                return false;
            m_changed.wait_for(guard, kEndLook);
        }
        return !base::BackgroundWork::isStopping();
    };
    if (base::BackgroundWork::isStopping())
        return {};
    ++m_waiting;
    auto fits = [&] { return m_running == 0 || m_inFlight + bytes <= m_limit; };
    bool granted = true;
    if (bytes <= kSmallDecode && priority == Priority::Screen) {
        // A screen's icon never waits: what it holds is small beside the budget.
    } else if (bytes <= kSmallDecode) {
        // An icon's decode never waits behind a large one; it only waits for room.
        granted = waitFor(fits);
    } else {
        // Large ones go in the order asked within their line, so none is passed over for
        // ever by its own kind; background work waits while a screen does.
        Line& line = m_lines[priority == Priority::Screen ? 1 : 0];
        const Line& screen = m_lines[1];
        uint64_t ticket = line.next++;
        granted = waitFor([&] { return ticket == line.serving && (&line == &screen || screen.empty()) && fits(); });
        if (ticket == line.serving)
            line.advance();
        else
            line.dropped.insert(ticket);
    }
    --m_waiting;
    if (!granted) {
        guard.unlock();
        m_changed.notify_all();
        return {};
    }
    ++m_running;
    m_inFlight += bytes;
    m_peak = std::max(m_peak, m_inFlight);
    guard.unlock();
    // The next in line may fit beside this one.
    m_changed.notify_all();
    return Reservation(this, bytes);
}

void DecodeBudget::give(size_t bytes)
{
    {
        std::lock_guard guard(m_lock);
        m_inFlight -= bytes;
        --m_running;
    }
    m_changed.notify_all();
}

void DecodeBudget::setLimit(size_t bytes)
{
    {
        std::lock_guard guard(m_lock);
        m_limit = bytes;
    }
    m_changed.notify_all();
}

size_t DecodeBudget::limit() const
{
    std::lock_guard guard(m_lock);
    return m_limit;
}

size_t DecodeBudget::inFlight() const
{
    std::lock_guard guard(m_lock);
    return m_inFlight;
}

size_t DecodeBudget::peakInFlight() const
{
    std::lock_guard guard(m_lock);
    return m_peak;
}

void DecodeBudget::resetPeak()
{
    std::lock_guard guard(m_lock);
    m_peak = m_inFlight;
}

size_t DecodeBudget::waiting() const
{
    std::lock_guard guard(m_lock);
    return m_waiting;
}

} // namespace gfx
