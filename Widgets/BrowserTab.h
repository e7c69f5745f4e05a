#pragma once
#include "Platform/Graphics/Font.h"
#include "Platform/Graphics/Image.h"
#include "Platform/UI/ImageView.h"
#include "Platform/UI/Label.h"

#include <memory>
#include <string>

class BrowserTabView;

// One tab of a BrowserTabView: a picture, a centred title and a close mark that shows on the
// selected tab of a strip holding two or more. A touch selects it through its strip.
class BrowserTab : public ui::View {
public:
    BrowserTab(const std::string& reuseIdentifier, BrowserTabView* delegate);
    const char* className() const override { return "BrowserTab"; }

    const gfx::Font& titleFont() const { return m_titleFont; }
    void setTitleFont(const gfx::Font& font) { m_titleFont = font; setNeedsLayout(); }
    gfx::Color normalTitleColor() const { return m_normalTitleColor; }
    void setNormalTitleColor(gfx::Color color) { m_normalTitleColor = color; }
    gfx::Color selectedTitleColor() const { return m_selectedTitleColor; }
    void setSelectedTitleColor(gfx::Color color) { m_selectedTitleColor = color; }
    const gfx::Image& tabNormalImage() const { return m_tabNormalImage; }
    void setTabNormalImage(const gfx::Image& image) { m_tabNormalImage = image; }
    const gfx::Image& tabSelectedImage() const { return m_tabSelectedImage; }
    void setTabSelectedImage(const gfx::Image& image) { m_tabSelectedImage = image; }
    const std::string& reuseIdentifier() const { return m_reuseIdentifier; }

    ui::ImageView& imageView() { return *m_imageView; }
    ui::ImageView& imageViewClose() { return *m_imageViewClose; }
    ui::Label& textLabel() { return *m_textLabel; }
    const std::string& title() const { return m_title; }

    int index() const { return m_index; }
    void setIndex(int index) { m_index = index; }
    bool selected() const { return m_selected; }
    void setSelected(bool selected);
    BrowserTabView* delegate() const { return m_delegate; }
    void setDelegate(BrowserTabView* delegate) { m_delegate = delegate; }

    // Empties the title, index 0, no strip, not selected; the look stays as it was.
    void prepareForReuse();

    void layoutSubviews() override;
    void touchesBegan(const std::vector<ui::Touch*>& touches, ui::Event& event) override;
    std::string accessibilityText() const override { return m_textLabel->text(); }

private:
    gfx::Font m_titleFont;
    gfx::Color m_normalTitleColor;
    gfx::Color m_selectedTitleColor;
    gfx::Image m_tabNormalImage;
    gfx::Image m_tabSelectedImage;
    std::string m_reuseIdentifier;
    std::shared_ptr<ui::ImageView> m_imageView;
    std::shared_ptr<ui::ImageView> m_imageViewClose;
    std::shared_ptr<ui::Label> m_textLabel;
    std::string m_title;
    int m_index = 0;
    bool m_selected = true;
    BrowserTabView* m_delegate = nullptr;
};
