#pragma once
#include "Network/BRHTTPRequest.h"

#include <mutex>
#include <optional>
#include <string>
#include <vector>

enum BRPostFormat : int {
    BRMultipartFormDataPostFormat = 0,
    BRURLEncodedPostFormat = 1,
};

// A POST request whose body is made from named form values and data or file parts, either
// URL-encoded or multipart/form-data. The parts are collected as they are set; the body is
// written when the engine asks for it, from a temporary file whenever there is a part.
class BRFormDataRequest : public BRHTTPRequest {
public:
    using Ptr = std::shared_ptr<BRFormDataRequest>;

    struct PostValue {
        std::string key;
        std::string value;
    };
    // Bytes sent as they are, or the path of a file whose contents are sent.
    struct FilePart {
        std::string key;
        std::string fileName;
        std::string contentType;
        std::shared_ptr<const base::Bytes> data;
        std::optional<std::string> path;
    };

    static Ptr requestWithURL(std::optional<net::URL> url);

    // A value with an empty key is dropped.
    void addPostValueForKey(const std::string& value, const std::string& key);
    // Replaces every earlier value under the key.
    void setPostValueForKey(const std::string& value, const std::string& key);

    void addDataForKey(base::Bytes data, const std::string& key);
    // No content type: "application/octet-stream".
    void addDataWithFileNameAndContentTypeForKey(base::Bytes data, const std::string& fileName,
                                                 const std::optional<std::string>& contentType, const std::string& key);
    void setDataForKey(base::Bytes data, const std::string& key);
    void setDataWithFileNameAndContentTypeForKey(base::Bytes data, const std::string& fileName,
                                                 const std::optional<std::string>& contentType, const std::string& key);

    // A path that is missing or a folder fails the request with code 6 when it starts.
    void addFileForKey(const std::string& path, const std::string& key);
    void addFileWithFileNameAndContentTypeForKey(const std::string& path, const std::optional<std::string>& fileName,
                                                 const std::optional<std::string>& contentType, const std::string& key);
    void setFileForKey(const std::string& path, const std::string& key);
    void setFileWithFileNameAndContentTypeForKey(const std::string& path, const std::optional<std::string>& fileName,
                                                 const std::optional<std::string>& contentType, const std::string& key);

    std::vector<PostValue> postData() const;
    std::vector<FilePart> fileData() const;
    int postFormat() const { return m_postFormat; }
    void setPostFormat(int format) { m_postFormat = format; }
    net::StringEncoding stringEncoding() const { return m_stringEncoding; }
    void setStringEncoding(net::StringEncoding encoding) { m_stringEncoding = encoding; }

    void buildPostBody() override;
    void appendPostString(const std::string& text);
    // Percent-escapes every byte but letters, digits, "-", "." and "_"; "" when the text has a
    // character the encoding lacks.
    std::string encodeURL(const std::string& text) const;

protected:
    explicit BRFormDataRequest(std::optional<net::URL> url);
    BRHTTPRequest::Ptr makeEmptyCopy() const override;
    void copyExtraFieldsTo(BRHTTPRequest& copy) const override;

private:
    void addPart(FilePart part);
    void removePartsForKey(const std::string& key);
    void buildURLEncodedPostBody();
    void buildMultipartFormDataPostBody();
    std::string charsetName() const;

    mutable std::mutex m_partsLock;
    std::vector<PostValue> m_postData;
    std::vector<FilePart> m_fileData;
    std::atomic<int> m_postFormat{BRURLEncodedPostFormat};
    std::atomic<net::StringEncoding> m_stringEncoding{net::encoding::UTF8};
};
