#pragma once
#include <memory>
#include <string>

namespace share {

// Hands a file to another application ("open in", quick preview): opened when the desktop
// names a handler for its type and the opener starts. Tests install a recorder.
class DocumentOpener {
public:
    virtual ~DocumentOpener() = default;
    static DocumentOpener& shared();
    static void setShared(std::shared_ptr<DocumentOpener> opener);

    // The MIME type by extension when none is given. False: no handler (or it did not start).
    virtual bool open(const std::string& path, const std::string& mimeType = {});
};

} // namespace share
