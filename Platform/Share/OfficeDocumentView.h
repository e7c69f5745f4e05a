#pragma once
#include "Platform/Graphics/Image.h"
#include "Platform/UI/View.h"

#include <memory>
#include <string>
#include <vector>

namespace pdf {
class Document;
class Page;
}
namespace ui {
class Label;
class ScrollView;
}

namespace share {

class OfficeDocumentView;

// Hears how a load goes; every operation is optional.
class OfficeDocumentViewDelegate {
public:
    virtual ~OfficeDocumentViewDelegate() = default;
    virtual void officeDocumentViewDidStartLoad(OfficeDocumentView&) {}
    virtual void officeDocumentViewDidFinishLoad(OfficeDocumentView&) {}
    virtual void officeDocumentViewDidFailLoad(OfficeDocumentView&, const std::string& reason) {}
};

// Shows an office file as its pages stacked top to bottom, fitted to the width, in a scroll
// view. The file is converted to PDF off the main thread (once per version, see
// OfficeConverter). When it cannot be shown, the file goes to the desktop's own application
// and a message stands in the page area.
class OfficeDocumentView : public ui::View {
public:
    explicit OfficeDocumentView(const gfx::Rect& frame);
    ~OfficeDocumentView() override;
    const char* className() const override { return "OfficeDocumentView"; }

    void setDelegate(OfficeDocumentViewDelegate* delegate) { m_delegate = delegate; }
    // Starts the load; the delegate hears of the start at once.
    void loadFile(const std::string& path);
    bool isLoading() const { return m_loading; }
    const std::string& filePath() const { return m_path; }

    // The texts shown when the document cannot be shown, after the file was handed to another
    // application or when nothing took it.
    void setFailureMessages(std::string handedOver, std::string notHandedOver);
    // The texts shown for a file locked by a password and for a damaged one; neither is handed
    // to another application.
    void setProblemMessages(std::string locked, std::string damaged);
    // Empty unless a load failed.
    std::string failureMessage() const;

    ui::ScrollView& scrollView() const { return *m_scroll; }
    double contentHeight() const;
    int pageCount() const;
    const std::string& pdfPath() const { return m_pdfPath; }
    // What the view shows now, drawn over white at `scale` pixels per point.
    gfx::Image imageOfVisiblePart(double scale = 2) const;

    void layoutSubviews() override;

    static constexpr double kPageMargin = 10;

private:
    void finish(const std::string& pdfPath, std::shared_ptr<pdf::Document> document,
                std::vector<std::shared_ptr<pdf::Page>> pages);
    void fail(const std::string& reason, bool handOver = true, const std::string* text = nullptr);
    void layoutPages();

    OfficeDocumentViewDelegate* m_delegate = nullptr;
    std::string m_path;
    std::string m_pdfPath;
    bool m_loading = false;
    uint64_t m_generation = 0;
    std::shared_ptr<pdf::Document> m_document;
    std::shared_ptr<ui::ScrollView> m_scroll;
    std::vector<std::shared_ptr<ui::View>> m_pages;
    std::vector<std::shared_ptr<pdf::Page>> m_pageSources;
    double m_laidOutWidth = -1;
    std::shared_ptr<ui::Label> m_message;
    std::string m_handedOverText = "This document cannot be shown here. It was handed to another application.";
    std::string m_notHandedOverText = "This document cannot be shown here, and no application on this computer opens it.";
    std::string m_lockedText = "This document is protected by a password and cannot be shown.";
    std::string m_damagedText = "This document is damaged and cannot be shown.";
    std::shared_ptr<bool> m_alive = std::make_shared<bool>(true);
};

} // namespace share
