#pragma once
// The signed-in state a sync starts from, against the local back end, for the sync and
// download benches.

#include "Common/ConfigManager.h"
#include "Database/DataAccessManager.h"
#include "Platform/Base/UserDefaults.h"
#include "Protocol/LoginMode.h"
#include "Protocol/RequestLogin.h"
#include "Protocol/SyncModel.h"
#include "tests/Support/TestBackend.h"

#include <cstdlib>
#include <string>
#include <vector>

namespace benchsupport {

// A new home in `home`, signed in as the back end's alice.
inline void signIn(testsupport::TestBackend& backend, const std::string& home)
{
    ::setenv("BRIVANTA_HOME", home.c_str(), 1);
    base::UserDefaults::resetStandard();
    backend.writeServerSettings();
    LoginMode::freeInstance();
    auto login = LoginMode::sharedInstance();
    login->setClientID("AcmeCo");
    login->setAcountID("alice");
    login->setDeviceID("bench");
    login->setPassword(RequestLogin::passwordDigest("s3cret!"));
}

// The same with every table wanted, and a fresh sync model over its database.
inline void signInForSync(testsupport::TestBackend& backend, const std::string& home)
{
    signIn(backend, home);
    ConfigManager::sharedInstance()->setModelDescArray(std::vector<std::string>{"1", "1", "1", "1", "1", "1", "1", "1"});
    SyncModel::freeInstance();
    DataAccessManager::sharedDataModel();
}

// The sync screen's part every sync bench shares: whether the sync ended, and why it broke.
class SyncEndWatch : public SyncModelDelegate {
public:
    bool ended = false;
    std::string broke;
    void breakSync(const std::string& message) override
    {
        broke = message;
        ended = true;
        SyncModel::sharedInstance()->resetDownloadProgress();
    }
    void finishedSync() override
    {
        ended = true;
        SyncModel::sharedInstance()->resetDownloadProgress();
    }
};

} // namespace benchsupport
