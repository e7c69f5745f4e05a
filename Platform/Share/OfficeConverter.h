#pragma once
#include <optional>
#include <string>

namespace share {

// Turns an office file (word processing, spreadsheet, presentation) into PDF with the office
// suite run headless, once per file version: the PDF is kept under <home>/Library/Caches/
// by the file's path, size and modification time. Blocking; call it off the main thread.
class OfficeConverter {
public:
    enum class Status { Converted, Cached, MissingFile, NoConverter, Failed, TimedOut };
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

    static constexpr double kDefaultTimeout = 120;
};

} // namespace share
