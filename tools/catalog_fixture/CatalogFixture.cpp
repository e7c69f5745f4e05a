#include "CatalogFixture.h"

#include "ProductArt.h"

#include "Common/PublicFunction.h"
#include "Database/CategoryModel.h"
#include "Database/DataAccessManager.h"
#include "Database/ImageModel.h"
#include "Database/LibraryFilesModel.h"
#include "Database/PriceModel.h"
#include "Database/ProductMaterialModel.h"
#include "Database/ProductModel.h"
#include "Database/ProductRelatedModel.h"
#include "Database/brivanta_product_related_tag_Entity.h"
#include "Database/productAndcategoryXrefModel.h"
#include "Platform/Base/FileManager.h"
#include "Platform/Graphics/Context.h"
#include "Protocol/LoginMode.h"

#include <filesystem>
#include <map>
#include <random>
#include <stdexcept>

namespace fs = std::filesystem;

namespace catalogfixture {

namespace {

constexpr int kProductImage = 1;
// Fixed windows, so that every build gives the same rows.
constexpr double kLongAgo = 946684800;      // 2000-01-01
constexpr double kLongAgoEnd = 978307200;   // 2001-01-01
constexpr double kRunningFrom = 1577836800; // 2020-01-01
constexpr double kRunningTo = 4102444800;   // 2100-01-01
// The large fixture's products share this many picture sets.
constexpr int kLargePictureSets = 40;

const char* const kShapes[] = {"chair", "stool", "lamp", "teapot", "vase", "giftbox"};

void check(bool ok, const char* what)
{
    if (!ok)
        throw std::runtime_error(std::string("catalog fixture: could not save ") + what);
}

// A picture of the product's colour with its drawing in the middle third: most of the
// picture is the known colour, so a sampled pixel away from the centre tells it.
gfx::Image picture(int key, gfx::Size size, int view)
{
    gfx::Color color = colorOfProduct(key);
    if (view > 0)
        color = gfx::Color{1 - color.r, 1 - color.g, 1 - color.b, 1};
    auto ctx = gfx::Context::createBitmap(size, 1);
    ctx->setFillColor(color);
    ctx->fillRect({0, 0, size.width, size.height});
    double side = size.height / 3;
    gfx::Image art = demo::drawProduct(kShapes[key % std::size(kShapes)], color, side);
    ctx->drawImage(art, {(size.width - side) / 2, side, side, side});
    return ctx->makeImage();
}

void writePicture(const gfx::Image& image, const std::string& name)
{
    auto path = PublicFunction::filePathWithNameFiletype(name, kProductImage);
    if (!path)
        throw std::runtime_error("catalog fixture: no path for " + name);
    fs::create_directories(fs::path(*path).parent_path());
    bool jpeg = name.ends_with(".jpg");
    base::Bytes bytes = jpeg ? image.jpegData(0.95) : image.pngData();
    check(!bytes.empty() && base::FileManager::writeAtomically(*path, bytes), "a picture");
}

void writePictureSet(int key, int view)
{
    writePicture(picture(key, {160, 110}, view), thumbnailName(key, view));
    writePicture(picture(key, {1024, 748}, view), fullImageName(key, view));
}

brivanta_product_Entity product(int id, const std::string& name, const std::string& tags = {})
{
    brivanta_product_Entity p;
    p.product_id = id;
    p.product_sku = "SKU-" + std::to_string(id);
    p.product_name = name;
    p.product_s_desc = "Short description of " + name;
    p.product_l_desc = "A longer description of " + name + ", as the server sends it.";
    p.product_publish = 1;
    p.product_ordering = id;
    p.product_stock = 10 * id;
    if (!tags.empty())
        p.product_tags = tags;
    return p;
}

brivanta_category_Entity category(int id, const std::string& name, int parent, int ordering)
{
    brivanta_category_Entity c;
    c.category_id = id;
    c.category_name = name;
    c.category_code = "C" + std::to_string(id);
    c.category_type = "product";
    c.category_publish = 1;
    c.category_ordering = ordering;
    c.category_parent_id = parent;
    return c;
}

brivanta_product_price_Entity price(int id, double amount, const std::string& currency)
{
    brivanta_product_price_Entity p;
    p.price_id = id;
    p.product_id = id;
    p.price = amount;
    p.currency = currency;
    return p;
}

void discount(brivanta_product_price_Entity& p, double amount, bool running)
{
    p.discount_price = amount;
    p.discount_identifier = "fixture";
    p.discount_publish = 1;
    p.discount_start_date = base::Date(running ? kRunningFrom : kLongAgo);
    p.discount_end_date = base::Date(running ? kRunningTo : kLongAgoEnd);
    p.discontRat = 100 - amount / p.price * 100;
}

brivanta_image_Entity imageRow(int productId, int key, int view)
{
    brivanta_image_Entity img;
    img.image_id = productId * 10 + view;
    img.key_id = productId;
    img.key_type = "product";
    img.image_thumb_address = thumbnailName(key, view);
    img.image_full_address = fullImageName(key, view);
    img.image_isdault = view == 0 ? 1 : 0;
    img.image_publis = 1;
    img.image_ordering = view;
    return img;
}

struct Rows {
    std::vector<brivanta_product_Entity> products;
    std::vector<brivanta_category_Entity> categories;
    std::vector<brivanta_product_category_xref_Entity> links;
    std::vector<brivanta_product_price_Entity> prices;
    std::vector<brivanta_fields_product_attribute_Entity> fields;
    std::vector<brivanta_product_attribute_Entity> attributes;
    std::vector<brivanta_image_Entity> images;
    std::vector<brivanta_tag_entity> tags;
    std::vector<brivanta_product_related_tag_Entity> tagLinks;
    std::vector<brivanta_product_related_Entity> related;
    std::vector<brivanta_library_files_Entity> files;
    std::vector<brivanta_product_related_files_Entity> materials;

    int field(const std::string& name)
    {
        for (const auto& f : fields)
            if (f.field_name == name)
                return f.field_id;
        brivanta_fields_product_attribute_Entity f;
        f.field_id = static_cast<int>(fields.size()) + 1;
        f.field_name = name;
        f.description = name;
        f.display = 1;
        f.published = 1;
        fields.push_back(f);
        return f.field_id;
    }
    // An absent list is a row whose selection list is null.
    void attribute(int productId, const std::string& name, std::optional<std::string> list)
    {
        brivanta_product_attribute_Entity a;
        a.attribute_id = productId * 100 + static_cast<int>(attributes.size()) + 1;
        a.product_id = productId;
        a.attribute_fields_id = field(name);
        a.attribute_value = std::move(list);
        attributes.push_back(a);
    }
    void tag(int id, const std::string& name, std::vector<int> productIds)
    {
        brivanta_tag_entity t;
        t.tag_id = id;
        t.tag_name = name;
        tags.push_back(t);
        for (int p : productIds)
            tagLinks.push_back({p, id});
    }
};

void save(const Rows& rows)
{
    auto manager = DataAccessManager::sharedDataModel();
    check(manager && manager->hasModels(), "the client database");
    auto products = manager->productmodel();
    check(products->saveToDatabaseProduct(rows.products), "products");
    check(manager->categorymodel()->saveToDatabaseCategory(rows.categories), "categories");
    check(manager->pacmodel()->saveToDatabasePxrefC(rows.links), "category links");
    check(manager->pricemodel()->saveToDatabasePrice(rows.prices), "prices");
    check(products->saveToDatabaseFieldsProductAttribute(rows.fields), "attribute fields");
    check(products->saveToDatabaseProductAttribute(rows.attributes), "attributes");
    check(manager->imagemodel()->saveToDatabaseImage(rows.images), "images");
    check(products->saveToDatabaseProductTag(rows.tags), "tags");
    check(products->saveToDatabaseProductRelatedTag(rows.tagLinks), "tag links");
    // The large fixture has none of these; an empty save counts as a failure.
    if (!rows.related.empty())
        check(manager->productrelatedmodel()->saveToDatabaseProductrelated(rows.related), "related products");
    if (!rows.files.empty())
        check(manager->libraryFilesModel()->saveToDatabaseLibraryFiles(rows.files), "library files");
    if (!rows.materials.empty())
        check(manager->productMaterialModel()->saveToDatabaseProductRelatedFile(rows.materials), "product materials");
}

Rows smallRows(uint32_t seed)
{
    using namespace small;
    Rows r;
    const char* names[] = {"", "Plain Stool", "Red Stool", "50% Off Chair", "a_b Table", "O'Neil Lamp",
                           "Six Way Sofa", "Sale Teapot", "Old Sale Vase", "Hidden Price Box", "Euro Chair",
                           "Priceless Lamp", "Quiet Vase", "Colour Size Chair", "Blank Choice Stool",
                           "Bare Teapot", "Withdrawn Vase"};
    for (int id = 1; id <= kProductCount; ++id) {
        auto p = product(id, names[id]);
        p.product_publish = id == kUnpublished ? 0 : 1;
        r.products.push_back(p);
    }
    r.categories = {category(kCategoryA, "A", 0, 1), category(kCategoryB, "B", 0, 2),
                    category(kCategoryB1, "B1", kCategoryB, 1), category(kCategoryB2, "B2", kCategoryB, 2),
                    category(kCategoryLoop, "Loop", kCategoryLoop, 3)};
    auto file = [&](int categoryId, int from, int to) {
        for (int id = from; id <= to; ++id)
            r.links.push_back({categoryId, id});
    };
    file(kCategoryA, 1, 2);
    file(kCategoryB1, 3, 5);
    file(kCategoryB2, 6, 6);
    file(kCategoryB, 7, 10);
    file(0, 11, 15);

    for (int id = 1; id <= kProductCount; ++id) {
        if (id == kNoPriceRow)
            continue;
        // The seed moves the plain prices, never the notable ones.
        double amount = 10 + id + static_cast<double>((seed + static_cast<uint32_t>(id) * 7u) % 5);
        auto p = price(id, amount, id == kSecondCurrency ? "EUR" : "USD");
        if (id == kActiveDiscount) {
            p.price = 100;
            discount(p, 80, true);
        } else if (id == kExpiredDiscount) {
            p.price = 50;
            discount(p, 40, false);
        } else if (id == kNegativePrice) {
            p.price = -1;
        }
        r.prices.push_back(p);
    }

    r.attribute(kSingleValue, "Colour", "Red");
    r.attribute(kTwoValues, "Colour", "Red,Blue");
    r.attribute(kBlankList, "Colour", "");
    r.attribute(kAbsentList, "Colour", std::nullopt);
    const char* six[][2] = {{"Colour", "Red,Blue"}, {"Size", "S,M,L"}, {"Fabric", "Wool,Linen"},
                            {"Legs", "Oak,Steel"}, {"Cushion", "Soft,Firm"}, {"Finish", "Matt,Gloss"}};
    for (auto& [name, list] : six)
        r.attribute(kSixAttributes, name, std::string(list));
    r.attribute(kColourAndSize, "Colour", "Red,Blue");
    r.attribute(kColourAndSize, "Size", "L");
    r.attribute(kBlanksList, "Colour", " , ");

    for (int id = 1; id <= kProductCount; ++id) {
        int views = id == kNoAttributes || id == kNoImages ? 0 : id == kSixAttributes ? 3 : 1;
        for (int v = 0; v < views; ++v) {
            r.images.push_back(imageRow(id, id, v));
            if (id != kBlanksList)
                writePictureSet(id, v);
        }
    }

    r.tag(1, "Zebra", {3});
    r.tag(2, "apple", {1, 2});
    r.tag(3, "Zebra", {4, 5});
    r.tag(4, "empty", {kUnpublished});
    r.tag(5, "sapphire", {kTagOnly});
    for (auto& p : r.products)
        for (const auto& link : r.tagLinks)
            if (link.product_id == p.product_id)
                for (const auto& t : r.tags)
                    if (t.tag_id == link.tag_id)
                        p.product_tags = p.product_tags ? *p.product_tags + "," + *t.tag_name : *t.tag_name;

    r.related = {{kNoAttributes, "SKU-2,SKU-3,SKU-7"}, {kSixAttributes, "SKU-1,SKU-16"}};
    for (int f = 1; f <= 2; ++f) {
        brivanta_library_files_Entity e;
        e.file_id = f;
        e.title = "Guide " + std::to_string(f);
        e.file_name = "guide" + std::to_string(f) + ".pdf";
        e.type = "pdf";
        e.ordering = f;
        e.published = 1;
        e.info = "PDF/0.1 M";
        r.files.push_back(e);
        r.materials.push_back({kNoAttributes, std::string("SKU-1"), f});
    }
    return r;
}

Rows largeRows(const Plan& plan)
{
    Rows r;
    std::mt19937 random(plan.seed);
    auto below = [&](uint32_t n) { return n ? static_cast<int>(random() % n) : 0; };

    // Categories: the first levels fan out, the rest hang below earlier ones up to the depth.
    std::vector<int> depthOf(static_cast<size_t>(plan.categories) + 1, 0);
    for (int id = 1; id <= plan.categories; ++id) {
        int parent = 0;
        if (id > 10) {
            parent = 1 + below(static_cast<uint32_t>(id - 1));
            if (depthOf[static_cast<size_t>(parent)] + 1 >= plan.depth)
                parent = 0;
        }
        depthOf[static_cast<size_t>(id)] = parent ? depthOf[static_cast<size_t>(parent)] + 1 : 0;
        r.categories.push_back(category(id, "Category " + std::to_string(id), parent, id));
    }
    for (int k = 1; k <= kLargePictureSets; ++k)
        writePictureSet(k, 0);
    const char* colours[] = {"Red", "Blue", "Green", "Black"};
    for (int id = 1; id <= plan.products; ++id) {
        r.products.push_back(product(id, "Product " + std::to_string(id) + " " + colours[id % 4]));
        r.links.push_back({below(static_cast<uint32_t>(plan.categories) + 1), id});
        auto p = price(id, 5 + below(50000) / 100.0, "USD");
        if (below(100) < plan.activeDiscountPercent)
            discount(p, p.price * 0.8, true);
        r.prices.push_back(p);
        if (id % 3 == 0)
            r.attribute(id, "Colour", "Red,Blue,Green");
        r.images.push_back(imageRow(id, 1 + id % kLargePictureSets, 0));
    }
    for (int t = 1; t <= plan.tags; ++t) {
        std::vector<int> carriers;
        for (int n = 0; n < 5 && plan.products > 0; ++n)
            carriers.push_back(1 + below(static_cast<uint32_t>(plan.products)));
        r.tag(t, "tag" + std::to_string(t), carriers);
    }
    return r;
}

} // namespace

gfx::Color colorOfProduct(int productId)
{
    static const gfx::Color palette[] = {
        gfx::Color::fromRgb(200, 40, 40),   gfx::Color::fromRgb(40, 150, 60),  gfx::Color::fromRgb(40, 80, 200),
        gfx::Color::fromRgb(220, 160, 20),  gfx::Color::fromRgb(140, 50, 170), gfx::Color::fromRgb(20, 160, 170),
        gfx::Color::fromRgb(230, 110, 30),  gfx::Color::fromRgb(90, 90, 90),   gfx::Color::fromRgb(170, 200, 40),
        gfx::Color::fromRgb(210, 60, 140),  gfx::Color::fromRgb(60, 60, 140),  gfx::Color::fromRgb(120, 80, 40),
    };
    return palette[static_cast<size_t>(productId) % std::size(palette)];
}

std::string thumbnailName(int productId, int view)
{
    std::string base = "p" + std::to_string(productId) + (view ? "_" + std::to_string(view) : std::string());
    return base + "_thumb" + (productId % 2 == 0 ? ".png" : ".jpg");
}

std::string fullImageName(int productId, int view)
{
    std::string base = "p" + std::to_string(productId) + (view ? "_" + std::to_string(view) : std::string());
    return base + (productId % 2 == 0 ? ".png" : ".jpg");
}

Built build(const Plan& plan, const std::string& clientId)
{
    LoginMode::sharedInstance()->setClientID(clientId);
    Rows rows = plan.products > 0 ? largeRows(plan) : smallRows(plan.seed);
    save(rows);
    Built built;
    built.clientId = clientId;
    for (const auto& p : rows.products)
        built.productIds.push_back(p.product_id);
    return built;
}

} // namespace catalogfixture
