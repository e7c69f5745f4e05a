#include "Protocol/SyncAllTableRst.h"

#include "Protocol/ServerFields.h"

namespace {

using serverfields::Field;
using Product = brivanta_product_Entity;
using Attribute = brivanta_product_attribute_Entity;
using Price = brivanta_product_price_Entity;
using Related = brivanta_product_related_Entity;
using Image = brivanta_image_Entity;
using Category = brivanta_category_Entity;
using AttributeField = brivanta_fields_product_attribute_Entity;
using RelatedFile = brivanta_product_related_files_Entity;
using Tag = brivanta_tag_entity;
using ProductTag = brivanta_product_related_tag_Entity;

constexpr Field<Product> kProductFields[] = {
    {"productBuy", &Product::product_buy},
    {"productDesc", &Product::product_l_desc},
    {"productID", &Product::product_id},
    {"productName", &Product::product_name},
    {"productOrdering", &Product::product_ordering},
    {"productSKU", &Product::product_sku},
    {"productSale", &Product::product_sale},
    {"productShortDesc", &Product::product_s_desc},
    {"productStock", &Product::product_stock},
    {"publish", &Product::product_publish},
    {"productTag", &Product::product_tags},
};

// The product's id is stamped on afterwards.
constexpr Field<Attribute> kAttributeFields[] = {
    {"attributeId", &Attribute::attribute_id},
    {"attributeFieldsId", &Attribute::attribute_fields_id},
    {"attributeValue", &Attribute::attribute_value},
    {"defaultValue", &Attribute::default_value},
};

constexpr Field<Price> kPriceFields[] = {
    {"priceID", &Price::price_id},
    {"productID", &Price::product_id},
    {"vendor_group_id_list", &Price::vendor_group_id_list},
    {"vendor_state_id_list", &Price::vendor_state_id_list},
    {"vendor_id_list", &Price::vendor_id_list},
    {"customer_id_list", &Price::customer_id_list},
    {"price", &Price::price},
    {"currency", &Price::currency},
    {"discountPrice", &Price::discount_price},
    {"discountIdentifier", &Price::discount_identifier},
    {"discountStartDate", &Price::discount_start_date},
    {"discountEndDate", &Price::discount_end_date},
    {"discountPublish", &Price::discount_publish},
    {"tierStartDate", &Price::tier_start_date},
    {"tierEndDate", &Price::tier_end_date},
    {"tierQuantityPrice", &Price::tier_quantity_price},
    {"tierPublish", &Price::tier_publish},
    {"discount_percentage", &Price::discontRat},
};

constexpr Field<Related> kRelatedFields[] = {
    {"productID", &Related::product_id},
    {"relatedSKUList", &Related::related_product_sku},
};

constexpr Field<Image> kImageFields[] = {
    {"imageID", &Image::image_id},
    {"keyID", &Image::key_id},
    {"keyType", &Image::key_type},
    {"thumbAddress", &Image::image_thumb_address},
    {"fullAddress", &Image::image_full_address},
    {"isDefault", &Image::image_isdault},
    {"imageShortDesc", &Image::image_s_desc},
    {"imageDesc", &Image::image_l_desc},
    {"imagePublish", &Image::image_publis},
    {"imageOrdering", &Image::image_ordering},
};

constexpr Field<Category> kCategoryFields[] = {
    {"categoryID", &Category::category_id},
    {"categoryName", &Category::category_name},
    {"categoryCode", &Category::category_code},
    {"categoryType", &Category::category_type},
    {"categoryPublish", &Category::category_publish},
    {"categoryOrdering", &Category::category_ordering},
    {"categoryParentID", &Category::category_parent_id},
};

constexpr Field<AttributeField> kAttributeFieldFields[] = {
    {"attributeFieldsId", &AttributeField::field_id},
    {"attributeName", &AttributeField::field_name},
    {"description", &AttributeField::description},
    {"attributeValue", &AttributeField::selection_list},
    {"display", &AttributeField::display},
    {"published", &AttributeField::published},
};

constexpr Field<RelatedFile> kRelatedFileFields[] = {
    {"productId", &RelatedFile::product_id},
    {"productSku", &RelatedFile::product_sku},
    {"fileId", &RelatedFile::file_id},
};

constexpr Field<Tag> kTagFields[] = {
    {"id", &Tag::tag_id},
    {"tagName", &Tag::tag_name},
};

constexpr Field<ProductTag> kProductTagFields[] = {
    {"tagId", &ProductTag::tag_id},
    {"productId", &ProductTag::product_id},
};

template<class Record, size_t N>
void appendAll(std::vector<Record>& table, const base::Value* list, const Field<Record> (&fields)[N])
{
    serverfields::forEachObject(list, [&](const base::Dictionary& object) {
        table.push_back(serverfields::recordOf(object, fields));
    });
}

} // namespace

void SyncAllTableRst::readContent(const base::Array& content)
{
    using serverfields::slot;
    serverfields::forEachObject(slot(content, 0), [&](const base::Dictionary& object) {
        const int productId = productTable.emplace_back(serverfields::recordOf(object, kProductFields)).product_id;
        serverfields::forEachObject(object.find("attributes"), [&](const base::Dictionary& attribute) {
            productAttributeTable.push_back(serverfields::recordOf(attribute, kAttributeFields));
            productAttributeTable.back().product_id = productId;
        });
        if (const base::Value* parents = object.find("productParentList"); parents && parents->isArray()) {
            for (const base::Value& parent : parents->asArray())
                productCategoryXrefTable.push_back({serverfields::intOf(&parent), productId});
        }
        productPriceTable.push_back(serverfields::recordOf(object, kPriceFields));
        productRelatedTable.push_back(serverfields::recordOf(object, kRelatedFields));
        appendAll(imagesTable, object.find("images"), kImageFields);
    });
    appendAll(categoryTable, slot(content, 1), kCategoryFields);
    appendAll(fieldsAttributeTable, slot(content, 2), kAttributeFieldFields);
    appendAll(productRelatedFilesTable, slot(content, 3), kRelatedFileFields);
    appendAll(productTagTable, slot(content, 4), kTagFields);
    appendAll(productRelateTagTable, slot(content, 5), kProductTagFields);
}
