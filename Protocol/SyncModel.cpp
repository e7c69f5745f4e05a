#include "Protocol/SyncModel.h"

#include "Common/AppSession.h"
#include "Classes/Customer/CustomerDataModel.h"
#include "Common/ConfigManager.h"
#include "Common/Language.h"
#include "Common/PublicFunction.h"
#include "Database/DataAccessManager.h"
#include "Database/SQLite/BRDatabase.h"
#include "Database/SQLite/BRTransaction.h"
#include "Network/BRHTTPRequest.h"
#include "Platform/Base/DateFormatter.h"
#include "Platform/Base/Log.h"
#include "Platform/Base/Memory.h"
#include "Platform/Base/NotificationCenter.h"
#include "Platform/Base/RunLoop.h"
#include "Platform/Base/Timer.h"
#include "Platform/Base/UserDefaults.h"
#include "Protocol/DownloadRequest.h"
#include "Protocol/DownloadRst.h"
#include "Protocol/LoginMode.h"
#include "Protocol/LoginRst.h"
#include "Protocol/NetworkModel.h"
#include "Protocol/RequestDownload.h"
#include "Protocol/RequestLogin.h"
#include "Protocol/RequestSyncAllTable.h"
#include "Protocol/RequestSyncCustomerTable.h"
#include "Protocol/RequestSyncDataFinish.h"
#include "Protocol/RequestSyncFileTable.h"
#include "Protocol/ServerCommands.h"
#include "Protocol/SyncAllTableRst.h"
#include "Protocol/SyncCustomerTableRst.h"
#include "Protocol/SyncDataFinishRst.h"
#include "Protocol/SyncFileTableRst.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <climits>
#include <condition_variable>
#include <filesystem>
#include <map>
#include <optional>
#include <mutex>
#include <set>
#include <thread>
#include <utility>

namespace {

std::mutex g_lock;
std::shared_ptr<SyncModel> g_instance;

constexpr const char* kLockedStatus = "207";
constexpr int kProductImages = 1;
constexpr int kIcons = 3;
constexpr int kCovers = 4;
// Rows of a table answer read and saved at a time: the answer's text stays, its rows do not.
constexpr size_t kProductsPerBatch = 500;
constexpr size_t kCustomerRowsPerBatch = 2000;

// Room above the reserve too small for any file worth asking for: a disk with less is full.
constexpr uint64_t kRoomSlack = uint64_t(1) << 20;

struct DiskLook {
    uint64_t free = 0;
    // Bytes of the parts written lately: downloads under way, which may yet give their room back.
    uint64_t growing = 0;
};

// The disk that the file `name` of that type goes to; nothing when it cannot be asked.
std::optional<DiskLook> lookAtDisk(const std::string& name, int type)
{
    auto path = PublicFunction::filePathWithNameFiletype(name, type);
    auto free = path ? BRHTTPRequest::freeDiskBytes(*path) : std::nullopt;
    if (!free)
        return std::nullopt;
    DiskLook look{*free, 0};
    auto client = PublicFunction::clientFolderPath(LoginMode::sharedInstance()->clientID());
    if (!client)
        return look;
    // A part untouched for longer than a download may stay silent is kept, not growing.
    auto lately = std::filesystem::file_time_type::clock::now() -
                  std::chrono::seconds(int(DownloadRequest::kTimeOutSeconds) + 5);
    std::error_code error;
    for (std::filesystem::recursive_directory_iterator it(*client + "/tempDownload", error), end; !error && it != end;
         it.increment(error)) {
        std::error_code fileError;
        if (!it->is_regular_file(fileError) || it->last_write_time(fileError) < lately || fileError)
            continue;
        look.growing += it->file_size(fileError);
    }
    return look;
}

bool fileExists(const std::optional<std::string>& path)
{
    std::error_code error;
    return path && std::filesystem::exists(*path, error);
}

std::string trimmed(const std::optional<std::string>& text)
{
    if (!text)
        return {};
    const char* blank = " \t\r\n";
    auto first = text->find_first_not_of(blank);
    if (first == std::string::npos)
        return {};
    return text->substr(first, text->find_last_not_of(blank) - first + 1);
}

void removeFile(const std::string& name, int type)
{
    auto path = PublicFunction::filePathWithNameFiletype(name, type);
    if (!path) {
        base::logf("not a file of ours, nothing deleted: %s", name.c_str());
        return;
    }
    std::error_code error;
    std::filesystem::remove(*path, error);
}

// A list saved as one step of a table answer; an empty list is nothing to save.
template <typename Rows, typename Save>
bool saveRows(const Rows& rows, Save save, const char* failure)
{
    if (rows.empty())
        return true;
    if (save(rows))
        return true;
    base::log(failure);
    return false;
}

void withoutRowsOfCustomers(SyncCustomerTableRst& tables, const std::set<int>& customers)
{
    if (customers.empty())
        return;
    auto held = [&](int customerId) { return customers.count(customerId) != 0; };
    std::erase_if(tables.customerTable, [&](const auto& row) { return held(row.customer_id); });
    std::erase_if(tables.customerAttributeTable, [&](const auto& row) { return held(row.customer_id); });
    std::erase_if(tables.customerAddressTable, [&](const auto& row) { return held(row.customerId); });
    std::erase_if(tables.customerContactTable, [&](const auto& row) { return held(row.customerID); });
}

} // namespace

// Carries one request's answer back to the engine with the sync it belongs to.
class SyncModel::Listener : public NetworkRecDelegate {
public:
    Listener(std::weak_ptr<SyncModel> model, int generation, int imageType)
        : m_model(std::move(model)), m_generation(generation), m_imageType(imageType)
    {
    }
    int ReciveHttpRespondInfo(const std::shared_ptr<NetBaseRst>& result) override
    {
        if (auto model = m_model.lock())
            model->receive(result, m_generation, m_imageType);
        return 0;
    }

private:
    std::weak_ptr<SyncModel> m_model;
    int m_generation;
    int m_imageType;
};

std::shared_ptr<SyncModel> SyncModel::sharedInstance()
{
    std::lock_guard guard(g_lock);
    if (!g_instance)
        g_instance = std::make_shared<SyncModel>();
    return g_instance;
}

void SyncModel::freeInstance()
{
    std::shared_ptr<SyncModel> dropped;
    std::lock_guard guard(g_lock);
    dropped = std::move(g_instance);
}

SyncModel::SyncModel()
{
    createAllDirectorys();
    m_netUnconnectObserver = base::NotificationCenter::defaultCenter().addObserver(
        "netUnconnect", nullptr, [this](const base::Notification&) { netUnconnect(); });
}

// The thumbnail run's names, read on the main thread a piece at a time, the next while the run
// works through the last: a catalogue's hundreds of thousands of pictures are never all held
// for it.
struct SyncModel::ThumbnailFeed {
    std::mutex lock;
    std::condition_variable changed;
    // "full\0thumb\0" pairs, read and not yet taken by the run.
    std::string piece;
    bool ready = false;
    // No published picture after `after`, the id of the last one read.
    bool finished = false;
    long long after = 0;
    // Until the run has ended; a run asked for meanwhile makes it start over from the first
    // picture once it reaches its end, rather than run beside it.
    bool running = true;
    bool again = false;
    std::atomic<size_t> pictures = 0;
};

SyncModel::~SyncModel()
{
    for (const auto& timer : m_timers)
        timer->invalidate();
    stopPhaseWatch();
    m_thumbStop->store(true);
    // Taken under the feed's lock, so that a run about to wait sees the stop.
    if (m_thumbFeed) {
        std::lock_guard guard(m_thumbFeed->lock);
        m_thumbFeed->changed.notify_all();
    }
    if (m_thumbRun.joinable())
        m_thumbRun.join();
}

bool SyncModel::thumbnailRunUnderway() const
{
    if (!m_thumbFeed)
        return false;
    std::lock_guard guard(m_thumbFeed->lock);
    return m_thumbFeed->running;
}

size_t SyncModel::thumbnailRunPictures() const
{
    return m_thumbFeed ? m_thumbFeed->pictures.load() : 0;
}

void SyncModel::createAllDirectorys()
{
    static constexpr const char* kFolders[] = {"ProductImages", "CatalogImages", "ConfigImages", "LibraryImages", "Pdf",
                                               "Video",         "Excel",         "Word",         "Keynote", "tempDownload"};
    auto client = LoginMode::sharedInstance()->clientID();
    // The rule's answer is only a check: the folder name itself is the lower-cased id.
    if (!PublicFunction::clientFolderPath(client)) {
        base::logf("not a client folder, no folders made: %s", client.c_str());
        return;
    }
    std::string folder = client;
    for (char& c : folder)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    for (const char* name : kFolders)
        PublicFunction::createDirectoryifNeed(folder + "/" + name);
}

void SyncModel::startSyncData()
{
    if (auto screen = delegate())
        screen->startSyncData();
}

// --- Requests and answers -----------------------------------------------------------------

void SyncModel::send(const std::shared_ptr<RequestInterfaceBase>& command, int imageType)
{
    auto listener = std::make_shared<Listener>(weak_from_this(), m_generation, imageType);
    command->setReceiveDelegete(listener);
    std::erase_if(m_sent, [](const auto& sent) { return sent.first.expired(); });
    m_sent.emplace_back(command, listener);
    NetworkModel::sharedInstance()->sendRequest(command);
}

int SyncModel::ReciveHttpRespondInfo(const std::shared_ptr<NetBaseRst>& result)
{
    receive(result, m_generation, m_imageType);
    return 0;
}

void SyncModel::receive(const std::shared_ptr<NetBaseRst>& result, int generation, int imageType)
{
    if (!result || generation != m_generation)
        return;
    if (result->status == kLockedStatus) {
        if (auto app = AppSession::shared())
            app->logoutWithLockedUserMessage(result->status, result->message);
        return;
    }
    switch (result->cmdCode) {
    case kCmdLogin:
        loginRespond(result);
        break;
    case 513:
        getAllSyncTablesRespond(result);
        break;
    case 515:
        getFilesSyncTablesRespond(result);
        break;
    case 516:
        getCustomerSyncRespond(result);
        break;
    case 517:
        syncFinishedProductRespond(result);
        break;
    case 769:
        downloadAnswered(result, imageType);
        break;
    default:
        break;
    }
}

void SyncModel::later(double seconds, void (SyncModel::*step)(int), int argument)
{
    std::weak_ptr<SyncModel> weak = weak_from_this();
    int generation = m_generation;
    m_timers.push_back(base::Timer::scheduled(seconds, false, [weak, generation, step, argument](base::Timer&) {
        auto self = weak.lock();
        if (self && self->m_generation == generation)
            (self.get()->*step)(argument);
    }));
}

// --- Defaults and flags -------------------------------------------------------------------

std::string SyncModel::flagKey(const char* name) const
{
    return LoginMode::sharedInstance()->clientID() + "-" + name;
}

void SyncModel::storeFlag(const char* name, const std::string& value)
{
    base::UserDefaults::standard()->setString(value, flagKey(name));
}

void SyncModel::setReloadFlag(const char* name)
{
    ConfigManager::sharedInstance()->flagDic()[name] = "YES";
}

std::string SyncModel::needSyncAll(const char* flagName) const
{
    if (m_isSyncAllData || !base::UserDefaults::standard()->stringForKey(flagKey(flagName)))
        return "true";
    return "false";
}

// --- Steps ------------------------------------------------------------------------------

void SyncModel::startSync()
{
    ++m_generation;
    for (const auto& timer : m_timers)
        timer->invalidate();
    m_timers.clear();
    m_missingFileCount = 0;
    m_tooLargeFileCount = 0;
    m_failedFiles.clear();
    m_tooLargeFiles.clear();
    m_diskFull = false;
    m_roomRefused.clear();
    m_notAsked.clear();
    if (LoginMode::sharedInstance()->loginType() != 1) {
        m_needWork = 1;
        m_isDownloading = true;
        requestLogin();
        return;
    }
    requestSync();
}

void SyncModel::requestLogin()
{
    send(std::make_shared<RequestLogin>());
}

void SyncModel::loginRespond(const std::shared_ptr<NetBaseRst>& result)
{
    auto login = LoginMode::sharedInstance();
    if (result->status == kStatusSuccess) {
        login->setLoginType(1);
        if (auto answer = std::dynamic_pointer_cast<LoginRst>(result)) {
            login->takeServerClientID(*answer);
            if (answer->sessionId)
                login->setSessionId(*answer->sessionId);
        }
        if (m_needWork == 1)
            requestSync();
        return;
    }
    login->setLoginType(result->status == kStatusNetworkError ? 2 : -1);
    if (m_needWork == 1)
        breakSync(result->message);
}

void SyncModel::requestSync()
{
    m_retryImageArry.clear();
    // Account and runtime settings refresh beside the sync; their answers are not waited for.
    auto login = LoginMode::sharedInstance();
    login->getUserinfo();
    login->getRuntimeConfig();
    auto config = ConfigManager::sharedInstance();
    m_isCatalogOnshow = config->isOnShow(1);
    m_isCustomerOnShow = config->isOnShow(2);
    m_isSalesLibraryOnShow = config->isOnShow(4);
    m_isDownloading = true;
    m_existFilesRat = 0;
    if (m_isCatalogOnshow) {
        auto command = std::make_shared<RequestSyncAllTable>();
        command->setAnswerInRows(true);
        command->setIsFull(needSyncAll("ProductSynced"));
        send(command);
    } else if (m_isSalesLibraryOnShow) {
        requestFileTables();
    } else if (m_isCustomerOnShow) {
        getCustomerSync();
    } else {
        // Nothing to fetch: the sync ends at once rather than holding the screen busy.
        m_isDownloading = false;
        if (auto screen = delegate())
            screen->breakSync(Language::stringWithName("NOTHINGTOSYNC"));
    }
}

template <class Tables>
std::shared_ptr<Tables> SyncModel::tablesOrBreak(const std::shared_ptr<NetBaseRst>& result)
{
    auto tables = std::dynamic_pointer_cast<Tables>(result);
    if (result->status != kStatusSuccess || !tables) {
        breakSync(result->message);
        return nullptr;
    }
    return tables;
}

void SyncModel::getAllSyncTablesRespond(const std::shared_ptr<NetBaseRst>& result)
{
    auto tables = tablesOrBreak<SyncAllTableRst>(result);
    if (!tables)
        return;
    auto data = DataAccessManager::sharedDataModel();
    bool saved = false;
    FileNameList pictures; // the files the image rows name, replaced once all is stored
    {
        // One answer is stored whole or not at all: products without prices never stay.
        BRTransaction transaction(BRDatabase::sharedDataBase().get());
        bool ok = transaction.ok() && data;
        using T = SyncAllTableRst;
        // The products first, all of them: each clears its attributes, which come after.
        if (ok)
            tables->forEachBatch(T::Products, 0, kProductsPerBatch, [&](bool) {
                return ok = saveRows(tables->productTable, [&](const auto& rows) { return data->saveToDatabaseProduct(rows); }, "Error on product sync!");
            });
        // Then the rest in the same order. Rows saved one by one go batch by batch; a save that
        // clears its table or a product's links first takes its (small) rows at once.
        if (ok)
            tables->forEachBatch(T::Attributes | T::Prices | T::RelatedProducts | T::Images | T::Categories,
                                 T::AttributeFields | T::CategoryLinks | T::RelatedFiles | T::Tags | T::ProductTags,
                                 kProductsPerBatch, [&](bool last) {
                ok = ok && saveRows(tables->productAttributeTable, [&](const auto& rows) { return data->saveToDatabaseProductAttribute(rows); }, "Error on ProductAttribute sync!");
                ok = ok && (!last || saveRows(tables->fieldsAttributeTable, [&](const auto& rows) { return data->saveToDatabaseFieldsProductAttribute(rows); }, "Error on fieldsProductAttribute sync!"));
                ok = ok && (!last || saveRows(tables->productCategoryXrefTable, [&](const auto& rows) { return data->saveToDatabasePxrefC(rows); }, "Error on productAndcategoryTable sync!"));
                ok = ok && saveRows(tables->productPriceTable, [&](const auto& rows) { return data->saveToDatabasePrice(rows); }, "Error on Price sync!");
                ok = ok && saveRows(tables->productRelatedTable, [&](const auto& rows) { return data->saveToDatabaseProductrelated(rows); }, "Error on productrelated sync!");
                ok = ok && saveRows(tables->imagesTable, [&](const auto& rows) { return data->saveToDatabaseImage(rows); }, "Error on imageTable sync!");
                ok = ok && saveRows(tables->categoryTable, [&](const auto& rows) { return data->saveToDatabaseCategory(rows); }, "Error on category sync!");
                ok = ok && (!last || saveRows(tables->productRelatedFilesTable, [&](const auto& rows) { return data->saveToDatabaseProductRelatedFile(rows); }, "Error on productRelatedFilesTable sync!"));
                ok = ok && (!last || saveRows(tables->productTagTable, [&](const auto& rows) { return data->saveToDatabaseProductTag(rows); }, "Error on productTagTable sync!"));
                ok = ok && (!last || saveRows(tables->productRelateTagTable, [&](const auto& rows) { return data->saveToDatabaseProductRelatedTag(rows); }, "Error on productRelateTagTable sync!"));
                for (const auto& image : tables->imagesTable) {
                    for (const auto& address : {image.image_thumb_address, image.image_full_address})
                        if (auto name = trimmed(address); !name.empty())
                            pictures.push_back(name);
                }
                return ok;
            });
        if (!ok)
            transaction.markFailed();
        saved = transaction.commit() && ok;
    }
    tables->releaseAnswer();
    // The answer's rows went batch by batch; their room goes back before the files' lists come.
    base::Memory::returnFreePages();
    if (!saved) {
        breakSync(Language::stringWithName("SYNCDBERROR"));
        return;
    }
    for (std::string_view name : pictures)
        removeFile(std::string(name), kProductImages);
    storeFlag("ProductSynced", "synced");
    setReloadFlag("Needreloadcatelog");
    base::UserDefaults::standard()->synchronize();
    requestFileTables();
}

void SyncModel::requestFileTables()
{
    auto command = std::make_shared<RequestSyncFileTable>();
    command->setIsFull(needSyncAll("FileSynced"));
    send(command);
}

void SyncModel::getFilesSyncTablesRespond(const std::shared_ptr<NetBaseRst>& result)
{
    auto tables = tablesOrBreak<SyncFileTableRst>(result);
    if (!tables)
        return;
    auto data = DataAccessManager::sharedDataModel();
    std::map<int, brivanta_library_files_Entity> kept;
    if (data) {
        for (auto& file : data->getAllLibFiles()) {
            int type = PublicFunction::getFileType(file.type);
            if (fileExists(PublicFunction::filePathWithNameFiletype(file.file_name, type)))
                kept.emplace(file.file_id, file);
        }
    }
    bool saved = false;
    {
        BRTransaction transaction(BRDatabase::sharedDataBase().get());
        bool ok = transaction.ok() && data;
        ok = ok && saveRows(tables->libFileTable, [&](const auto& rows) { return data->saveToDatabaseLibraryFiles(rows); }, "Error on Files sync!");
        ok = ok && saveRows(tables->libCategoryTable, [&](const auto& rows) { return data->saveToDatabaseLibraryCategory(rows); }, "Error on libraryCategory sync!");
        if (ok && !tables->libFileUpdateTable.empty() && needSyncAll("FileSynced") == "false") {
            for (const std::string& entry : tables->libFileUpdateTable) {
                int id = std::atoi(entry.c_str());
                auto old = kept.find(id);
                if (old == kept.end())
                    continue;
                auto now = data->getFilesByFileId(id);
                if (now && now->file_name == old->second.file_name)
                    continue;
                brivanta_library_files_update_Entity update;
                update.fileID = id;
                update.oldFileName = old->second.file_name;
                update.oldFileType = old->second.type;
                if (!data->saveToDatabaseLibraryUpdate(update)) {
                    base::log("Failed to save to brivanta_update!");
                    ok = false;
                    break;
                }
            }
        }
        if (!ok)
            transaction.markFailed();
        saved = transaction.commit() && ok;
    }
    if (!saved) {
        breakSync(Language::stringWithName("SYNCDBERROR"));
        return;
    }
    for (const auto& file : tables->libFileTable) {
        if (auto name = trimmed(file.cover_image); !name.empty())
            removeFile(name, kCovers);
    }
    setReloadFlag("Needreloadlibrary");
    addAllImageLists();
    startDownloadProductImage(kProductImages);
}

// --- Image phases ---------------------------------------------------------------------

void SyncModel::addAllImageLists()
{
    auto data = DataAccessManager::sharedDataModel();
    m_downloadRemotingPImgList = FileNameList();
    m_downloadRemotingPImgListIcon = FileNameList();
    m_downloadRemotingPImgListLibimg = FileNameList();
    if (!data)
        return;
    // Each phase counts its own distinct names; a name listed twice is fetched once, where it
    // first stands. The names are packed from the rows and told apart by sorting their places,
    // not by a set of copies beside the list. Answers the count of distinct names.
    auto fill = [](FileNameList& list, FileNameList names, int type) {
        std::vector<uint32_t> order(names.size());
        for (uint32_t i = 0; i < order.size(); ++i)
            order[i] = i;
        // Equal names keep their order, as a stable sort would keep them, without the buffer of
        // as many places that one takes beside the list.
        std::sort(order.begin(), order.end(), [&](uint32_t a, uint32_t b) {
            int compared = names[a].compare(names[b]);
            return compared < 0 || (compared == 0 && a < b);
        });
        std::vector<bool> first(names.size(), false);
        int distinct = 0;
        for (size_t k = 0; k < order.size(); ++k) {
            if (k == 0 || names[order[k]] != names[order[k - 1]]) {
                first[order[k]] = true;
                ++distinct;
            }
        }
        order = {};
        // Kept in place: the names to fetch move to the front of the same block.
        names.keepIf([&](std::string_view name, size_t at) {
            if (!first[at])
                return false;
            auto path = PublicFunction::filePathWithNameFiletype(std::string(name), type);
            if (!path) {
                base::logf("unsafe file name skipped: %.*s", int(name.size()), name.data());
                return false;
            }
            return !fileExists(path);
        });
        names.shrinkToFit();
        list = std::move(names);
        return distinct;
    };
    auto named = [](const std::vector<std::string>& names) {
        FileNameList packed;
        for (const auto& name : names)
            if (!name.empty())
                packed.push_back(name);
        return packed;
    };
    FileNameList pictures;
    data->forEachPublishImage(true, [&](PublishImage& image) {
        for (auto* name : {&image.imageFull, &image.imageThumb})
            if (*name && !(*name)->empty())
                pictures.push_back(**name);
    });
    m_productImgCount = fill(m_downloadRemotingPImgList, std::move(pictures), kProductImages);
    m_iconImgCount = fill(m_downloadRemotingPImgListIcon, named(data->getAllIconAddress()), kIcons);
    m_libImgCount = fill(m_downloadRemotingPImgListLibimg, named(data->getAllFilesImg()), kCovers);
}

void SyncModel::readThumbnailPiece(ThumbnailFeed& feed)
{
    // A piece is given its room once: a text grown by doubling would hold twice the names.
    constexpr size_t kPiece = size_t(64) << 10;
    long long after = 0;
    {
        std::lock_guard guard(feed.lock);
        after = feed.after;
    }
    std::string piece;
    bool more = false;
    if (auto data = DataAccessManager::sharedDataModel()) {
        data->forEachPublishImageAfter(after, [&](long long id, PublishImage& image) {
            if (!image.imageFull || !image.imageThumb) {
                after = id;
                return true;
            }
            size_t length = image.imageFull->size() + image.imageThumb->size() + 2;
            if (!piece.empty() && piece.size() + length > piece.capacity()) {
                more = true;
                return false;
            }
            if (piece.empty())
                piece.reserve(std::max(kPiece, length));
            piece.append(*image.imageFull).push_back('\0');
            piece.append(*image.imageThumb).push_back('\0');
            after = id;
            return true;
        });
    }
    {
        std::lock_guard guard(feed.lock);
        feed.after = after;
        feed.ready = !piece.empty();
        feed.finished = !more;
        feed.piece = std::move(piece);
    }
    feed.changed.notify_all();
}

void SyncModel::startThumbnailRun()
{
    // A second run beside the first would make and decode the same thumbnails twice.
    if (m_thumbFeed) {
        std::lock_guard guard(m_thumbFeed->lock);
        if (m_thumbFeed->running) {
            m_thumbFeed->again = true;
            return;
        }
    }
    if (m_thumbRun.joinable())
        m_thumbRun.join();
    auto feed = std::make_shared<ThumbnailFeed>();
    readThumbnailPiece(*feed);
    m_thumbFeed = feed;
    auto readNext = [weak = std::weak_ptr<ThumbnailFeed>(feed)] {
        base::RunLoop::main().post([weak] {
            if (auto alive = weak.lock())
                readThumbnailPiece(*alive);
        });
    };
    // Only files: the run needs nothing of the engine and is not awaited. The main loop reads
    // each next piece; an engine going away (logout) stops the run where it waits.
    m_thumbRun = std::thread([feed, readNext, stop = m_thumbStop] {
        // At the end of the pictures: over, or from the first again when a sync asked for it.
        auto goesAgain = [&] {
            std::lock_guard guard(feed->lock);
            if (!feed->again || stop->load()) {
                feed->running = false;
                return false;
            }
            feed->again = false;
            feed->after = 0;
            feed->ready = false;
            feed->finished = false;
            return true;
        };
        for (;;) {
            std::string pairs;
            bool last = false;
            {
                std::unique_lock guard(feed->lock);
                feed->changed.wait(guard, [&] { return feed->ready || feed->finished || stop->load(); });
                if (stop->load())
                    return;
                if (feed->ready) {
                    pairs = std::move(feed->piece);
                    feed->piece = std::string();
                    feed->ready = false;
                    last = feed->finished;
                } else {
                    last = true;
                }
            }
            if (!last)
                readNext();
            for (size_t at = 0; at < pairs.size();) {
                if (stop->load())
                    return;
                size_t fullEnd = pairs.find('\0', at);
                size_t thumbEnd = pairs.find('\0', fullEnd + 1);
                PublicFunction::createImgThumbWithImgNameThumbNameFiletype(
                    pairs.substr(at, fullEnd - at), pairs.substr(fullEnd + 1, thumbEnd - fullEnd - 1), kProductImages);
                feed->pictures.fetch_add(1, std::memory_order_relaxed);
                at = thumbEnd + 1;
            }
            if (last) {
                if (!goesAgain())
                    return;
                readNext();
            }
        }
    });
}

FileNameList& SyncModel::listOf(int type)
{
    if (type == kIcons)
        return m_downloadRemotingPImgListIcon;
    if (type == kCovers)
        return m_downloadRemotingPImgListLibimg;
    return m_downloadRemotingPImgList;
}

float& SyncModel::progressOf(int type)
{
    if (type == kIcons)
        return m_iconProgress;
    if (type == kCovers)
        return m_libProgress;
    return m_productProgress;
}

void SyncModel::startDownloadProductImage(int type)
{
    m_imageType = type;
    auto& list = listOf(type);
    // The disk met its reserve: no more files are asked for in this sync, and each counts as
    // not downloaded.
    if (m_diskFull && !list.empty())
        m_notAsked.emplace_back(type, std::exchange(list, {}));
    int setSize = type == kIcons ? m_iconImgCount : type == kCovers ? m_libImgCount : m_productImgCount;
    if (!list.empty() && setSize >= 1)
        m_existFilesRat = 1.0f - float(list.size()) / float(setSize);
    // The list becomes the phase's: its names move, once, to where the command shares them.
    auto names = std::make_shared<const FileNameList>(std::exchange(list, {}));
    m_phaseNames = names;
    m_phaseByName.resize(names->size());
    for (uint32_t i = 0; i < m_phaseByName.size(); ++i)
        m_phaseByName[i] = i;
    std::sort(m_phaseByName.begin(), m_phaseByName.end(),
              [&](uint32_t a, uint32_t b) { return (*names)[a] < (*names)[b]; });
    m_phaseAnswered.assign(names->size(), false);
    m_phaseSize = m_phaseLeft = names->size();
    m_phaseCommands.clear();
    stopPhaseWatch();
    if (!names->empty()) {
        sendPhaseDownload(names, type);
        std::weak_ptr<SyncModel> weak = weak_from_this();
        int generation = m_generation;
        m_phaseWatch = base::Timer::scheduled(kPhaseWatchInterval, true, [weak, generation](base::Timer&) {
            auto self = weak.lock();
            if (self && self->m_generation == generation)
                self->checkPhaseEnd();
        });
        return;
    }
    if (auto screen = delegate())
        screen->downloadimageFinished(type);
    if (type == kProductImages)
        startDownloadProductImage(kIcons);
    else if (type == kIcons)
        startDownloadProductImage(kCovers);
    else
        afterImagePhases();
}

void SyncModel::afterImagePhases()
{
    if (m_isCustomerOnShow)
        getCustomerSync();
    else
        syncFinishedtype("product");
}

void SyncModel::downloadAnswered(const std::shared_ptr<NetBaseRst>& result, int imageType)
{
    auto file = std::dynamic_pointer_cast<DownloadRst>(result);
    if (!file || imageType != m_imageType)
        return;
    auto at = phaseIndexOf(file->fileName);
    if (!at || m_phaseAnswered[*at])
        return;
    const std::string& name = file->fileName;
    if (result->status == kStatusDiskFull) {
        // The disk full, this file too large for the room left, or the room taken meanwhile by
        // a file beside it: the disk tells which once the parts being written are gone.
        m_roomRefused.emplace_back(name);
        judgeRoom(false);
        if (m_phaseLeft == 0 && m_phaseNames == nullptr)
            return;
        setProgress(float(m_phaseSize - m_phaseLeft) / float(m_phaseSize));
        checkPhaseEnd();
        return;
    }
    if (result->status != kStatusSuccess) {
        // One too large to take would be as large again.
        if (!m_retryImageArry.count(name) && result->status != kStatusAnswerTooLarge) {
            m_retryImageArry.insert(name);
            base::logf("the the file %s can't be down!", name.c_str());
            // The re-send keeps its own phase: its answer still belongs to this one.
            sendPhaseDownload(std::make_shared<const FileNameList>(FileNameList{name}), imageType);
            return;
        }
        m_failedFiles.emplace_back(imageType, name);
        if (result->status == kStatusAnswerTooLarge)
            m_tooLargeFiles.insert(name);
    } else {
        // Screens showing a stand-in for this file show it now.
        base::NotificationCenter::defaultCenter().post(kFileArrivedNotification, std::make_shared<std::string>(name),
                                                       base::Value(imageType));
    }
    m_phaseAnswered[*at] = true;
    --m_phaseLeft;
    // A file beside those refused for room has ended: its part no longer holds the disk.
    judgeRoom(false);
    if (m_phaseLeft == 0 && m_phaseNames == nullptr)
        return;
    setProgress(float(m_phaseSize - m_phaseLeft) / float(m_phaseSize));
    checkPhaseEnd();
}

void SyncModel::judgeRoom(bool settled)
{
    if (m_roomRefused.empty())
        return;
    const uint64_t reserve = DownloadRequest::limits().diskReserve;
    auto look = lookAtDisk(m_roomRefused.front(), m_imageType);
    // A disk that cannot be asked is taken as having room: a file refused twice fails alone.
    const bool full = look && (look->free < reserve || look->free - reserve < kRoomSlack);
    if (full && !settled && look->free + look->growing >= reserve + kRoomSlack)
        return;
    auto refused = std::exchange(m_roomRefused, {});
    auto fail = [&](const std::string& name) {
        auto at = phaseIndexOf(name);
        if (!at || m_phaseAnswered[*at])
            return;
        m_failedFiles.emplace_back(m_imageType, name);
        m_phaseAnswered[*at] = true;
        --m_phaseLeft;
    };
    if (full) {
        // No room for these files, nor for the next: the phase stops here.
        for (const auto& name : refused)
            fail(name);
        stopAskingForFiles();
        return;
    }
    // The room came back: a file refused beside another is asked for again; one refused twice
    // does not fit by itself.
    std::vector<std::string> again;
    for (const auto& name : refused) {
        if (m_retryImageArry.insert(name).second) {
            again.push_back(name);
        } else {
            base::logf("the file %s does not fit on the disk", name.c_str());
            fail(name);
        }
    }
    if (!again.empty())
        sendPhaseDownload(std::make_shared<const FileNameList>(again), m_imageType);
}

std::optional<size_t> SyncModel::phaseIndexOf(std::string_view name) const
{
    if (!m_phaseNames)
        return std::nullopt;
    const auto& names = *m_phaseNames;
    auto it = std::lower_bound(m_phaseByName.begin(), m_phaseByName.end(), name,
                               [&](uint32_t at, std::string_view wanted) { return names[at] < wanted; });
    if (it == m_phaseByName.end() || names[*it] != name)
        return std::nullopt;
    return *it;
}

void SyncModel::releasePhase()
{
    m_phaseNames.reset();
    m_phaseByName = {};
    m_phaseAnswered = {};
    m_phaseLeft = 0;
    m_roomRefused.clear();
}

void SyncModel::sendPhaseDownload(std::shared_ptr<const FileNameList> names, int imageType)
{
    auto command = std::make_shared<RequestDownload>();
    command->setImgType(imageType);
    command->setProgressType(kProgressTypeBatch);
    command->setFileNames(std::move(names));
    std::erase_if(m_phaseCommands, [](const auto& sent) { return sent.expired(); });
    m_phaseCommands.push_back(command);
    send(command, imageType);
}

void SyncModel::checkPhaseEnd()
{
    if (m_phaseLeft == 0)
        return;
    auto network = NetworkModel::sharedInstance();
    auto onItsWay = [&] {
        for (const auto& sent : m_phaseCommands) {
            if (auto command = sent.lock(); command && network->isPending(command))
                return true;
        }
        return false;
    };
    if (onItsWay())
        return;
    // Nothing of the phase is on its way: no part of ours holds the disk any more.
    if (!m_roomRefused.empty()) {
        judgeRoom(true);
        if (m_phaseLeft == 0) {
            if (m_phaseNames)
                setProgress(1.0f);
            return;
        }
        if (onItsWay())
            return;
    }
    // Nothing of this phase can answer any more: what never answered was not downloaded, and
    // the end of the sync says so, as for a file that failed twice.
    for (size_t i = 0; i < m_phaseAnswered.size(); ++i) {
        if (!m_phaseAnswered[i]) {
            m_failedFiles.emplace_back(m_imageType, std::string((*m_phaseNames)[i]));
            m_phaseAnswered[i] = true;
        }
    }
    base::logf("%zu files of type %d were never answered", m_phaseLeft, m_imageType);
    m_phaseLeft = 0;
    setProgress(1.0f);
}

void SyncModel::stopAskingForFiles()
{
    m_diskFull = true;
    // What of the phase is still queued or on its way is dropped; the files it names were not
    // downloaded, and the later phases ask for none.
    auto network = NetworkModel::sharedInstance();
    for (const auto& sent : m_phaseCommands) {
        if (auto command = sent.lock())
            network->cancelRequest(command);
    }
    m_phaseCommands.clear();
    for (size_t i = 0; i < m_phaseAnswered.size(); ++i) {
        if (!m_phaseAnswered[i]) {
            m_phaseAnswered[i] = true;
            m_failedFiles.emplace_back(m_imageType, std::string((*m_phaseNames)[i]));
        }
    }
    base::logf("the disk is full: %zu files of type %d are not asked for", m_phaseLeft, m_imageType);
    m_phaseLeft = 0;
    setProgress(1.0f);
}

void SyncModel::stopPhaseWatch()
{
    if (m_phaseWatch)
        m_phaseWatch->invalidate();
    m_phaseWatch.reset();
}

void SyncModel::setProgress(float progress)
{
    if (progress == 0)
        return;
    progress = std::min(progress, 1.0f);
    // The transport's queue can run empty while a phase still waits for a re-send or for files
    // not yet handed to it: the phase ends when every listed name has its answer.
    if (progress == 1.0f && m_phaseLeft != 0)
        return;
    double elapsed = 0;
    base::Date now = base::Date::now();
    if (!m_lastTime)
        m_lastTime = now;
    else
        elapsed = now.timeIntervalSince(*m_lastTime);
    float& stored = progressOf(m_imageType);
    if (progress == stored)
        return;
    stored = progress;
    int phase = m_imageType;
    if (progress == 1.0f) {
        stopPhaseWatch();
        // The phase's names go with it; the commands let go of theirs as they end.
        releasePhase();
        if (phase == kProductImages) {
            startThumbnailRun();
            later(0.1, &SyncModel::startDownloadProductImage, kIcons);
        } else if (phase == kIcons) {
            later(0.1, &SyncModel::startDownloadProductImage, kCovers);
        } else {
            afterImagePhases();
        }
        // A phase's names run to hundreds of thousands on a large catalogue.
        base::Memory::returnFreePages();
    }
    // The running phase's list is its names now.
    auto listed = [&](int type) {
        return float(type == m_imageType && m_phaseNames ? m_phaseNames->size() : listOf(type).size());
    };
    float weighted = listed(kProductImages) * m_productProgress + listed(kIcons) * m_iconProgress +
                     listed(kCovers) * m_libProgress;
    int all = int(listed(kProductImages) + listed(kIcons) + listed(kCovers));
    int remain = remainingSeconds(elapsed, all, int(weighted));
    if (auto screen = delegate())
        screen->setProgressImageTypeRemainTime(m_existFilesRat + (1 - m_existFilesRat) * progress, phase, remain);
}

int SyncModel::remainingSeconds(double elapsed, int listed, int weighted)
{
    if (weighted == 0)
        return listed == 0 || elapsed == 0 ? 0 : INT_MAX;
    double remain = elapsed * listed / weighted - elapsed;
    if (!(remain > double(INT_MIN) && remain < double(INT_MAX)))
        return remain > 0 ? INT_MAX : INT_MIN;
    return int(std::trunc(remain));
}

// --- Customers, notices, finish ----------------------------------------------------------

void SyncModel::getCustomerSync()
{
    auto command = std::make_shared<RequestSyncCustomerTable>();
    command->setAnswerInRows(true);
    command->setIsFull(needSyncAll("CustomerSynced"));
    send(command);
}

void SyncModel::getCustomerSyncRespond(const std::shared_ptr<NetBaseRst>& result)
{
    auto tables = tablesOrBreak<SyncCustomerTableRst>(result);
    if (!tables)
        return;
    auto data = DataAccessManager::sharedDataModel();
    bool saved = false;
    size_t resultCount = 0;
    {
        BRTransaction transaction(BRDatabase::sharedDataBase().get());
        bool ok = transaction.ok() && data;
        using T = SyncCustomerTableRst;
        // A customer changed on the device and not yet uploaded takes the office's version, then
        // the fields the user changed take the user's values again. The primary choices are the
        // device's own, whatever the answer says.
        auto customers = ok ? data->customerModel() : nullptr;
        std::optional<CustomerModel::OfficeMerge> merge;
        if (customers) {
            std::set<int> arriving;
            tables->forEachBatch(T::Customers, 0, kCustomerRowsPerBatch, [&](bool) {
                for (const auto& row : tables->customerTable)
                    arriving.insert(row.customer_id);
                return true;
            });
            merge = customers->beforeOfficeVersion(arriving);
        }
        auto counted = [&](const auto& rows) { return rows.size(); };
        // The customers first, all of them: each clears its synced attributes, addresses and
        // contacts, which come after.
        if (ok)
            tables->forEachBatch(T::Customers, 0, kCustomerRowsPerBatch, [&](bool) {
                if (merge)
                    withoutRowsOfCustomers(*tables, merge->whole);
                resultCount += counted(tables->customerTable);
                return ok = saveRows(tables->customerTable, [&](const auto& rows) { return data->saveToDatabaseCustomer(rows); }, "Error on Customer sync!");
            });
        // The attribute fields clear their table first and come whole.
        if (ok)
            tables->forEachBatch(T::Attributes | T::Addresses | T::Contacts, T::AttributeFields, kCustomerRowsPerBatch, [&](bool last) {
                if (merge)
                    withoutRowsOfCustomers(*tables, merge->whole);
                resultCount += counted(tables->customerAttributeTable) + counted(tables->customerAddressTable);
                if (last)
                    resultCount += counted(tables->fieldsAttributeTable);
                ok = ok && saveRows(tables->customerAttributeTable, [&](const auto& rows) { return data->saveToDatabaseCustomerAttribute(rows); }, "Error on CustomerAttribute sync!");
                ok = ok && (!last || saveRows(tables->fieldsAttributeTable, [&](const auto& rows) { return data->saveToDatabaseFieldsCustomerAttribute(rows); }, "Error on fieldsCustomerAttribute sync!"));
                ok = ok && saveRows(tables->customerAddressTable, [&](const auto& rows) { return data->saveToDatabaseCustomerAddress(rows); }, "Error on customerAddressTable sync!");
                ok = ok && saveRows(tables->customerContactTable, [&](const auto& rows) { return data->saveToDatabaseCustomerContact(rows); }, "Error on saveToDatabaseCustomerContact sync!");
                return ok;
            });
        ok = ok && (!merge || customers->afterOfficeVersion(*merge));
        if (!ok)
            transaction.markFailed();
        saved = transaction.commit() && ok;
    }
    tables->releaseAnswer();
    if (!saved) {
        breakSync(Language::stringWithName("SYNCDBERROR"));
        return;
    }
    if (resultCount != 0) {
        setReloadFlag("Needreloadcustomer");
        CustomerDataModel::reloadSharedInstance();
    }
    if (auto screen = delegate())
        screen->getCustomerFinished();
    syncFinishedtype("product");
}

void SyncModel::syncFinishedtype(const std::string& tableType)
{
    auto command = std::make_shared<RequestSyncDataFinish>();
    command->setTableType(tableType);
    send(command);
}

void SyncModel::syncFinishedProductRespond(const std::shared_ptr<NetBaseRst>& result)
{
    auto notice = std::dynamic_pointer_cast<SyncDataFinishRst>(result);
    std::string type = notice && notice->tableType ? *notice->tableType : std::string();
    if (type == "product") {
        setReloadFlag("Needreloadcatelog");
        syncFinishedtype("file");
    } else if (type == "file") {
        storeFlag("FileSynced", "synced");
        setReloadFlag("Needreloadlibrary");
        base::UserDefaults::standard()->synchronize();
        if (m_isCustomerOnShow)
            syncFinishedtype("customer");
        else
            finishedSync();
    } else if (type == "customer") {
        storeFlag("CustomerSynced", "synced");
        finishedSync();
    }
}

void SyncModel::finishedSync()
{
    m_missingFileCount = 0;
    m_tooLargeFileCount = 0;
    // The product thumbnails among the missing files, with the full image each is made from:
    // looked up only for them, at the end, rather than held for every picture all along.
    // The files that failed and those never asked for once the disk was full, alike.
    auto forEachNotFetched = [&](const auto& visit) {
        for (const auto& [type, name] : m_failedFiles)
            visit(type, name);
        for (const auto& [type, names] : m_notAsked) {
            for (std::string_view name : names)
                visit(type, std::string(name));
        }
    };
    std::map<std::string, std::string> thumbSource;
    forEachNotFetched([&](int type, const std::string& name) {
        if (type == kProductImages && !fileExists(PublicFunction::filePathWithNameFiletype(name, type)))
            thumbSource[name];
    });
    if (!thumbSource.empty()) {
        std::map<std::string, std::string> found;
        if (auto data = DataAccessManager::sharedDataModel()) {
            data->forEachPublishImage(true, [&](PublishImage& image) {
                if (image.imageFull && image.imageThumb && thumbSource.count(*image.imageThumb))
                    found[*image.imageThumb] = std::move(*image.imageFull);
            });
        }
        thumbSource = std::move(found);
    }
    forEachNotFetched([&](int type, const std::string& name) {
        if (fileExists(PublicFunction::filePathWithNameFiletype(name, type)))
            return;
        // The thumbnail run makes it from its full image.
        if (auto source = thumbSource.find(name); type == kProductImages && source != thumbSource.end() &&
                                                  fileExists(PublicFunction::filePathWithNameFiletype(source->second, type)))
            return;
        ++m_missingFileCount;
        if (m_tooLargeFiles.count(name))
            ++m_tooLargeFileCount;
    });
    storeFlag("lastsync", base::DateFormatter("HH:mm MM/dd/yy").stringFromDate(base::Date::now()));
    base::UserDefaults::standard()->synchronize();
    if (auto screen = delegate())
        screen->finishedSync();
}

// --- Ends ------------------------------------------------------------------------------

void SyncModel::resetDownloadProgress()
{
    m_productProgress = 0;
    m_iconProgress = 0;
    m_libProgress = 0;
    m_lastTime.reset();
    m_isDownloading = false;
    m_downloadRemotingPImgList = FileNameList();
    m_downloadRemotingPImgListIcon = FileNameList();
    m_downloadRemotingPImgListLibimg = FileNameList();
    releasePhase();
}

void SyncModel::breakSync(const std::string& message)
{
    // Later answers of this sync find nobody.
    ++m_generation;
    for (const auto& timer : m_timers)
        timer->invalidate();
    m_timers.clear();
    stopPhaseWatch();
    if (auto screen = delegate())
        screen->breakSync(message);
    auto network = NetworkModel::sharedInstance();
    for (const auto& sent : m_sent) {
        if (auto command = sent.first.lock())
            network->cancelRequest(command);
    }
    m_sent.clear();
}

void SyncModel::netUnconnect()
{
    if (m_isDownloading)
        breakSync(Language::stringWithName("NETWORKPOOR"));
}
