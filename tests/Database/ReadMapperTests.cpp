#include "DatabaseTestSupport.h"

#include "Platform/Base/Date.h"

#include <cstdio>
#include <functional>
#include <sstream>

namespace {

// One field as text: NULL for a missing text, numbers as the shortest exact form.
std::string field(const std::optional<std::string>& text)
{
    return text.value_or("NULL");
}
std::string field(const std::string& text)
{
    return text;
}
std::string field(bool value)
{
    return value ? "YES" : "NO";
}
std::string field(int value)
{
    return std::to_string(value);
}
std::string field(double value)
{
    char text[32];
    std::snprintf(text, sizeof text, "%g", value);
    return text;
}
std::string field(const std::optional<base::Date>& date)
{
    return date ? field(date->timeIntervalSince1970()) : "NULL";
}

template <typename... Fields>
std::string fields(const Fields&... values)
{
    std::string text;
    ((text += (text.empty() ? "" : "|") + field(values)), ...);
    return text;
}

constexpr auto asText = [](const auto& value) { return field(value); };

template <typename List, typename Format>
std::string each(const List& list, Format format)
{
    std::string text;
    for (const auto& item : list)
        text += (text.empty() ? "" : " ; ") + format(item);
    return text;
}

std::string imageRow(const brivanta_image_Entity& i)
{
    return fields(i.image_id, i.key_id, i.key_type, i.image_thumb_address, i.image_full_address, i.image_isdault,
                  i.image_s_desc, i.image_l_desc, i.image_publis, i.image_ordering);
}

std::string libraryFile(const brivanta_library_files_Entity& f)
{
    return fields(f.file_id, f.title, f.file_name, f.category, f.type, f.date, f.description, f.ordering, f.published,
                  f.cover_image, f.info);
}

struct Case {
    const char* mapper;
    std::function<std::string(DataAccessManager&)> read;
    std::string expected;
};

// Every column holds a value other than its default, each different from its neighbours',
// so a mapper reading a wrong column, or none, shows.
const char* const kSeed[] = {
    "insert into brivanta_image values (31, 7, 'product', 'thumb31.png', 'full31.png', 1, 'short', 'long', 1, 4)",
    "insert into brivanta_icon values (5, 'top bar', 'bar@2x.png', 320, 44, 'the bar', 'chrome', 1)",
    "insert into brivanta_product_price (price_id, product_id, vendor_group_id_list, vendor_state_id_list, "
    "vendor_id_list, customer_id_list, price, currency, discount_price, discount_identifier, discount_start_date, "
    "discount_end_date, discount_publish, tier_start_date, tier_end_date, tier_quantity_price, tier_publish, "
    "discount_rat) values (41, 7, 'g1', 's1', 'v1', 'c1', 12.5, 'EUR', 9.75, 'SPRING', 1000, 4102444800, 1, 3000, "
    "4000, '10:11.5', 2, 80)",
    "insert into brivanta_library_files values (61, 'Guide', 'guide.pdf', 3, 'PDF', '2013-05-07', 'About it', 2, 1, "
    "'guide.png', 'PDF/1.5 M,02:10')",
    "insert into brivanta_library_category values (3, 'Brochures', 6, 1, 2)",
    "insert into brivanta_update values (61, 'old.pdf', 'DOC')",
    "insert into brivanta_category values (9, 'Chairs', 'CH', 'furniture', 1, 5, 2)",
    "insert into brivanta_login_user (useName, password, clientId, deviceId, lastLoginTime, email, companyName, "
    "companyLink) values ('bob', 'pw', 'acme', 'dev-9', '1367937000', 'b@x.test', 'Acme Ltd', 'http://acme.test')",
};

const Case kCases[] = {
    {"images by key", [](DataAccessManager& m) { return each(m.getManyImageByKeyId(7), imageRow); },
     "31|7|product|thumb31.png|full31.png|1|short|long|1|4"},
    {"default image", [](DataAccessManager& m) { return imageRow(m.getImageByKeyId(7).value_or(brivanta_image_Entity{})); },
     "31|7|product|thumb31.png|full31.png|1|short|long|1|4"},
    {"published images",
     [](DataAccessManager& m) {
         return each(m.getPublishImages(true), [](const PublishImage& p) { return fields(p.imageFull, p.imageThumb); });
     },
     "full31.png|thumb31.png"},
    {"image files",
     [](DataAccessManager& m) { return fields(each(m.getThumbImages(), asText), each(m.getFullImages(), asText)); },
     "thumb31.png|full31.png"},
    {"icon",
     [](DataAccessManager& m) {
         auto i = m.getIconByIconId(5);
         return fields(i._id, i.title, i.name, i.width, i.height, i.description, i.category, i.publish);
     },
     "5|top bar|bar@2x.png|320|44|the bar|chrome|1"},
    {"icon files",
     [](DataAccessManager& m) { return fields(each(m.getAllIconAddress(), asText), m.getFullImagePathByTitle("top bar")); },
     "bar@2x.png|bar@2x.png"},
    {"price",
     [](DataAccessManager& m) {
         auto p = m.getPriceEntityByProductId(7);
         return fields(p.price_id, p.product_id, p.vendor_group_id_list, p.vendor_state_id_list, p.price, p.currency,
                       p.discount_price, p.discount_identifier, p.discount_start_date, p.discount_end_date,
                       p.tier_start_date, p.tier_end_date, p.tier_quantity_price, p.tier_publish, p.discontRat,
                       p.discount_flag);
     },
     "41|7|g1|s1|12.5|EUR|9.75|SPRING|1000|4.10244e+09|3000|4000|10:11.5|2|20|YES"},
    {"price and currency",
     [](DataAccessManager& m) { return fields(m.getPriceByProductId(7), m.getpriceCurrencyByProductId(7)); },
     "12.5|EUR"},
    {"library files", [](DataAccessManager& m) { return each(m.getAllLibFiles(), libraryFile); },
     "61|Guide|guide.pdf|3|PDF|2013-05-07|About it|2|1|guide.png|PDF/1.5 M,02:10"},
    {"library file by id",
     [](DataAccessManager& m) { return libraryFile(m.getFilesByFileId(61).value_or(brivanta_library_files_Entity{})); },
     "61|Guide|guide.pdf|3|PDF|2013-05-07|About it|2|1|guide.png|PDF/1.5 M,02:10"},
    {"library file columns",
     [](DataAccessManager& m) {
         return fields(m.getCoverImageByFileName("guide.pdf"), m.getFileTypeByFileName("guide.pdf"),
                       m.getTitleByFileName("guide.pdf"), m.getFileIDbyFileName("guide.pdf"),
                       m.getFileNameByTitle("Guide"), m.getFileNameById(61), m.getFileInfoByFileId(61),
                       each(m.getAllFilesImg(), asText));
     },
     "guide.png|PDF|Guide|61|guide.pdf|guide.pdf|PDF/1.5 M,02:10|guide.png"},
    {"library category",
     [](DataAccessManager& m) {
         auto c = m.getLibraryCategoryByCategoryid(3);
         return fields(c.categoryID, c.name, c.ordering, c.published, c.parent_id);
     },
     "3|Brochures|6|1|2"},
    {"library category files",
     [](DataAccessManager& m) {
         return fields(each(m.getLibraryFilesByCategory_id(3), libraryFile),
                       each(m.getLibraryFilesNameByCategoryName("Brochures"), asText));
     },
     "61|Guide|guide.pdf|3|PDF|2013-05-07|About it|2|1|NULL|NULL|guide.pdf"},
    {"library file update",
     [](DataAccessManager& m) {
         auto u = m.getLibFileUpdateByFileID(61).value_or(brivanta_library_files_update_Entity{});
         return fields(u.fileID, u.oldFileName, u.oldFileType, each(m.getAllLibFileUpdateIDs(), asText));
     },
     "61|old.pdf|DOC|61"},
    {"category",
     [](DataAccessManager& m) {
         auto c = m.getCategoryWithCategoryid(9);
         return fields(c.category_id, c.category_name, c.category_code, c.category_type, c.category_publish,
                       c.category_ordering, c.category_parent_id);
     },
     "9|Chairs|CH|furniture|1|5|2"},
    {"login user",
     [](DataAccessManager& m) {
         auto u = m.getUserInfo("bob").value_or(LoginInfo{});
         return fields(u.accountId, u.passWord, u.clientId, u.deviceId, u.email, u.companyName, u.companyLink);
     },
     "bob|pw|acme|dev-9|b@x.test|Acme Ltd|http://acme.test"},
};

class ReadMapperTest : public dbtest::DatabaseTest {};

TEST_F(ReadMapperTest, EveryMapperReadsEachColumnFromItsOwnName)
{
    logIn("acme");
    auto manager = DataAccessManager::sharedDataModel();
    ASSERT_TRUE(manager->hasModels());
    auto db = BRDatabase::sharedDataBase();
    for (const char* sql : kSeed)
        ASSERT_TRUE(db->executeUpdate(sql)) << sql;
    for (const auto& c : kCases) {
        size_t seen = m_log.lines().size();
        EXPECT_EQ(c.read(*manager), c.expected) << c.mapper;
        auto lines = m_log.lines();
        for (size_t i = seen; i < lines.size(); ++i)
            EXPECT_EQ(lines[i].find(kMissingColumn), std::string::npos) << c.mapper << ": " << lines[i];
    }
}

} // namespace
