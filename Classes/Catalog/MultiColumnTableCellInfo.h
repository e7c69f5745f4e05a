#pragma once
#include "Database/brivanta_product_Entity.h"
#include "Platform/Graphics/Font.h"

#include <functional>
#include <optional>
#include <string>

// The layout and value source of one column's cells in the inventory sheet.
struct MultiColumnTableCellInfo {
    enum CellType { Label = 0, ImageButton = 1, TextButton = 2, TitleLabel = 3 };

    double leftMargin = 0;
    double rightMargin = 0;
    double topMargin = 0;
    double bottomMargin = 0;
    int cellType = Label;
    // 0 left, 1 centre.
    int alignment = 0;
    double cellWidth = 0;
    double cellHeight = 0;
    std::optional<gfx::Font> textFont;
    // The cell's value for a product: its text, or for the image column a file path (none
    // when the product has no picture to point at).
    std::function<std::optional<std::string>(const brivanta_product_Entity&)> message;

    double contentWidth() const { return cellWidth - leftMargin - rightMargin; }
    double contentHeight() const { return cellHeight - topMargin - bottomMargin; }
};
