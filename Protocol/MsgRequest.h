#pragma once
#include "Network/BRFormDataRequest.h"
#include "Protocol/HTTP_REC_RESPOND.h"

#include <memory>

class RequestInfoBase;

// The HTTP request of one server command: a JSON POST whose tag is its request code.
class MsgRequest : public BRFormDataRequest {
public:
    using Ptr = std::shared_ptr<MsgRequest>;
    static constexpr double kTimeOutSeconds = 15.0;
    static constexpr const char* kContentType = "applicatioin/bin;charset=UTF-8";
    // In-memory answer limit of the sync table commands (513, 515, 516).
    static constexpr uint64_t kSyncTableAnswerLimit = uint64_t(256) << 20;

    // POST, 15 s, the pace every answer is held to (DownloadRequest::Limits), and exactly one
    // header of its own: the content type the server expects.
    static Ptr requestWithURL(std::optional<net::URL> url);

    int requestType() const { return m_requestType; }
    int requestCode() const { return m_requestCode; }
    int cmdCode() const { return m_cmdCode; }
    std::shared_ptr<HTTP_REC_RESPOND> modelDelegage() const { return m_modelDelegage.lock(); }
    const std::weak_ptr<HTTP_REC_RESPOND>& modelDelegageReference() const { return m_modelDelegage; }

    // The request code, which is also the tag.
    void setrequestCode(int code);
    // Kind, command, receiver and body from the exchange; the record keeps the body's bytes.
    // The command sets the answer's size ceiling and time bound (DownloadRequest::Limits).
    virtual void setReqInfo(RequestInfoBase& info);
    // Continues an earlier attempt: its tag, code, delegate, receiver and body.
    void setInfoWithRequest(const MsgRequest& earlier);

protected:
    explicit MsgRequest(std::optional<net::URL> url);

private:
    int m_requestType = 0;
    int m_requestCode = 0;
    int m_cmdCode = 0;
    std::weak_ptr<HTTP_REC_RESPOND> m_modelDelegage;
};
