#pragma once
#include "Platform/Base/SpoolFile.h"
#include "Platform/Base/Value.h"
#include "Protocol/HTTP_REC_RESPOND.h"

#include <memory>
#include <optional>
#include <string>

// One HTTP exchange between the dispatcher and the transport: what to send, and the answer.
class RequestInfoBase {
public:
    virtual ~RequestInfoBase() = default;

    int requestType() const { return m_requestType; }
    void setRequestType(int type) { m_requestType = type; }
    int cmdCode() const { return m_cmdCode; }
    void setCmdCode(int code) { m_cmdCode = code; }
    int requestCode() const { return m_requestCode; }
    void setRequestCode(int code) { m_requestCode = code; }
    // 0 when the server answered, else the transport's failure kind.
    int httpRsp() const { return m_httpRsp; }
    void setHttpRsp(int rsp) { m_httpRsp = rsp; }
    std::shared_ptr<HTTP_REC_RESPOND> delegate() const { return m_delegate.lock(); }
    void setDelegate(std::weak_ptr<HTTP_REC_RESPOND> delegate) { m_delegate = std::move(delegate); }
    const std::optional<std::string>& requestUrlBody() const { return m_requestUrlBody; }
    void setRequestUrlBody(std::optional<std::string> body) { m_requestUrlBody = std::move(body); }
    const std::optional<base::Bytes>& postData() const { return m_postData; }
    void setPostData(std::optional<base::Bytes> data) { m_postData = std::move(data); }
    const base::Bytes& recData() const { return m_recData; }
    base::Bytes& recData() { return m_recData; }
    void setRecData(base::Bytes data) { m_recData = std::move(data); }
    // Asked for a command whose answer runs to tens of megabytes: the transport keeps the
    // answer's body in a file, handed over as recFile (recData stays empty then).
    bool answerInFile() const { return m_answerInFile; }
    void setAnswerInFile(bool inFile) { m_answerInFile = inFile; }
    const std::shared_ptr<base::SpoolFile>& recFile() const { return m_recFile; }
    void setRecFile(std::shared_ptr<base::SpoolFile> file) { m_recFile = std::move(file); }
    // The command's head.
    const std::optional<std::string>& requestHeader() const { return m_requestHeader; }
    void setRequestHeader(std::optional<std::string> head) { m_requestHeader = std::move(head); }

private:
    int m_requestType = -1;
    int m_cmdCode = -1;
    int m_requestCode = 0;
    int m_httpRsp = 0;
    std::weak_ptr<HTTP_REC_RESPOND> m_delegate;
    std::optional<std::string> m_requestUrlBody;
    std::optional<base::Bytes> m_postData;
    base::Bytes m_recData;
    bool m_answerInFile = false;
    std::shared_ptr<base::SpoolFile> m_recFile;
    std::optional<std::string> m_requestHeader;
};
