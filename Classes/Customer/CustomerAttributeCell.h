#pragma once
#include "Platform/UI/TableViewCell.h"
#include "Platform/UI/TextField.h"

#include <memory>
#include <string>

namespace ui {
class Label;
class Switch;
}

class CustomerAttributeCellDelegate {
public:
    virtual ~CustomerAttributeCellDelegate() = default;
    virtual void customerAttributeCellTextFieldBegin(ui::TextField& field) {}
    // The field's whole text as it will be, on each change and at the end of editing.
    virtual void customerAttributeCellTextFieldcEnd(const std::string& text, int section, int row) {}
    virtual void customerAttributeCellSwitchViewAction(bool on) {}
    virtual void customerAttributeCellShouldReturnWithSectionWithRow(int section, int row) {}
};

// One field of the customer detail: a label and the value, shown or edited.
class CustomerAttributeCell : public ui::TableViewCell, public ui::TextFieldDelegate {
public:
    static gfx::Color valueGray() { return gfx::Color::fromRgb(70, 70, 70); }

    CustomerAttributeCell(ui::TableViewCellStyle style, std::string reuseIdentifier);
    const char* className() const override { return "CustomerAttributeCell"; }

    ui::Label& lblFiledName() const { return *m_name; }
    ui::TextField& txtAttributeValue() const { return *m_field; }
    ui::Label& lblAttributeValueDefaul() const { return *m_value; }
    ui::Label& redStarFlag() const { return *m_star; }
    ui::Switch& switchValue() const { return *m_switch; }
    int section = 0;
    int row = 0;
    int valueType = 0;
    CustomerAttributeCellDelegate* delegate = nullptr;

    void textFieldDidBeginEditing(ui::TextField&) override;
    void textFieldDidEndEditing(ui::TextField&) override;
    bool textFieldShouldChangeCharactersInRange(ui::TextField&, size_t location, size_t length,
                                                const std::string& replacement) override;
    bool textFieldShouldReturn(ui::TextField&) override;

private:
    std::shared_ptr<ui::Label> m_star;
    std::shared_ptr<ui::Label> m_name;
    std::shared_ptr<ui::TextField> m_field;
    std::shared_ptr<ui::Label> m_value;
    std::shared_ptr<ui::Switch> m_switch;
};
