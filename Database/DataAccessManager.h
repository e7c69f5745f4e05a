#pragma once
#include "Database/ConfigEntity.h"
#include "Database/DataAccessOperations.h"

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class BaseDataModel;
class CategoryModel;
class CompareModel;
class ConfigMode;
class FavoriteModel;
class IconModel;
class ImageModel;
class PriceModel;
class ProductModel;
class ProductRelatedModel;
class productAndcategoryXrefModel;
class CustomerModel;
class LibraryCategoryModel;
class LibraryFavoriteModel;
class LibraryFilesModel;
class LoginUserModel;
class ProductMaterialModel;

// The single door to the logged-in client's database: makes the client's file from the
// template, opens the shared connection on it and owns one model per group of tables.
// Main thread only.
class DataAccessManager {
public:
    // The instance for the client LoginMode holds now; made on first use, and made again
    // while the last attempt failed to open.
    static std::shared_ptr<DataAccessManager> sharedDataModel();
    // Drops the instance and, in every case, the shared connection.
    static void releaseDataModel();
    // Drops the instance and leaves the shared connection as it is.
    static void destoryDataModel();
    // Documents/<client id in lower case>/brivanta_lite.sqlite; nothing for an unsafe id.
    static std::optional<std::string> dataFilePath();
    // The instance open now, or none: never makes one. Work kept by a screen is the user's
    // whose instance the screen was made under; a logout drops it, and a new login, even of
    // the same user, opens another.
    static std::shared_ptr<DataAccessManager> openDataModel();
    static bool isOpen(const std::weak_ptr<DataAccessManager>& madeUnder);

    DataAccessManager();
    ~DataAccessManager();
    DataAccessManager(const DataAccessManager&) = delete;
    DataAccessManager& operator=(const DataAccessManager&) = delete;

    // Makes the client folder (0700) and copies the template to the file (0600) when missing;
    // NO when the id is unsafe, the template is missing or the copy fails.
    bool createEditableDatabaseOfDataCacheStoreIfNeeded();
    // Runs every model's upgrade hook in creation order.
    void updateVersion();
    bool hasModels() const { return !m_dataModelList.empty(); }
    // The models in creation order, which is also the upgrade order.
    const std::vector<std::shared_ptr<BaseDataModel>>& dataModelList() const { return m_dataModelList; }

    const std::shared_ptr<ProductModel>& productmodel() const { return m_productmodel; }
    const std::shared_ptr<ImageModel>& imagemodel() const { return m_imagemodel; }
    const std::shared_ptr<CategoryModel>& categorymodel() const { return m_categorymodel; }
    const std::shared_ptr<productAndcategoryXrefModel>& pacmodel() const { return m_pacmodel; }
    const std::shared_ptr<IconModel>& iconmodel() const { return m_iconmodel; }
    const std::shared_ptr<FavoriteModel>& favoritemodel() const { return m_favoritemodel; }
    const std::shared_ptr<CompareModel>& comparemodel() const { return m_comparemodel; }
    const std::shared_ptr<PriceModel>& pricemodel() const { return m_pricemodel; }
    const std::shared_ptr<ProductRelatedModel>& productrelatedmodel() const { return m_productrelatedmodel; }
    const std::shared_ptr<ProductMaterialModel>& productMaterialModel() const { return m_productMaterialModel; }
    const std::shared_ptr<LibraryCategoryModel>& libraryCategoryModel() const { return m_libraryCategoryModel; }
    const std::shared_ptr<LibraryFilesModel>& libraryFilesModel() const { return m_libraryFilesModel; }
    const std::shared_ptr<CustomerModel>& customerModel() const { return m_customerModel; }
    const std::shared_ptr<ConfigMode>& configMode() const { return m_configMode; }
    const std::shared_ptr<QuoteOrderModel>& quoteOrderModel() const { return m_quoteOrderModel; }
    const std::shared_ptr<LoginUserModel>& loginUserModel() const { return m_loginUserModel; }
    const std::shared_ptr<LibraryFavoriteModel>& libraryFavoriteModel() const { return m_libraryFavoriteModel; }

    // The data operations, each forwarded to its model; without models each answers the zero
    // of its result type.
#define BRIVANTA_DECLARE_OPERATION(getter, Result, name, target, params, args) Result name params;
    BRIVANTA_DATA_ACCESS_OPERATIONS(BRIVANTA_DECLARE_OPERATION)
#undef BRIVANTA_DECLARE_OPERATION
    // The order of that number moves to the server's id; NO when no order has the number.
    bool updateOrderIDWithOrderNumberNewOrderID(const std::optional<std::string>& number, int newOrderID);
    // The upload document and its marking. The text is what the order store uploads: the
    // manager keeps the orders the last text for each id carried, and marking that id marks
    // those of them that have not been saved again since (an order edited while its upload
    // was under way waits for the next one). The dictionary is only a read and changes
    // nothing of that.
    base::Value fetchUnsubmittedQuoteOrdersDic(int orderId);
    // Runs the block in one transaction on the shared connection; the models' saves inside
    // nest as savepoints. The block answering NO, or the commit failing, rolls everything
    // back and answers NO.
    bool runInTransaction(const std::function<bool()>& block);
    std::optional<std::string> fetchQuoteOrdersDicString(int orderId);
    void setQuoteOrdersToUploaded(int orderId);

private:
    bool openDatabase();
    void createModels();
    template <typename Model>
    std::shared_ptr<Model> adopt(std::shared_ptr<Model> model);

    std::shared_ptr<ProductModel> m_productmodel;
    std::shared_ptr<ImageModel> m_imagemodel;
    std::shared_ptr<CategoryModel> m_categorymodel;
    std::shared_ptr<productAndcategoryXrefModel> m_pacmodel;
    std::shared_ptr<IconModel> m_iconmodel;
    std::shared_ptr<FavoriteModel> m_favoritemodel;
    std::shared_ptr<CompareModel> m_comparemodel;
    std::shared_ptr<PriceModel> m_pricemodel;
    std::shared_ptr<ProductRelatedModel> m_productrelatedmodel;
    std::shared_ptr<ProductMaterialModel> m_productMaterialModel;
    std::shared_ptr<LibraryCategoryModel> m_libraryCategoryModel;
    std::shared_ptr<LibraryFilesModel> m_libraryFilesModel;
    std::shared_ptr<CustomerModel> m_customerModel;
    std::shared_ptr<ConfigMode> m_configMode;
    std::shared_ptr<QuoteOrderModel> m_quoteOrderModel;
    std::shared_ptr<LoginUserModel> m_loginUserModel;
    std::shared_ptr<LibraryFavoriteModel> m_libraryFavoriteModel;
    std::vector<std::shared_ptr<BaseDataModel>> m_dataModelList; // in creation order
    // The orders the last upload document for each id (0 for all) carried, as they were sent.
    std::map<int, QuoteOrderModel::SentOrders> m_lastSentOrders;
};
