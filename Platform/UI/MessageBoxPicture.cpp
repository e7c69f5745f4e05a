#include "Platform/UI/MessageBoxPicture.h"

#include "Platform/Graphics/Context.h"
#include "Platform/Graphics/Font.h"
#include "Platform/Graphics/TextLayout.h"

#include <cmath>

namespace ui {

MessageBoxPicture MessageBoxPicture::render(const std::string& message, const std::string& button, double scale)
{
    MessageBoxPicture box;
    gfx::Font font = gfx::Font::systemFont(kFontSize);
    gfx::TextLayout::Options options;
    options.width = kWidth - 2 * kMargin;
    gfx::Size text = gfx::TextLayout(nullptr, message, font, options).size();
    box.textRect = {kMargin, kMargin, options.width, std::ceil(text.height)};
    box.buttonRect = {kWidth - kMargin - kButtonSize.width, box.textRect.maxY() + 20, kButtonSize.width,
                      kButtonSize.height};
    box.size = {kWidth, box.buttonRect.maxY() + kMargin - 4};

    auto context = gfx::Context::createBitmap(box.size, scale);
    context->setFillColor(background());
    context->fillRect({{0, 0}, box.size});
    gfx::TextLayout layout(context->cairo(), message, font, options);
    context->drawText(layout, box.textRect.origin, ink());
    context->setFillColor(buttonColor());
    context->fillRoundedRect(box.buttonRect, 6);
    gfx::Font bold = gfx::Font::boldSystemFont(kFontSize);
    gfx::TextLayout::Options one;
    gfx::TextLayout label(context->cairo(), button, bold, one);
    gfx::Size used = label.size();
    context->drawText(label,
                      {box.buttonRect.x() + (box.buttonRect.width() - used.width) / 2,
                       box.buttonRect.y() + (box.buttonRect.height() - used.height) / 2},
                      gfx::Color::white());
    box.image = context->makeImage();
    return box;
}

} // namespace ui
