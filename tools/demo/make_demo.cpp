// Builds one demo tenant's folder from its source description: the client database, filled
// through the table models' own saves as a sync would fill it, and every picture and document
// its rows name. Usage: make_demo SOURCE.json HOME
#include "DemoPdf.h"
#include "ProductArt.h"

#include "Common/PublicFunction.h"
#include "Database/CategoryModel.h"
#include "Database/ConfigMode.h"
#include "Database/CustomerModel.h"
#include "Database/DataAccessManager.h"
#include "Database/IconModel.h"
#include "Database/ImageModel.h"
#include "Database/LibraryCategoryModel.h"
#include "Database/LibraryFilesModel.h"
#include "Database/PriceModel.h"
#include "Database/ProductMaterialModel.h"
#include "Database/ProductModel.h"
#include "Database/ProductRelatedModel.h"
#include "Database/SQLite/BRDatabase.h"
#include "Database/productAndcategoryXrefModel.h"
#include "Network/BRJSON.h"
#include "Platform/Base/FileManager.h"
#include "Platform/Base/Log.h"
#include "Platform/Base/PropertyList.h"
#include "Platform/Graphics/Context.h"
#include "Protocol/LoginMode.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>

namespace fs = std::filesystem;

namespace {

// Discount windows are fixed, so every build makes the same demo: they run from 2026-11-21
// for three years.
constexpr double kDiscountStart = 1795219200; // 2026-11-21 00:00:00 UTC
constexpr double kDiscountEnd = kDiscountStart + 3 * 365 * 86400.0;
constexpr int kProductImage = 1, kConfigImage = 3, kLibraryCover = 4, kPdf = 5;

[[noreturn]] void fail(const std::string& why)
{
    std::fprintf(stderr, "make_demo: %s\n", why.c_str());
    std::exit(1);
}

void check(bool ok, const char* what)
{
    if (!ok)
        fail(std::string("could not save ") + what);
}

std::optional<std::string> text(const base::Value& v)
{
    if (v.isNull())
        return std::nullopt;
    return v.toString();
}

// The bundled tab icons, each with whether it is the selected one.
const std::vector<std::pair<std::string, bool>> kTabIcons = {
    {"btn-home.png", false},      {"btn-home-on.png", true},     {"btn-catalog.png", false},
    {"btn-catalog-on.png", true}, {"btn-customer.png", false},   {"btn-customer-on.png", true},
    {"btn-inventory.png", false}, {"btn-inventory-on.png", true}, {"btn-sales.png", false},
    {"btn-sales-on.png", true},   {"btn-quote.png", false},      {"btn-quote-on.png", true},
    {"btn-sync.png", false},      {"btn-sync-on.png", true},     {"Icon_Settings_40x40.png", false},
    {"Icon_Settings_On_40x40.png", true},
};

// The picture's shape, every pixel in the one colour at the pixel's own coverage.
gfx::Image tinted(const gfx::Image& image, gfx::Color color)
{
    auto ctx = gfx::Context::createBitmap(image.size(), image.scale());
    double step = 1 / image.scale();
    for (int y = 0; y < image.pixelHeight(); ++y)
        for (int x = 0; x < image.pixelWidth(); ++x) {
            double alpha = ((image.pixelAt(x, y) >> 24) & 0xff) / 255.0;
            if (alpha <= 0)
                continue;
            ctx->setFillColor(color.withAlpha(alpha));
            ctx->fillRect({x * step, y * step, step, step});
        }
    return ctx->makeImage();
}

gfx::Color colorOf(const base::Value& v)
{
    auto c = gfx::Color::fromHex(v.toString());
    return c ? *c : gfx::Color::fromRgb(80, 90, 100);
}

std::string fileFor(const std::string& name, int type)
{
    auto path = PublicFunction::filePathWithNameFiletype(name, type);
    if (!path)
        fail("no path for " + name);
    fs::create_directories(fs::path(*path).parent_path());
    return *path;
}

void writeImage(const gfx::Image& image, const std::string& name, int type, bool jpeg)
{
    base::Bytes bytes = jpeg ? image.jpegData(0.85) : image.pngData();
    if (bytes.empty() || !base::FileManager::writeAtomically(fileFor(name, type), bytes))
        fail("could not write " + name);
}

std::vector<std::string> split(const std::string& list)
{
    std::vector<std::string> out;
    std::stringstream in(list);
    std::string piece;
    while (std::getline(in, piece, ','))
        if (!piece.empty())
            out.push_back(piece);
    return out;
}

std::string priceText(double amount, const std::string& currency)
{
    return PublicFunction::flagWithCurrency(currency) + PublicFunction::doubleFormate(amount);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 3)
        fail("usage: make_demo SOURCE.json HOME");
    std::ifstream in(argv[1]);
    std::stringstream buffer;
    buffer << in.rdbuf();
    auto parsed = JSONValue(buffer.str());
    if (!parsed || !parsed->isDictionary())
        fail(std::string("cannot read ") + argv[1]);
    const base::Value& t = *parsed;
    setenv("BRIVANTA_HOME", argv[2], 1);

    std::string client = t["client_id"].toString();
    std::string currency = t["currency"].toString();
    auto login = LoginMode::sharedInstance();
    login->setClientID(client);
    auto clientFolder = PublicFunction::clientFolderPath(client);
    if (!clientFolder)
        fail("bad client id " + client);
    fs::remove_all(*clientFolder);
    auto manager = DataAccessManager::sharedDataModel();
    if (!manager->hasModels())
        fail("cannot open the client database");

    // Settings: every module on, plus the runtime settings.
    std::vector<ConfigEntity> config;
    for (const auto& [type, desc] : t["config"].asDictionary()) {
        ConfigEntity e;
        e.clientid = client;
        e.configType = type;
        e.desc = desc.toString();
        e.update_date = "12/01/2026 09:00:00";
        config.push_back(e);
    }
    check(manager->syncConfigData(config), "configuration");

    std::vector<brivanta_category_Entity> categories;
    for (const auto& c : t["categories"].asArray()) {
        brivanta_category_Entity e;
        e.category_id = static_cast<int>(c["category_id"].toInt());
        e.category_name = text(c["category_name"]);
        e.category_code = text(c["category_code"]);
        e.category_type = "product";
        e.category_publish = 1;
        e.category_ordering = static_cast<int>(c["category_ordering"].toInt());
        e.category_parent_id = static_cast<int>(c["category_parent_id"].toInt());
        categories.push_back(e);
    }
    check(manager->categorymodel()->saveToDatabaseCategory(categories), "categories");

    // Attribute fields, numbered in the order the source lists them.
    std::map<std::string, int> productFields;
    std::vector<brivanta_fields_product_attribute_Entity> fields;
    for (const auto& f : t["product_fields"].asArray()) {
        brivanta_fields_product_attribute_Entity e;
        e.field_id = static_cast<int>(fields.size()) + 1;
        e.field_name = f.toString();
        e.description = f.toString();
        e.display = 1;
        e.published = 1;
        productFields[f.toString()] = e.field_id;
        fields.push_back(e);
    }

    std::vector<brivanta_product_Entity> products;
    std::vector<brivanta_product_attribute_Entity> attributes;
    std::vector<brivanta_product_category_xref_Entity> links;
    std::vector<brivanta_product_price_Entity> prices;
    std::vector<brivanta_image_Entity> images;
    std::vector<brivanta_product_related_Entity> related;
    std::map<std::string, int> tagIds;
    std::vector<brivanta_product_related_tag_Entity> tagLinks;
    std::map<std::string, gfx::Image> pictures;
    for (const auto& p : t["products"].asArray()) {
        brivanta_product_Entity e;
        e.product_id = static_cast<int>(p["product_id"].toInt());
        e.product_sku = text(p["product_sku"]);
        e.product_name = text(p["product_name"]);
        e.product_s_desc = text(p["product_s_desc"]);
        e.product_l_desc = text(p["product_l_desc"]);
        e.product_publish = 1;
        e.product_ordering = static_cast<int>(p["product_ordering"].toInt());
        e.product_stock = static_cast<int>(p["product_stock"].toInt());
        e.product_tags = text(p["tags"]);
        products.push_back(e);
        std::string sku = e.product_sku.value_or("");

        for (const auto& c : p["categories"].asArray())
            links.push_back({static_cast<int>(c.toInt()), e.product_id});

        int k = 0;
        for (const auto& a : p["attributes"].asArray()) {
            brivanta_product_attribute_Entity attr;
            attr.attribute_id = e.product_id * 10 + (++k);
            attr.product_id = e.product_id;
            attr.attribute_fields_id = productFields[a["field"].toString()];
            attr.attribute_value = a["value"].toString();
            attr.default_value = split(a["value"].toString()).front();
            attributes.push_back(attr);
        }

        brivanta_product_price_Entity price;
        price.price_id = e.product_id;
        price.product_id = e.product_id;
        price.price = p["price"].toDouble();
        price.currency = currency;
        if (p["discount"].isDictionary()) {
            price.discount_price = p["discount"]["price"].toDouble();
            price.discount_identifier = "demo";
            price.discount_publish = 1;
            price.discount_start_date = base::Date(kDiscountStart);
            price.discount_end_date = base::Date(kDiscountEnd);
            price.discontRat = std::round(100 - price.discount_price / price.price * 100);
        }
        prices.push_back(price);

        // The main picture, and for the first products a second view in another colour.
        gfx::Color color = colorOf(p["color"]);
        std::string shape = p["shape"].toString();
        int views = e.product_id % 3 == 1 ? 2 : 1;
        for (int v = 0; v < views; ++v) {
            gfx::Color tint = v == 0 ? color : gfx::Color{1 - color.r * 0.6, color.g * 0.8, color.b * 0.9, 1};
            gfx::Image full = demo::drawProduct(shape, tint, 640);
            std::string base = sku + (v ? "_b" : "");
            writeImage(full, base + ".jpg", kProductImage, true);
            writeImage(demo::drawProduct(shape, tint, 160), base + "_thumb.jpg", kProductImage, true);
            if (v == 0)
                pictures[sku] = full;
            brivanta_image_Entity img;
            img.image_id = e.product_id * 10 + v;
            img.key_id = e.product_id;
            img.key_type = "product";
            img.image_full_address = base + ".jpg";
            img.image_thumb_address = base + "_thumb.jpg";
            img.image_isdault = v == 0 ? 1 : 0;
            img.image_s_desc = e.product_name;
            img.image_publis = 1;
            img.image_ordering = v;
            images.push_back(img);
        }

        if (!p["related"].toString().empty())
            related.push_back({e.product_id, p["related"].toString()});
        for (const auto& tag : split(p["tags"].toString())) {
            auto [it, fresh] = tagIds.emplace(tag, static_cast<int>(tagIds.size()) + 1);
            tagLinks.push_back({e.product_id, it->second});
        }
    }
    std::vector<brivanta_tag_entity> tags;
    for (const auto& [name, id] : tagIds) {
        brivanta_tag_entity tag;
        tag.tag_id = id;
        tag.tag_name = name;
        tags.push_back(tag);
    }
    auto productModel = manager->productmodel();
    check(productModel->saveToDatabaseProduct(products), "products");
    check(productModel->saveToDatabaseFieldsProductAttribute(fields), "attribute fields");
    check(productModel->saveToDatabaseProductAttribute(attributes), "attributes");
    check(productModel->saveToDatabaseProductTag(tags), "tags");
    check(productModel->saveToDatabaseProductRelatedTag(tagLinks), "tag links");
    check(manager->pacmodel()->saveToDatabasePxrefC(links), "category links");
    check(manager->pricemodel()->saveToDatabasePrice(prices), "prices");
    check(manager->imagemodel()->saveToDatabaseImage(images), "images");
    check(manager->productrelatedmodel()->saveToDatabaseProductrelated(related), "related products");

    // Customers with their attributes, addresses and contacts.
    std::vector<brivanta_fields_customer_attribute_Entity> customerFields;
    std::map<std::string, int> customerFieldIds;
    for (const auto& f : t["customer_fields"].asArray()) {
        brivanta_fields_customer_attribute_Entity e;
        e.field_id = static_cast<int>(customerFields.size()) + 1;
        e.field_name = f.toString();
        e.description = f.toString();
        e.data_type = "text";
        e.display = 1;
        e.published = 1;
        customerFieldIds[f.toString()] = e.field_id;
        customerFields.push_back(e);
    }
    std::vector<brivanta_customer_Entity> customers;
    std::vector<brivanta_customer_attribute_Entity> customerAttributes;
    std::vector<brivanta_customer_address_Entity> addresses;
    std::vector<brivanta_customer_contact_entity> contacts;
    for (const auto& c : t["customers"].asArray()) {
        brivanta_customer_Entity e;
        e.customer_id = static_cast<int>(c["customer_id"].toInt());
        e.customer_info_id = "C" + std::to_string(e.customer_id);
        e.customer_name = text(c["customer_name"]);
        e.customer_publish = 1;
        e.customer_ordering = e.customer_id;
        e.discount = c["discount"].toDouble();
        customers.push_back(e);
        int k = 0;
        for (const auto& [field, value] : c["attrs"].asDictionary()) {
            brivanta_customer_attribute_Entity a;
            a.attribute_id = e.customer_id * 10 + (++k);
            a.customer_id = e.customer_id;
            a.attribute_fields_id = customerFieldIds[field];
            a.attribute_value = value.toString();
            customerAttributes.push_back(a);
        }
        const base::Array& addr = c["address"].asArray();
        brivanta_customer_address_Entity address;
        address.indexId = e.customer_id * 10 + 1;
        address.customerId = e.customer_id;
        address.customerAddress = addr[0].toString();
        address.customerCity = addr[1].toString();
        address.customerState = addr[2].toString();
        address.customerZipCode = addr[3].toString();
        address.isDefault = true;
        addresses.push_back(address);
        const base::Array& who = c["contact"].asArray();
        brivanta_customer_contact_entity contact;
        contact.contactID = e.customer_id * 10 + 1;
        contact.customerID = e.customer_id;
        contact.first_name = who[0].toString();
        contact.last_name = who[1].toString();
        contact.job_title = who[2].toString();
        contact.work_phone = who[3].toString();
        contact.mobile_phone = who[4].toString();
        contact.email = who[5].toString();
        contact.isDeful = true;
        contacts.push_back(contact);
    }
    auto customerModel = manager->customerModel();
    check(customerModel->saveToDatabaseFieldsCustomerAttribute(customerFields), "customer fields");
    check(customerModel->saveToDatabaseCustomer(customers), "customers");
    check(customerModel->saveToDatabaseCustomerAttribute(customerAttributes), "customer attributes");
    check(customerModel->saveToDatabaseCustomerAddress(addresses), "addresses");
    check(customerModel->saveToDatabaseCustomerContact(contacts), "contacts");

    // The sales library: categories, documents with covers, and the products they belong to.
    std::vector<brivanta_library_category_Entity> libraryCategories;
    for (const auto& c : t["library_categories"].asArray()) {
        brivanta_library_category_Entity e;
        e.categoryID = static_cast<int>(c["id"].toInt());
        e.name = text(c["name"]);
        e.ordering = static_cast<int>(c["ordering"].toInt());
        e.published = 1;
        e.parent_id = static_cast<int>(c["parent_id"].toInt());
        libraryCategories.push_back(e);
    }
    check(manager->libraryCategoryModel()->saveToDatabaseLibraryCategory(libraryCategories), "library categories");

    std::string company = t["company"].toString();
    gfx::Color accent = colorOf(t["categories"].asArray().front()["color"]);
    std::vector<brivanta_library_files_Entity> files;
    std::vector<brivanta_product_related_files_Entity> materials;
    std::map<std::string, int> productIdBySku;
    for (const auto& p : products)
        productIdBySku[p.product_sku.value_or("")] = p.product_id;
    for (const auto& f : t["library_files"].asArray()) {
        brivanta_library_files_Entity e;
        e.file_id = static_cast<int>(f["id"].toInt());
        e.title = text(f["title"]);
        e.file_name = text(f["file_name"]);
        e.category = static_cast<int>(f["category"].toInt());
        e.type = text(f["type"]);
        e.date = text(f["date"]);
        e.description = text(f["description"]);
        e.ordering = static_cast<int>(f["ordering"].toInt());
        e.published = 1;
        e.cover_image = text(f["cover"]);

        std::string pdfPath = fileFor(*e.file_name, kPdf);
        bool written = f["pages"].toString() == "catalogue"
                           ? demo::writeCatalogue(pdfPath, t, *e.title,
                                                  [&](const std::string& sku) { return pictures[sku]; },
                                                  [&](double amount) { return priceText(amount, currency); })
                           : demo::writeGuide(pdfPath, company, *e.title, f["sections"], accent);
        if (!written)
            fail("could not write " + *e.file_name);
        char info[64];
        std::snprintf(info, sizeof info, "PDF/%.1f M", static_cast<double>(fs::file_size(pdfPath)) / (1024 * 1024));
        e.info = info;

        std::string shape = "leaf";
        for (const auto& sku : f["products"].asArray()) {
            int id = productIdBySku[sku.toString()];
            materials.push_back({id, sku.toString(), e.file_id});
            for (const auto& p : t["products"].asArray())
                if (p["product_sku"].toString() == sku.toString() && shape == "leaf")
                    shape = p["shape"].toString();
        }
        writeImage(demo::drawCover(*e.title, company, shape, accent), *e.cover_image, kLibraryCover, false);
        files.push_back(e);
    }
    check(manager->libraryFilesModel()->saveToDatabaseLibraryFiles(files), "library files");
    check(manager->productMaterialModel()->saveToDatabaseProductRelatedFile(materials), "product materials");

    // A skinned tenant: its own logo and top bar, and the top-bar icon the main screen reads.
    if (t["skin"].isDictionary()) {
        const base::Value& skin = t["skin"];
        fs::path skinFolder = fs::path(*clientFolder) / "SkinImages";
        fs::create_directories(skinFolder);
        auto writeSkin = [&](const gfx::Image& image, const std::string& name) {
            if (!base::FileManager::writeAtomically(skinFolder / name, image.pngData()))
                fail("could not write " + name);
        };
        writeSkin(demo::drawLogo(skin["logo_text"].toString(), colorOf(skin["logo_color"])), "homelogo.png");
        // The tab bar's captions and icons in colours that read on the skin's dark bar.
        base::Dictionary colors;
        colors.set("TabTitleColor", base::Value(skin["tab_title_color"].toString()));
        colors.set("TabTitleSelectedColor", base::Value(skin["tab_title_selected_color"].toString()));
        if (!base::PropertyList::writeFile(skinFolder / "colors.plist", base::Value(std::move(colors))))
            fail("could not write colors.plist");
        fs::path bundled = fs::path(argv[1]).parent_path().parent_path();
        for (const auto& [name, selected] : kTabIcons) {
            gfx::Image icon = gfx::Image::fromFile((bundled / name).string());
            if (icon.isNull())
                fail("no tab icon " + name);
            writeSkin(tinted(icon, colorOf(skin[selected ? "tab_title_selected_color" : "tab_title_color"])), name);
        }
        gfx::Image bar = demo::drawTopBar(colorOf(skin["topbar_color"]));
        writeSkin(bar, "topbar-bg.png");
        writeImage(bar, "topbar_" + client + ".png", kConfigImage, false);
        brivanta_icon_Entity icon;
        icon._id = 1;
        icon.title = "top bar";
        icon.name = "topbar_" + client + ".png";
        icon.width = 1024;
        icon.height = 44;
        icon.description = "Main screen bar";
        icon.category = "interface";
        icon.publish = 1;
        check(manager->iconmodel()->saveToDatabaseIcon(std::vector<brivanta_icon_Entity>{icon}), "icons");
    }

    DataAccessManager::releaseDataModel();
    BRDatabase::releaseDataBase();
    std::printf("make_demo: %s: %zu products, %zu customers, %zu documents\n", client.c_str(), products.size(),
                customers.size(), files.size());
    return 0;
}
