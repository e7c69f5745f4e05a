#pragma once
#include "Platform/Base/Date.h"
#include "Platform/Pdf/Document.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <set>
#include <string>

// Opens a PDF the reader's way: nothing for no path or a file that is not a PDF; a locked
// document is tried with the empty password, then with the given one when its UTF-8 form fits
// 125 bytes; still locked gives nothing.
std::shared_ptr<pdf::Document> PdfDocumentOpen(const std::string& fileURL, const std::optional<std::string>& password);
// The same, but the reader's page views of one version of a file share one open document while
// any holds it: a neighbour's view then needs no new opening, and the file's fonts are read once.
// Their drawing takes turns on the document (the shown page's first, the neighbours' after).
std::shared_ptr<pdf::Document> PdfDocumentOpenShared(const std::string& fileURL,
                                                     const std::optional<std::string>& password);

// The reader's persistent record of one PDF: a stable GUID naming its thumbnail folder, the
// page shown, the bookmarks, and the file's page count, date and size. Kept as a property list
// under Application Support, named by a digest of the file's path relative to the home.
class PdfDocument {
public:
    static std::string GUID();
    static std::string documentsPath();
    static std::string applicationPath();
    static std::string applicationSupportPath();
    // The full path with the first occurrence of the home removed ("/Documents/acme/Pdf/x.pdf").
    static std::string relativeFilePath(const std::string& fullPath);
    // The archive of the record whose stored relative path is given.
    static std::string archiveFilePath(const std::string& relativePath);
    // "%PDF" within the first 1,024 bytes, the search stopping at the first NUL.
    static bool isPDF(const std::string& fullPath);
    static std::shared_ptr<PdfDocument> unarchiveFromFileNamePassword(const std::string& fullPath,
                                                                      const std::optional<std::string>& password);
    // The archived record, else a new one (nothing when the file is not a PDF).
    static std::shared_ptr<PdfDocument> withDocumentFilePathPassword(const std::string& fullPath,
                                                                     const std::optional<std::string>& password);
    // A new record, saved at once; nothing unless the file is a PDF.
    static std::shared_ptr<PdfDocument> initWithFilePathPassword(const std::string& fullPath,
                                                                 const std::optional<std::string>& password);

    // The last component of the stored path.
    std::string fileName() const;
    const std::string& relativeFileName() const { return m_fileName; }
    // The absolute path of the file, worked out once.
    const std::string& fileURL();
    bool archiveWithFileName(const std::string& relativePath) const;
    bool saveReaderDocument() const;
    // Page count (opened without a password; unchanged when that fails), date and size read
    // again. A file replaced since the record was made loses its thumbnails, and its page and
    // bookmarks are brought within its pages.
    void updateProperties();

    const std::string& guid() const { return m_guid; }
    base::Date fileDate() const { return m_fileDate; }
    uint64_t fileSize() const { return m_fileSize; }
    std::optional<int> pageCount() const { return m_pageCount; }
    int pageNumber() const { return m_pageNumber; }
    void setPageNumber(int page) { m_pageNumber = page; }
    std::set<int>& bookmarks() { return m_bookmarks; }
    const std::set<int>& bookmarks() const { return m_bookmarks; }
    base::Date lastOpen() const { return m_lastOpen; }
    void setLastOpen(base::Date date) { m_lastOpen = date; }
    const std::optional<std::string>& password() const { return m_password; }
    // Opens the document with the record's password and keeps it open (the reader's pages are
    // then known without asking a worker): waits for a worker, off the main thread.
    void holdOpenDocument();
    // The document kept open; nothing when none was opened yet or it could not be.
    const std::shared_ptr<pdf::Document>& openDocument() const { return m_open; }

    // The reference date a new record holds as its last opening (2001-01-01 00:00:00 UTC).
    static base::Date referenceDate() { return base::Date(978307200); }

private:
    PdfDocument() = default;
    static std::shared_ptr<PdfDocument> fromArchive(const std::string& archivePath);
    void readFileAttributes();

    std::string m_guid;
    std::string m_fileName; // relative to the home, from a slash
    base::Date m_fileDate;
    uint64_t m_fileSize = 0;
    std::optional<int> m_pageCount;
    int m_pageNumber = 1;
    std::set<int> m_bookmarks;
    base::Date m_lastOpen = referenceDate();
    std::optional<std::string> m_password;
    std::optional<std::string> m_fileURL;
    std::shared_ptr<pdf::Document> m_open;
};
