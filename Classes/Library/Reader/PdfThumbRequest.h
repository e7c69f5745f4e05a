#pragma once
#include "Platform/Graphics/Geometry.h"

#include <memory>
#include <mutex>
#include <optional>
#include <string>

class PdfThumbView;

// One picture asked for: a page of a document at a size, for a view.
class PdfThumbRequest {
public:
    // Marks the view as wanting this request's picture.
    static std::shared_ptr<PdfThumbRequest> newForView(const std::shared_ptr<PdfThumbView>& view,
                                                       const std::string& fileURL,
                                                       const std::optional<std::string>& password,
                                                       const std::string& guid, int page, gfx::Size size);

    std::shared_ptr<PdfThumbView> thumbView() const;
    void setThumbView(std::shared_ptr<PdfThumbView> view);

    const std::string& fileURL() const { return m_fileURL; }
    const std::optional<std::string>& password() const { return m_password; }
    const std::string& guid() const { return m_guid; }
    int thumbPage() const { return m_page; }
    gfx::Size thumbSize() const { return m_size; }
    // "%07d-%04dx%04d" of the page and the box's integer width and height.
    const std::string& thumbName() const { return m_thumbName; }
    // thumbName "+" guid.
    const std::string& cacheKey() const { return m_cacheKey; }
    double scale() const { return m_scale; }

private:
    PdfThumbRequest() = default;

    mutable std::mutex m_viewMutex;
    std::shared_ptr<PdfThumbView> m_view;
    std::string m_fileURL;
    std::optional<std::string> m_password;
    std::string m_guid;
    int m_page = 0;
    gfx::Size m_size;
    std::string m_thumbName;
    std::string m_cacheKey;
    double m_scale = 1;
};
