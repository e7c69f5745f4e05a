#pragma once
#include "Database/BaseDataModel.h"
#include "Database/brivanta_fields_product_attribute_Entity.h"
#include "Database/brivanta_product_Entity.h"
#include "Database/brivanta_product_attribute_Entity.h"
#include "Database/brivanta_product_related_tag_Entity.h"
#include "Database/brivanta_tag_entity.h"
#include "Database/product_attribute_cell_Entity.h"

#include <optional>
#include <string>
#include <vector>

class BRResultSet;

// The catalogue's products with their attributes, attribute fields and tags. Reads show
// published products only unless said otherwise.
class ProductModel : public BaseDataModel {
public:
    // The SKU a product shows: the server's placeholder "<client id>_<product id>" (client id
    // in any letter case) shows as "", anything else as stored.
    class SkuRule {
    public:
        SkuRule(); // for the client logged in now
        explicit SkuRule(std::string_view clientID);
        std::optional<std::string> shown(const std::optional<std::string>& stored, int productId) const;

    private:
        std::string m_lowerClientID;
    };
    // A product row (of brivanta_product, in any select that has its columns) as a record.
    static brivanta_product_Entity productFromRow(BRResultSet& rs, const SkuRule* rule);

    std::vector<brivanta_product_Entity> getAllProducts();
    // -1 lists category 0's products, 0 lists nothing; one entry per link row.
    std::vector<brivanta_product_Entity> getProductsByCategory_id(int categoryId);
    std::optional<brivanta_product_Entity> getProductByProductId(int productId);
    // Any publish state (the order lines read withdrawn products too).
    std::optional<brivanta_product_Entity> getAllProductByProductId(int productId);
    // The SKU comes back as stored.
    std::optional<brivanta_product_Entity> getProductByProductSKU(const std::string& sku);
    // Products whose SKU, name or tag text holds the text literally (ASCII letters in any
    // case), by name.
    std::vector<brivanta_product_Entity> getProductsBySearchString(const std::string& text);
    // The product's attributes of published, displayed fields: field name and choices.
    std::vector<product_attribute_cell_Entity> getProductAttributeByProductId(int productId);
    // Every tag by id, with the ids of the published products carrying it.
    std::vector<brivanta_tag_entity> getAllProductTags();
    // The tags linked to the product; the id appears once per link row.
    std::vector<brivanta_tag_entity> getTagsByProductID(int productId);
    // The product's tag text split at ",", untrimmed; none for no text, one "" for a product
    // that is unknown or not published.
    std::vector<std::string> getAllTagsByProduct_id(int productId);

    // Bulk saves: one transaction each; NO for no list or any refused row.
    // A saved product loses its attribute rows (its attributes are saved after it).
    bool saveToDatabaseProduct(const std::optional<std::vector<brivanta_product_Entity>>& products);
    bool saveToDatabaseProductAttribute(
        const std::optional<std::vector<brivanta_product_attribute_Entity>>& attributes);
    bool saveToDatabaseFieldsProductAttribute(
        const std::optional<std::vector<brivanta_fields_product_attribute_Entity>>& fields);
    // Both replace the whole table.
    bool saveToDatabaseProductTag(const std::optional<std::vector<brivanta_tag_entity>>& tags);
    bool saveToDatabaseProductRelatedTag(
        const std::optional<std::vector<brivanta_product_related_tag_Entity>>& links);

    // Upgrade steps; each is a no-op once applied. Always answers YES.
    bool updateVersion() override;
    bool alterProductAttributeTable();
    bool createProductTagTable();
    bool createProductRelatedTagTable();
    // Derives tags from the products' tag texts, only while no tag is stored.
    bool moveDataForUpdate();
};
