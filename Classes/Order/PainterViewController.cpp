#include "Classes/Order/PainterViewController.h"

#include "Common/Language.h"
#include "Common/SkinManager.h"
#include "Platform/Graphics/Context.h"
#include "Platform/UI/Button.h"
#include "Platform/UI/ImageView.h"
#include "Platform/UI/NavigationBar.h"
#include "Platform/UI/Touch.h"

void PainterViewController::viewDidLoad()
{
    BaseViewController::viewDidLoad();
    view()->setBackgroundColor(gfx::Color::white());
    gfx::Rect screen = view()->bounds();

    // The signing area is a framed box under the drawing; the drawing covers the screen so
    // that its pixels are points.
    m_canvasView = ui::View::make<ui::View>(canvasFrame());
    m_canvasView->setBackgroundColor(gfx::Color::fromRgb(250, 250, 246));
    m_canvasView->setBorderWidth(2);
    m_canvasView->setBorderColor(gfx::Color::fromRgb(53, 107, 168));
    m_canvasView->setUserInteractionEnabled(false);
    view()->addSubview(m_canvasView);

    m_painterView = ui::View::make<ui::ImageView>(gfx::Rect(0, 0, screen.width(), screen.height()));
    m_painterView->setBackgroundColor(gfx::Color::clear());
    m_painterView->setUserInteractionEnabled(false);
    view()->addSubview(m_painterView);

    m_barBackground = ui::View::make<ui::ImageView>(gfx::Rect(0, 0, screen.width(), ui::NavigationBar::kHeight));
    m_barBackground->setImage(SkinManager::skinFromImageName(std::string("topbar-bg.png")));
    view()->addSubview(m_barBackground);
    m_naviBar = ui::View::make<ui::NavigationBar>(gfx::Rect(0, 0, screen.width(), ui::NavigationBar::kHeight));
    m_naviBar->setBackgroundColor(gfx::Color::clear());
    m_naviBar->setTitleTextColor(gfx::Color::white()); // the skin's top bar is dark
    m_barItem = std::make_shared<ui::NavigationItem>();
    view()->addSubview(m_naviBar);
    updateLanguage(nullptr);
}

void PainterViewController::viewDidUnload()
{
    m_naviBar.reset();
    m_barItem.reset();
    m_barBackground.reset();
    m_canvasView.reset();
    m_painterView.reset();
}

void PainterViewController::updateLanguage(ui::Responder*)
{
    if (!m_naviBar || !m_barItem)
        return;
    std::weak_ptr<PainterViewController> weak = std::static_pointer_cast<PainterViewController>(shared_from_this());
    m_barItem->setTitle(Language::stringWithName("ADDSIGNATURE"));
    m_barItem->setLeftBarButtonItem(ui::NavigationBarButton{Language::stringWithName("CANCEL"),
                                                            ui::NavigationBarButton::Style::Bordered, [weak] {
                                                                if (auto self = weak.lock())
                                                                    self->cancelButtonTapped();
                                                            }});
    m_barItem->setRightBarButtonItem(ui::NavigationBarButton{Language::stringWithName("DONE"),
                                                             ui::NavigationBarButton::Style::Done, [weak] {
                                                                 if (auto self = weak.lock())
                                                                     self->doneButtonTapped();
                                                             }});
    m_naviBar->pushNavigationItem(m_barItem);
    // Readable on the skin's dark bar.
    if (auto* cancel = m_naviBar->leftButton())
        cancel->setTitleColor(gfx::Color::white());
}

void PainterViewController::cancelButtonTapped()
{
    dismissViewController(true);
}

void PainterViewController::doneButtonTapped()
{
    gfx::Image signature = m_painterView ? decompressedImage(m_painterView->image()) : gfx::Image();
    auto self = std::static_pointer_cast<PainterViewController>(shared_from_this());
    // The block runs once the pad is gone, so what it presents lands on the form's screen.
    dismissViewController(true, [self, signature] {
        if (self->m_block)
            self->m_block(signature);
    });
}

void PainterViewController::drawLineFromPointToPoint(gfx::Point from, gfx::Point to)
{
    if (!m_painterView)
        return;
    gfx::Size size = m_painterView->frame().size;
    auto context = gfx::Context::createBitmap(size, 1);
    const gfx::Image& drawing = m_painterView->image();
    if (!drawing.isNull())
        context->drawImage(drawing, {{0, 0}, size});
    context->setLineCap(gfx::LineCap::Round);
    context->setLineWidth(10);
    context->setStrokeColor(gfx::Color::black());
    context->beginPath();
    context->moveTo(from);
    context->lineTo(to);
    context->strokePath();
    m_painterView->setImage(context->makeImage());
}

gfx::Image PainterViewController::decompressedImage(const gfx::Image& image) const
{
    if (image.isNull())
        return {};
    gfx::Rect frame = m_canvasView ? m_canvasView->frame() : canvasFrame();
    double scale = image.scale();
    return image.cropped({frame.x() * scale, frame.y() * scale, frame.width() * scale, frame.height() * scale});
}

gfx::Point PainterViewController::touchPoint(const std::vector<ui::Touch*>& touches) const
{
    if (touches.empty() || !touches.front())
        return {0, 0};
    return touches.front()->locationInView(m_painterView.get());
}

void PainterViewController::touchesBegan(const std::vector<ui::Touch*>& touches, ui::Event&)
{
    m_mouseMoved = false;
    m_lastPoint = touchPoint(touches);
}

void PainterViewController::touchesMoved(const std::vector<ui::Touch*>& touches, ui::Event&)
{
    m_mouseMoved = true;
    gfx::Point point = touchPoint(touches);
    drawLineFromPointToPoint(m_lastPoint, point);
    m_lastPoint = point;
}

void PainterViewController::touchesEnded(const std::vector<ui::Touch*>&, ui::Event&)
{
    if (!m_mouseMoved)
        drawLineFromPointToPoint(m_lastPoint, m_lastPoint);
}
