#include "Protocol/WeclomeViewController.h"

#include "Platform/UI/Label.h"
#include "Platform/UI/Window.h"

WeclomeViewController::WeclomeViewController() = default;

void WeclomeViewController::loadView()
{
    auto root = std::make_shared<ui::View>(gfx::Rect({0, 0}, ui::Window::kScreenSize));
    root->setBackgroundColor(gfx::Color::fromRgb(24, 44, 74));
    auto name = std::make_shared<ui::Label>(gfx::Rect(0, 300, ui::Window::kScreenSize.width, 60));
    name->setText("Brivanta");
    name->setFont(gfx::Font::boldSystemFont(44));
    name->setTextColor(gfx::Color::white());
    name->setTextAlignment(gfx::TextAlignment::Center);
    name->setAutoresizingMask(ui::AutoresizingFlexibleWidth);
    root->addSubview(name);
    setView(root);
}
