#pragma once
#include "Protocol/RequestInterfaceBase.h"

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
    const std::optional<std::vector<std::string>>& fileNameList() const { return m_fileNameList; }
    void setFileNameList(std::optional<std::vector<std::string>> names) { m_fileNameList = std::move(names); }

    // "200" and "404" keep their texts; any other status reads as a download error.
    std::shared_ptr<NetBaseRst> RequestDecode(const std::optional<base::Value>& answer) override;

private:
    int m_downloadId = 0;
    int m_fileId = 0;
    int m_imgType = -1;
    int m_progressType = -1;
    std::optional<std::vector<std::string>> m_fileNameList;
};
