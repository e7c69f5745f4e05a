#pragma once
#include "Platform/Graphics/Image.h"

#include <memory>
#include <string>
#include <vector>

namespace share {

struct PrintResult {
    bool printed = false;     // handed to the print spooler
    std::string savedPath;    // else the copy kept for the user, or empty when even that failed
};

// Prints PDF files through lp (duplex on the long edge); without lp, or when it fails, the
// PDF is copied to <home>/Outbox/<id>/<job>.pdf, a folder of its own for each print as a
// mail's attachment has, for the caller to show. Tests install a recorder.
class Printer {
public:
    virtual ~Printer() = default;
    static Printer& shared();
    static void setShared(std::shared_ptr<Printer> printer);

    virtual PrintResult printFile(const std::string& pdfPath, const std::string& jobName, bool duplex);
    // One picture a page, composed into a temporary PDF first.
    PrintResult printImages(const std::vector<gfx::Image>& images, const std::string& jobName, bool duplex);
};

} // namespace share
