#pragma once
#include <memory>

// The customers of the logged-in client, shared by the screens that list, pick and upload
// them. One instance per login.
class CustomerDataModel {
public:
    static std::shared_ptr<CustomerDataModel> sharedInstance();
    static void freeInstance();
};
