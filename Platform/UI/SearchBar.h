#pragma once
#include "Platform/Graphics/Image.h"
#include "Platform/UI/TextField.h"
#include "Platform/UI/View.h"

#include <memory>
#include <string>

namespace ui {

class SearchBar;
class Button;

// Hears what the user does in a search bar. Every operation is optional.
class SearchBarDelegate {
public:
    virtual ~SearchBarDelegate() = default;
    virtual void searchBarTextDidBeginEditing(SearchBar&) {}
    virtual void searchBarTextDidEndEditing(SearchBar&) {}
    virtual void searchBarTextDidChange(SearchBar&, const std::string& text) {}
    // The return key.
    virtual void searchBarSearchButtonClicked(SearchBar&) {}
    virtual void searchBarCancelButtonClicked(SearchBar&) {}
};

// A bar with a search field (magnifier on the left, clear button while editing) and an
// optional cancel button on the right.
class SearchBar : public View, private TextFieldDelegate {
public:
    static constexpr double kHeight = 44;

    SearchBar();
    explicit SearchBar(const gfx::Rect& frame);
    ~SearchBar() override;
    const char* className() const override { return "SearchBar"; }

    const std::string& text() const;
    // No delegate calls.
    void setText(const std::string& text);
    const std::string& placeholder() const;
    void setPlaceholder(const std::string& placeholder);
    bool showsCancelButton() const { return m_showsCancel; }
    void setShowsCancelButton(bool shows);

    SearchBarDelegate* delegate() const { return m_delegate; }
    void setDelegate(SearchBarDelegate* delegate) { m_delegate = delegate; }

    TextField& textField() const { return *m_field; }
    // Drawn over the whole bar in place of the standard gradient; none brings that back.
    const gfx::Image& backgroundImage() const { return m_backgroundImage; }
    void setBackgroundImage(const gfx::Image& image);
    Button& cancelButton() const { return *m_cancel; }

    // Focus belongs to the field inside.
    bool becomeFirstResponder() override;
    bool resignFirstResponder() override;

    void layoutSubviews() override;
    void drawRect(gfx::Context& context, const gfx::Rect& rect) override;

private:
    void textFieldDidBeginEditing(TextField&) override;
    void textFieldDidEndEditing(TextField&) override;
    bool textFieldShouldReturn(TextField&) override;

    std::shared_ptr<TextField> m_field;
    std::shared_ptr<Button> m_cancel;
    bool m_showsCancel = false;
    gfx::Image m_backgroundImage;
    SearchBarDelegate* m_delegate = nullptr;
};

} // namespace ui
