#pragma once
#include "Database/CustomerModel.h"

#include <memory>
#include <vector>

// The customers of the logged-in client, shared by the screens that list, pick and upload
// them. One instance per login.
class CustomerDataModel {
public:
    static std::shared_ptr<CustomerDataModel> sharedInstance();
    static void freeInstance();

    // Re-reads the customers (hidden ones too when all customers are shown) and the published
    // customer fields from the database.
    void reloadCustomerData();
    const CustomerInfoDictionary& customers() const { return m_customers; }
    const std::vector<customer_attribute_cell_Entity>& attributeFields() const { return m_attributeFields; }

private:
    CustomerInfoDictionary m_customers;
    std::vector<customer_attribute_cell_Entity> m_attributeFields;
};
