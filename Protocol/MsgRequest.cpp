#include "Protocol/MsgRequest.h"

#include "Protocol/DownloadRequest.h"
#include "Protocol/RequestInfoBase.h"
#include "Protocol/ServerCommands.h"

namespace {
// A catalogue's table answers grow with the catalogue (20,000 products measured 43 MB); every
// other answer is small and keeps the engine's default. Each ends within its time too, so that
// an answer without end, however its bytes come, ends the command in a time a user can wait.
void limitAnswerForCommand(MsgRequest& request, int cmdCode)
{
    request.setMaximumInMemoryResponseSize(isSyncTableCommand(cmdCode) ? MsgRequest::kSyncTableAnswerLimit
                                                                       : BRHTTPRequest::kDefaultMaximumInMemoryResponseSize);
    request.setMaximumDownloadSeconds(DownloadRequest::answerSecondsFor(cmdCode, request.postBody().size()));
}
} // namespace

MsgRequest::MsgRequest(std::optional<net::URL> url) : BRFormDataRequest(std::move(url))
{
    setRequestMethod("POST");
    setTimeOutSeconds(kTimeOutSeconds);
    // Every answer, of a command, an upload or a file, is held to the same pace: one that
    // trickles times out as after silence.
    auto pace = DownloadRequest::limits();
    setLowSpeedLimit(pace.lowSpeedBytes, pace.lowSpeedSeconds);
    setRequestHeaders({{"Content-Type", kContentType}});
}

MsgRequest::Ptr MsgRequest::requestWithURL(std::optional<net::URL> url)
{
    return Ptr(new MsgRequest(std::move(url)));
}

void MsgRequest::setrequestCode(int code)
{
    m_requestCode = code;
    setTag(code);
}

void MsgRequest::setReqInfo(RequestInfoBase& info)
{
    m_requestType = info.requestType();
    m_cmdCode = info.cmdCode();
    setKeepsAnswerInFile(info.answerInFile());
    m_modelDelegage = info.delegate();
    const std::string& text = info.requestUrlBody() ? *info.requestUrlBody() : std::string();
    base::Bytes bytes(text.begin(), text.end());
    info.setPostData(bytes);
    if (!bytes.empty())
        setPostBody(std::move(bytes));
    limitAnswerForCommand(*this, m_cmdCode);
}

void MsgRequest::setInfoWithRequest(const MsgRequest& earlier)
{
    setTag(earlier.tag());
    m_requestCode = earlier.m_requestCode;
    setDelegate(earlier.delegate());
    m_requestType = earlier.m_requestType;
    m_cmdCode = earlier.m_cmdCode;
    setKeepsAnswerInFile(earlier.keepsAnswerInFile());
    m_modelDelegage = earlier.m_modelDelegage;
    if (!earlier.postBody().empty())
        setPostBody(earlier.postBody());
    limitAnswerForCommand(*this, m_cmdCode);
    setShouldAttemptPersistentConnection(earlier.shouldAttemptPersistentConnection());
}
