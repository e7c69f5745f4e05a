#include "Classes/Library/Reader/PdfThumbRequest.h"

#include "Classes/Library/Reader/PdfThumbView.h"
#include "Platform/UI/Window.h"

#include <cstdio>

std::shared_ptr<PdfThumbRequest> PdfThumbRequest::newForView(const std::shared_ptr<PdfThumbView>& view,
                                                             const std::string& fileURL,
                                                             const std::optional<std::string>& password,
                                                             const std::string& guid, int page, gfx::Size size)
{
    auto request = std::shared_ptr<PdfThumbRequest>(new PdfThumbRequest());
    request->m_view = view;
    request->m_fileURL = fileURL;
    request->m_password = password;
    request->m_guid = guid;
    request->m_page = page;
    request->m_size = size;
    char name[64];
    std::snprintf(name, sizeof name, "%07d-%04dx%04d", page, int(size.width), int(size.height));
    request->m_thumbName = name;
    request->m_cacheKey = request->m_thumbName + "+" + guid;
    ui::Window* window = view && view->window() ? view->window() : ui::Window::keyWindow();
    request->m_scale = window ? window->scale() : 1;
    if (view)
        view->setTargetKey(request->m_cacheKey);
    return request;
}

std::shared_ptr<PdfThumbView> PdfThumbRequest::thumbView() const
{
    std::lock_guard lock(m_viewMutex);
    return m_view;
}

void PdfThumbRequest::setThumbView(std::shared_ptr<PdfThumbView> view)
{
    std::lock_guard lock(m_viewMutex);
    m_view = std::move(view);
}
