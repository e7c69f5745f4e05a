#include "Classes/Library/LibraryFileActions.h"

#include "Common/AppSession.h"
#include "Classes/Library/LibraryDetailCell.h"
#include "Classes/Library/LibraryFileOpener.h"
#include "Classes/Library/LibraryFileState.h"
#include "Classes/Library/SaleslibraryModel.h"
#include "Common/Language.h"
#include "Common/PublicFunction.h"
#include "Database/DataAccessManager.h"
#include "Platform/Base/Log.h"
#include "Platform/Base/RunLoop.h"
#include "Platform/Base/Timer.h"
#include "Platform/UI/Application.h"
#include "Platform/UI/ProgressView.h"
#include "Protocol/DownLoadRequestInfo.h"
#include "Protocol/LoginMode.h"
#include "Protocol/NetBaseRst.h"
#include "Protocol/RequestDownload.h"
#include "Protocol/ServerCommands.h"
#include "Widgets/BRGridView.h"

LibraryFileActions::LibraryFileActions(std::weak_ptr<LibraryFileActionsHost> host, bool askOffWifi)
    : m_host(std::move(host))
    , m_askOffWifi(askOffWifi)
{
}

LibraryFileActions::~LibraryFileActions()
{
    if (m_refreshTimer)
        m_refreshTimer->invalidate();
}

std::shared_ptr<ui::AlertView> LibraryFileActions::showAlert(const std::string& titleKey, const std::string& message,
                                                             const std::string& cancelKey,
                                                             std::vector<std::string> otherKeys, int tag,
                                                             std::optional<brivanta_library_files_Entity> file)
{
    std::vector<std::string> texts;
    for (auto& key : otherKeys)
        texts.push_back(Language::stringWithName(key));
    auto alert = std::make_shared<ui::AlertView>(Language::stringWithName(titleKey), message, nullptr,
                                                 cancelKey.empty() ? std::string() : Language::stringWithName(cancelKey),
                                                 std::move(texts));
    alert->setTag(tag);
    alert->setDelegate(std::weak_ptr<ui::AlertViewDelegate>(weak_from_this()));
    m_alerts[alert.get()] = {alert, std::move(file)};
    alert->show();
    return alert;
}

std::optional<brivanta_library_files_Entity> LibraryFileActions::listedFile(int fileId) const
{
    auto host = m_host.lock();
    if (!host)
        return std::nullopt;
    for (const auto& file : host->listedFiles())
        if (file.file_id == fileId)
            return file;
    return std::nullopt;
}

int LibraryFileActions::storedType(const brivanta_library_files_Entity& file) const
{
    auto manager = DataAccessManager::sharedDataModel();
    auto type = manager ? manager->getFileTypeByFileName(file.file_name) : std::nullopt;
    return PublicFunction::getFileType(type ? type : file.type);
}

// --- Downloads ----------------------------------------------------------------------------

void LibraryFileActions::refuseDemo()
{
    showAlert("FUNCTIONLIMITED", Language::stringWithName("DEMOMODELOGIN"), "ISEE", {"SIGNUPNOW"}, kAlertDemo);
}

void LibraryFileActions::refuseOffline()
{
    showAlert("NOTIFICATION", Language::stringWithName("999"), "OK", {}, kAlertFailed);
}

void LibraryFileActions::sendDownload(const brivanta_library_files_Entity& file, int imgType)
{
    auto request = std::make_shared<RequestDownload>();
    request->setFileId(file.file_id);
    request->setImgType(imgType);
    request->setProgressType(1);
    // The listed size is rounded and may lag a file replaced since: twice it and a megabyte
    // more bounds a body that would never end, never a true file.
    if (double listed = file.listedMegabytes(); listed > 0 && listed < 1e6)
        request->setMaximumFileSize(uint64_t((2 * listed + 1) * 1048576));
    request->setFileNameList(std::vector<std::string>{file.file_name.value_or("")});
    int downloadId = SaleslibraryModel::sharedInstance()->sendRequest(request);
    base::logf("the downloadId is %d", downloadId);
}

void LibraryFileActions::selectedFileToDownload(const brivanta_library_files_Entity& file)
{
    auto login = LoginMode::sharedInstance();
    if (login->loginType() == 3) {
        refuseDemo();
        return;
    }
    if (login->loginType() == 2) {
        refuseOffline();
        return;
    }
    if (m_askOffWifi && login->isNotWifi()) {
        // "OK" is index 0: the first button, as the confirmation is written.
        showAlert("NOTIFICATION", Language::stringWithName("WIFIALERT"), "", {"OK", "CANCEL"}, kAlertWifi, file);
        return;
    }
    sendDownload(file, storedType(file));
}

void LibraryFileActions::pauseDownload(const brivanta_library_files_Entity& file)
{
    if (file.file_name)
        SaleslibraryModel::sharedInstance()->pauseDownloadFile(*file.file_name);
}

// --- Taps, the card and the update question -----------------------------------------------

void LibraryFileActions::didSelectedCell(const brivanta_library_files_Entity& file, int cellIndex)
{
    auto host = m_host.lock();
    if (!host)
        return;
    auto keep = shared_from_this();
    auto model = SaleslibraryModel::sharedInstance();
    if (model->isInDownloadList(file.file_name)) {
        pauseDownload(file);
        host->downloadsChanged();
    } else if (model->isInPauseList(file.file_name)) {
        selectedFileToDownload(file);
        host->downloadsChanged();
    } else if (!model->isExists(file.file_id)) {
        host->showFileCard(file);
    } else if (LibraryFiles::canBeUpdated(file, host->pendingUpdateIds(), *model)) {
        if (host->tapOpensFiles())
            selectFileToUpdate(file);
    } else if (host->tapOpensFiles()) {
        openFile(file);
    }
    if (auto* grid = host->fileGrid())
        grid->deselectItemAtIndexAnimated(static_cast<uint32_t>(cellIndex), false);
    host->redrawTiles();
}

void LibraryFileActions::actionButtonPressed(const brivanta_library_files_Entity& file)
{
    auto host = m_host.lock();
    if (!host)
        return;
    auto keep = shared_from_this();
    if (!SaleslibraryModel::sharedInstance()->isExists(file.file_id)) {
        selectedFileToDownload(file);
        host->downloadsChanged();
    } else if (host->pendingUpdateIds().count(file.file_id)) {
        if (listedFile(file.file_id))
            selectFileToUpdate(file);
    } else {
        openFile(file);
    }
}

void LibraryFileActions::selectFileToUpdate(const brivanta_library_files_Entity& file)
{
    int index = 0;
    if (auto host = m_host.lock()) {
        const auto& listed = host->listedFiles();
        for (size_t i = 0; i < listed.size(); ++i)
            if (listed[i].file_id == file.file_id) {
                index = static_cast<int>(i);
                break;
            }
    }
    // The tag keeps its index range; the answer acts on the document the alert carries.
    showAlert("NOTIFICATION", Language::stringWithName("HASUPDATE"), "", {"UPDATE", "CANCEL"}, kAlertUpdateBase + index,
              file);
}

void LibraryFileActions::answerUpdate(const brivanta_library_files_Entity& file, int index)
{
    auto host = m_host.lock();
    auto listed = listedFile(file.file_id);
    auto model = SaleslibraryModel::sharedInstance();
    if (!host || !listed || !LibraryFiles::canBeUpdated(*listed, host->pendingUpdateIds(), *model))
        return;
    // The update row stays until the new version has arrived: the old one still opens.
    if (index == 0) {
        selectedFileToDownload(*listed);
        host->downloadsChanged();
        return;
    }
    if (index != 1)
        return;
    auto manager = DataAccessManager::sharedDataModel();
    if (auto update = manager ? manager->getLibFileUpdateByFileID(listed->file_id) : std::nullopt)
        selectDownloadedFileType(update->oldFileName, PublicFunction::getFileType(update->oldFileType));
    else
        openFile(*listed); // the new version has arrived since the screen read its list
}

// --- Opening ------------------------------------------------------------------------------

void LibraryFileActions::openFile(const brivanta_library_files_Entity& file)
{
    selectDownloadedFileType(file.file_name, storedType(file));
}

void LibraryFileActions::selectDownloadedFileType(const std::optional<std::string>& name, int type)
{
    if (!m_opener)
        m_opener = std::make_shared<LibraryFileOpener>();
    auto manager = DataAccessManager::sharedDataModel();
    auto title = manager ? manager->getTitleByFileName(name) : std::nullopt;
    m_opener->selectDownloadedFileType(name, type, title.value_or(name.value_or("")));
}

// --- The manager's replies ----------------------------------------------------------------

int LibraryFileActions::ReciveHttpRespondInfo(const std::shared_ptr<NetBaseRst>& result)
{
    if (!result || result->cmdCode != kCmdDownload)
        return 0;
    // A failed transfer is told, and its tile, like a landed one's, is looked at on the next
    // turn, after the manager has recorded the file or forgotten the transfer; replies of one
    // turn are looked at once.
    if (result->status != "200")
        showAlert("NOTIFICATION", result->message, "OK", {}, kAlertFailed);
    m_refreshWanted = true;
    if (m_landedCheckPosted)
        return 0;
    m_landedCheckPosted = true;
    std::weak_ptr<LibraryFileActions> weak = weak_from_this();
    base::RunLoop::main().post([weak] {
        if (auto self = weak.lock()) {
            self->m_landedCheckPosted = false;
            self->refreshForLandedFiles();
        }
    });
    return 0;
}

void LibraryFileActions::refreshForLandedFiles()
{
    if (!m_refreshWanted)
        return;
    auto model = SaleslibraryModel::existingInstance();
    bool running = model && !model->downloadFileNameArray().empty();
    double now = base::RunLoop::main().now();
    // The last one shows at once; while others run, one refresh per interval shows them all.
    if (!running || !m_lastRefresh || now - *m_lastRefresh >= kRefreshInterval) {
        refreshHost();
        return;
    }
    if (m_refreshTimer && m_refreshTimer->isValid())
        return;
    std::weak_ptr<LibraryFileActions> weak = weak_from_this();
    m_refreshTimer = base::Timer::scheduledOn(base::RunLoop::main(), *m_lastRefresh + kRefreshInterval - now, false,
                                              [weak](base::Timer&) {
                                                  if (auto self = weak.lock(); self && self->m_refreshWanted)
                                                      self->refreshHost();
                                              });
}

void LibraryFileActions::refreshHost()
{
    m_refreshWanted = false;
    if (m_refreshTimer) {
        m_refreshTimer->invalidate();
        m_refreshTimer.reset();
    }
    m_lastRefresh = base::RunLoop::main().now();
    if (auto host = m_host.lock())
        host->downloadFinished();
}

void LibraryFileActions::ReciveDownloadPercent(const DownLoadRequestInfo& info)
{
    base::logf("the filename is %s,the percent is %f", info.fileName().c_str(), info.downloadPercent());
    auto host = m_host.lock();
    auto* grid = host ? host->fileGrid() : nullptr;
    if (!grid)
        return;
    for (auto& visible : grid->visibleCells()) {
        auto cell = std::dynamic_pointer_cast<LibraryDetailCell>(visible);
        if (cell && cell->file().file_name == info.fileName())
            cell->progressView().setProgress(info.downloadPercent());
    }
}

// --- Alerts -------------------------------------------------------------------------------

void LibraryFileActions::alertViewClickedButtonAtIndex(ui::AlertView& alert, int index)
{
    auto keep = shared_from_this();
    std::optional<brivanta_library_files_Entity> file;
    std::shared_ptr<ui::AlertView> held;
    if (auto entry = m_alerts.find(&alert); entry != m_alerts.end()) {
        held = entry->second.first;
        file = entry->second.second;
        m_alerts.erase(entry);
    }
    int tag = alert.tag();
    if (tag == kAlertDemo) {
        if (index == 1)
            ui::Application::shared().openURL(AppSession::kRegistrationPageAddress);
        return;
    }
    if (tag == kAlertFailed) {
        base::log("failed");
        return;
    }
    if (tag == kAlertWifi) {
        if (index == 0 && file) {
            sendDownload(*file, storedType(*file));
            if (auto host = m_host.lock())
                host->downloadsChanged();
        }
        return;
    }
    if (tag >= kAlertUpdateBase) {
        if (file)
            answerUpdate(*file, index);
        return;
    }
    if (auto host = m_host.lock())
        host->alertAnswered(tag, index);
}
