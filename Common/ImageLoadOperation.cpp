#include "Common/ImageLoadOperation.h"

#include "Common/PublicFunction.h"
#include "Platform/UI/ImageView.h"

ImageLoadOperation::ImageLoadOperation(gfx::Image image, std::shared_ptr<ui::ImageView> targetImageView,
                                       bool animation)
    : m_targetImageView(std::move(targetImageView)), m_image(std::move(image)), m_loadWithAnimation(animation)
{
    setQueuePriority(base::Operation::QueuePriorityVeryLow);
}

void ImageLoadOperation::main()
{
    auto view = m_targetImageView;
    if (!view || !view->superview())
        return;
    if (m_stillWanted && !m_stillWanted())
        return;
    PublicFunction::ImageViewFitImgImg(view.get(), m_image);
    // The grid's cells hide the view before the read; this is what shows it.
    double alpha = m_shownAlpha ? m_shownAlpha() : 1.0;
    if (m_loadWithAnimation)
        ui::View::animate(0.2, [&] { view->setAlpha(alpha); });
    else
        view->setAlpha(alpha);
}
