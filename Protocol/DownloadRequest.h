#pragma once
#include "Protocol/DownloadProgressDelegate.h"
#include "Protocol/MsgRequest.h"

#include <cstdint>
#include <optional>
#include <string>

class DownLoadRequestInfo;

// The HTTP request of one file: a body-less, resumable POST written to the file's local path
// through a temporary file of the client's own.
class DownloadRequest : public MsgRequest {
public:
    using Ptr = std::shared_ptr<DownloadRequest>;
    static constexpr double kTimeOutSeconds = 20.0;

    // What holds every download, whatever the server says: a file listed without a size is
    // bounded by a ceiling no true file of its kind reaches (a picture or the skin archive, or
    // anything else), and by a time no such file takes at a slow mobile link's pace (1 Mbit/s
    // brings the picture ceiling in 36 minutes, the other in 9.5 hours); an answer, of a file
    // or a command, slower than lowSpeedBytes over lowSpeedSeconds times out; a disk left
    // with less than diskReserve free stops a download.
    struct Limits {
        uint64_t pictureCeiling = uint64_t(256) << 20;
        uint64_t fileCeiling = uint64_t(4) << 30;
        double pictureSeconds = 3600;
        double fileSeconds = 12 * 3600;
        uint64_t lowSpeedBytes = 20 * 1024;
        double lowSpeedSeconds = 20.0;
        uint64_t diskReserve = uint64_t(64) << 20;
        // A command's answer, an upload's included, ends within the time its size ceiling takes
        // at that same 1 Mbit/s: 64 MiB in 9 minutes, a sync table's 256 MiB in 36. A request
        // body adds its own time at that pace (answerSecondsFor).
        double commandSeconds = 9 * 60;
        double tableSeconds = 36 * 60;
    };
    // A slow mobile link, 1 Mbit/s: no true answer or body is cut by a bound at its pace.
    static constexpr double kSlowLinkBytesPerSecond = 125000;
    // The test limits when set, else those BRIVANTA_TEST_LIMITS names ("tableSeconds=8,
    // commandSeconds=5": any member above, for a check of the built program), else the real ones.
    static Limits limits();
    // Smaller limits for a test, so that it need not send gigabytes or wait long; nullopt
    // restores the real ones.
    static void setLimitsForTesting(std::optional<Limits> limits);
    // The time bound of a command's answer (cmdCode), its body of bodyBytes sent first.
    static double answerSecondsFor(int cmdCode, uint64_t bodyBytes);
    // Pictures (types 1 to 4) and the skin archive (type 10), held to the picture limits.
    static bool isPictureType(int imgType);
    // The bound of a file of that type listed with `listed` bytes (0: not listed).
    static uint64_t boundFor(int imgType, uint64_t listed);
    // The time bound of one attempt at it: none for a listed file, whose size and the pace
    // bound it already.
    static double timeBoundFor(int imgType, uint64_t listed);

    static Ptr requestWithURL(std::optional<net::URL> url);

    int downloadId() const { return m_downloadId; }
    const std::string& fileName() const { return m_fileName; }
    int progressType() const { return m_progressType; }
    int imgType() const { return m_imgType; }
    // Bytes this attempt received.
    uint64_t receiveLength() const { return m_receiveLength; }
    void addReceiveLength(uint64_t n) { m_receiveLength += n; }
    std::shared_ptr<DownloadProgressDelegate> percentReceiver() const { return m_percentReceiver.lock(); }

    // Thinning of the per-file reports: the loop time of the last one, and whether 1.0 went.
    std::optional<double> lastReportTime;
    bool reportedComplete = false;

    // Settings from the file's record. Needs the record's destination and temporary paths:
    // the transport checks them before it makes the request.
    void setReqInfo(RequestInfoBase& info) override;
    void setPaths(std::string destination, std::string temporary);
    void setInfoWithRequest(const DownloadRequest& earlier);

    // Documents/<client>/tempDownload/<type folder>/<name> for a destination of
    // Documents/<client>/<type folder>/<name>: no other client, type or row shares it.
    static std::optional<std::string> temporaryPathFor(const std::string& name, int type);

protected:
    explicit DownloadRequest(std::optional<net::URL> url);

private:
    int m_downloadId = 0;
    std::string m_fileName;
    int m_progressType = -1;
    int m_imgType = -1;
    uint64_t m_receiveLength = 0;
    // Where this file's part is kept between attempts: the engine forgets a part it removed.
    std::string m_temporaryPath;
    std::weak_ptr<DownloadProgressDelegate> m_percentReceiver;
};
