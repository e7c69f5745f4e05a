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
#include "Protocol/AnswerRows.h"
#include "Protocol/NetBaseRst.h"

#include <functional>
#include <optional>
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

    // The lists a pass of forEachBatch fills.
    enum Table : unsigned {
        Products = 1 << 0,
        Attributes = 1 << 1,
        AttributeFields = 1 << 2,
        CategoryLinks = 1 << 3,
        Prices = 1 << 4,
        RelatedProducts = 1 << 5,
        Images = 1 << 6,
        Categories = 1 << 7,
        RelatedFiles = 1 << 8,
        Tags = 1 << 9,
        ProductTags = 1 << 10,
    };
    // An answer read in rows (readAnswer) leaves the lists empty: each pass reads the text
    // again and calls `each` whenever `products` products have been read, and once more at the
    // end (last true), with the rows read since the last call in the `batched` lists and all
    // the rows of the `whole` lists at the last call; the lists are emptied after each call.
    // `each` answers whether to go on. An answer read whole is one batch, and keeps its lists.
    void forEachBatch(unsigned batched, unsigned whole, size_t products, const std::function<bool(bool last)>& each);
    void readAnswer(AnswerText answer);
    // Lets the answer's text go once every pass is done.
    void releaseAnswer() { m_rows.reset(); }

private:
    void readRow(size_t slot, const base::Dictionary& object, unsigned tables);

    void clear(unsigned tables);

    std::optional<AnswerRows> m_rows;
};
