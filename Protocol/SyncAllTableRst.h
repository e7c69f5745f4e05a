#pragma once
#include "Database/brivanta_category_Entity.h"
#include "Database/brivanta_fields_product_attribute_Entity.h"
#include "Database/brivanta_image_Entity.h"
#include "Database/brivanta_product_Entity.h"
#include "Database/brivanta_product_attribute_Entity.h"
#include "Database/brivanta_product_category_xref_Entity.h"
#include "Database/brivanta_product_price_Entity.h"
#include "Database/brivanta_product_related_Entity.h"
#include "Database/brivanta_product_related_files_Entity.h"
#include "Database/brivanta_product_related_tag_Entity.h"
#include "Database/brivanta_tag_entity.h"
#include "Platform/Base/Value.h"
#include "Protocol/NetBaseRst.h"

#include <vector>

// The catalogue's rows as the server sent them, one list per table, ready for the bulk saves.
class SyncAllTableRst : public NetBaseRst {
public:
    std::vector<brivanta_product_Entity> productTable;
    std::vector<brivanta_product_attribute_Entity> productAttributeTable;
    std::vector<brivanta_fields_product_attribute_Entity> fieldsAttributeTable;
    std::vector<brivanta_product_related_files_Entity> productRelatedFilesTable;
    std::vector<brivanta_product_category_xref_Entity> productCategoryXrefTable;
    std::vector<brivanta_product_price_Entity> productPriceTable;
    std::vector<brivanta_product_related_Entity> productRelatedTable;
    std::vector<brivanta_image_Entity> imagesTable;
    std::vector<brivanta_category_Entity> categoryTable;
    std::vector<brivanta_tag_entity> productTagTable;
    std::vector<brivanta_product_related_tag_Entity> productRelateTagTable;

    // [0] products with their attributes, category links, prices, related SKUs and images;
    // [1] categories, [2] attribute fields, [3] related files, [4] tags, [5] product tags.
    void readContent(const base::Array& content);
};
