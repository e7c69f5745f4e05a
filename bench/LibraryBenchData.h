#pragma once
// The library data the library benchmarks share: a client database from the template with
// generated documents in a category tree four levels deep (fixed seed), a tenth of them on the
// device and a thirtieth favourites. 400 documents in 20 categories by default;
// BRIVANTA_BENCH_FULL=1 uses 2,000 documents in 100 categories.
#include "Classes/Library/SaleslibraryModel.h"
#include "Common/LanguageManager.h"
#include "Common/PublicFunction.h"
#include "Database/DataAccessManager.h"
#include "Protocol/LoginMode.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <random>
#include <string>
#include <vector>

namespace benchsupport {

class LibraryData {
public:
    LibraryData()
    {
        namespace fs = std::filesystem;
        const int scale = std::getenv("BRIVANTA_BENCH_FULL") ? 5 : 1;
        documents = 400 * scale;
        categoryCount = 20 * scale;
        std::string pattern = (fs::temp_directory_path() / "brlibrary-bench-XXXXXX").string();
        folder = ::mkdtemp(pattern.data());
        fs::path exe = fs::read_symlink("/proc/self/exe");
        setenv("BRIVANTA_HOME", (folder / "home").c_str(), 1);
        setenv("BRIVANTA_BUNDLE", (exe.parent_path().parent_path() / "bin/Resources").c_str(), 1);
        LanguageManager::sharedInstance()->setCurrentLanguage(1);
        LoginMode::sharedInstance()->setClientID("Bench");
        auto data = DataAccessManager::sharedDataModel();
        if (!data->hasModels())
            std::abort();

        std::mt19937 random(20140601);
        auto pick = [&](size_t n) { return static_cast<size_t>(random() % n); };
        // Four top-level categories; each later one hangs under an earlier one above depth 4.
        std::vector<brivanta_library_category_Entity> categories;
        std::vector<int> depth(static_cast<size_t>(categoryCount) + 1, 0);
        std::vector<int> parents;
        for (int id = 1; id <= categoryCount; ++id) {
            brivanta_library_category_Entity c;
            c.categoryID = id;
            c.name = "Category " + std::to_string(id);
            c.published = 1;
            if (id <= 4) {
                depth[static_cast<size_t>(id)] = 1;
            } else {
                c.parent_id = parents[pick(parents.size())];
                depth[static_cast<size_t>(id)] = depth[static_cast<size_t>(c.parent_id)] + 1;
            }
            if (depth[static_cast<size_t>(id)] < 4)
                parents.push_back(id);
            categories.push_back(c);
        }
        std::vector<brivanta_library_files_Entity> files;
        static const char* kTypes[] = {"PDF", "VEDIO", "WORD", "EXCEL"};
        for (int id = 1; id <= documents; ++id) {
            brivanta_library_files_Entity f;
            f.file_id = id;
            f.title = "Document " + std::to_string(id);
            f.file_name = "doc" + std::to_string(id) + ".pdf";
            f.type = kTypes[id % 4];
            f.category = id % 25 == 0 ? 0 : static_cast<int>(pick(static_cast<size_t>(categoryCount))) + 1;
            f.date = "2025-0" + std::to_string(id % 9 + 1) + "-01 10:00:00";
            f.info = "PDF/1.2 M";
            f.published = 1;
            files.push_back(f);
            // Every tenth document is on the device, every thirtieth a favourite.
            if (id % 10 == 0) {
                auto path = PublicFunction::filePathWithNameFiletype(f.file_name, PublicFunction::getFileType(f.type));
                if (!path)
                    std::abort();
                fs::create_directories(fs::path(*path).parent_path());
                std::ofstream(*path) << "x";
            }
            if (id % 30 == 0)
                data->saveToDatabaseLibraryFavoriteName(id, f.file_name);
        }
        if (!data->saveToDatabaseLibraryFiles(files) || !data->saveToDatabaseLibraryCategory(categories))
            std::abort();
        databasePath = *DataAccessManager::dataFilePath();
    }
    ~LibraryData()
    {
        SaleslibraryModel::freeInstance();
        DataAccessManager::releaseDataModel();
        std::error_code ignored;
        std::filesystem::remove_all(folder, ignored);
    }

    std::filesystem::path folder;
    std::string databasePath;
    int documents = 0;
    int categoryCount = 0;
};

} // namespace benchsupport
