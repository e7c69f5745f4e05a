#include "Classes/Customer/CustomerDataModel.h"

#include "Common/ConfigManager.h"
#include "Database/DataAccessManager.h"

#include <mutex>

namespace {
std::mutex g_lock;
std::shared_ptr<CustomerDataModel> g_instance;
}

std::shared_ptr<CustomerDataModel> CustomerDataModel::sharedInstance()
{
    std::lock_guard guard(g_lock);
    if (!g_instance)
        g_instance = std::make_shared<CustomerDataModel>();
    return g_instance;
}

void CustomerDataModel::freeInstance()
{
    std::shared_ptr<CustomerDataModel> dropped;
    std::lock_guard guard(g_lock);
    dropped = std::move(g_instance);
}

void CustomerDataModel::reloadCustomerData()
{
    auto data = DataAccessManager::sharedDataModel();
    if (!data)
        return;
    m_customers = data->getAllCustomers(ConfigManager::sharedInstance()->isShowAllCustomer());
    m_attributeFields = data->customerModel() ? data->customerModel()->getAllAttributes()
                                              : std::vector<customer_attribute_cell_Entity>{};
}
