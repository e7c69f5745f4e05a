#include "Classes/Library/LibraryFileState.h"

#include "Classes/Library/SaleslibraryModel.h"
#include "Database/DataAccessManager.h"

namespace LibraryFiles {

LibraryFileState stateOf(const brivanta_library_files_Entity& file, const std::set<int>& updateIds,
                         const SaleslibraryModel& model)
{
    if (model.isInDownloadList(file.file_name))
        return LibraryFileState::Downloading;
    if (model.isInPauseList(file.file_name))
        return LibraryFileState::Paused;
    if (!model.isExists(file.file_id))
        return LibraryFileState::Absent;
    return updateIds.count(file.file_id) ? LibraryFileState::Updatable : LibraryFileState::OnDevice;
}

bool canBeDownloaded(const brivanta_library_files_Entity& file, const SaleslibraryModel& model)
{
    if (model.isInPauseList(file.file_name))
        return true;
    return !model.isExists(file.file_id) && !model.isInDownloadList(file.file_name);
}

bool canBeUpdated(const brivanta_library_files_Entity& file, const std::set<int>& updateIds,
                  const SaleslibraryModel& model)
{
    return updateIds.count(file.file_id) && model.isExists(file.file_id);
}

bool fileIsInCategory(int fileCategory, int categoryId, const std::map<int, int>& parents)
{
    if (fileCategory == categoryId)
        return true;
    std::set<int> seen;
    for (int current = fileCategory; current != 0 && seen.insert(current).second;) {
        if (current == categoryId)
            return true;
        auto parent = parents.find(current);
        current = parent == parents.end() ? 0 : parent->second;
    }
    return false;
}

std::map<int, int> countsUnderCategories(const std::vector<brivanta_library_files_Entity>& files,
                                         const std::map<int, int>& parents)
{
    std::map<int, std::vector<int>> chains; // a category and its ancestors, up to 0 or a repeat
    std::map<int, int> counts;
    for (const auto& file : files) {
        if (file.category == 0)
            continue;
        auto [chain, added] = chains.try_emplace(file.category);
        if (added) {
            std::set<int> seen;
            for (int current = file.category; current != 0 && seen.insert(current).second;) {
                chain->second.push_back(current);
                auto parent = parents.find(current);
                current = parent == parents.end() ? 0 : parent->second;
            }
        }
        for (int category : chain->second)
            ++counts[category];
    }
    return counts;
}

std::set<int> pendingUpdateIds()
{
    auto manager = DataAccessManager::sharedDataModel();
    if (!manager)
        return {};
    auto ids = manager->getAllLibFileUpdateIDs();
    return {ids.begin(), ids.end()};
}

} // namespace LibraryFiles

#include "Classes/Library/LibraryDetailCell.h"
#include "Common/Language.h"
#include "Common/LanguageManager.h"
#include "Common/PublicFunction.h"
#include "Platform/UI/Button.h"
#include "Platform/UI/ImageView.h"
#include "Platform/UI/Label.h"
#include "Platform/UI/NamedImage.h"
#include "Platform/UI/ProgressView.h"

namespace LibraryFiles {

void configureTile(LibraryDetailCell& cell, const brivanta_library_files_Entity& file, int index,
                   const std::set<int>& updateIds, bool favourite, const SaleslibraryModel& model)
{
    bool onDevice = model.isExists(file.file_id);
    bool updatable = onDevice && updateIds.count(file.file_id);
    cell.backGroundImageView().setImage(ui::imageNamed(onDevice ? "book_i.png" : "book.png"));
    bool chinese = LanguageManager::sharedInstance()->currentLanguage() == 2;
    cell.ribbonView().setImage(updatable ? ui::imageNamed(chinese ? "ribbon_update_cn.png" : "ribbon_update_en.png")
                                         : gfx::Image());
    cell.infoButton().setHidden(!onDevice);
    cell.titleLabel().setFrame(LibraryDetailCell::titleFrame(onDevice));
    cell.fileImageView().setImage(PublicFunction::getLocalImageFiletype(file.cover_image, PublicFunction::getFileType(file.type)));
    std::string format = file.info.value_or("");
    cell.formatLabel().setText(format.substr(0, format.find('/')));
    cell.titleLabel().setText(file.title.value_or(""));
    cell.setFile(file);
    cell.setCellIndex(index);
    bool downloading = model.isInDownloadList(file.file_name);
    bool paused = !downloading && model.isInPauseList(file.file_name);
    cell.progressView().setHidden(!downloading && !paused);
    cell.pauseView().setHidden(!downloading && !paused);
    if (downloading || paused) {
        cell.progressView().setProgress(model.getDownloadPercentage(file.file_name.value_or("")));
        cell.pauseView().setImage(ui::imageNamed(downloading ? "book_download.png" : "book_paused.png"));
        cell.downloadingLabel().setText(Language::stringWithName(downloading ? "DOWNLOADING" : "PAUSED"));
    }
    cell.markImageView().setImage(favourite ? ui::imageNamed("btn-favAdded.png") : gfx::Image());
}

} // namespace LibraryFiles
