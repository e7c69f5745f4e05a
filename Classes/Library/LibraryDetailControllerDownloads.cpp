// The download side of the library grid: one download with its refusals, pause and resume,
// the update question, download-all, update-all and cancel-all, delete, and the manager's
// replies on the tiles.
#include "App/BrivantaAppDelegate.h"
#include "Classes/Library/LibraryDetailController.h"
#include "Classes/Library/LibraryFileState.h"
#include "Classes/Library/LibraryTexts.h"
#include "Common/Language.h"
#include "Common/PublicFunction.h"
#include "Database/DataAccessManager.h"
#include "Platform/Base/Log.h"
#include "Platform/UI/Application.h"
#include "Platform/UI/Button.h"
#include "Platform/UI/NamedImage.h"
#include "Platform/UI/ProgressView.h"
#include "Protocol/DownLoadRequestInfo.h"
#include "Protocol/DownloadRequest.h"
#include "Protocol/DownloadRst.h"
#include "Protocol/LoginMode.h"
#include "Protocol/RequestDownload.h"
#include "Protocol/ServerCommands.h"

#include <filesystem>

namespace {

bool removeFileAt(const std::optional<std::string>& path)
{
    std::error_code error;
    return path && std::filesystem::is_regular_file(*path, error) && std::filesystem::remove(*path, error);
}

} // namespace

void LibraryDetailController::showAlert(const std::string& title, const std::string& message, const std::string& cancel,
                                        std::vector<std::string> others, int tag,
                                        std::optional<brivanta_library_files_Entity> file)
{
    std::vector<std::string> texts;
    for (auto& key : others)
        texts.push_back(Language::stringWithName(key));
    auto alert = std::make_shared<ui::AlertView>(Language::stringWithName(title), message,
                                                 nullptr, cancel.empty() ? std::string() : Language::stringWithName(cancel),
                                                 std::move(texts));
    alert->setTag(tag);
    alert->setDelegate(std::weak_ptr<ui::AlertViewDelegate>(
        std::shared_ptr<ui::AlertViewDelegate>(sharedController(), static_cast<ui::AlertViewDelegate*>(this))));
    m_alertFiles[alert.get()] = {alert, std::move(file)};
    if (tag == kAlertCancelAll) {
        m_alertCancel = alert;
        m_alertCancelIsShow = true;
    }
    alert->show();
}

std::optional<brivanta_library_files_Entity> LibraryDetailController::listedFile(int fileId) const
{
    for (const auto& file : m_libfilesArray)
        if (file.file_id == fileId)
            return file;
    return std::nullopt;
}

// --- Sizes and counts ---------------------------------------------------------------------

double LibraryDetailController::getFileSize(const brivanta_library_files_Entity& file)
{
    std::string shown = file.infoShow();
    auto slash = shown.find('/');
    if (slash == std::string::npos)
        return 0;
    std::string size = shown.substr(slash + 1);
    if (auto unit = size.find(" M"); unit != std::string::npos)
        size.erase(unit);
    try {
        return std::stod(size);
    } catch (...) {
        return 0;
    }
}

int LibraryDetailController::getNumberOfAllFilesToDownload() const
{
    auto model = SaleslibraryModel::sharedInstance();
    return static_cast<int>(std::count_if(m_libfilesArray.begin(), m_libfilesArray.end(),
                                          [&](const auto& file) { return LibraryFiles::canBeDownloaded(file, *model); }));
}

int LibraryDetailController::getNumberOfAllFilesToUpdate() const
{
    auto model = SaleslibraryModel::sharedInstance();
    return static_cast<int>(std::count_if(m_libfilesArray.begin(), m_libfilesArray.end(), [&](const auto& file) {
        return LibraryFiles::canBeUpdated(file, m_libFilesArrayIDS, *model);
    }));
}

double LibraryDetailController::getSizeOfAllFilesToDownload() const
{
    auto model = SaleslibraryModel::sharedInstance();
    double total = 0;
    for (const auto& file : m_libfilesArray)
        if (LibraryFiles::canBeDownloaded(file, *model))
            total += getFileSize(file);
    return std::max(total, 1.0);
}

double LibraryDetailController::getSizeOfAllFilesToUpdate() const
{
    auto model = SaleslibraryModel::sharedInstance();
    double total = 0;
    for (const auto& file : m_libfilesArray)
        if (LibraryFiles::canBeUpdated(file, m_libFilesArrayIDS, *model))
            total += getFileSize(file);
    return std::max(total, 1.0);
}

// --- One download -------------------------------------------------------------------------

void LibraryDetailController::sendDownload(const brivanta_library_files_Entity& file, int imgType)
{
    auto request = std::make_shared<RequestDownload>();
    request->setFileId(file.file_id);
    request->setImgType(imgType);
    request->setProgressType(1);
    request->setFileNameList(std::vector<std::string>{file.file_name.value_or("")});
    int downloadId = SaleslibraryModel::sharedInstance()->sendRequest(request);
    base::logf("the downloadId is %d", downloadId);
}

void LibraryDetailController::selectedFileToDownload(const brivanta_library_files_Entity& file)
{
    auto login = LoginMode::sharedInstance();
    if (login->loginType() == 3) {
        showAlert("FUNCTIONLIMITED", Language::stringWithName("DEMOMODELOGIN"), "ISEE", {"SIGNUPNOW"}, kAlertDemo);
        return;
    }
    if (login->loginType() == 2) {
        showAlert("NOTIFICATION", Language::stringWithName("999"), "OK", {}, kAlertFailed);
        return;
    }
    if (login->isNotWifi()) {
        // "OK" is index 0: the first button, as the confirmation is written.
        showAlert("NOTIFICATION", Language::stringWithName("WIFIALERT"), "", {"OK", "CANCEL"}, kAlertWifi, file);
        return;
    }
    auto manager = DataAccessManager::sharedDataModel();
    auto storedType = manager ? manager->getFileTypeByFileName(file.file_name) : std::nullopt;
    sendDownload(file, PublicFunction::getFileType(storedType ? storedType : file.type));
}

void LibraryDetailController::pauseDownload(const brivanta_library_files_Entity& file)
{
    if (file.file_name)
        SaleslibraryModel::sharedInstance()->pauseDownloadFile(*file.file_name);
}

void LibraryDetailController::didSelectedCell(const brivanta_library_files_Entity& file, int cellIndex)
{
    auto model = SaleslibraryModel::sharedInstance();
    auto keep = self();
    if (model->isInDownloadList(file.file_name)) {
        pauseDownload(file);
        updateBtnDownlaodOrUpdate();
    } else if (model->isInPauseList(file.file_name)) {
        selectedFileToDownload(file);
        reloadDataWithPostNotiChangeTab(false, false);
        updateBtnDownlaodOrUpdate();
    } else if (!model->isExists(file.file_id)) {
        selectShowInfo(file);
    } else if (LibraryFiles::canBeUpdated(file, m_libFilesArrayIDS, *model)) {
        if (!(m_libraryTab == 1 && m_isEditing))
            selectFileToUpdate(file);
    } else if (!(m_libraryTab == 1 && m_isEditing)) {
        auto manager = DataAccessManager::sharedDataModel();
        auto type = manager ? manager->getFileTypeByFileName(file.file_name) : std::nullopt;
        selectDownloadedFileType(file.file_name, PublicFunction::getFileType(type ? type : file.type));
    }
    if (m_gridView) {
        m_gridView->deselectItemAtIndexAnimated(static_cast<uint32_t>(cellIndex), false);
        redrawVisibleCells();
    }
}

void LibraryDetailController::selectFileToUpdate(const brivanta_library_files_Entity& file)
{
    int index = 0;
    for (size_t i = 0; i < m_libfilesArray.size(); ++i)
        if (m_libfilesArray[i].file_id == file.file_id)
            index = static_cast<int>(i);
    showAlert("NOTIFICATION", Language::stringWithName("HASUPDATE"), "", {"UPDATE", "CANCEL"}, kAlertUpdateBase + index,
              file);
}

void LibraryDetailController::actionButtonPressed(const brivanta_library_files_Entity& file)
{
    auto model = SaleslibraryModel::sharedInstance();
    if (!model->isExists(file.file_id)) {
        selectedFileToDownload(file);
        reloadDataWithPostNotiChangeTab(false, false);
        updateBtnDownlaodOrUpdate();
    } else if (m_libFilesArrayIDS.count(file.file_id)) {
        if (listedFile(file.file_id))
            selectFileToUpdate(file);
    } else {
        auto manager = DataAccessManager::sharedDataModel();
        auto type = manager ? manager->getFileTypeByFileName(file.file_name) : std::nullopt;
        selectDownloadedFileType(file.file_name, PublicFunction::getFileType(type ? type : file.type));
    }
}

// --- All files ----------------------------------------------------------------------------

void LibraryDetailController::downloadAll()
{
    if (m_isBtnCancel) {
        if (m_libraryTab == 0)
            showAlert("CANCELDOWNLOADS", "", "STR_NO", {"STR_YES"}, kAlertCancelAll);
        return;
    }
    if (m_libraryTab == 0) {
        int count = getNumberOfAllFilesToDownload();
        double size = getSizeOfAllFilesToDownload();
        std::string message = count == 1
                                  ? LibraryTexts::countAndSize(Language::stringWithName("SINGLEFILENUMBERANDSIZE"), std::nullopt, size)
                                  : LibraryTexts::countAndSize(Language::stringWithName("FILENUMBERANDSIZE"), count, size);
        showAlert("DOWNLOADALLFILES", message, "CANCEL", {"DOWNLOAD"}, kAlertDownloadAll);
    } else {
        int count = getNumberOfAllFilesToUpdate();
        double size = getSizeOfAllFilesToUpdate();
        std::string message = count == 1
                                  ? LibraryTexts::countAndSize(Language::stringWithName("SINGLEFILENUMBERANDSIZE"), std::nullopt, size)
                                  : LibraryTexts::countAndSize(Language::stringWithName("FILENUMBERANDSIZE"), count, size);
        showAlert("UPDATEALLFILES", message, "CANCEL", {"UPDATE"}, kAlertUpdateAll);
    }
}

void LibraryDetailController::downloadAllFiles()
{
    auto login = LoginMode::sharedInstance();
    if (login->loginType() == 3) {
        showAlert("FUNCTIONLIMITED", Language::stringWithName("DEMOMODELOGIN"), "ISEE", {"SIGNUPNOW"}, kAlertDemo);
    } else if (login->loginType() == 2) {
        showAlert("NOTIFICATION", Language::stringWithName("999"), "OK", {}, kAlertFailed);
    } else if (!login->isNotWifi()) {
        setBtnStatusToCancel(true);
        startDownloadAll();
    } else {
        showAlert("NOTIFICATION", Language::stringWithName("WIFIALERT"), "", {"OK", "CANCEL"}, kAlertWifiAll);
    }
}

void LibraryDetailController::startDownloadAll()
{
    auto model = SaleslibraryModel::sharedInstance();
    auto listed = m_libfilesArray;
    for (const auto& file : listed) {
        if (LibraryFiles::canBeDownloaded(file, *model))
            sendDownload(file, PublicFunction::getFileType(file.type));
    }
    reloadDataWithPostNotiChangeTab(false, false);
}

void LibraryDetailController::updateAllFiles()
{
    auto model = SaleslibraryModel::sharedInstance();
    auto listed = m_libfilesArray;
    // The update rows stay until each new version has arrived: the old one still opens.
    for (const auto& file : listed) {
        if (LibraryFiles::canBeUpdated(file, m_libFilesArrayIDS, *model))
            selectedFileToDownload(file);
    }
    reloadDataWithPostNotiChangeTab(false, false);
    if (m_btnAllFiles)
        m_btnAllFiles->setEnabled(false);
}

void LibraryDetailController::cancelAllDownloads()
{
    auto model = SaleslibraryModel::sharedInstance();
    auto listed = m_libfilesArray;
    for (const auto& file : listed) {
        if (!LibraryFiles::canBeUpdated(file, m_libFilesArrayIDS, *model))
            model->cancelDownloadFile(file.file_name);
    }
    setBtnStatusToCancel(false);
    reloadDataWithPostNotiChangeTab(true, false);
}

void LibraryDetailController::setBtnStatusToCancel(bool cancel)
{
    m_isBtnCancel = cancel;
    if (!m_btnAllFiles)
        return;
    if (cancel) {
        m_btnAllFiles->setImage(ui::imageNamed("icon_cancel.png"));
        m_btnAllFiles->setEnabled(true);
    } else {
        m_btnAllFiles->setImage(ui::imageNamed(m_libraryTab == 1 ? "icon_update.png" : "icon_download.png"));
    }
}

void LibraryDetailController::updateBtnDownlaodOrUpdate()
{
    if (m_libraryTab == 0)
        updateBtnDownloadAll();
    else
        updateBtnUpdateAll();
}

void LibraryDetailController::updateBtnDownloadAll()
{
    if (!m_btnAllFiles)
        return;
    auto model = SaleslibraryModel::sharedInstance();
    if (model->downloadFileNameArray().empty() && model->pauseFileArray().empty() && m_isBtnCancel) {
        setBtnStatusToCancel(false);
        if (m_alertCancel && m_alertCancelIsShow) {
            auto alert = m_alertCancel;
            m_alertCancel.reset();
            m_alertCancelIsShow = false;
            m_alertFiles.erase(alert.get());
            alert->dismissWithClickedButtonIndex(0, false);
        }
    }
    if (!m_isBtnCancel)
        m_btnAllFiles->setEnabled(getNumberOfAllFilesToDownload() > 0);
    m_btnAllFiles->setHidden(m_selectedCategory != -1);
}

void LibraryDetailController::updateBtnUpdateAll()
{
    if (!m_btnAllFiles)
        return;
    m_btnAllFiles->setEnabled(getNumberOfAllFilesToUpdate() > 0);
    m_btnAllFiles->setHidden(m_selectedCategory != -1);
}

// --- Delete -------------------------------------------------------------------------------

void LibraryDetailController::didSelectedDeleteButton(const brivanta_library_files_Entity& file)
{
    if (file.file_id == 0 && !file.file_name)
        return;
    if (LoginMode::sharedInstance()->loginType() == 3) {
        showAlert("FUNCTIONLIMITED", Language::stringWithName("DEMOMODELOGIN"), "ISEE", {"SIGNUPNOW"}, kAlertDemo);
        return;
    }
    auto model = SaleslibraryModel::sharedInstance();
    auto manager = DataAccessManager::sharedDataModel();
    int type = PublicFunction::getFileType(file.type);
    // A running or paused download goes with its partial file.
    if (model->isInDownloadList(file.file_name) || model->isInPauseList(file.file_name)) {
        model->cancelDownloadFile(file.file_name);
        if (file.file_name)
            removeFileAt(DownloadRequest::temporaryPathFor(*file.file_name, type));
    }
    bool removed = removeFileAt(PublicFunction::filePathWithNameFiletype(file.file_name, type));
    if (manager) {
        // The old version of a replaced document is the document's copy too.
        if (auto update = manager->getLibFileUpdateByFileID(file.file_id)) {
            removed |= removeFileAt(PublicFunction::filePathWithNameFiletype(
                update->oldFileName, PublicFunction::getFileType(update->oldFileType)));
            manager->deleteFileUpdateWithFileID(file.file_id);
        }
        if (removed && manager->getLibraryFavoriteByFavoriteId(file.file_id))
            manager->deleteLibraryFavoriteByFavoriteId(file.file_id);
    }
    model->removeExistsFiles(file.file_id);
    updateBtnDownlaodOrUpdate();
    reloadDataWithPostNotiChangeTab(true, false);
}

// --- The manager's replies ----------------------------------------------------------------

int LibraryDetailController::ReciveHttpRespondInfo(const std::shared_ptr<NetBaseRst>& result)
{
    if (!result || result->cmdCode != kCmdDownload)
        return 0;
    if (result->status == "200") {
        updateBtnDownlaodOrUpdate();
        reloadDataWithPostNotiChangeTab(true, false);
        // The reply comes before the manager forgets the name: refresh once it has.
        std::weak_ptr<LibraryDetailController> weak = self();
        base::RunLoop::main().post([weak] {
            if (auto controller = weak.lock())
                controller->updateBtnDownlaodOrUpdate();
        });
    } else {
        showAlert("NOTIFICATION", result->message, "OK", {}, kAlertFailed);
    }
    return 0;
}

void LibraryDetailController::ReciveDownloadPercent(const DownLoadRequestInfo& info)
{
    base::logf("the filename is %s,the percent is %f", info.fileName().c_str(), info.downloadPercent());
    if (!m_gridView)
        return;
    for (auto& visible : m_gridView->visibleCells()) {
        auto cell = std::dynamic_pointer_cast<LibraryDetailCell>(visible);
        if (cell && cell->file().file_name == info.fileName())
            cell->progressView().setProgress(info.downloadPercent());
    }
}

// --- Alerts -------------------------------------------------------------------------------

void LibraryDetailController::alertViewClickedButtonAtIndex(ui::AlertView& alert, int index)
{
    auto keep = self();
    auto entry = m_alertFiles.find(&alert);
    std::optional<brivanta_library_files_Entity> file;
    std::shared_ptr<ui::AlertView> held;
    if (entry != m_alertFiles.end()) {
        held = entry->second.first;
        file = entry->second.second;
        m_alertFiles.erase(entry);
    }
    int tag = alert.tag();
    switch (tag) {
    case kAlertDemo:
        if (index == 1)
            ui::Application::shared().openURL(BrivantaAppDelegate::kRegistrationPageAddress);
        return;
    case kAlertFailed:
        base::log("failed");
        return;
    case kAlertDownloadAll:
        if (index == 1)
            downloadAllFiles();
        return;
    case kAlertUpdateAll:
        if (index == 1) {
            updateAllFiles();
            if (m_btnAllFiles)
                m_btnAllFiles->setEnabled(false);
        }
        return;
    case kAlertWifi:
        if (index == 0 && file) {
            auto manager = DataAccessManager::sharedDataModel();
            auto type = manager ? manager->getFileTypeByFileName(file->file_name) : std::nullopt;
            sendDownload(*file, PublicFunction::getFileType(type ? type : file->type));
            reloadDataWithPostNotiChangeTab(false, false);
            updateBtnDownlaodOrUpdate();
        }
        return;
    case kAlertWifiAll:
        if (index == 0)
            startDownloadAll();
        return;
    case kAlertCancelAll:
        m_alertCancel.reset();
        m_alertCancelIsShow = false;
        if (index == 1)
            cancelAllDownloads();
        return;
    default:
        break;
    }
    if (tag < kAlertUpdateBase || !file)
        return;
    // The question stands for its document, whatever the grid shows now.
    auto model = SaleslibraryModel::sharedInstance();
    auto listed = listedFile(file->file_id);
    if (!listed || !LibraryFiles::canBeUpdated(*listed, m_libFilesArrayIDS, *model))
        return;
    if (index == 0) {
        selectedFileToDownload(*listed);
        reloadDataWithPostNotiChangeTab(false, false);
        updateBtnDownlaodOrUpdate();
    } else if (index == 1) {
        auto manager = DataAccessManager::sharedDataModel();
        if (auto update = manager ? manager->getLibFileUpdateByFileID(listed->file_id) : std::nullopt)
            selectDownloadedFileType(update->oldFileName, PublicFunction::getFileType(update->oldFileType));
    }
}
