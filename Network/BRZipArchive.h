#pragma once
#include "Platform/Base/Date.h"

#include <memory>
#include <string>

// Told of extraction failures and asked before an existing file is replaced.
class BRZipArchiveDelegate {
public:
    virtual ~BRZipArchiveDelegate() = default;
    virtual void ErrorMessage(const std::string& message) {}
    virtual bool OverWriteOperation(const std::string& path) { return true; }

protected:
    BRZipArchiveDelegate() = default;
};

// Unpacks a zip archive below a folder, and writes one. One object is used by one thread.
class BRZipArchive {
public:
    BRZipArchive();
    ~BRZipArchive();
    BRZipArchive(const BRZipArchive&) = delete;
    BRZipArchive& operator=(const BRZipArchive&) = delete;

    bool UnzipOpenFile(const std::string& path);
    bool UnzipOpenFilePassword(const std::string& path, const std::string& password);
    // Extracts every entry; NO when any entry could not be extracted whole (the others are).
    // Passing a limit below stops at once: NO, the delegate and the log told why, and every
    // file and folder this extraction made removed.
    bool UnzipFileToOverWrite(const std::string& folder, bool overwrite);
    bool UnzipCloseFile();

    bool CreateZipFile2(const std::string& path);
    bool CreateZipFile2Password(const std::string& path, const std::string& password);
    bool addFileToZipNewname(const std::string& file, const std::string& newname);
    bool CloseZipFile2();

    void OutputErrorMessage(const std::string& message);
    bool OverWrite(const std::string& path);

    std::shared_ptr<BRZipArchiveDelegate> delegate() const { return m_delegate; }
    void setDelegate(std::shared_ptr<BRZipArchiveDelegate> delegate) { m_delegate = std::move(delegate); }

    // Limits of one extraction: the bytes written in all, and the bytes written per byte of
    // the archive (checked once kRatioCheckedFrom bytes are written). The defaults are far
    // above any real skin or demo archive; an archive of overlapping entries is refused anyway.
    uint64_t maxExtractedSize() const { return m_maxExtractedSize; }
    void setMaxExtractedSize(uint64_t bytes) { m_maxExtractedSize = bytes; }
    double maxCompressionRatio() const { return m_maxCompressionRatio; }
    void setMaxCompressionRatio(double ratio) { m_maxCompressionRatio = ratio; }
    static constexpr uint64_t kDefaultMaxExtractedSize = uint64_t(2) << 30;
    static constexpr double kDefaultMaxCompressionRatio = 100;
    static constexpr uint64_t kRatioCheckedFrom = uint64_t(16) << 20;

    // Midnight of 1 January 1980 in the local time zone.
    static base::Date Date1980();

private:
    void* m_zipFile = nullptr;
    void* m_unzFile = nullptr;
    std::string m_password;
    uint64_t m_archiveSize = 0;
    uint64_t m_maxExtractedSize = kDefaultMaxExtractedSize;
    double m_maxCompressionRatio = kDefaultMaxCompressionRatio;
    std::shared_ptr<BRZipArchiveDelegate> m_delegate;
};
