// The download side of the library grid: one download with its refusals, pause and resume,
// the update question, download-all, update-all and cancel-all, delete, and the manager's
// replies on the tiles.
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

LibraryFileActions& LibraryDetailController::actions()
{
    if (!m_actions)
        m_actions = std::make_shared<LibraryFileActions>(
            std::shared_ptr<LibraryFileActionsHost>(self(), static_cast<LibraryFileActionsHost*>(this)), true);
    return *m_actions;
}

void LibraryDetailController::downloadsChanged()
{
    reloadDataWithPostNotiChangeTab(false, false);
    updateBtnDownlaodOrUpdate();
}

void LibraryDetailController::downloadFinished()
{
    updateBtnDownlaodOrUpdate();
    reloadDataWithPostNotiChangeTab(true, false);
}

// --- Sizes and counts ---------------------------------------------------------------------

double LibraryDetailController::getFileSize(const brivanta_library_files_Entity& file)
{
    return file.listedMegabytes();
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

// --- One document: the shared steps -----------------------------------------------------

void LibraryDetailController::selectedFileToDownload(const brivanta_library_files_Entity& file)
{
    actions().selectedFileToDownload(file);
}

void LibraryDetailController::pauseDownload(const brivanta_library_files_Entity& file)
{
    actions().pauseDownload(file);
}

void LibraryDetailController::didSelectedCell(const brivanta_library_files_Entity& file, int cellIndex)
{
    auto keep = self();
    actions().didSelectedCell(file, cellIndex);
}

void LibraryDetailController::selectFileToUpdate(const brivanta_library_files_Entity& file)
{
    actions().selectFileToUpdate(file);
}

void LibraryDetailController::actionButtonPressed(const brivanta_library_files_Entity& file)
{
    auto keep = self();
    actions().actionButtonPressed(file);
}

// --- All files ----------------------------------------------------------------------------

void LibraryDetailController::downloadAll()
{
    if (m_isBtnCancel) {
        if (m_libraryTab == 0) {
            m_alertCancel = actions().showAlert("CANCELDOWNLOADS", "", "STR_NO", {"STR_YES"}, kAlertCancelAll);
            m_alertCancelIsShow = true;
        }
        return;
    }
    if (m_libraryTab == 0) {
        int count = getNumberOfAllFilesToDownload();
        double size = getSizeOfAllFilesToDownload();
        std::string message = count == 1
                                  ? LibraryTexts::countAndSize(Language::stringWithName("SINGLEFILENUMBERANDSIZE"), std::nullopt, size)
                                  : LibraryTexts::countAndSize(Language::stringWithName("FILENUMBERANDSIZE"), count, size);
        actions().showAlert("DOWNLOADALLFILES", message, "CANCEL", {"DOWNLOAD"}, kAlertDownloadAll);
    } else {
        int count = getNumberOfAllFilesToUpdate();
        double size = getSizeOfAllFilesToUpdate();
        std::string message = count == 1
                                  ? LibraryTexts::countAndSize(Language::stringWithName("SINGLEFILENUMBERANDSIZE"), std::nullopt, size)
                                  : LibraryTexts::countAndSize(Language::stringWithName("FILENUMBERANDSIZE"), count, size);
        actions().showAlert("UPDATEALLFILES", message, "CANCEL", {"UPDATE"}, kAlertUpdateAll);
    }
}

void LibraryDetailController::downloadAllFiles()
{
    auto login = LoginMode::sharedInstance();
    if (login->loginType() == 3) {
        actions().refuseDemo();
    } else if (login->loginType() == 2) {
        actions().refuseOffline();
    } else if (!login->isNotWifi()) {
        setBtnStatusToCancel(true);
        startDownloadAll();
    } else {
        actions().showAlert("NOTIFICATION", Language::stringWithName("WIFIALERT"), "", {"OK", "CANCEL"}, kAlertWifiAll);
    }
}

void LibraryDetailController::startDownloadAll()
{
    auto model = SaleslibraryModel::sharedInstance();
    auto listed = m_libfilesArray;
    for (const auto& file : listed) {
        if (LibraryFiles::canBeDownloaded(file, *model))
            actions().sendDownload(file, PublicFunction::getFileType(file.type));
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
        actions().refuseDemo();
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
    auto keep = self();
    return actions().ReciveHttpRespondInfo(result);
}

void LibraryDetailController::ReciveDownloadPercent(const DownLoadRequestInfo& info)
{
    actions().ReciveDownloadPercent(info);
}

// --- The grid's own alerts ----------------------------------------------------------------

void LibraryDetailController::alertAnswered(int tag, int index)
{
    auto keep = self();
    switch (tag) {
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
        return;
    }
}
