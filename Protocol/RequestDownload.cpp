#include "Protocol/RequestDownload.h"

#include "Common/Language.h"
#include "Protocol/DownloadRst.h"

#include <mutex>

namespace {

std::mutex downloadIdLock;
int lastDownloadId = 0;

} // namespace

RequestDownload::RequestDownload()
{
    static constexpr const ServerCommand* command = findServerCommand("RequestDownload");
    setCommand(*command);
    std::lock_guard guard(downloadIdLock);
    m_downloadId = ++lastDownloadId;
}

std::shared_ptr<NetBaseRst> RequestDownload::RequestDecode(const std::optional<base::Value>& answer)
{
    auto result = std::make_shared<DownloadRst>();
    DecodeResults(*result, answer);
    // An answer too large to take says so, as every other road does.
    if (result->status != kStatusSuccess && result->status != kStatusFileMissing &&
        result->status != kStatusAnswerTooLarge)
        result->message = Language::stringWithName("DOWNLOADERROR");
    return result;
}
