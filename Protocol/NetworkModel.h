#pragma once
#include "Protocol/HTTP_REC_RESPOND.h"

#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

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

    // Hands the transport every file still waiting for its turn (before the network loss
    // cancels the queue).
    void sendPendingSlices();
    // Files of one download sent per run-loop turn.
    static constexpr size_t kBatchSlice = 200;

private:
    struct PendingBatch {
        std::shared_ptr<RequestDownload> command;
        std::vector<std::string> names;
        size_t next = 0;
    };
    void sendSlice(PendingBatch& batch);
    void scheduleBatches();

    mutable std::mutex lock_;
    std::map<int, std::shared_ptr<RequestInterfaceBase>> dicRequestList_;
    // Downloads whose later files are still to go out.
    std::deque<PendingBatch> pendingBatches_;
    bool batchTurnPosted_ = false;
};
