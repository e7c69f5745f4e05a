#pragma once
#include <cstdint>
#include <string>

namespace share {

// Looks inside an office file before the office suite is given it: a file locked by a password
// cannot be converted, and a package that declares far more than any real document would
// unpack to gigabytes.
class OfficeFileCheck {
public:
    enum class Verdict { Plain, Protected, Damaged };
    static Verdict inspect(const std::string& path);

    // Limits on what a zip package (docx, xlsx, pptx) declares it unpacks to: in all, and per
    // byte of the package once past kRatioCheckedFrom.
    static constexpr uint64_t kMaxUnpackedSize = uint64_t(2) << 30;
    static constexpr double kMaxRatio = 200;
    static constexpr uint64_t kRatioCheckedFrom = uint64_t(64) << 20;
};

} // namespace share
