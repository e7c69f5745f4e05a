#pragma once
// A client folder, a window of a chosen scale, and picture and archive makers for the skin
// and demo tests.
#include "Common/PublicFunction.h"
#include "Common/SkinManager.h"
#include "Database/DataAccessManager.h"
#include "Database/SQLite/BRDatabase.h"
#include "Platform/Base/Bundle.h"
#include "Platform/Base/FileManager.h"
#include "Platform/Base/UserDefaults.h"
#include "Platform/Graphics/Context.h"
#include "Platform/UI/NamedImage.h"
#include "Platform/UI/Window.h"
#include "Protocol/LoginMode.h"
#include "tests/Platform/Base/FileTestSupport.h"
#include "tests/Support/PicturesArrived.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>

namespace fs = std::filesystem;

namespace skintest {

inline gfx::Image square(double side, gfx::Color color)
{
    auto ctx = gfx::Context::createBitmap({side, side}, 1);
    ctx->setFillColor(color);
    ctx->fillRect({0, 0, side, side});
    return ctx->makeImage();
}

inline void writePng(const fs::path& path, double side, gfx::Color color)
{
    fs::create_directories(path.parent_path());
    ASSERT_TRUE(base::FileManager::writeAtomically(path, square(side, color).pngData()));
}

// Zips a folder's entries with Python's zipfile, as an independent maker of archives.
inline void makeZip(const fs::path& zip, const std::vector<std::pair<std::string, fs::path>>& entries)
{
    std::string script = "import sys,zipfile\nz=zipfile.ZipFile(sys.argv[1],'w')\n";
    std::string args = "'" + zip.string() + "'";
    for (size_t i = 0; i < entries.size(); ++i) {
        script += "z.write(sys.argv[" + std::to_string(2 * i + 2) + "], sys.argv[" + std::to_string(2 * i + 3) + "])\n";
        args += " '" + entries[i].second.string() + "' '" + entries[i].first + "'";
    }
    script += "z.close()\n";
    fs::path py = zip.string() + ".py";
    std::ofstream(py) << script;
    ASSERT_EQ(std::system(("python3 '" + py.string() + "' " + args).c_str()), 0);
}

using testsupport::picturesArrived;

// A skin picture as it draws once its decode has ended.
inline gfx::Image arrived(const gfx::Image& picture)
{
    EXPECT_TRUE(picturesArrived());
    return picture;
}

class SkinTest : public ::testing::Test {
protected:
    SkinTest()
    {
        base::UserDefaults::resetStandard();
        LoginMode::freeInstance();
        LoginMode::sharedInstance()->setClientID("AbC");
        SkinManager::resetScaleFactorForTesting();
        ui::clearNamedImageCache();
        window = std::make_shared<ui::Window>();
        window->makeKeyAndVisible();
        client = fs::path(m_home.path()) / "Documents" / "abc";
    }
    ~SkinTest() override
    {
        window.reset();
        SkinManager::resetScaleFactorForTesting();
        ui::clearNamedImageCache();
        LoginMode::freeInstance();
        SkinManager::sharedInstance()->setNeedUpdateDemo(false);
    }
    void atScale(double scale)
    {
        window->setScale(scale);
        SkinManager::resetScaleFactorForTesting();
        ui::clearNamedImageCache();
    }

    basetest::TempHome m_home;
    std::shared_ptr<ui::Window> window;
    fs::path client;
};

} // namespace skintest
