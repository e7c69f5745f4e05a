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

    // Midnight of 1 January 1980 in the local time zone.
    static base::Date Date1980();

private:
    void* m_zipFile = nullptr;
    void* m_unzFile = nullptr;
    std::string m_password;
    std::shared_ptr<BRZipArchiveDelegate> m_delegate;
};
