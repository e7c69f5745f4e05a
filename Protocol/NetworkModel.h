#pragma once
#include "Platform/Base/Value.h"
#include "Protocol/HTTP_REC_RESPOND.h"
#include "Protocol/NetBaseRst.h"

#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class FileNameList;
class RequestDownload;
class RequestInterfaceBase;

// The one door for server commands: encodes a command, hands it to the transport, keeps it by
// request code until its answer comes back, decodes the answer with the command's own decoder
// and gives the result to the requester. Never destroyed; main thread.
class NetworkModel : public HTTP_REC_RESPOND, public std::enable_shared_from_this<NetworkModel> {
public:
    static std::shared_ptr<NetworkModel> sharedInstance();

    // The request code of a command; a download's download id; -1 for any other kind.
    int sendRequest(const std::shared_ptr<RequestInterfaceBase>& command);
    int ReciveHttpRespond(const std::shared_ptr<RequestInfoBase>& info) override;
    // Stops the download of that file; its requester hears nothing more of it.
    void cancelDownloadReuest(const std::string& name);
    // Drops that command's pending exchanges (every file of a download); its requester hears
    // nothing more. Other requesters' commands run on.
    void cancelRequest(const std::shared_ptr<RequestInterfaceBase>& command);
    // Drops every pending command (logout, a broken-off sync); late answers find nobody.
    void cancelAllRequests();
    size_t pendingRequestCount() const;

    // A body or an answer as logged: every "password" value hidden.
    static std::string maskedBody(const std::string& body);

    // Whether any file or answer of that command is still to come.
    bool isPending(const std::shared_ptr<RequestInterfaceBase>& command) const;
    // The network went away: the files of batch downloads not yet handed to the transport are
    // answered as cancelled, as the transport answers those it holds.
    void cancelUnsentBatchFiles();
    // Files of one download on the transport at once; the next goes as one is answered, so a
    // list of any length holds a bounded number of requests and request codes.
    static constexpr size_t kBatchWindow = 256;

private:
    struct PendingBatch {
        std::shared_ptr<RequestDownload> command;
        // The command's own list, shared; names from `next` on are still to go, but for those
        // cancelled by name meanwhile.
        std::shared_ptr<const FileNameList> names;
        size_t next = 0;
        size_t inFlight = 0;
        std::vector<std::string> cancelled;
        // Names still to go.
        size_t waiting() const;
        bool isCancelled(std::string_view name) const;
    };
    // An answer made here for an exchange the transport never took.
    struct Unsent {
        std::shared_ptr<RequestInterfaceBase> command;
        std::string fileName;
        int httpRsp = 0;
    };
    void fillWindow(const RequestInterfaceBase* key);
    void exchangeEnded(const RequestInterfaceBase* key);
    void answerUnsentLater(Unsent unsent);
    void deliver(const std::shared_ptr<RequestInterfaceBase>& command, std::shared_ptr<NetBaseRst> result,
                 const RequestInfoBase& info, const std::string& fileName);

    mutable std::mutex lock_;
    std::map<int, std::shared_ptr<RequestInterfaceBase>> dicRequestList_;
    // Downloads with files still on the transport or still to go, by command.
    std::map<const RequestInterfaceBase*, PendingBatch> batches_;
    std::deque<Unsent> unsent_;
    bool unsentTurnPosted_ = false;
};
