#pragma once
#include "Platform/Base/Value.h"
#include "Platform/Graphics/Color.h"
#include "Platform/Graphics/Image.h"

#include <functional>
#include <string>

namespace demo {

// A product catalogue: a cover, then the products grouped by category, three to a page.
// `picture` answers a product's drawing by its SKU; `price` formats an amount.
bool writeCatalogue(const std::string& path, const base::Value& tenant, const std::string& title,
                    const std::function<gfx::Image(const std::string& sku)>& picture,
                    const std::function<std::string(double)>& price);

// A text document: a title, then headed sections flowing over as many pages as they need.
bool writeGuide(const std::string& path, const std::string& company, const std::string& title,
                const base::Value& sections, gfx::Color accent);

} // namespace demo
