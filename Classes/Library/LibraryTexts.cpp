#include "Classes/Library/LibraryTexts.h"

#include <cstdio>
#include <vector>

namespace LibraryTexts {
namespace {

enum class Kind { Integer, Decimal, Bad };

// The conversions of a printf format, in order ("%%" is no conversion).
std::vector<Kind> conversions(const std::string& format)
{
    std::vector<Kind> out;
    for (size_t i = 0; i < format.size(); ++i) {
        if (format[i] != '%')
            continue;
        size_t j = i + 1;
        if (j < format.size() && format[j] == '%') {
            i = j;
            continue;
        }
        // An optional precision, then an optional "l", then the letter; no flags, widths or "*".
        if (j < format.size() && format[j] == '.') {
            ++j;
            size_t digits = j;
            while (j < format.size() && format[j] >= '0' && format[j] <= '9')
                ++j;
            if (j == digits || j - digits > 2) {
                out.push_back(Kind::Bad);
                return out;
            }
        }
        bool precise = j > i + 1;
        if (j < format.size() && format[j] == 'l')
            ++j;
        char letter = j < format.size() ? format[j] : '\0';
        if ((letter == 'd' || letter == 'i') && !precise && format[j - 1] != 'l')
            out.push_back(Kind::Integer);
        else if (letter == 'f' || letter == 'g')
            out.push_back(Kind::Decimal);
        else
            out.push_back(Kind::Bad);
        i = j;
    }
    return out;
}

} // namespace

std::string countAndSize(const std::string& format, std::optional<int> count, double megabytes)
{
    std::vector<Kind> expected = count ? std::vector{Kind::Integer, Kind::Decimal} : std::vector{Kind::Decimal};
    char buffer[512];
    if (conversions(format) == expected && format.size() < 400) {
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
        if (count)
            std::snprintf(buffer, sizeof buffer, format.c_str(), *count, megabytes);
        else
            std::snprintf(buffer, sizeof buffer, format.c_str(), megabytes);
#pragma GCC diagnostic pop
        return buffer;
    }
    if (count)
        std::snprintf(buffer, sizeof buffer, "%d files, %.1f MB", *count, megabytes);
    else
        std::snprintf(buffer, sizeof buffer, "1 file, %.1f MB", megabytes);
    return buffer;
}

} // namespace LibraryTexts
