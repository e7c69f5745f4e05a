#include "Database/ProductModel.h"

#include "Database/BulkSave.h"
#include "Platform/Base/Text.h"
#include "Protocol/LoginMode.h"

#include <algorithm>
#include <unordered_map>
#include <unordered_set>

namespace {

template <typename... Args>
std::vector<brivanta_product_Entity> products(std::string_view sql, const Args&... args)
{
    ProductModel::SkuRule rule;
    return BaseDataModel::readRows([&rule](BRResultSet& rs) { return ProductModel::productFromRow(rs, &rule); },
                                   sql, args...);
}

template <typename... Args>
std::optional<brivanta_product_Entity> firstProduct(bool applySkuRule, std::string_view sql,
                                                    const Args&... args)
{
    ProductModel::SkuRule rule;
    return BaseDataModel::readFirstRow(
        [&](BRResultSet& rs) { return ProductModel::productFromRow(rs, applySkuRule ? &rule : nullptr); }, sql,
        args...);
}

struct TagRow {
    int tagId;
    std::string tagName;
    int productId;
};

// The joined tag rows (ordered by tag id); a tag without links comes as one row with a NULL
// product, read as 0.
template <typename... Args>
std::vector<TagRow> tagRows(std::string_view sql, const Args&... args)
{
    return BaseDataModel::readRows(
        [](BRResultSet& rs) {
            return TagRow{rs.intForColumnIndex(0), rs.stringForColumnIndex(1).value_or(""), rs.intForColumnIndex(2)};
        },
        sql, args...);
}

// One record per tag; the filter decides which rows' product ids the tag keeps.
template <typename Keep>
std::vector<brivanta_tag_entity> groupTags(std::vector<TagRow> rows, Keep keep)
{
    std::vector<brivanta_tag_entity> tags;
    for (auto& row : rows) {
        if (tags.empty() || tags.back().tag_id != row.tagId) {
            brivanta_tag_entity tag;
            tag.tag_id = row.tagId;
            tag.tag_name = std::move(row.tagName);
            tags.push_back(std::move(tag));
        }
        if (keep(row.productId))
            tags.back().products.push_back(row.productId);
    }
    return tags;
}

std::vector<std::string_view> splitAtCommas(std::string_view text)
{
    std::vector<std::string_view> pieces;
    size_t start = 0;
    while (true) {
        size_t comma = text.find(',', start);
        pieces.push_back(text.substr(start, comma == std::string_view::npos ? comma : comma - start));
        if (comma == std::string_view::npos)
            return pieces;
        start = comma + 1;
    }
}

} // namespace

// --- SKU rule and rows -------------------------------------------------------------------

ProductModel::SkuRule::SkuRule() : SkuRule(LoginMode::sharedInstance()->clientID()) {}

ProductModel::SkuRule::SkuRule(std::string_view clientID) : m_lowerClientID(base::lowercased(clientID)) {}

std::optional<std::string> ProductModel::SkuRule::shown(const std::optional<std::string>& stored,
                                                        int productId) const
{
    if (!stored)
        return stored;
    std::string suffix = "_" + std::to_string(productId);
    const std::string& sku = *stored;
    if (sku.size() < suffix.size() || sku.compare(sku.size() - suffix.size(), suffix.size(), suffix) != 0)
        return stored;
    // The client id was typed in any letter case when the server made the placeholder.
    if (base::lowercased(std::string_view(sku).substr(0, sku.size() - suffix.size())) == m_lowerClientID)
        return std::string();
    return stored;
}

brivanta_product_Entity ProductModel::productFromRow(BRResultSet& rs, const SkuRule* rule)
{
    brivanta_product_Entity product;
    product.product_id = rs.intForColumn("product_id");
    product.product_publish = rs.intForColumn("product_publish");
    product.product_ordering = rs.intForColumn("product_ordering");
    product.product_stock = rs.intForColumn("product_stock");
    product.product_sale = rs.intForColumn("product_sale");
    product.product_buy = rs.intForColumn("product_buy");
    product.product_name = rs.stringForColumn("product_name");
    product.product_s_desc = rs.stringForColumn("product_s_desc");
    product.product_l_desc = rs.stringForColumn("product_l_desc");
    product.product_tags = rs.stringForColumn("product_tags");
    product.product_c_date = rs.dateForColumn("product_c_date");
    product.product_m_date = rs.dateForColumn("product_m_date");
    auto sku = rs.stringForColumn("product_sku");
    product.product_sku = rule ? rule->shown(sku, product.product_id) : std::move(sku);
    return product;
}

// --- Reads -------------------------------------------------------------------------------

std::vector<brivanta_product_Entity> ProductModel::getAllProducts()
{
    return products("select * from brivanta_product where product_publish = 1");
}

std::vector<brivanta_product_Entity> ProductModel::getProductsByCategory_id(int categoryId)
{
    // -1 stands for "no category", which the links file under 0.
    if (categoryId == -1)
        return products("select p.* from brivanta_product p,brivanta_product_category_xref x where "
                        "p.product_id = x.product_id and p.product_publish = 1 and x.category_id = 0");
    return products("select p.* from brivanta_product p,brivanta_product_category_xref x where "
                    "p.product_id = x.product_id and p.product_publish = 1 and x.category_id = ?  "
                    "and x.category_id <>0",
                    categoryId);
}

std::optional<brivanta_product_Entity> ProductModel::getProductByProductId(int productId)
{
    return firstProduct(true, "select * from brivanta_product where product_publish = 1 and "
                              "product_id = ? limit 0,1",
                        productId);
}

std::optional<brivanta_product_Entity> ProductModel::getAllProductByProductId(int productId)
{
    return firstProduct(true, "select * from brivanta_product where product_id = ? limit 0,1", productId);
}

std::optional<brivanta_product_Entity> ProductModel::getProductByProductSKU(const std::string& sku)
{
    return firstProduct(false, "select * from brivanta_product where product_publish = 1 and "
                               "product_sku = ? limit 0,1",
                        sku);
}

std::vector<brivanta_product_Entity> ProductModel::getProductsBySearchString(const std::string& text)
{
    std::string pattern = likeLiteral(base::folded(text));
    return products("select t1.* from brivanta_product t1 where ("
                    "folded(t1.product_sku) like '%' || ? || '%' ESCAPE '\\' or "
                    "folded(t1.product_name) like '%' || ? || '%' ESCAPE '\\' or "
                    "folded(t1.product_tags) like '%' || ? || '%' ESCAPE '\\') "
                    "and t1.product_publish = 1  order by t1.product_name",
                    pattern, pattern, pattern);
}

std::vector<product_attribute_cell_Entity> ProductModel::getProductAttributeByProductId(int productId)
{
    return readRows(
        [](BRResultSet& rs) {
            product_attribute_cell_Entity cell;
            cell.fieldName = rs.stringForColumn("field_name");
            cell.attributeList = rs.stringForColumn("selection_list");
            return cell;
        },
        "select  t1.product_id,t2.field_name,t1.selection_list from brivanta_product_attribute t1, "
        "brivanta_fields_product_attribute t2 where t1.attribute_fields_id = t2.field_id and "
        "t2.published = 1  and t2.display = 1 and t1.product_id = ?",
        productId);
}

std::vector<brivanta_tag_entity> ProductModel::getAllProductTags()
{
    auto ids = readRows([](BRResultSet& rs) { return rs.intForColumnIndex(0); },
                        "select product_id from brivanta_product where product_publish = 1");
    std::unordered_set<int> published(ids.begin(), ids.end());
    auto rows = tagRows("select t1.tag_id,t1.tag_name,t2.product_id from brivanta_product_tag t1 "
                        "left join brivanta_product_related_tag t2 on t1.tag_id = t2.tag_id "
                        "order by t1.tag_id,t2.product_id");
    return groupTags(std::move(rows),
                     [&](int productId) { return productId != 0 && published.contains(productId); });
}

std::vector<brivanta_tag_entity> ProductModel::getTagsByProductID(int productId)
{
    auto rows = tagRows("select t1.tag_id,t1.tag_name,t2.product_id from brivanta_product_tag t1 "
                        "left join brivanta_product_related_tag t2 on t1.tag_id = t2.tag_id "
                        "where t2.product_id = ? order by t1.tag_id,t2.product_id",
                        productId);
    return groupTags(std::move(rows), [](int) { return true; });
}

std::vector<std::string> ProductModel::getAllTagsByProduct_id(int productId)
{
    if (!database())
        return {};
    // Callers rely on one empty text for a product that is not there.
    auto texts = readRows([](BRResultSet& rs) { return rs.stringForColumnIndex(0); },
                          "select product_tags from brivanta_product where product_id = ? and "
                          "product_publish = 1",
                          productId);
    std::optional<std::string> text = texts.empty() ? std::string() : texts.back();
    std::vector<std::string> tags;
    if (!text)
        return tags;
    for (auto piece : splitAtCommas(*text))
        tags.emplace_back(piece);
    return tags;
}

// --- Bulk saves --------------------------------------------------------------------------

bool ProductModel::saveToDatabaseProduct(const std::optional<std::vector<brivanta_product_Entity>>& products)
{
    if (!products)
        return false;
    BulkSave save("saveToDatabaseProduct");
    for (const auto& p : *products) {
        if (!save.run("INSERT or REPLACE INTO brivanta_product(product_id,product_sku,product_name,"
                      "product_s_desc,product_l_desc,product_publish,product_ordering,product_stock,"
                      "product_sale,product_buy,product_tags) VALUES(?,?,?,?,?,?,?,?,?,?,?);",
                      p.product_id, p.product_sku, p.product_name, p.product_s_desc, p.product_l_desc,
                      p.product_publish, p.product_ordering, p.product_stock, p.product_sale,
                      p.product_buy, p.product_tags)
            || !save.run("delete from brivanta_product_attribute where product_id = ?;", p.product_id))
            break;
    }
    return save.commit();
}

bool ProductModel::saveToDatabaseProductAttribute(
    const std::optional<std::vector<brivanta_product_attribute_Entity>>& attributes)
{
    if (!attributes)
        return false;
    BulkSave save("saveToDatabaseProductAttribute");
    for (const auto& a : *attributes) {
        // The server's default value is the stored value; its value text is the choice list.
        if (!save.run("INSERT or REPLACE INTO brivanta_product_attribute(attribute_id,product_id,"
                      "attribute_fields_id,attribute_value, selection_list) VALUES(?,?,?,?,?);",
                      a.attribute_id, a.product_id, a.attribute_fields_id, a.default_value,
                      a.attribute_value))
            break;
    }
    return save.commit();
}

bool ProductModel::saveToDatabaseFieldsProductAttribute(
    const std::optional<std::vector<brivanta_fields_product_attribute_Entity>>& fields)
{
    if (!fields)
        return false;
    BulkSave save("saveToDatabaseFieldsProductAttribute");
    for (const auto& f : *fields) {
        if (!save.run("INSERT or REPLACE INTO brivanta_fields_product_attribute(field_id,field_name,"
                      "description,selection_list,display,published) VALUES(?,?,?,?,?,?);",
                      f.field_id, f.field_name, f.description, f.selection_list, f.display, f.published))
            break;
    }
    return save.commit();
}

bool ProductModel::saveToDatabaseProductTag(const std::optional<std::vector<brivanta_tag_entity>>& tags)
{
    if (!tags)
        return false;
    BulkSave save("saveToDatabaseProductTag");
    if (save.run("delete from brivanta_product_tag;")) {
        for (const auto& t : *tags) {
            if (!save.run("INSERT or REPLACE INTO brivanta_product_tag(tag_id,tag_name) VALUES(?,?);",
                          t.tag_id, t.tag_name))
                break;
        }
    }
    return save.commit();
}

bool ProductModel::saveToDatabaseProductRelatedTag(
    const std::optional<std::vector<brivanta_product_related_tag_Entity>>& links)
{
    if (!links)
        return false;
    BulkSave save("saveToDatabaseProductRelatedTag");
    if (save.run("delete from brivanta_product_related_tag;")) {
        for (const auto& l : *links) {
            if (!save.run("INSERT or REPLACE INTO brivanta_product_related_tag(tag_id,product_id) "
                          "VALUES(?,?);",
                          l.tag_id, l.product_id))
                break;
        }
    }
    return save.commit();
}

// --- Upgrade -----------------------------------------------------------------------------

bool ProductModel::updateVersion()
{
    BaseDataModel::updateVersion();
    alterProductAttributeTable();
    createProductTagTable();
    createProductRelatedTagTable();
    moveDataForUpdate();
    return true;
}

bool ProductModel::alterProductAttributeTable()
{
    auto db = goodDatabase();
    if (!db || !db->tableExists("brivanta_product_attribute"))
        return false;
    return addColumnIfMissing("brivanta_product_attribute", "selection_list",
                              "ALTER TABLE brivanta_product_attribute ADD selection_list TEXT");
}

bool ProductModel::createProductTagTable()
{
    auto db = goodDatabase();
    if (!db)
        return false;
    return db->executeUpdate("create table if not exists brivanta_product_tag(tag_id INTEGER PRIMARY KEY "
                             "AUTOINCREMENT,tag_name VARCHAR(64) NOT NULL UNIQUE)");
}

bool ProductModel::createProductRelatedTagTable()
{
    auto db = goodDatabase();
    if (!db)
        return false;
    // The index serves the tag list's join.
    return db->executeUpdate("create table if not exists brivanta_product_related_tag(id INTEGER PRIMARY "
                             "KEY AUTOINCREMENT NOT NULL,product_id INTEGER NOT NULL,tag_id INTEGER NOT "
                             "NULL)")
        && db->executeUpdate("CREATE INDEX IF NOT EXISTS idx_prt_tag ON brivanta_product_related_tag(tag_id)");
}

bool ProductModel::moveDataForUpdate()
{
    auto db = database();
    if (!db || !db->tableExists("brivanta_product_tag") || !db->tableExists("brivanta_product_related_tag"))
        return false;
    // Tags come from the server once it syncs them; deriving is for databases from before.
    if (db->intForQuery("select count(*) from brivanta_product_tag") != 0)
        return true;

    // Distinct names without regard to case, the first spelling kept, in order of appearance.
    std::vector<std::string> names;
    std::unordered_map<std::string, size_t> nameIndex;
    std::vector<std::pair<int, std::vector<size_t>>> productTags;
    for (const auto& product : getAllProducts()) {
        if (!product.product_tags)
            continue;
        std::vector<size_t> indexes;
        for (auto piece : splitAtCommas(*product.product_tags)) {
            auto name = base::trimmingWhitespace(piece);
            if (name.empty())
                continue;
            auto [it, added] = nameIndex.emplace(base::lowercased(name), names.size());
            if (added)
                names.emplace_back(name);
            if (std::find(indexes.begin(), indexes.end(), it->second) == indexes.end())
                indexes.push_back(it->second);
        }
        if (!indexes.empty())
            productTags.emplace_back(product.product_id, std::move(indexes));
    }

    BulkSave save("moveDataForUpdate");
    std::vector<int64_t> tagIds;
    tagIds.reserve(names.size());
    save.run("delete from brivanta_product_related_tag;");
    for (const auto& name : names) {
        if (!save.run("INSERT INTO brivanta_product_tag(tag_name) VALUES(?);", name))
            break;
        tagIds.push_back(db->lastInsertRowId());
    }
    for (const auto& [productId, indexes] : productTags) {
        for (size_t index : indexes) {
            if (!save.ok())
                break;
            save.run("INSERT INTO brivanta_product_related_tag(tag_id,product_id) VALUES(?,?);",
                     tagIds[index], productId);
        }
    }
    return save.commit();
}
