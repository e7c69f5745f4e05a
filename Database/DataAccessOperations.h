#pragma once
// The operations DataAccessManager forwards, one row each:
//   X(model getter, result, operation, model operation, (parameters), (arguments))
// The manager declares and defines them from this one list, so none can go missing, and
// each passes its arguments unchanged and in order. Without models each answers the zero
// of its result type.
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
#include "Database/productAndcategoryXrefModel.h"

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace dataaccess {
using Text = std::optional<std::string>;
template <typename T>
using List = std::optional<std::vector<T>>;
using IdMap = std::map<int, int>;
} // namespace dataaccess

// clang-format off
#define BRIVANTA_DATA_ACCESS_OPERATIONS(X) \
    X(comparemodel, void, deleteSingleCompareByCompareId, deleteSingleCompareByCompareId, (int compareId), (compareId)) \
    X(comparemodel, void, deleteAllCompare, deleteAllCompare, (), ()) \
    X(comparemodel, std::vector<brivanta_compare_Entity>, getCompares, getCompares, (), ()) \
    X(comparemodel, int, getPublishByCompareId, getPublishByCompareId, (int compareId), (compareId)) \
    X(comparemodel, std::optional<brivanta_compare_Entity>, getCompareByCompareId, getCompareByCompareId, (int compareId), (compareId)) \
    X(comparemodel, bool, saveToDatabaseCompareSkuName, saveToDatabaseCompareSkuName, (int productId, const dataaccess::Text& sku, const dataaccess::Text& name), (productId, sku, name)) \
    X(favoritemodel, void, deleteAllFavorites, deleteAllFavorites, (), ()) \
    X(favoritemodel, std::vector<brivanta_favorite_Entity>, getFavorites, getFavorites, (), ()) \
    X(favoritemodel, std::optional<brivanta_favorite_Entity>, getFavoriteByFavoriteId, getFavoriteByFavoriteId, (int favoriteId), (favoriteId)) \
    X(favoritemodel, void, deleteSingleFavoriteByFavoriteId, deleteSingleFavoriteByFavoriteId, (int favoriteId), (favoriteId)) \
    X(favoritemodel, bool, saveToDatabaseFavoriteSkuName, saveToDatabaseFavoriteSkuName, (int productId, const dataaccess::Text& sku, const dataaccess::Text& name), (productId, sku, name)) \
    X(productmodel, std::vector<brivanta_product_Entity>, getAllProducts, getAllProducts, (), ()) \
    X(productmodel, std::vector<brivanta_tag_entity>, getAllProductTags, getAllProductTags, (), ()) \
    X(productmodel, std::vector<brivanta_product_Entity>, getProductsByCategory_id, getProductsByCategory_id, (int categoryId), (categoryId)) \
    X(productmodel, std::optional<brivanta_product_Entity>, getProductByProductId, getProductByProductId, (int productId), (productId)) \
    X(productmodel, std::vector<product_attribute_cell_Entity>, getProductAttributeByProductId, getProductAttributeByProductId, (int productId), (productId)) \
    X(productmodel, std::optional<brivanta_product_Entity>, getProductByProductSKU, getProductByProductSKU, (const std::string& sku), (sku)) \
    X(productmodel, std::vector<brivanta_product_Entity>, getProductsBySearchString, getProductsBySearchString, (const std::string& text), (text)) \
    X(productmodel, bool, saveToDatabaseProduct, saveToDatabaseProduct, (const dataaccess::List<brivanta_product_Entity>& products), (products)) \
    X(productmodel, bool, saveToDatabaseProductAttribute, saveToDatabaseProductAttribute, (const dataaccess::List<brivanta_product_attribute_Entity>& attributes), (attributes)) \
    X(productmodel, bool, saveToDatabaseFieldsProductAttribute, saveToDatabaseFieldsProductAttribute, (const dataaccess::List<brivanta_fields_product_attribute_Entity>& fields), (fields)) \
    X(productmodel, bool, saveToDatabaseProductTag, saveToDatabaseProductTag, (const dataaccess::List<brivanta_tag_entity>& tags), (tags)) \
    X(productmodel, bool, saveToDatabaseProductRelatedTag, saveToDatabaseProductRelatedTag, (const dataaccess::List<brivanta_product_related_tag_Entity>& links), (links)) \
    X(productmodel, std::vector<brivanta_tag_entity>, getTagsByProductID, getTagsByProductID, (int productId), (productId)) \
    X(productmodel, std::vector<std::string>, getAllTagsByProductID, getAllTagsByProduct_id, (int productId), (productId)) \
    X(productrelatedmodel, std::optional<std::vector<brivanta_product_Entity>>, getrelatedProductIDsByProductid, getrelatedProductIDsByProductid, (int productId), (productId)) \
    X(productrelatedmodel, bool, saveToDatabaseProductrelated, saveToDatabaseProductrelated, (const dataaccess::List<brivanta_product_related_Entity>& related), (related)) \
    X(pricemodel, double, getPriceByProductId, getPriceByProductId, (int productId), (productId)) \
    X(pricemodel, brivanta_product_price_Entity, getPriceEntityByProductId, getPriceEntityByProductId, (int productId), (productId)) \
    X(pricemodel, bool, saveToDatabasePrice, saveToDatabasePrice, (const dataaccess::List<brivanta_product_price_Entity>& prices), (prices)) \
    X(pricemodel, std::string, getpriceCurrencyByProductId, getpriceCurrencyByProductId, (int productId), (productId)) \
    X(categorymodel, bool, saveToDatabaseCategory, saveToDatabaseCategory, (const dataaccess::List<brivanta_category_Entity>& categories), (categories)) \
    X(categorymodel, std::vector<brivanta_category_Entity>, getAllCategory, getAllCategory, (), ()) \
    X(categorymodel, std::vector<brivanta_category_Entity>, getCategoryWithParentCategoryid, getCategoryWithParentCategoryid, (int parentId), (parentId)) \
    X(categorymodel, int, getProductCountUnderCategoryid, getProductCountUnderCategoryid, (int categoryId), (categoryId)) \
    X(categorymodel, int, getParentCategoryId, getParentCategoryId, (int categoryId), (categoryId)) \
    X(categorymodel, brivanta_category_Entity, getCategoryWithCategoryid, getCategoryWithCategoryid, (int categoryId), (categoryId)) \
    X(categorymodel, int, getCategoryCountUnderCategoryid, getCategoryCountUnderCategoryid, (int categoryId), (categoryId)) \
    X(pacmodel, std::vector<std::string>, getCategoryIDsByProductid, getCategoryIDsByProductid, (int productId), (productId)) \
    X(pacmodel, bool, saveToDatabasePxrefC, saveToDatabasePxrefC, (const dataaccess::List<brivanta_product_category_xref_Entity>& links), (links)) \
    X(imagemodel, std::vector<brivanta_image_Entity>, getManyImageByKeyId, getManyImageByKeyId, (int productId), (productId)) \
    X(imagemodel, std::optional<brivanta_image_Entity>, getImageByKeyId, getImageByKeyId, (int productId), (productId)) \
    X(imagemodel, std::vector<std::string>, getThumbImages, getThumbImages, (), ()) \
    X(imagemodel, std::vector<std::string>, getFullImages, getFullImages, (), ()) \
    X(imagemodel, std::vector<PublishImage>, getPublishImages, getPublishImages, (bool published), (published)) \
    X(imagemodel, void, forEachPublishImage, forEachPublishImage, (bool published, const std::function<void(PublishImage&)>& each), (published, each)) \
    X(imagemodel, void, forEachPublishImageAfter, forEachPublishImageAfter, (long long after, const std::function<bool(long long, PublishImage&)>& each), (after, each)) \
    X(imagemodel, bool, saveToDatabaseImage, saveToDatabaseImage, (const dataaccess::List<brivanta_image_Entity>& images), (images)) \
    X(imagemodel, dataaccess::Text, getFullImagePathByTitle, getFullImagePathByName, (const dataaccess::Text& title), (title)) \
    X(iconmodel, brivanta_icon_Entity, getIconByIconId, getIconByIconId, (int iconId), (iconId)) \
    X(iconmodel, std::vector<std::string>, getAllIconAddress, getAllIconAddress, (), ()) \
    X(iconmodel, bool, saveToDatabaseIcon, saveToDatabaseIcon, (const dataaccess::List<brivanta_icon_Entity>& icons), (icons)) \
    X(libraryCategoryModel, std::vector<brivanta_library_files_Entity>, getLibraryFilesByCategory_id, getLibraryFilesByCategory_id, (int categoryId), (categoryId)) \
    X(libraryCategoryModel, std::vector<brivanta_library_category_Entity>, getLibraryCategorys, getLibraryCategorys, (), ()) \
    X(libraryCategoryModel, int, getLibParentCategoryIDByCategoryID, getLibParentCategoryIDByCategoryID, (int categoryId), (categoryId)) \
    X(libraryCategoryModel, dataaccess::IdMap, getLibCategoryParentMap, getLibCategoryParentMap, (), ()) \
    X(libraryCategoryModel, std::vector<brivanta_library_category_Entity>, getLibSubCategoriesByParentCategoryID, getLibSubCategoriesByParentCategoryID, (int parentId), (parentId)) \
    X(libraryCategoryModel, brivanta_library_category_Entity, getLibraryCategoryByCategoryid, getLibraryCategoryByCategoryid, (int categoryId), (categoryId)) \
    X(libraryCategoryModel, bool, saveToDatabaseLibraryCategory, saveToDatabaseLibraryCategory, (const dataaccess::List<brivanta_library_category_Entity>& categories), (categories)) \
    X(libraryCategoryModel, std::vector<std::string>, getLibraryFilesNameByCategoryName, getLibraryFilesNameByCategoryName, (const dataaccess::Text& name), (name)) \
    X(libraryCategoryModel, bool, saveToDatabaseLibraryUpdate, saveToDatabaseLibraryUpdate, (const std::optional<brivanta_library_files_update_Entity>& update), (update)) \
    X(libraryCategoryModel, std::vector<int>, getAllLibFileUpdateIDs, getAllLibFileUpdateIDs, (), ()) \
    X(libraryCategoryModel, std::optional<brivanta_library_files_update_Entity>, getLibFileUpdateByFileID, getLibFileUpdateByFileID, (int fileId), (fileId)) \
    X(libraryCategoryModel, void, deleteFileUpdateWithFileID, deleteFileUpdateWithFileID, (int fileId), (fileId)) \
    X(libraryFilesModel, std::vector<brivanta_library_files_Entity>, getLibFilesBycatalogId, getLibFilesBycatalogId, (int categoryId), (categoryId)) \
    X(libraryFilesModel, std::optional<brivanta_library_files_Entity>, getFilesByFileId, getFilesByFileId, (int fileId), (fileId)) \
    X(libraryFilesModel, std::vector<std::string>, getAllFilesImg, getAllFilesImg, (), ()) \
    X(libraryFilesModel, std::vector<brivanta_library_files_Entity>, getLibFilesBysearchNameOrderBy, getLibFilesBysearchNameOrderBy, (const dataaccess::Text& text, const dataaccess::Text& orderBy), (text, orderBy)) \
    X(libraryFilesModel, std::vector<brivanta_library_files_Entity>, getAllLibFiles, getAllLibFiles, (), ()) \
    X(libraryFilesModel, std::vector<brivanta_library_files_Entity>, getAllLibFilesOrderByDate, getAllLibFilesOrderByDate, (), ()) \
    X(libraryFilesModel, std::vector<brivanta_library_files_Entity>, getAllLibFilesOrderByType, getAllLibFilesOrderByType, (), ()) \
    X(libraryFilesModel, dataaccess::Text, getTitleByFileName, getTitleByFileName, (const dataaccess::Text& fileName), (fileName)) \
    X(libraryFilesModel, dataaccess::Text, getFileNameByTitle, getFileNameByTitle, (const dataaccess::Text& title), (title)) \
    X(libraryFilesModel, dataaccess::Text, getFileNameById, getFileNameById, (int fileId), (fileId)) \
    X(libraryFilesModel, dataaccess::Text, getCoverImageByFileName, getCoverImageByFileName, (const dataaccess::Text& fileName), (fileName)) \
    X(libraryFilesModel, dataaccess::Text, getFileTypeByFileName, getFileTypeByFileName, (const dataaccess::Text& fileName), (fileName)) \
    X(libraryFilesModel, bool, saveToDatabaseLibraryFiles, saveToDatabaseLibraryFiles, (const dataaccess::List<brivanta_library_files_Entity>& files), (files)) \
    X(libraryFilesModel, int, getFileIDbyFileName, getFileIDbyFileName, (const dataaccess::Text& fileName), (fileName)) \
    X(libraryFilesModel, dataaccess::Text, getFileInfoByFileId, getFileInfoByFileId, (int fileId), (fileId)) \
    X(libraryFavoriteModel, std::optional<brivanta_library_favorite_Entity>, getLibraryFavoriteByFavoriteId, getFavoriteByFavoriteId, (int fileId), (fileId)) \
    X(libraryFavoriteModel, std::vector<int>, getAllLibraryFavoriteIds, getAllFavoriteIds, (), ()) \
    X(libraryFavoriteModel, void, deleteLibraryFavoriteByFavoriteId, deleteSingleFavoriteByFavoriteId, (int fileId), (fileId)) \
    X(libraryFavoriteModel, bool, saveToDatabaseLibraryFavoriteName, saveToDatabaseFavoriteName, (int fileId, const dataaccess::Text& fileName), (fileId, fileName)) \
    X(productMaterialModel, std::vector<brivanta_library_files_Entity>, getProductRelatedFilesByProductId, getProductRelatedFilesByProductId, (int productId), (productId)) \
    X(productMaterialModel, bool, saveToDatabaseProductRelatedFile, saveToDatabaseProductRelatedFile, (const dataaccess::List<brivanta_product_related_files_Entity>& links), (links)) \
    X(customerModel, bool, deleteCustomerTableWithID, deleteCustomerTableWithID, (int customerId), (customerId)) \
    X(customerModel, bool, updateCustomerTableHiddenWithCustomerIdWithHidden, updateCustomerTableHiddenWithCustomerIdWithHidden, (int customerId, bool hidden), (customerId, hidden)) \
    X(customerModel, bool, updateCustomerTable, updateCustomerTable, (const dataaccess::List<brivanta_customer_Entity>& customers), (customers)) \
    X(customerModel, int, getLastLocalCustomerAttributesId, getLastLocalCustomerAttributesId, (), ()) \
    X(customerModel, int, getLastLocalCustomerContactsId, getLastLocalCustomerContactsId, (), ()) \
    X(customerModel, bool, updateContactIdAfterUpload, updateContactIdAfterUpload, (const dataaccess::List<brivanta_customer_contact_entity>& contacts), (contacts)) \
    X(customerModel, int, getLastLocalCustomerAddressId, getLastLocalCustomerAddressId, (), ()) \
    X(customerModel, int, getLastLocalCustomerId, getLastLocalCustomerId, (), ()) \
    X(customerModel, CustomerInfoDictionary, getAllCustomers, getAllCustomers, (bool showHidden), (showHidden)) \
    X(customerModel, std::vector<customer_attribute_cell_Entity>, getAllAttributes, getAllAttributes, (), ()) \
    X(customerModel, std::vector<brivanta_customer_address_Entity>, getCustomerAddress, getCustomerAddress, (int customerId), (customerId)) \
    X(customerModel, std::vector<brivanta_customer_attribute_Entity>, getCustomerAttributes, getCustomerAttributes, (int customerId), (customerId)) \
    X(customerModel, bool, updateContactToDefaultContact, updateContactToDefaultContact, (int customerId, int contactId), (customerId, contactId)) \
    X(customerModel, bool, updateAddressToDefaultIndexId, updateAddressToDefaultIndexId, (int customerId, int addressId), (customerId, addressId)) \
    X(customerModel, bool, updateCustomerAddressTable, updateCustomerAddressTable, (const dataaccess::List<brivanta_customer_address_Entity>& addresses), (addresses)) \
    X(customerModel, bool, updateCustomerAttributeTable, updateCustomerAttributeTable, (const dataaccess::List<brivanta_customer_attribute_Entity>& attributes), (attributes)) \
    X(customerModel, bool, saveToDatabaseCustomer, saveToDatabaseCustomer, (const dataaccess::List<brivanta_customer_Entity>& customers), (customers)) \
    X(customerModel, bool, saveToDatabaseCustomerContact, saveToDatabaseCustomerContact, (const dataaccess::List<brivanta_customer_contact_entity>& contacts), (contacts)) \
    X(customerModel, bool, isInUnsubmitOrder, isInUnsubmitOrder, (int customerId), (customerId)) \
    X(customerModel, bool, saveToDatabaseCustomerAttribute, saveToDatabaseCustomerAttribute, (const dataaccess::List<brivanta_customer_attribute_Entity>& attributes), (attributes)) \
    X(customerModel, bool, saveToDatabaseFieldsCustomerAttribute, saveToDatabaseFieldsCustomerAttribute, (const dataaccess::List<brivanta_fields_customer_attribute_Entity>& fields), (fields)) \
    X(customerModel, bool, saveToDatabaseCustomerAddress, saveToDatabaseCustomerAddress, (const dataaccess::List<brivanta_customer_address_Entity>& addresses), (addresses)) \
    X(quoteOrderModel, std::vector<QuoteOrderModel::Order>, fetchQuoteOrdersCondition, fetchQuoteOrdersCondition, (int kind, const dataaccess::Text& search), (kind, search)) \
    X(quoteOrderModel, std::vector<QuoteOrderModel::Line>, fetchQuoteOrderItemsWithQuoteOrder, fetchQuoteOrderItemsWithQuoteOrder, (int orderId), (orderId)) \
    X(quoteOrderModel, base::Value, fetchQuoteOrderItemsDicWithQuoteOrder, fetchQuoteOrderItemsDicWithQuoteOrder, (int orderId), (orderId)) \
    X(quoteOrderModel, int, saveQuoteOrder, saveQuoteOrder, (const QuoteOrderModel::Order& order), (order)) \
    X(quoteOrderModel, bool, removeQuoteOrder, removeQuoteOrder, (int orderId), (orderId)) \
    X(quoteOrderModel, bool, saveQuoteOrderItem, saveQuoteOrderItem, (const QuoteOrderModel::Line& line), (line)) \
    X(quoteOrderModel, bool, removeQuoteOrderItem, removeQuoteOrderItem, (const QuoteOrderModel::Line& line), (line)) \
    X(quoteOrderModel, bool, removeQuoteOrderItemsByQuoteOrderID, removeQuoteOrderItemsByQuoteOrderID, (int orderId), (orderId)) \
    X(quoteOrderModel, bool, updateOrderSignatureWithOrderId, updateOrderSignatureWithOrderId, (const dataaccess::Text& signature, int orderId), (signature, orderId)) \
    X(quoteOrderModel, void, setQuoteOrdersUploadedWithOrderNumber, setQuoteOrdersUploadedWithOrderNumber, (const dataaccess::Text& number), (number)) \
    X(quoteOrderModel, int, retriveMaxOrderID, retriveMaxOrderID, (), ()) \
    X(quoteOrderModel, int, retriveMaxOrderItemID, retriveMaxOrderItemID, (), ()) \
    X(quoteOrderModel, bool, updateOrderTable, updateOrderTable, (const dataaccess::List<brivanta_customer_Entity>& customers), (customers)) \
    X(quoteOrderModel, bool, updateOrderIDWithCmsOrderID, updateOrderIdWithCmsOrderID, (int localId, int serverId), (localId, serverId)) \
    X(quoteOrderModel, int, getLocalOrderIdWithOrderNumber, getLocalOrderIdWithOrderNumber, (const dataaccess::Text& number), (number)) \
    X(quoteOrderModel, bool, updateLocalHistoryOrderFromServer, updateLocalHistoryOrderFromServer, (const base::Value& order), (order)) \
    X(quoteOrderModel, bool, updateLocalHistoryOrderItemFromServer, updateLocalHistoryOrderItemFromServer, (const base::Value& line), (line)) \
    X(quoteOrderModel, dataaccess::Text, retriveEarliestSubmittedOrderTime, retriveEarliestSubmittedOrderTime, (), ()) \
    X(quoteOrderModel, int, numberOfAllSubmittedOrder, numberOfAllSubmittedlOrder, (), ()) \
    X(quoteOrderModel, double, timeDurationOfAllSubmittedOrder, timeDurationOfAllSubmittedOrder, (), ()) \
    X(loginUserModel, std::optional<LoginInfo>, getUserInfo, getUserInfo, (const dataaccess::Text& accountId), (accountId)) \
    X(loginUserModel, std::string, checkLocalUserInfo, checkLocalUserInfo, (const std::optional<LoginInfo>& info), (info)) \
    X(loginUserModel, bool, saveUserInfo, saveUserInfo, (const std::optional<LoginInfo>& info), (info)) \
    X(configMode, bool, syncConfigData, syncConfigData, (const dataaccess::List<ConfigEntity>& configs), (configs)) \
    X(configMode, std::optional<ConfigEntity>, queryConfig, queryConfig, (const dataaccess::Text& type), (type)) \
    X(configMode, void, deleteConfig, deleteConfig, (), ())
// clang-format on

// With updateOrderIDWithOrderNumberNewOrderID, the one operation with work of its own.
constexpr int kForwardedDataAccessOperations = 132;
