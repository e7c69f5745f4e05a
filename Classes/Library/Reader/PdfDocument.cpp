#include "Classes/Library/Reader/PdfDocument.h"

#include "Classes/Library/Reader/PdfThumbCache.h"
#include "Platform/Base/Digest.h"
#include "Platform/Base/FileManager.h"
#include "Platform/Base/Log.h"
#include "Platform/Base/Paths.h"
#include "Platform/Base/PropertyList.h"

#include <cmath>
#include <cstring>
#include <fstream>
#include <map>
#include <mutex>

std::shared_ptr<pdf::Document> PdfDocumentOpen(const std::string& fileURL, const std::optional<std::string>& password)
{
    if (fileURL.empty())
        return nullptr;
    // Longer passwords never unlock: the buffer they go through holds 125 bytes of text.
    std::optional<std::string> given;
    if (password && !password->empty() && password->size() <= 125)
        given = password;
    auto result = pdf::Document::open(fileURL, given);
    if (result.status != pdf::Document::Status::Opened)
        return nullptr;
    return result.document;
}

std::shared_ptr<pdf::Document> PdfDocumentOpenShared(const std::string& fileURL,
                                                     const std::optional<std::string>& password)
{
    auto size = base::FileManager::fileSize(fileURL);
    auto date = base::FileManager::modificationDate(fileURL);
    if (!size || !date)
        return PdfDocumentOpen(fileURL, password);
    std::string key = fileURL + '\0' + password.value_or("") + '\0' + std::to_string(*size) + '\0' +
                      std::to_string(date->timeIntervalSince1970());
    static std::mutex mutex;
    static auto* open = new std::map<std::string, std::weak_ptr<pdf::Document>>(); // reached until the end
    std::lock_guard lock(mutex);
    std::erase_if(*open, [](const auto& entry) { return entry.second.expired(); });
    if (auto found = open->find(key); found != open->end())
        if (auto document = found->second.lock())
            return document;
    auto document = PdfDocumentOpen(fileURL, password);
    if (document)
        (*open)[key] = document;
    return document;
}

std::string PdfDocument::GUID()
{
    return base::Digest::uuidString();
}

std::string PdfDocument::documentsPath()
{
    return base::Paths::documents();
}

std::string PdfDocument::applicationPath()
{
    return base::Paths::home();
}

std::string PdfDocument::applicationSupportPath()
{
    return base::Paths::applicationSupport();
}

std::string PdfDocument::relativeFilePath(const std::string& fullPath)
{
    std::string home = applicationPath();
    std::string result = fullPath;
    if (auto at = result.find(home); at != std::string::npos && !home.empty())
        result.erase(at, home.size());
    return result;
}

std::string PdfDocument::archiveFilePath(const std::string& relativePath)
{
    // Named by the whole relative path: two clients' files of one name keep records apart.
    return applicationSupportPath() + "/" + base::Digest::md5Hex(relativePath) + ".plist";
}

bool PdfDocument::isPDF(const std::string& fullPath)
{
    std::ifstream in(fullPath, std::ios::binary);
    if (!in)
        return false;
    char buffer[1024];
    in.read(buffer, sizeof buffer);
    std::streamsize got = in.gcount();
    if (got <= 0)
        return false;
    size_t length = strnlen(buffer, size_t(got));
    return std::string_view(buffer, length).find("%PDF") != std::string_view::npos;
}

std::shared_ptr<PdfDocument> PdfDocument::fromArchive(const std::string& archivePath)
{
    if (!base::FileManager::exists(archivePath))
        return nullptr;
    auto plist = base::PropertyList::readFile(archivePath);
    if (!plist || !plist->isDictionary()) {
        base::logf("PdfDocument: unreadable archive %s", archivePath.c_str());
        return nullptr;
    }
    const base::Value& v = *plist;
    auto record = std::shared_ptr<PdfDocument>(new PdfDocument());
    record->m_guid = v["FileGUID"].isString() ? std::string(v["FileGUID"].toString()) : GUID();
    if (!v["FileName"].isString())
        return nullptr;
    record->m_fileName = v["FileName"].toString();
    if (v["FileDate"].isDate())
        record->m_fileDate = v["FileDate"].asDate();
    if (v["PageCount"].isNumber())
        record->m_pageCount = int(v["PageCount"].toInt());
    if (v["PageNumber"].isNumber())
        record->m_pageNumber = int(v["PageNumber"].toInt());
    if (v["Bookmarks"].isArray())
        for (const auto& page : v["Bookmarks"].asArray())
            if (page.isNumber())
                record->m_bookmarks.insert(int(page.toInt()));
    if (v["FileSize"].isNumber())
        record->m_fileSize = uint64_t(std::max<int64_t>(0, v["FileSize"].toInt()));
    if (v["LastOpen"].isDate())
        record->m_lastOpen = v["LastOpen"].asDate();
    return record;
}

std::shared_ptr<PdfDocument> PdfDocument::unarchiveFromFileNamePassword(const std::string& fullPath,
                                                                        const std::optional<std::string>& password)
{
    std::string relative = relativeFilePath(fullPath);
    auto record = fromArchive(archiveFilePath(relative));
    // An archive of another file (a digest collision, or a hand-made one) is not this record.
    if (!record || record->m_fileName != relative)
        return nullptr;
    if (password)
        record->m_password = *password;
    return record;
}

std::shared_ptr<PdfDocument> PdfDocument::withDocumentFilePathPassword(const std::string& fullPath,
                                                                       const std::optional<std::string>& password)
{
    if (auto record = unarchiveFromFileNamePassword(fullPath, password))
        return record;
    return initWithFilePathPassword(fullPath, password);
}

std::shared_ptr<PdfDocument> PdfDocument::initWithFilePathPassword(const std::string& fullPath,
                                                                   const std::optional<std::string>& password)
{
    if (!isPDF(fullPath))
        return nullptr;
    auto record = std::shared_ptr<PdfDocument>(new PdfDocument());
    record->m_guid = GUID();
    record->m_password = password;
    record->m_fileName = relativeFilePath(fullPath);
    // Kept open: the reader's pages then need no further question.
    if ((record->m_open = PdfDocumentOpenShared(record->fileURL(), password)))
        record->m_pageCount = record->m_open->pageCount();
    record->readFileAttributes();
    record->saveReaderDocument();
    return record;
}

void PdfDocument::holdOpenDocument()
{
    if (!m_open)
        m_open = PdfDocumentOpenShared(fileURL(), m_password);
}

void PdfDocument::readFileAttributes()
{
    // Archives keep whole seconds; so does the record, or every opening would look like a
    // replaced file.
    if (auto date = base::FileManager::modificationDate(fileURL()))
        m_fileDate = base::Date(std::floor(date->timeIntervalSince1970()));
    if (auto size = base::FileManager::fileSize(fileURL()))
        m_fileSize = *size;
}

std::string PdfDocument::fileName() const
{
    auto slash = m_fileName.rfind('/');
    return slash == std::string::npos ? m_fileName : m_fileName.substr(slash + 1);
}

const std::string& PdfDocument::fileURL()
{
    if (!m_fileURL) {
        // Files kept under tmp are found under Documents; only that first folder is swapped.
        std::string relative = m_fileName;
        if (relative.rfind("/tmp/", 0) == 0)
            relative = "/Documents/" + relative.substr(5);
        m_fileURL = applicationPath() + relative;
    }
    return *m_fileURL;
}

bool PdfDocument::archiveWithFileName(const std::string& relativePath) const
{
    base::Dictionary d;
    d.set("FileGUID", base::Value(m_guid));
    d.set("FileName", base::Value(m_fileName));
    d.set("FileDate", base::Value(m_fileDate));
    if (m_pageCount)
        d.set("PageCount", base::Value(*m_pageCount));
    d.set("PageNumber", base::Value(m_pageNumber));
    base::Array marks;
    for (int page : m_bookmarks)
        marks.push_back(base::Value(page));
    d.set("Bookmarks", base::Value(std::move(marks)));
    d.set("FileSize", base::Value(static_cast<long long>(m_fileSize)));
    d.set("LastOpen", base::Value(m_lastOpen));
    // Saved on the way to showing the document: whole at once, on disk a moment later.
    auto xml = base::PropertyList::toXml(base::Value(std::move(d)));
    bool written = xml && base::FileManager::writeAtomicallySyncLater(archiveFilePath(relativePath), *xml);
    if (!written)
        base::logf("PdfDocument: cannot write the archive of %s", relativePath.c_str());
    return written;
}

bool PdfDocument::saveReaderDocument() const
{
    return archiveWithFileName(m_fileName);
}

void PdfDocument::updateProperties()
{
    base::Date oldDate = m_fileDate;
    uint64_t oldSize = m_fileSize;
    readFileAttributes();
    bool sameFile = m_fileDate == oldDate && m_fileSize == oldSize;
    // The file the record describes keeps its page count: it is not opened again to count.
    if (!sameFile || !m_pageCount) {
        m_open.reset();
        if (auto document = PdfDocumentOpenShared(fileURL(), std::nullopt)) {
            m_pageCount = document->pageCount();
            if (!m_password)
                m_open = document;
        }
    }
    if (sameFile)
        return;
    // Another file under the same name: its old thumbnails and pages no longer hold.
    std::string thumbs = PdfThumbCache::thumbCachePathForGUID(m_guid);
    base::FileManager::removeRecursively(thumbs, PdfThumbCache::appCachesPath());
    if (m_pageCount) {
        int count = *m_pageCount;
        std::erase_if(m_bookmarks, [count](int page) { return page > count; });
        m_pageNumber = std::clamp(m_pageNumber, 1, std::max(1, count));
    }
    saveReaderDocument();
}
