#pragma once
#include "Platform/Graphics/Image.h"
#include "Platform/UI/ImageView.h"
#include "Platform/UI/View.h"

#include <memory>
#include <mutex>
#include <string>

namespace base {
class Operation;
}

// A view that shows one page picture from the thumbnail cache. It remembers which picture it
// wants (the request's full cache key), so a late picture for an earlier request is ignored.
class PdfThumbView : public ui::View {
public:
    explicit PdfThumbView(const gfx::Rect& frame);
    const char* className() const override { return "PdfThumbView"; }

    const std::shared_ptr<ui::ImageView>& imageView() const { return m_imageView; }
    virtual void showImage(const gfx::Image& image);
    // Subclasses highlight a touched cell.
    virtual void showTouched(bool touched) {}
    // Wants nothing, cancels its work, shows nothing.
    virtual void reuse();

    // The operation working for the view; set and cleared from the queues' threads too.
    std::shared_ptr<base::Operation> operation() const;
    void setOperation(std::shared_ptr<base::Operation> operation);

    // Main thread only. Empty when the view wants no picture.
    const std::string& targetKey() const { return m_targetKey; }
    void setTargetKey(std::string key) { m_targetKey = std::move(key); }

protected:
    void willMoveToSuperview(ui::View* newSuperview) override;

private:
    void cancelOperation();

    std::shared_ptr<ui::ImageView> m_imageView;
    mutable std::mutex m_operationMutex;
    std::shared_ptr<base::Operation> m_operation;
    std::string m_targetKey;
};
