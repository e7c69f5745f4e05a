#pragma once
#include "Network/BRHTTPRequest.h"
#include "Network/BRHTTPRequestShared.h"
#include "Platform/Base/RunLoop.h"
#include "tests/Support/LoopbackServer.h"
#include "tests/Support/TestCertificates.h"

#include <gtest/gtest.h>
#include <openssl/evp.h>

#include <atomic>
#include <csignal>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <netinet/in.h>
#include <pwd.h>
#include <string>
#include <sys/socket.h>
#include <sys/xattr.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace enginetest {

using testsupport::Gate;
using testsupport::LoopbackServer;
using testsupport::Reply;
using testsupport::Request;

// Every suite here writes under a private home folder.
inline const std::string& testHome()
{
    static const std::string home = [] {
        std::string dir = testsupport::makeTemporaryFolder("engine-home");
        setenv("BRIVANTA_HOME", dir.c_str(), 1);
        // The loopback server's TLS layer may write to a client that has gone.
        std::signal(SIGPIPE, SIG_IGN);
        return dir;
    }();
    return home;
}

// Records what a request tells its delegate, and where.
class Recorder : public BRHTTPRequestDelegate {
public:
    std::vector<std::string> events;
    std::string data;
    std::vector<size_t> chunkSizes;
    bool wantsData = false;
    // Off for answers far larger than the test would hold: only their size is counted.
    bool keepsData = true;
    uint64_t dataSize = 0;
    bool offMain = false;
    int finished = 0;
    int failed = 0;

    void requestStarted(BRHTTPRequest&) override { note("started"); }
    void requestDidReceiveResponseHeaders(BRHTTPRequest&, const net::HttpHeaders&) override { note("headers"); }
    void requestFinished(BRHTTPRequest&) override
    {
        note("finished");
        ++finished;
    }
    void requestFailed(BRHTTPRequest&) override
    {
        note("failed");
        ++failed;
    }
    void requestDidReceiveData(BRHTTPRequest&, const BRData& chunk) override
    {
        if (events.empty() || events.back() != "data")
            note("data");
        else
            offMain = offMain || !base::RunLoop::isMainThread();
        dataSize += chunk->size();
        if (keepsData) {
            data.append(reinterpret_cast<const char*>(chunk->data()), chunk->size());
            chunkSizes.push_back(chunk->size());
        }
    }
    bool answersDidReceiveData() const override { return wantsData; }
    bool answersRequestStarted() const override { return true; }
    bool answersResponseHeaders() const override { return true; }

    bool done() const { return finished + failed > 0; }
    // On the main thread, one ending, nothing after it, each attempt starting before its answer.
    ::testing::AssertionResult wellOrdered() const
    {
        if (offMain)
            return ::testing::AssertionFailure() << "a callback ran off the main thread";
        if (finished + failed != 1)
            return ::testing::AssertionFailure() << finished << " finishes and " << failed << " failures";
        if (events.back() != "finished" && events.back() != "failed")
            return ::testing::AssertionFailure() << "the ending was not last: " << joined();
        bool started = false;
        for (const auto& e : events) {
            if (e == "started")
                started = true;
            else if ((e == "headers" || e == "data") && !started)
                return ::testing::AssertionFailure() << "answer before start: " << joined();
        }
        return ::testing::AssertionSuccess();
    }
    std::string joined() const
    {
        std::string s;
        for (const auto& e : events)
            s += e + " ";
        return s;
    }

private:
    void note(const std::string& e)
    {
        offMain = offMain || !base::RunLoop::isMainThread();
        events.push_back(e);
    }
};

// A request with a recorder and a count of how often it was marked finished.
struct Exchange {
    BRHTTPRequest::Ptr request;
    std::shared_ptr<Recorder> recorder = std::make_shared<Recorder>();
    std::shared_ptr<std::atomic<int>> markedFinished = std::make_shared<std::atomic<int>>(0);

    explicit Exchange(const std::string& url) : Exchange(net::URL::parse(url)) {}
    explicit Exchange(std::optional<net::URL> url) : request(BRHTTPRequest::requestWithURL(std::move(url)))
    {
        request->setDelegate(recorder);
        auto count = markedFinished;
        request->setCompletion([count] { ++*count; });
    }
    bool wait(double seconds = 60)
    {
        return base::RunLoop::main().runUntil([&] { return recorder->done() && *markedFinished > 0; }, seconds);
    }
    bool runAsync(double seconds = 60)
    {
        request->startAsynchronous();
        return wait(seconds);
    }
    int errorCode() const { return request->error() ? request->error()->code : 0; }
};

// How the server layer configures a command.
inline void configureAsCommand(BRHTTPRequest& r, const std::string& body)
{
    r.setRequestMethod("POST");
    r.setTimeOutSeconds(15);
    r.setRequestHeaders({{"Content-Type", "applicatioin/bin;charset=UTF-8"}});
    r.setPostBody(base::Bytes(body.begin(), body.end()));
}

// How the server layer configures a file download.
inline void configureAsDownload(BRHTTPRequest& r, const std::string& destination, const std::string& temporary)
{
    r.setRequestMethod("POST");
    r.setTimeOutSeconds(20);
    r.setShouldResetDownloadProgress(false);
    r.setAllowResumeForFileDownloads(true);
    r.setShouldContinueWhenAppEntersBackground(true);
    r.setDownloadDestinationPath(destination);
    r.setTemporaryFileDownloadPath(temporary);
}

inline std::string pattern(size_t size)
{
    std::string s(size, '\0');
    for (size_t i = 0; i < size; ++i)
        s[i] = char('a' + (i * 7 + i / 251) % 26);
    return s;
}

inline std::string readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

inline void writeFile(const std::string& path, const std::string& data)
{
    std::ofstream(path, std::ios::binary) << data;
}

inline bool fileExists(const std::string& path) { return ::access(path.c_str(), F_OK) == 0; }

// Marks a part written by a test as begun by an answer with that validator, as the engine marks
// the parts it keeps: only such a part is continued.
inline bool markPart(const std::string& path, const std::string& validator)
{
    return ::setxattr(path.c_str(), kDownloadValidatorAttribute, validator.data(), validator.size(), 0) == 0;
}

inline std::string sha256(const std::string& data)
{
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    EVP_Digest(data.data(), data.size(), digest, &length, EVP_sha256(), nullptr);
    static const char* hex = "0123456789abcdef";
    std::string out;
    for (unsigned i = 0; i < length; ++i) {
        out += hex[digest[i] >> 4];
        out += hex[digest[i] & 15];
    }
    return out;
}

// nginx on a free loopback port, serving `root`; stopped with the object.
class Nginx {
public:
    static bool available() { return ::access("/usr/sbin/nginx", X_OK) == 0; }

    Nginx(const std::string& root, const std::string& extraServer = {})
    {
        m_dir = testsupport::makeTemporaryFolder("nginx");
        m_port = freePort();
        std::string conf = m_dir + "/nginx.conf";
        // Workers run as the test's own user, so they can read its temporary folders.
        const passwd* user = ::getpwuid(::getuid());
        std::ofstream(conf) << "user " << (user ? user->pw_name : "nobody") << ";\n"
                            << "pid " << m_dir << "/nginx.pid;\n"
                            << "error_log " << m_dir << "/error.log;\n"
                            << "worker_processes 1;\nevents { worker_connections 64; }\n"
                            << "http {\n access_log off;\n"
                            << " client_body_temp_path " << m_dir << "/body;\n proxy_temp_path " << m_dir << "/proxy;\n"
                            << " fastcgi_temp_path " << m_dir << "/fcgi;\n uwsgi_temp_path " << m_dir << "/uwsgi;\n"
                            << " scgi_temp_path " << m_dir << "/scgi;\n"
                            << " default_type application/octet-stream;\n"
                            << " server {\n  listen 127.0.0.1:" << m_port << ";\n  root " << root << ";\n"
                            << "  gzip on; gzip_types text/plain; gzip_min_length 1;\n"
                            << "  location = /conn { return 200 \"$connection\"; }\n"
                            // Static files answer POST as well: every download is a body-less POST.
                            << "  error_page 405 =200 $uri;\n" << extraServer << " }\n}\n";
        pid_t child = fork();
        if (child == 0) {
            execl("/usr/sbin/nginx", "nginx", "-p", m_dir.c_str(), "-c", conf.c_str(), (char*)nullptr);
            _exit(127);
        }
        int status = 0;
        // The master has bound its socket before the launcher returns.
        waitpid(child, &status, 0);
        m_ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    }
    ~Nginx()
    {
        std::ifstream pidFile(m_dir + "/nginx.pid");
        pid_t pid = 0;
        if (pidFile >> pid && pid > 0)
            ::kill(pid, SIGTERM);
    }
    bool ok() const { return m_ok; }
    std::string url(const std::string& path) const { return "http://127.0.0.1:" + std::to_string(m_port) + path; }

    static int freePort()
    {
        int fd = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
        socklen_t len = sizeof addr;
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len);
        ::close(fd);
        return ntohs(addr.sin_port);
    }

private:
    std::string m_dir;
    int m_port = 0;
    bool m_ok = false;
};

#define SKIP_WITHOUT_NGINX()                                                                                  \
    if (!enginetest::Nginx::available())                                                                     \
    GTEST_SKIP() << "nginx is not installed (scripts/setup.sh installs nginx-light)"

} // namespace enginetest
