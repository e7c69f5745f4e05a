#include "DatabaseTestSupport.h"

#include "Database/LibraryCategoryModel.h"
#include "Database/LibraryFavoriteModel.h"
#include "Database/LibraryFilesModel.h"
#include "Database/ProductMaterialModel.h"
#include "Platform/Base/Date.h"

#include <set>

namespace {

class LibraryModelTest : public dbtest::DatabaseTest {
protected:
    void SetUp() override
    {
        DatabaseTest::SetUp();
        if (HasFatalFailure())
            return;
        logIn("AcMe");
        base::Date::setFixedNow(base::Date(1367937000));
        m_manager = DataAccessManager::sharedDataModel();
        ASSERT_TRUE(m_manager->hasModels());
        categories = m_manager->libraryCategoryModel();
        files = m_manager->libraryFilesModel();
        favorites = m_manager->libraryFavoriteModel();
        materials = m_manager->productMaterialModel();
        db = BRDatabase::sharedDataBase();
    }
    void TearDown() override
    {
        categories.reset();
        files.reset();
        favorites.reset();
        materials.reset();
        db.reset();
        m_manager.reset();
        base::Date::setFixedNow(std::nullopt);
        DatabaseTest::TearDown();
    }

    static brivanta_library_category_Entity category(int id, std::string name, int published = 1,
                                                     int parent = 0)
    {
        brivanta_library_category_Entity c;
        c.categoryID = id;
        c.name = std::move(name);
        c.ordering = 100 + id;
        c.published = published;
        c.parent_id = parent;
        return c;
    }
    static brivanta_library_files_Entity file(int id, std::string title, int category, int published = 1)
    {
        brivanta_library_files_Entity f;
        f.file_id = id;
        f.title = std::move(title);
        f.file_name = "file" + std::to_string(id) + ".pdf";
        f.category = category;
        f.published = published;
        f.ordering = id;
        f.cover_image = "cover" + std::to_string(id) + ".png";
        f.info = "PDF/1.2 M";
        return f;
    }
    static std::vector<std::string> titles(const std::vector<brivanta_library_files_Entity>& rows)
    {
        std::vector<std::string> out;
        for (const auto& row : rows)
            out.push_back(row.title.value_or("(null)"));
        return out;
    }

    std::shared_ptr<LibraryCategoryModel> categories;
    std::shared_ptr<LibraryFilesModel> files;
    std::shared_ptr<LibraryFavoriteModel> favorites;
    std::shared_ptr<ProductMaterialModel> materials;
    std::shared_ptr<BRDatabase> db;

private:
    std::shared_ptr<DataAccessManager> m_manager;
};

TEST_F(LibraryModelTest, CategoryTreeAndItsFiles)
{
    ASSERT_TRUE(categories->saveToDatabaseLibraryCategory(std::vector{
        category(3, "Brochures"), category(4, "Archive", 0), category(5, "Videos", 1, 3),
        category(6, "Alpha", 1, 3)}));
    ASSERT_TRUE(files->saveToDatabaseLibraryFiles(std::vector{
        file(10, "Zeta", 3), file(11, "Beta", 3), file(12, "Loose", 0), file(13, "Hidden loose", 0, 0),
        file(14, "Archived", 4)}));

    auto roots = categories->getLibSubCategoriesByParentCategoryID(0);
    ASSERT_EQ(roots.size(), 1u);
    EXPECT_EQ(roots[0].name, "Brochures");
    auto children = categories->getLibSubCategoriesByParentCategoryID(3);
    ASSERT_EQ(children.size(), 2u);
    EXPECT_EQ(children[0].name, "Alpha");
    EXPECT_EQ(categories->getLibraryCategorys().size(), 3u);

    EXPECT_EQ(titles(categories->getLibraryFilesByCategory_id(0)), (std::vector<std::string>{"Loose"}));
    EXPECT_TRUE(categories->getLibraryFilesByCategory_id(4).empty()) << "unpublished category";
    auto inBrochures = categories->getLibraryFilesByCategory_id(3);
    EXPECT_EQ(titles(inBrochures), (std::vector<std::string>{"Beta", "Zeta"}));
    // The joined read must not take the category's id, ordering or published.
    EXPECT_EQ(inBrochures[0].file_id, 11);
    EXPECT_EQ(inBrochures[0].ordering, 11);
    EXPECT_FALSE(inBrochures[0].cover_image);
    EXPECT_EQ(files->getLibFilesBycatalogId(3).at(0).cover_image, "cover11.png");

    EXPECT_EQ(categories->getLibraryCategoryByCategoryid(3).name, "Brochures");
    auto unknown = categories->getLibraryCategoryByCategoryid(99);
    EXPECT_EQ(unknown.categoryID, 0);
    EXPECT_FALSE(unknown.name);
    EXPECT_FALSE(categories->getLibraryCategoryByCategoryid(4).name);
    EXPECT_EQ(categories->getLibParentCategoryIDByCategoryID(5), 3);
    ASSERT_TRUE(categories->saveToDatabaseLibraryCategory(std::vector{category(7, "Old", 0, 3)}));
    EXPECT_EQ(categories->getLibParentCategoryIDByCategoryID(7), 3) << "unpublished still answers";
    EXPECT_EQ(categories->getLibParentCategoryIDByCategoryID(99), 0);
    auto parents = categories->getLibCategoryParentMap();
    EXPECT_EQ(parents.at(5), 3);
    EXPECT_EQ(parents.at(7), 3) << "unpublished rows are in the map";
    EXPECT_EQ(parents.count(99), 0u);

    EXPECT_EQ(categories->getLibraryFilesNameByCategoryName("Brochures"),
              (std::vector<std::string>{"file10.pdf", "file11.pdf"}));
    EXPECT_TRUE(categories->getLibraryFilesNameByCategoryName("Archive").empty());
}

TEST_F(LibraryModelTest, SearchTakesTheTextLiterallyInTheThreeOrders)
{
    auto a = file(1, "O'Neil brochure", 0);
    a.date = "2013-01-01 10:00:00";
    a.type = "PDF";
    auto b = file(2, "About O'Neil", 0);
    b.date = "2013-05-01 10:00:00";
    b.type = "VEDIO";
    auto c = file(3, "50% off", 0);
    auto d = file(4, "500 items", 0);
    auto e = file(5, "a_b", 0);
    auto f = file(6, "axb", 0);
    ASSERT_TRUE(files->saveToDatabaseLibraryFiles(std::vector{a, b, c, d, e, f}));

    EXPECT_EQ(titles(files->getLibFilesBysearchNameOrderBy("o'neil", "title")),
              (std::vector<std::string>{"About O'Neil", "O'Neil brochure"}));
    EXPECT_EQ(titles(files->getLibFilesBysearchNameOrderBy("O'Neil", "date desc")),
              (std::vector<std::string>{"About O'Neil", "O'Neil brochure"}));
    EXPECT_EQ(titles(files->getLibFilesBysearchNameOrderBy("O'Neil", "type desc")),
              (std::vector<std::string>{"About O'Neil", "O'Neil brochure"}));
    EXPECT_EQ(titles(files->getLibFilesBysearchNameOrderBy("O'Neil", "date asc; drop table x")),
              (std::vector<std::string>{"About O'Neil", "O'Neil brochure"}));
    EXPECT_EQ(titles(files->getLibFilesBysearchNameOrderBy("50%", "title")),
              (std::vector<std::string>{"50% off"}));
    EXPECT_EQ(titles(files->getLibFilesBysearchNameOrderBy("_", "title")),
              (std::vector<std::string>{"a_b"}));

    EXPECT_EQ(titles(files->getAllLibFilesOrderByDate()).front(), "About O'Neil");
    EXPECT_EQ(titles(files->getAllLibFilesOrderByType()).front(), "About O'Neil");
    EXPECT_EQ(titles(files->getAllLibFiles()).front(), "50% off");
}

TEST_F(LibraryModelTest, LookupsByNameTitleAndId)
{
    auto quoted = file(1, "Smith's guide", 0);
    quoted.file_name = "smith's.pdf";
    quoted.type = "PDF";
    quoted.info = "PDF/2 M,01:20";
    auto noCover = file(2, "No cover", 0);
    noCover.cover_image = std::nullopt;
    auto emptyCover = file(3, "Empty cover", 0);
    emptyCover.cover_image = "";
    auto sharedCover = file(4, "Shared cover", 0);
    sharedCover.cover_image = "cover1.png";
    ASSERT_TRUE(files->saveToDatabaseLibraryFiles(
        std::vector{quoted, noCover, emptyCover, sharedCover, file(5, "Withdrawn", 0, 0)}));

    EXPECT_EQ(files->getCoverImageByFileName("smith's.pdf"), "cover1.png");
    EXPECT_EQ(files->getFileTypeByFileName("smith's.pdf"), "PDF");
    EXPECT_EQ(files->getTitleByFileName("smith's.pdf"), "Smith's guide");
    EXPECT_EQ(files->getFileIDbyFileName("smith's.pdf"), 1);
    EXPECT_EQ(files->getFileIDbyFileName("missing.pdf"), 0);
    EXPECT_FALSE(files->getTitleByFileName("file5.pdf")) << "withdrawn";
    EXPECT_EQ(files->getFileNameByTitle("Smith's guide"), "smith's.pdf");
    EXPECT_EQ(files->getFileNameById(1), "smith's.pdf");
    EXPECT_FALSE(files->getFileNameById(5));
    EXPECT_EQ(files->getFileInfoByFileId(1), "PDF/2 M,01:20");
    auto found = files->getFilesByFileId(1);
    ASSERT_TRUE(found);
    EXPECT_EQ(found->duration(), "01:20");
    EXPECT_FALSE(files->getFilesByFileId(5));

    auto covers = files->getAllFilesImg();
    std::sort(covers.begin(), covers.end());
    EXPECT_EQ(covers, (std::vector<std::string>{"cover1.png"}));
}

TEST_F(LibraryModelTest, ReplacedFilesAreRememberedUntilDeleted)
{
    brivanta_library_files_update_Entity update;
    update.fileID = 8;
    update.oldFileName = "old.pdf";
    update.oldFileType = "PDF";
    EXPECT_FALSE(categories->saveToDatabaseLibraryUpdate(std::nullopt));
    ASSERT_TRUE(categories->saveToDatabaseLibraryUpdate(update));
    update.oldFileName = "older.pdf";
    ASSERT_TRUE(categories->saveToDatabaseLibraryUpdate(update));
    EXPECT_EQ(categories->getAllLibFileUpdateIDs(), (std::vector<int>{8}));
    auto stored = categories->getLibFileUpdateByFileID(8);
    ASSERT_TRUE(stored);
    EXPECT_EQ(stored->oldFileName, "older.pdf");
    EXPECT_EQ(stored->oldFileType, "PDF");
    categories->deleteFileUpdateWithFileID(8);
    EXPECT_FALSE(categories->getLibFileUpdateByFileID(8));
}

TEST_F(LibraryModelTest, FavouritesStartWithoutATable)
{
    EXPECT_FALSE(favorites->getFavoriteByFavoriteId(3));
    EXPECT_TRUE(favorites->getAllFavoriteIds().empty());
    favorites->deleteSingleFavoriteByFavoriteId(3);
    EXPECT_FALSE(db->tableExists("brivanta_library_favorite"));

    ASSERT_TRUE(favorites->saveToDatabaseFavoriteName(3, "a.pdf"));
    ASSERT_TRUE(favorites->saveToDatabaseFavoriteName(3, "b.pdf"));
    auto favorite = favorites->getFavoriteByFavoriteId(3);
    ASSERT_TRUE(favorite);
    EXPECT_EQ(favorite->file_id, 3);
    EXPECT_EQ(favorite->file_name, "b.pdf");
    EXPECT_EQ(db->intForQuery("select count(*) from brivanta_library_favorite"), 1);
    ASSERT_TRUE(favorites->saveToDatabaseFavoriteName(9, "c.pdf"));
    auto ids = favorites->getAllFavoriteIds();
    EXPECT_EQ(std::set<int>(ids.begin(), ids.end()), (std::set<int>{3, 9}));
    favorites->deleteSingleFavoriteByFavoriteId(9);
    favorites->deleteSingleFavoriteByFavoriteId(3);
    EXPECT_FALSE(favorites->getFavoriteByFavoriteId(3));
    EXPECT_TRUE(m_log.lines().empty()) << m_log.lines().front();
}

TEST_F(LibraryModelTest, MaterialsFollowTheProductsSku)
{
    ASSERT_TRUE(db->executeUpdate("insert into brivanta_product(product_id,product_sku,product_publish) "
                                  "values(7,'CH-7',1),(8,'CH-8',1)"));
    ASSERT_TRUE(files->saveToDatabaseLibraryFiles(
        std::vector{file(1, "Manual", 0), file(2, "Care", 0), file(3, "Withdrawn", 0, 0)}));
    brivanta_product_related_files_Entity link;
    link.product_sku = "CH-7";
    link.product_id = 999; // the stored product id is not what links them
    std::vector<brivanta_product_related_files_Entity> links;
    for (int id : {1, 2, 3}) {
        link.file_id = id;
        links.push_back(link);
    }
    ASSERT_TRUE(materials->saveToDatabaseProductRelatedFile(links));
    EXPECT_EQ(titles(materials->getProductRelatedFilesByProductId(7)),
              (std::vector<std::string>{"Care", "Manual"}));
    EXPECT_EQ(materials->getProductRelatedFilesByProductId(7).at(1).cover_image, "cover1.png");
    EXPECT_TRUE(materials->getProductRelatedFilesByProductId(8).empty());

    EXPECT_FALSE(materials->saveToDatabaseProductRelatedFile(std::vector<brivanta_product_related_files_Entity>{}));
    EXPECT_EQ(materials->getProductRelatedFilesByProductId(7).size(), 2u) << "an empty list keeps the links";

    ASSERT_TRUE(db->executeUpdate("update brivanta_product set product_sku = 'CH-7B' where product_id = 7"));
    EXPECT_TRUE(materials->getProductRelatedFilesByProductId(7).empty());
}

TEST_F(LibraryModelTest, ARefusedFileLeavesTheLibraryAsItWas)
{
    ASSERT_TRUE(files->saveToDatabaseLibraryFiles(std::vector{file(1, "Kept", 0)}));
    ASSERT_TRUE(db->executeUpdate("create trigger refuse_file before insert on brivanta_library_files "
                                  "when new.title = 'refuse' begin select raise(abort, 'refused'); end"));
    EXPECT_FALSE(files->saveToDatabaseLibraryFiles(
        std::vector{file(1, "Changed", 0), file(2, "New", 0), file(3, "refuse", 0)}));
    EXPECT_EQ(titles(files->getAllLibFiles()), (std::vector<std::string>{"Kept"}));
    EXPECT_FALSE(files->saveToDatabaseLibraryFiles(std::nullopt));
}

} // namespace
