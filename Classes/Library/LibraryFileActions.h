#pragma once
#include "Database/brivanta_library_files_Entity.h"
#include "Platform/UI/AlertView.h"

#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace base {
class Timer;
}
class BRGridView;
class DownLoadRequestInfo;
class LibraryFileOpener;
class NetBaseRst;

// The library screen that lists documents as tiles and lets the shared steps act on them.
class LibraryFileActionsHost {
public:
    virtual ~LibraryFileActionsHost() = default;
    // The documents on screen, in tile order.
    virtual const std::vector<brivanta_library_files_Entity>& listedFiles() const = 0;
    // The documents with a pending update, as the screen last read them.
    virtual const std::set<int>& pendingUpdateIds() const = 0;
    virtual BRGridView* fileGrid() const = 0;
    // A download was started, resumed or paused from a tap, a card or a question.
    virtual void downloadsChanged() {}
    // Downloads landed (replies "200") and the manager already knows: at most once per
    // LibraryFileActions::kRefreshInterval while others still run, and at once when none does.
    virtual void downloadFinished() {}
    // Redraw the tiles after a tap.
    virtual void redrawTiles() {}
    virtual void showFileCard(const brivanta_library_files_Entity&) {}
    // Whether a tap may ask about or open a document on the device now.
    virtual bool tapOpensFiles() const { return true; }
    // The answer to one of the screen's own alerts (tags this class does not own).
    virtual void alertAnswered(int tag, int index) {}
};

// What every library file screen does with a document: download it with the account
// refusals, pause and resume it, ask about and apply its update, open it, and show the
// manager's replies on the tiles. One per screen, owned by it; alerts it shows stand for
// their document by id, whatever the screen lists when they are answered.
class LibraryFileActions : public ui::AlertViewDelegate, public std::enable_shared_from_this<LibraryFileActions> {
public:
    static constexpr int kAlertDemo = 1000;
    static constexpr int kAlertFailed = 1001;
    static constexpr int kAlertWifi = 1004;
    static constexpr int kAlertUpdateBase = 2500;
    // Seconds of the main loop's clock between two refreshes for landed files while a batch
    // runs: a refresh reads and sorts the whole list, a reply lands every millisecond or so.
    static constexpr double kRefreshInterval = 0.1;

    // `askOffWifi`: whether a download on a network other than Wi-Fi asks first.
    LibraryFileActions(std::weak_ptr<LibraryFileActionsHost> host, bool askOffWifi);
    ~LibraryFileActions() override;

    // Start or resume one document, with the demo, offline and (when asked) Wi-Fi refusals.
    void selectedFileToDownload(const brivanta_library_files_Entity& file);
    // One request for the document to the manager, whatever the account.
    void sendDownload(const brivanta_library_files_Entity& file, int imgType);
    void pauseDownload(const brivanta_library_files_Entity& file);
    // A tile tap: pause, resume, card, update question or open, by the document's state.
    void didSelectedCell(const brivanta_library_files_Entity& file, int cellIndex);
    // The card's main button (the card has closed).
    void actionButtonPressed(const brivanta_library_files_Entity& file);
    // The update question for a listed document.
    void selectFileToUpdate(const brivanta_library_files_Entity& file);
    // Opens a document on the device with the type stored for its name.
    void openFile(const brivanta_library_files_Entity& file);
    void selectDownloadedFileType(const std::optional<std::string>& name, int type);
    // The demo refusal, shared by the screens' own buttons.
    void refuseDemo();
    void refuseOffline();

    int ReciveHttpRespondInfo(const std::shared_ptr<NetBaseRst>& result);
    void ReciveDownloadPercent(const DownLoadRequestInfo& info);

    // Shows an alert answered through this object; `file` is the document it stands for.
    std::shared_ptr<ui::AlertView> showAlert(const std::string& titleKey, const std::string& message,
                                             const std::string& cancelKey, std::vector<std::string> otherKeys,
                                             int tag, std::optional<brivanta_library_files_Entity> file = {});
    void alertViewClickedButtonAtIndex(ui::AlertView& alert, int index) override;

    const std::shared_ptr<LibraryFileOpener>& opener() const { return m_opener; }

private:
    std::optional<brivanta_library_files_Entity> listedFile(int fileId) const;
    int storedType(const brivanta_library_files_Entity& file) const;
    void answerUpdate(const brivanta_library_files_Entity& file, int index);
    // After a turn's landed replies: the refresh now, or when its interval is over.
    void refreshForLandedFiles();
    void refreshHost();

    std::weak_ptr<LibraryFileActionsHost> m_host;
    bool m_askOffWifi;
    bool m_landedCheckPosted = false;
    bool m_refreshWanted = false;
    std::optional<double> m_lastRefresh;
    std::shared_ptr<base::Timer> m_refreshTimer;
    // Kept while a viewer it opened is up.
    std::shared_ptr<LibraryFileOpener> m_opener;
    // Each open alert with the document it stands for.
    std::map<ui::AlertView*, std::pair<std::shared_ptr<ui::AlertView>, std::optional<brivanta_library_files_Entity>>> m_alerts;
};
