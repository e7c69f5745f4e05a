#pragma once
#include "Common/LanguageManager.h"
#include "Platform/Graphics/AttributedString.h"
#include "Platform/UI/Label.h"
#include "Platform/UI/ScrollView.h"

#include <memory>
#include <optional>
#include <string>

// Draws one attributed text in its bounds; white unless its creator sets another background.
class AttributedStringView : public ui::View {
public:
    AttributedStringView(const gfx::Rect& frame, gfx::AttributedString text);
    const char* className() const override { return "AttributedStringView"; }

    const gfx::AttributedString& attributedString() const { return m_text; }
    void drawRect(gfx::Context& context, const gfx::Rect& rect) override;

private:
    gfx::AttributedString m_text;
};

// The grey "no description" line in the script face, renewed on a language change.
class NODescriptionView : public ui::View, public LanguageManagerDelegate {
public:
    // Registers the view with the language manager, which it leaves when destroyed.
    static std::shared_ptr<NODescriptionView> create(const gfx::Rect& frame);
    explicit NODescriptionView(const gfx::Rect& frame);
    ~NODescriptionView() override;
    const char* className() const override { return "NODescriptionView"; }

    const std::shared_ptr<ui::Label>& noDescriptionLabel() const { return m_noDescriptionLabel; }
    void notifiChangelanguage() override;

private:
    std::shared_ptr<ui::Label> m_noDescriptionLabel;
};

// A product's short and long description under grey headings, scrolling when taller than
// the view; "no description" when both are empty.
class ProductDescView : public ui::ScrollView {
public:
    explicit ProductDescView(const gfx::Rect& frame);
    const char* className() const override { return "ProductDescView"; }

    const std::optional<std::string>& shortDesc() const { return m_shortDesc; }
    void setShortDesc(const std::optional<std::string>& text);
    const std::optional<std::string>& longDesc() const { return m_longDesc; }
    void setLongDesc(const std::optional<std::string>& text);

    // Headings in the current language, and the content built again.
    void updateLanguage();

    // The view shown inside: an AttributedStringView or a NODescriptionView.
    const std::shared_ptr<ui::View>& contentView() const { return m_contentView; }
    bool descIsDrity() const { return m_descIsDrity; }
    // The last built text; none before the first build.
    const std::optional<gfx::AttributedString>& attributedDesc() const { return m_attributedDesc; }

    // The two headings, shared by every description view, rebuilt from the current language.
    static void rebuildHeaders();
    static const gfx::AttributedString& descriptionHeader();
    static const gfx::AttributedString& longDescriptionHeader();
    static gfx::Font headerFont() { return gfx::Font::italicSystemFont(16); }
    static gfx::Font normalFont() { return gfx::Font::systemFont(14); }

    void layoutSubviews() override;

private:
    void markDirty();
    void buildAttributedDesc();
    // Replaces the content view for the current text and width. Drawing never adds views.
    void rebuildContent();

    std::optional<std::string> m_shortDesc;
    std::optional<std::string> m_longDesc;
    std::shared_ptr<ui::View> m_contentView;
    bool m_descIsDrity = false;
    std::optional<gfx::AttributedString> m_attributedDesc;
    double m_builtWidth = -1;
};
