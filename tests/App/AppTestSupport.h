#pragma once
// A fresh home and a known language for the tests of the application's services.
#include "Common/Language.h"
#include "Common/LanguageManager.h"
#include "Platform/Base/UserDefaults.h"
#include "tests/Platform/Base/FileTestSupport.h"

#include <gtest/gtest.h>

namespace apptest {

class AppServiceTest : public ::testing::Test {
protected:
    AppServiceTest()
    {
        base::UserDefaults::resetStandard();
        // The tables come from the bundle the build put next to the test binary.
        auto manager = LanguageManager::sharedInstance();
        manager->removeAllLanugageNotification();
        manager->setCurrentLanguage(1);
        Language::resetLanguageCache();
    }
    ~AppServiceTest() override
    {
        LanguageManager::sharedInstance()->removeAllLanugageNotification();
        base::UserDefaults::resetStandard();
    }

    static std::shared_ptr<base::UserDefaults> defaults() { return base::UserDefaults::standard(); }
    // Where a test keeps a picture: $BRIVANTA_REVIEW_DIR when set (to look at it), else the
    // test's own home, so that runs side by side never share a file.
    std::string reviewPath(const std::string& name) const
    {
        const char* review = std::getenv("BRIVANTA_REVIEW_DIR");
        return (((review && *review) ? std::filesystem::path(review) : m_home.path()) / name).string();
    }
    std::filesystem::path defaultsFile() const
    {
        return m_home.path() / "Library/Preferences/brivanta.plist";
    }

    basetest::ScopedEnv m_bundle{"BRIVANTA_BUNDLE", std::nullopt};
    basetest::TempHome m_home;
};

} // namespace apptest
