#pragma once
#include "Common/PopBaseController.h"
#include "Database/brivanta_product_Entity.h"
#include "Platform/Base/NotificationCenter.h"

#include <functional>
#include <memory>
#include <vector>

namespace ui {
class Button;
class Control;
}

// What the compare and favourites popups share: the edit mode (shaking images, delete
// buttons, add buttons held, remove-all in place of edit), its pause while the application is
// in the background, and opening a product page from the list.
class ProductListPopController : public PopBaseController {
public:
    static constexpr int kRemovedOnLanguageTag = 8000;

    ~ProductListPopController() override;

    bool inEdit() const { return m_inEdit; }
    void setInEdit(bool inEdit);
    void shakeAllCellImages(bool shaking);
    // Only the edit button enters edit mode this way.
    void enterEditMode(ui::Control& sender);
    void willEnterBackground();
    void willEnterForeground();
    void viewAfterFirstDidLoad() override;

    const std::shared_ptr<ui::Button>& btnEdit() const { return m_btnEdit; }
    const std::shared_ptr<ui::Button>& removeAllBtn() const { return m_removeAllBtn; }

    // Closes nothing: posts "setCatalogLayOut" for the page, first choosing the catalogue tab
    // when another tab shows.
    static void openProductPage(uint32_t index, std::vector<brivanta_product_Entity> products);

protected:
    // One tile or column as edit mode changes it.
    struct EditableTile {
        ui::View* image;
        ui::View* deleteButton;
        ui::Control* addButton;
    };
    virtual std::vector<EditableTile> editableTiles() = 0;
    // The edit and remove-all buttons in the title bar; remove-all runs `removeAll`.
    void addEditButtons(std::function<void()> removeAll);
    // Texts of the title and remove-all after a language change; the edit button keeps its own.
    void updateEditTexts(const char* titleKey);
    // The product as stored now, kept for the add flow to work on; null when it is gone.
    brivanta_product_Entity* freshProduct(int productId);

private:
    brivanta_product_Entity m_freshProduct;
    bool m_inEdit = false;
    std::shared_ptr<ui::Button> m_btnEdit;
    std::shared_ptr<ui::Button> m_removeAllBtn;
    std::vector<base::ObserverToken> m_observers;
};
