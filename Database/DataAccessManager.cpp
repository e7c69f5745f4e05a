#include "Database/DataAccessManager.h"

#include "Database/SQLite/BRTransaction.h"

#include "Common/PublicFunction.h"
#include "Database/CategoryModel.h"
#include "Database/CompareModel.h"
#include "Database/ConfigMode.h"
#include "Database/CustomerModel.h"
#include "Database/FavoriteModel.h"
#include "Database/IconModel.h"
#include "Database/ImageModel.h"
#include "Database/LibraryCategoryModel.h"
#include "Database/LibraryFavoriteModel.h"
#include "Database/LibraryFilesModel.h"
#include "Database/LoginUserModel.h"
#include "Database/PriceModel.h"
#include "Database/ProductMaterialModel.h"
#include "Database/ProductModel.h"
#include "Database/ProductRelatedModel.h"
#include "Database/QuoteOrderModel.h"
#include "Database/SQLite/BRDatabase.h"
#include "Database/productAndcategoryXrefModel.h"
#include "Platform/Base/Bundle.h"
#include "Platform/Base/FileManager.h"
#include "Platform/Base/Log.h"
#include "Platform/Base/RunLoop.h"
#include "Protocol/LoginMode.h"

#include <cassert>

namespace {

constexpr const char* kDatabaseFileName = "brivanta_lite.sqlite";

std::shared_ptr<DataAccessManager>& sharedSlot()
{
    static std::shared_ptr<DataAccessManager> slot;
    return slot;
}

std::optional<std::string> clientFolder()
{
    return PublicFunction::clientFolderPath(LoginMode::sharedInstance()->clientID());
}

} // namespace

std::shared_ptr<DataAccessManager> DataAccessManager::sharedDataModel()
{
    assert(base::RunLoop::isMainThread());
    auto& slot = sharedSlot();
    if (!slot || !slot->hasModels())
        slot = std::make_shared<DataAccessManager>();
    return slot;
}

void DataAccessManager::releaseDataModel()
{
    assert(base::RunLoop::isMainThread());
    sharedSlot().reset();
    BRDatabase::releaseDataBase();
}

void DataAccessManager::destoryDataModel()
{
    assert(base::RunLoop::isMainThread());
    sharedSlot().reset();
}

std::shared_ptr<DataAccessManager> DataAccessManager::openDataModel()
{
    assert(base::RunLoop::isMainThread());
    auto& slot = sharedSlot();
    return slot && slot->hasModels() ? slot : nullptr;
}

bool DataAccessManager::isOpen(const std::weak_ptr<DataAccessManager>& madeUnder)
{
    auto made = madeUnder.lock();
    return made && made == openDataModel();
}

std::optional<std::string> DataAccessManager::dataFilePath()
{
    auto folder = clientFolder();
    if (!folder)
        return std::nullopt;
    return *folder + "/" + kDatabaseFileName;
}

DataAccessManager::DataAccessManager()
{
    assert(base::RunLoop::isMainThread());
    if (createEditableDatabaseOfDataCacheStoreIfNeeded() && openDatabase()) {
        BRDatabase::sharedDataBase()->setShouldCacheStatements(true);
        createModels();
    } else {
        base::log("Open database error!");
    }
}

DataAccessManager::~DataAccessManager() = default;

bool DataAccessManager::createEditableDatabaseOfDataCacheStoreIfNeeded()
{
    auto folder = clientFolder();
    if (!folder) {
        base::logf("DataAccessManager: refusing client id \"%s\" as a folder name",
                   LoginMode::sharedInstance()->clientID().c_str());
        return false;
    }
    if (!base::FileManager::isDirectory(*folder) && !base::FileManager::createDirectories(*folder, 0700)) {
        base::logf("DataAccessManager: cannot create %s", folder->c_str());
        return false;
    }
    std::string file = *folder + "/" + kDatabaseFileName;
    if (base::FileManager::exists(file))
        return true;
    std::string templatePath = base::Bundle::pathForResource("brivanta_lite", "sqlite");
    if (templatePath.empty()) {
        base::log("DataAccessManager: the template database is missing from the bundle");
        return false;
    }
    // A temporary name and a rename: a failed copy never leaves a file that stops the next.
    return base::FileManager::copyFileAtomically(templatePath, file, 0600);
}

bool DataAccessManager::openDatabase()
{
    auto path = dataFilePath();
    if (!path)
        return false;
    // The shared connection keeps its first path: another client's must go first.
    if (auto current = BRDatabase::sharedDataBase(); current && current->databasePath() != *path)
        BRDatabase::releaseDataBase();
    auto db = BRDatabase::databaseWithPath(*path);
    // Never creates the file: a missing one means the template copy did not happen.
    return db->openWithFlags(SQLITE_OPEN_READWRITE);
}

template <typename Model>
std::shared_ptr<Model> DataAccessManager::adopt(std::shared_ptr<Model> model)
{
    m_dataModelList.push_back(model);
    return model;
}

void DataAccessManager::createModels()
{
    // Creation order, which is also the upgrade order: ProductModel, ImageModel,
    // CategoryModel, productAndcategoryXrefModel, IconModel, FavoriteModel, CompareModel,
    // PriceModel, ProductRelatedModel, ProductMaterialModel, LibraryCategoryModel,
    // LibraryFilesModel, CustomerModel, ConfigMode, QuoteOrderModel, LoginUserModel,
    // LibraryFavoriteModel. Each model takes its place here as it is built.
    m_productmodel = adopt(std::make_shared<ProductModel>());
    m_imagemodel = adopt(std::make_shared<ImageModel>());
    m_categorymodel = adopt(std::make_shared<CategoryModel>());
    m_pacmodel = adopt(std::make_shared<productAndcategoryXrefModel>());
    m_iconmodel = adopt(std::make_shared<IconModel>());
    m_favoritemodel = adopt(std::make_shared<FavoriteModel>());
    m_comparemodel = adopt(std::make_shared<CompareModel>());
    m_pricemodel = adopt(std::make_shared<PriceModel>());
    m_productrelatedmodel = adopt(std::make_shared<ProductRelatedModel>());
    m_productMaterialModel = adopt(std::make_shared<ProductMaterialModel>());
    m_libraryCategoryModel = adopt(std::make_shared<LibraryCategoryModel>());
    m_libraryFilesModel = adopt(std::make_shared<LibraryFilesModel>());
    m_customerModel = adopt(std::make_shared<CustomerModel>());
    m_configMode = adopt(std::make_shared<ConfigMode>());
    m_quoteOrderModel = adopt(std::make_shared<QuoteOrderModel>(m_productmodel));
    m_loginUserModel = adopt(std::make_shared<LoginUserModel>());
    m_libraryFavoriteModel = adopt(std::make_shared<LibraryFavoriteModel>());
}

void DataAccessManager::updateVersion()
{
    for (const auto& model : m_dataModelList)
        model->updateVersion();
}

#define BRIVANTA_DEFINE_OPERATION(getter, Result, name, target, params, args) \
    Result DataAccessManager::name params \
    { \
        if (const auto& model = m_##getter) \
            return model->target args; \
        return Result(); \
    }
BRIVANTA_DATA_ACCESS_OPERATIONS(BRIVANTA_DEFINE_OPERATION)
#undef BRIVANTA_DEFINE_OPERATION

bool DataAccessManager::updateOrderIDWithOrderNumberNewOrderID(const std::optional<std::string>& number,
                                                                int newOrderID)
{
    int localId = getLocalOrderIdWithOrderNumber(number);
    if (localId == 0)
        return false;
    return updateOrderIDWithCmsOrderID(localId, newOrderID);
}

bool DataAccessManager::runInTransaction(const std::function<bool()>& block)
{
    auto db = BRDatabase::sharedDataBase();
    if (!db || !hasModels())
        return false;
    BRTransaction transaction(db.get());
    if (!transaction.ok())
        return false;
    if (!block())
        transaction.markFailed();
    return transaction.commit();
}

base::Value DataAccessManager::fetchUnsubmittedQuoteOrdersDic(int orderId)
{
    return m_quoteOrderModel ? m_quoteOrderModel->fetchUnsubmittedQuoteOrdersDic(orderId) : base::Value();
}

std::optional<std::string> DataAccessManager::fetchQuoteOrdersDicString(int orderId)
{
    if (!m_quoteOrderModel)
        return std::nullopt;
    auto upload = m_quoteOrderModel->buildUploadText(orderId);
    m_lastSentOrders[orderId] = std::move(upload.sent);
    return upload.text;
}

void DataAccessManager::setQuoteOrdersToUploaded(int orderId)
{
    if (!m_quoteOrderModel)
        return;
    auto sent = m_lastSentOrders.find(orderId);
    if (sent == m_lastSentOrders.end()) {
        // No document was built for it: a plain mark by id (0 marks nothing).
        m_quoteOrderModel->setQuoteOrdersToUploaded(orderId);
        return;
    }
    auto orders = std::move(sent->second);
    m_lastSentOrders.erase(sent);
    m_quoteOrderModel->setQuoteOrdersToUploaded(orders);
}
