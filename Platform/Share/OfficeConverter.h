#pragma once
#include "Platform/Share/Program.h"

#include <cstdint>
#include <optional>
#include <string>

namespace share {

// Turns an office file (word processing, spreadsheet, presentation) into PDF with the office
// suite run headless, once per file version: the PDF is kept under <home>/Library/Caches/
// by the file's path, size and modification time. Blocking; call it off the main thread.
class OfficeConverter {
public:
    // Protected: locked by a password. Damaged: not a file of its kind, or an archive that
    // would unpack far beyond any real document (see OfficeFileCheck). Stopped: the
    // application ended meanwhile; nothing is wrong with the file.
    enum class Status { Converted, Cached, MissingFile, NoConverter, Failed, TimedOut, Protected, Damaged, Stopped };
    struct Result {
        Status status = Status::Failed;
        std::string pdfPath; // set for Converted and Cached
        bool ok() const { return status == Status::Converted || status == Status::Cached; }
    };

    static Result convert(const std::string& path, double timeoutSeconds = kDefaultTimeout);
    // The same with the kept PDF's path worked out already (cachedPdfPath, on a thread that
    // may use the digest; worker threads leave OpenSSL's thread state behind).
    static Result convertTo(const std::string& path, const std::string& pdfPath,
                            double timeoutSeconds = kDefaultTimeout);
    // Where the PDF of the file as it is now is kept; nothing when the file cannot be read.
    static std::optional<std::string> cachedPdfPath(const std::string& path);
    static bool isAvailable();

    // Drops kept PDFs, least recently opened first, until they take at most `limitBytes`;
    // `keep` stays whatever its size. Opening a kept PDF counts as using it.
    static void pruneCache(uint64_t limitBytes, const std::string& keep = {});
    static std::string cacheFolder();
    // The suite's private profile: its user installation and the home, configuration, cache
    // and temporary folders it is given, so it writes nothing elsewhere.
    static std::string profileFolder();

    static constexpr double kDefaultTimeout = 120;
    // The suite and every process it starts, together: ordinary documents convert in about
    // 220 MB resident (a few hundred pages, a photo, a sheet of 20,000 cells); a picture that
    // claims gigabytes ends the conversion, which fails as any other.
    static constexpr MemoryLimit kMemoryLimit{size_t(1) << 30, size_t(4) << 30};
    static constexpr uint64_t kCacheLimit = uint64_t(512) << 20;
};

} // namespace share
