#include "Widgets/BrowserTab.h"

#include "Platform/Graphics/Text.h"
#include "Platform/UI/NamedImage.h"
#include "Widgets/BrowserTabView.h"

BrowserTab::BrowserTab(const std::string& reuseIdentifier, BrowserTabView* delegate)
    : ui::View(gfx::Rect())
    , m_titleFont(gfx::Font::boldSystemFont(18))
    , m_normalTitleColor(gfx::Color::black())
    , m_selectedTitleColor(gfx::Color::black())
    , m_tabNormalImage(ui::imageNamed("bth_collection.png"))
    , m_tabSelectedImage(ui::imageNamed("bth_sales_on.png"))
    , m_reuseIdentifier(reuseIdentifier)
    , m_delegate(delegate)
{
    setBackgroundColor(gfx::Color::clear());
    setOpaque(false);
    m_imageView = ui::View::make<ui::ImageView>(gfx::Rect());
    m_imageView->setBackgroundColor(gfx::Color::clear());
    m_imageViewClose = ui::View::make<ui::ImageView>(ui::imageNamed("tab_close.png"));
    m_imageViewClose->setHidden(true);
    m_textLabel = ui::View::make<ui::Label>(gfx::Rect());
    m_textLabel->setTextAlignment(gfx::TextAlignment::Center);
    m_textLabel->setBackgroundColor(gfx::Color::clear());
    addSubview(m_imageView);
    addSubview(m_imageViewClose);
    addSubview(m_textLabel);
    m_imageView->setImage(m_tabSelectedImage);
}

void BrowserTab::setSelected(bool selected)
{
    m_selected = selected;
    if (selected) {
        m_textLabel->setTextColor(m_selectedTitleColor);
        m_imageView->setImage(m_tabSelectedImage);
        m_imageViewClose->setHidden(!m_delegate || m_delegate->numberOfTabs() < 2);
    } else {
        m_textLabel->setTextColor(m_normalTitleColor);
        m_imageView->setImage(m_tabNormalImage);
        m_imageViewClose->setHidden(true);
    }
}

void BrowserTab::prepareForReuse()
{
    m_textLabel->setText({});
    m_index = 0;
    m_delegate = nullptr;
    m_selected = false;
}

void BrowserTab::layoutSubviews()
{
    gfx::Rect b = bounds();
    m_imageView->setFrame(b);
    m_title = m_textLabel->text();
    // Measured in the tab's own font even where the strip draws the label in another.
    gfx::Size size = gfx::sizeOfText(m_title, m_titleFont);
    m_textLabel->setFrame({b.x() + (b.width() - size.width) / 2, b.y() + (b.height() - size.height) / 2,
                           size.width, size.height});
    m_imageViewClose->setFrame({b.x() + 115, b.y() + 12, 19, 18});
}

void BrowserTab::touchesBegan(const std::vector<ui::Touch*>&, ui::Event&)
{
    setSelected(true);
    if (m_delegate)
        m_delegate->setSelectedTabIndex(m_index, false);
}
