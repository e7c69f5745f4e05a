#pragma once
#include <optional>

namespace base {

// A point in time: seconds since 1970-01-01 00:00:00 UTC.
class Date {
public:
    constexpr Date() = default;
    constexpr explicit Date(double secondsSince1970) : m_seconds(secondsSince1970) {}

    // The application's "now": the wall clock, unless a test has fixed it.
    static Date now();
    static void setFixedNow(std::optional<Date> fixed);
    static void advanceFixedNow(double seconds);

    double timeIntervalSince1970() const { return m_seconds; }
    double timeIntervalSince(Date other) const { return m_seconds - other.m_seconds; }
    double timeIntervalSinceNow() const { return m_seconds - now().m_seconds; }
    Date addingTimeInterval(double seconds) const { return Date(m_seconds + seconds); }

    auto operator<=>(const Date&) const = default;

private:
    double m_seconds = 0;
};

} // namespace base
