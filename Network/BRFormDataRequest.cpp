#include "Network/BRFormDataRequest.h"

#include "Network/BRHTTPRequestShared.h"
#include "Platform/Base/Digest.h"

#include <sys/stat.h>

namespace {
// Part headers carry names between quotes on one line.
std::string escapedName(const std::string& name)
{
    std::string out;
    for (char c : name) {
        if (c == '"')
            out += "%22";
        else if (c == '\r')
            out += "%0D";
        else if (c == '\n')
            out += "%0A";
        else
            out += c;
    }
    return out;
}
} // namespace

BRFormDataRequest::BRFormDataRequest(std::optional<net::URL> url) : BRHTTPRequest(std::move(url))
{
    setRequestMethod("POST");
}

BRFormDataRequest::Ptr BRFormDataRequest::requestWithURL(std::optional<net::URL> url)
{
    return Ptr(new BRFormDataRequest(std::move(url)));
}

BRHTTPRequest::Ptr BRFormDataRequest::makeEmptyCopy() const { return Ptr(new BRFormDataRequest(url())); }

void BRFormDataRequest::copyExtraFieldsTo(BRHTTPRequest& copy) const
{
    auto& form = static_cast<BRFormDataRequest&>(copy);
    std::scoped_lock lock(m_partsLock, form.m_partsLock);
    form.m_postData = m_postData;
    form.m_fileData = m_fileData;
    form.m_postFormat = m_postFormat.load();
    form.m_stringEncoding = m_stringEncoding.load();
}

// ---- Parts

void BRFormDataRequest::addPostValueForKey(const std::string& value, const std::string& key)
{
    if (key.empty())
        return;
    std::lock_guard lock(m_partsLock);
    m_postData.push_back({key, value});
}

void BRFormDataRequest::setPostValueForKey(const std::string& value, const std::string& key)
{
    {
        std::lock_guard lock(m_partsLock);
        std::erase_if(m_postData, [&](const PostValue& v) { return v.key == key; });
    }
    addPostValueForKey(value, key);
}

void BRFormDataRequest::addPart(FilePart part)
{
    std::lock_guard lock(m_partsLock);
    m_fileData.push_back(std::move(part));
}

void BRFormDataRequest::removePartsForKey(const std::string& key)
{
    std::lock_guard lock(m_partsLock);
    std::erase_if(m_fileData, [&](const FilePart& p) { return p.key == key; });
}

void BRFormDataRequest::addDataForKey(base::Bytes data, const std::string& key)
{
    addDataWithFileNameAndContentTypeForKey(std::move(data), "file", std::nullopt, key);
}

void BRFormDataRequest::addDataWithFileNameAndContentTypeForKey(base::Bytes data, const std::string& fileName,
                                                                const std::optional<std::string>& contentType,
                                                                const std::string& key)
{
    addPart({key, fileName, contentType.value_or("application/octet-stream"),
             std::make_shared<const base::Bytes>(std::move(data)), std::nullopt});
}

void BRFormDataRequest::setDataForKey(base::Bytes data, const std::string& key)
{
    removePartsForKey(key);
    addDataForKey(std::move(data), key);
}

void BRFormDataRequest::setDataWithFileNameAndContentTypeForKey(base::Bytes data, const std::string& fileName,
                                                                const std::optional<std::string>& contentType,
                                                                const std::string& key)
{
    removePartsForKey(key);
    addDataWithFileNameAndContentTypeForKey(std::move(data), fileName, contentType, key);
}

void BRFormDataRequest::addFileForKey(const std::string& path, const std::string& key)
{
    addFileWithFileNameAndContentTypeForKey(path, std::nullopt, std::nullopt, key);
}

void BRFormDataRequest::addFileWithFileNameAndContentTypeForKey(const std::string& path,
                                                                const std::optional<std::string>& fileName,
                                                                const std::optional<std::string>& contentType,
                                                                const std::string& key)
{
    struct stat st;
    // Recorded now, told when the request starts: so a queue hears of it too.
    if (::stat(path.c_str(), &st) != 0 || S_ISDIR(st.st_mode))
        failWithError(brRequestError(BRInternalErrorWhileBuildingRequestType, "No file exists at " + path));
    std::string name = fileName.value_or(path.substr(path.find_last_of('/') + 1));
    std::string type = contentType ? *contentType
                                   : mimeTypeForFileAtPath(path).value_or("application/octet-stream");
    addPart({key, name, type, nullptr, path});
}

void BRFormDataRequest::setFileForKey(const std::string& path, const std::string& key)
{
    removePartsForKey(key);
    addFileForKey(path, key);
}

void BRFormDataRequest::setFileWithFileNameAndContentTypeForKey(const std::string& path,
                                                                const std::optional<std::string>& fileName,
                                                                const std::optional<std::string>& contentType,
                                                                const std::string& key)
{
    removePartsForKey(key);
    addFileWithFileNameAndContentTypeForKey(path, fileName, contentType, key);
}

std::vector<BRFormDataRequest::PostValue> BRFormDataRequest::postData() const
{
    std::lock_guard lock(m_partsLock);
    return m_postData;
}

std::vector<BRFormDataRequest::FilePart> BRFormDataRequest::fileData() const
{
    std::lock_guard lock(m_partsLock);
    return m_fileData;
}

// ---- The body

std::string BRFormDataRequest::charsetName() const
{
    return net::charsetForEncoding(m_stringEncoding).value_or("utf-8");
}

void BRFormDataRequest::appendPostString(const std::string& text)
{
    auto bytes = net::encodeFromUTF8(text, m_stringEncoding);
    if (bytes)
        appendPostData(base::Bytes(bytes->begin(), bytes->end()));
}

std::string BRFormDataRequest::encodeURL(const std::string& text) const
{
    auto bytes = net::encodeFromUTF8(text, m_stringEncoding);
    if (!bytes)
        return "";
    static const char* hex = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : *bytes) {
        if (std::isalnum(c) || c == '-' || c == '.' || c == '_') {
            out += char(c);
        } else {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 15];
        }
    }
    return out;
}

void BRFormDataRequest::buildPostBody()
{
    if (haveBuiltPostBody())
        return;
    bool hasValues, hasParts;
    {
        std::lock_guard lock(m_partsLock);
        hasValues = !m_postData.empty();
        hasParts = !m_fileData.empty();
    }
    if (hasValues || hasParts) {
        if (hasParts)
            setShouldStreamPostDataFromDisk(true);
        if (m_postFormat == BRURLEncodedPostFormat)
            buildURLEncodedPostBody();
        else
            buildMultipartFormDataPostBody();
    }
    BRHTTPRequest::buildPostBody();
}

void BRFormDataRequest::buildURLEncodedPostBody()
{
    // A URL-encoded body never carries files.
    if (!fileData().empty()) {
        m_postFormat = BRMultipartFormDataPostFormat;
        buildMultipartFormDataPostBody();
        return;
    }
    addRequestHeader("Content-Type", "application/x-www-form-urlencoded; charset=" + charsetName());
    auto values = postData();
    std::string body;
    for (size_t i = 0; i < values.size(); ++i)
        body += encodeURL(values[i].key) + "=" + encodeURL(values[i].value) + (i + 1 < values.size() ? "&" : "");
    appendPostString(body);
}

void BRFormDataRequest::buildMultipartFormDataPostBody()
{
    const std::string boundary = "0xKhTmLbOuNdArY-" + base::Digest::uuidString();
    addRequestHeader("Content-Type", "multipart/form-data; charset=" + charsetName() + "; boundary=" + boundary);
    auto values = postData();
    auto parts = fileData();
    const std::string separator = "\r\n--" + boundary + "\r\n";
    appendPostString("--" + boundary + "\r\n");
    for (size_t i = 0; i < values.size(); ++i) {
        appendPostString("Content-Disposition: form-data; name=\"" + escapedName(values[i].key) + "\"\r\n\r\n");
        appendPostString(values[i].value);
        if (i + 1 < values.size() || !parts.empty())
            appendPostString(separator);
    }
    for (size_t i = 0; i < parts.size(); ++i) {
        const FilePart& part = parts[i];
        appendPostString("Content-Disposition: form-data; name=\"" + escapedName(part.key) + "\"; filename=\"" +
                         escapedName(part.fileName) + "\"\r\n");
        appendPostString("Content-Type: " + part.contentType + "\r\n\r\n");
        if (part.path)
            appendPostDataFromFile(*part.path);
        else if (part.data)
            appendPostData(*part.data);
        if (i + 1 < parts.size())
            appendPostString(separator);
    }
    appendPostString("\r\n--" + boundary + "--\r\n");
}
