#pragma once
#include "Platform/UI/View.h"

#include <memory>
#include <string>

namespace ui {
class Button;
class Label;
}

class CustomerInfoGroupViewDelegate {
public:
    virtual ~CustomerInfoGroupViewDelegate() = default;
    virtual void groupViewClickWithType(int indexId, int type) {}
    virtual void deleteSectionWithType(int indexId, int type) {}
};

// The header of one group of the customer detail: its name, the primary check box and, while
// editing, the delete button.
class CustomerInfoGroupView : public ui::View {
public:
    enum Type { Base = 0, Address = 1, Contact = 2 };

    explicit CustomerInfoGroupView(const gfx::Rect& frame);
    const char* className() const override { return "CustomerInfoGroupView"; }

    ui::Label& lblGroupName() const { return *m_name; }
    ui::Button& btnSelect() const { return *m_select; }
    ui::Button& deleteButton() const { return *m_delete; }
    int indexId = 0;
    int type = Base;
    CustomerInfoGroupViewDelegate* delegate = nullptr;

    bool isSelect() const { return m_isSelect; }
    // The primary group's box is shown ticked and takes no taps.
    void setIsSelect(bool selected);
    bool selectButtonHidden() const;
    void setSelectButtonHidden(bool hidden);
    // The delete button hangs below the header; the row under it keeps its clicks.
    ui::View* hitTest(gfx::Point point) override;

private:
    std::shared_ptr<ui::Label> m_name;
    std::shared_ptr<ui::Button> m_select;
    std::shared_ptr<ui::Button> m_delete;
    bool m_isSelect = false;
};
