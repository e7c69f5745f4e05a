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
void appendIf(bool wanted, std::vector<Record>& table, const base::Dictionary& object, const Field<Record> (&fields)[N])
{
    if (wanted)
        table.push_back(serverfields::recordOf(object, fields));
}

} // namespace

void SyncAllTableRst::readRow(size_t slot, const base::Dictionary& object, unsigned tables)
{
    switch (slot) {
    case 0: {
        const int productId = serverfields::intOf(object.find("productID"));
        if (tables & Products)
            productTable.push_back(serverfields::recordOf(object, kProductFields));
        if (tables & Attributes) {
            serverfields::forEachObject(object.find("attributes"), [&](const base::Dictionary& attribute) {
                productAttributeTable.push_back(serverfields::recordOf(attribute, kAttributeFields));
                productAttributeTable.back().product_id = productId;
            });
        }
        if (const base::Value* parents = object.find("productParentList");
            (tables & CategoryLinks) && parents && parents->isArray()) {
            for (const base::Value& parent : parents->asArray())
                productCategoryXrefTable.push_back({serverfields::intOf(&parent), productId});
        }
        appendIf(tables & Prices, productPriceTable, object, kPriceFields);
        appendIf(tables & RelatedProducts, productRelatedTable, object, kRelatedFields);
        if (tables & Images) {
            serverfields::forEachObject(object.find("images"), [&](const base::Dictionary& image) {
                imagesTable.push_back(serverfields::recordOf(image, kImageFields));
            });
        }
        break;
    }
    case 1: appendIf(tables & Categories, categoryTable, object, kCategoryFields); break;
    case 2: appendIf(tables & AttributeFields, fieldsAttributeTable, object, kAttributeFieldFields); break;
    case 3: appendIf(tables & RelatedFiles, productRelatedFilesTable, object, kRelatedFileFields); break;
    case 4: appendIf(tables & Tags, productTagTable, object, kTagFields); break;
    case 5: appendIf(tables & ProductTags, productRelateTagTable, object, kProductTagFields); break;
    default: break;
    }
}

void SyncAllTableRst::readContent(const base::Array& content)
{
    AnswerRows::forEachRowOf(content, [&](size_t slot, const base::Dictionary& object) { readRow(slot, object, ~0u); });
}

void SyncAllTableRst::readAnswer(AnswerText answer)
{
    m_rows = AnswerRows::read(*this, std::move(answer));
}

void SyncAllTableRst::clear(unsigned tables)
{
    auto empty = [&](Table table, auto& list) {
        if (tables & table)
            list = {};
    };
    empty(Products, productTable);
    empty(Attributes, productAttributeTable);
    empty(AttributeFields, fieldsAttributeTable);
    empty(CategoryLinks, productCategoryXrefTable);
    empty(Prices, productPriceTable);
    empty(RelatedProducts, productRelatedTable);
    empty(Images, imagesTable);
    empty(Categories, categoryTable);
    empty(RelatedFiles, productRelatedFilesTable);
    empty(Tags, productTagTable);
    empty(ProductTags, productRelateTagTable);
}

void SyncAllTableRst::forEachBatch(unsigned batched, unsigned whole, size_t products,
                                   const std::function<bool(bool last)>& each)
{
    AnswerRows::inBatches(
        m_rows, products,
        [&](size_t slot, const base::Dictionary& object) -> size_t {
            readRow(slot, object, batched | whole);
            return slot == 0 ? 1 : 0;
        },
        each, [&](bool all) { clear(all ? batched | whole : batched); });
}
