#pragma once
#include "Protocol/FileNameList.h"
#include "Protocol/RequestInterfaceBase.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

// Fetches files of one type from the file server into their local folders: one resumable
// POST per name, each answered on its own with a DownloadRst.
class RequestDownload : public RequestInterfaceBase {
public:
    // Takes the next download id (1, 2, 3, ... for the process).
    RequestDownload();

    int downloadId() const { return m_downloadId; }
    int fileId() const { return m_fileId; }
    void setFileId(int id) { m_fileId = id; }
    int imgType() const { return m_imgType; }
    void setImgType(int type) { m_imgType = type; }
    int progressType() const { return m_progressType; }
    void setProgressType(int type) { m_progressType = type; }
    // The most bytes a file of the list may have (what the list says, with room); 0 for no bound.
    uint64_t maximumFileSize() const { return m_maximumFileSize; }
    void setMaximumFileSize(uint64_t bytes) { m_maximumFileSize = bytes; }
    // The names to fetch; nothing when none were given.
    const FileNameList* fileNameList() const { return m_fileNames.get(); }
    void setFileNameList(const std::optional<std::vector<std::string>>& names)
    {
        m_fileNames = names ? std::make_shared<const FileNameList>(*names) : nullptr;
    }
    // The same list shared rather than copied: a sync's tens of thousands of names are held once
    // by whoever keeps them, the command and the transport's queue.
    const std::shared_ptr<const FileNameList>& fileNames() const { return m_fileNames; }
    void setFileNames(std::shared_ptr<const FileNameList> names) { m_fileNames = std::move(names); }

    // "200" and "404" keep their texts; any other status reads as a download error.
    std::shared_ptr<NetBaseRst> RequestDecode(const std::optional<base::Value>& answer) override;

private:
    int m_downloadId = 0;
    int m_fileId = 0;
    int m_imgType = -1;
    int m_progressType = -1;
    uint64_t m_maximumFileSize = 0;
    std::shared_ptr<const FileNameList> m_fileNames;
};
