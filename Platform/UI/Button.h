#pragma once
#include "Platform/Graphics/Image.h"
#include "Platform/UI/Control.h"

#include <map>
#include <memory>
#include <optional>
#include <string>

namespace ui {

class Label;
class ImageView;

enum class ButtonType { Custom, RoundedRect };

// A control with a title and an image per state, image left of the title, both centred.
// Values not set for a state come from the highlighted, disabled or selected state the button
// is in, else from the normal state. A disabled button is drawn at the disabled alpha unless
// it was given a look of its own for the disabled state.
class Button : public Control {
public:
    explicit Button(ButtonType type = ButtonType::Custom);
    Button(ButtonType type, const gfx::Rect& frame);
    ~Button() override;
    const char* className() const override { return "Button"; }
    ButtonType buttonType() const { return m_type; }

    void setTitle(const std::string& title, unsigned state = ControlStateNormal);
    void setTitleColor(gfx::Color color, unsigned state = ControlStateNormal);
    void setTitleShadowColor(gfx::Color color, unsigned state = ControlStateNormal);
    void setImage(const gfx::Image& image, unsigned state = ControlStateNormal);
    // Stretchable images are drawn in nine slices over the whole button.
    void setBackgroundImage(const gfx::Image& image, unsigned state = ControlStateNormal);

    std::string titleForState(unsigned state) const;
    gfx::Color titleColorForState(unsigned state) const;
    std::optional<gfx::Color> titleShadowColorForState(unsigned state) const;
    gfx::Image imageForState(unsigned state) const;
    gfx::Image backgroundImageForState(unsigned state) const;

    std::string currentTitle() const { return titleForState(state()); }
    gfx::Color currentTitleColor() const { return titleColorForState(state()); }
    gfx::Image currentImage() const { return imageForState(state()); }
    gfx::Image currentBackgroundImage() const { return backgroundImageForState(state()); }

    // The views showing the current title and image; style the title through the label.
    Label& titleLabel() const { return *m_titleLabel; }
    ImageView& imageView() const { return *m_imageView; }

    gfx::EdgeInsets contentEdgeInsets() const { return m_contentInsets; }
    void setContentEdgeInsets(gfx::EdgeInsets insets);
    gfx::EdgeInsets titleEdgeInsets() const { return m_titleInsets; }
    void setTitleEdgeInsets(gfx::EdgeInsets insets);
    gfx::EdgeInsets imageEdgeInsets() const { return m_imageInsets; }
    void setImageEdgeInsets(gfx::EdgeInsets insets);
    // Without an image for the highlighted state, the normal one is darkened while pressed.
    bool adjustsImageWhenHighlighted() const { return m_adjustsImage; }
    void setAdjustsImageWhenHighlighted(bool adjusts);

    gfx::Size sizeThatFits(gfx::Size size) const override;
    void layoutSubviews() override;
    void drawRect(gfx::Context& context, const gfx::Rect& rect) override;
    void setEnabled(bool enabled) override;
    std::string accessibilityText() const override { return currentTitle(); }

protected:
    void stateDidChange() override;

private:
    template <typename T>
    static const T* lookup(const std::map<unsigned, T>& values, unsigned state);
    bool darkensNow(const std::map<unsigned, gfx::Image>& images) const;
    void updateContent();
    void noteStateValue(unsigned state);
    double contentAlpha() const;
    void applyContentAlpha();

    ButtonType m_type;
    std::map<unsigned, std::string> m_titles;
    std::map<unsigned, gfx::Color> m_titleColors;
    std::map<unsigned, gfx::Color> m_titleShadowColors;
    std::map<unsigned, gfx::Image> m_images;
    std::map<unsigned, gfx::Image> m_backgroundImages;
    std::shared_ptr<Label> m_titleLabel;
    std::shared_ptr<ImageView> m_imageView;
    gfx::EdgeInsets m_contentInsets;
    gfx::EdgeInsets m_titleInsets;
    gfx::EdgeInsets m_imageInsets;
    bool m_adjustsImage = true;
    bool m_ownDisabledLook = false;
    gfx::Image m_pressedBackground; // darkened normal background while highlighted
};

} // namespace ui
