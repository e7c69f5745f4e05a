#pragma once
#include <string>
#include <string_view>
#include <unordered_map>

namespace net {

// MIME types by file-name extension, from a table in the mime.types format.
class MimeTypes {
public:
    static constexpr const char* kFallback = "application/octet-stream";

    // "type ext ext..." lines; "#" starts a comment. The first type to name an extension wins.
    explicit MimeTypes(std::string_view table);
    // /etc/mime.types, read once.
    static const MimeTypes& system();

    // Case-insensitive, with or without the dot; the fallback when unknown.
    std::string typeForExtension(std::string_view extension) const;
    // By the path's extension only (the file need not exist).
    std::string typeForPath(std::string_view path) const;

private:
    std::unordered_map<std::string, std::string> m_byExtension;
};

} // namespace net
