#pragma once
// A home of its own for a benchmark of the picture viewers: a new temporary folder, the bundle
// beside the benchmark, English, and the empty product pictures' folder of a client "bench".
#include "Common/LanguageManager.h"
#include "Platform/Base/Paths.h"
#include "Protocol/LoginMode.h"

#include <cstdlib>
#include <filesystem>
#include <string>

#include <unistd.h>

namespace benchhome {

// Answers the temporary folder (the caller removes it) and sets `images` to the pictures' folder.
inline std::filesystem::path makeProductImagesHome(const std::string& prefix, std::filesystem::path& images)
{
    namespace fs = std::filesystem;
    std::string pattern = (fs::temp_directory_path() / (prefix + "-XXXXXX")).string();
    fs::path folder = ::mkdtemp(pattern.data());
    fs::path exe = fs::read_symlink("/proc/self/exe");
    setenv("BRIVANTA_HOME", (folder / "home").c_str(), 1);
    setenv("BRIVANTA_BUNDLE", (exe.parent_path().parent_path() / "bin/Resources").c_str(), 1);
    LanguageManager::sharedInstance()->setCurrentLanguage(1);
    LoginMode::sharedInstance()->setClientID("bench");
    images = fs::path(base::Paths::documents()) / "bench" / "ProductImages";
    fs::create_directories(images);
    return folder;
}

} // namespace benchhome
