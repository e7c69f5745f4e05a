#pragma once
#include "Network/BRHTTPRequestDelegate.h"

class DownLoadRequestInfo;

// A requester of file downloads: the fraction of one file (progress type 1), or through the
// engine's setProgress the figure of a whole batch (progress type 2).
class DownloadProgressDelegate : public BRProgressDelegate {
public:
    // Carries the file's name, the command's download id and the fraction.
    virtual void ReciveDownloadPercent(const DownLoadRequestInfo&) {}
};
