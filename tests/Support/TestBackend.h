#pragma once
// The loopback back end (tools/backend/server.py) as a child process of a test: it binds free
// ports itself and reports them, dies with the thread that started it, and is driven through its
// control, log and state addresses with plain blocking sockets.
#include <sys/types.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace base {
class UserDefaults;
}

namespace testsupport {

// One blocking HTTP/1.1 exchange on loopback; the answer is read to the end of the connection.
struct HttpAnswer {
    int status = 0;
    std::vector<std::pair<std::string, std::string>> headers;
    std::string body;
    std::optional<std::string> header(const std::string& name) const;
};
std::optional<HttpAnswer> httpExchange(int port, const std::string& method, const std::string& target,
                                       const std::string& body = {},
                                       const std::vector<std::pair<std::string, std::string>>& headers = {});

// One order object of the order upload document with every key it has, of its type: the back
// end refuses anything less. `lines` lines of product 101; the rates are the absolute ones.
std::string uploadOrder(const std::string& number, const std::string& cdate, int lines = 0,
                        double orderRate = 100, double lineRate = 100);

class TestBackend {
public:
    static constexpr const char* kPath = "BrivantaSaas";
    static constexpr const char* kImagePath = "brivanta_saas";

    // Starts the back end on the named fixture, with further command-line `options` (such as
    // "--nagle"); nullptr (and `error` filled) when it cannot. The child gets SIGKILL when the
    // calling thread ends, so start it from the test's thread.
    static std::unique_ptr<TestBackend> start(const std::string& fixture = "S", std::string* error = nullptr,
                                              const std::vector<std::string>& options = {});
    ~TestBackend();
    TestBackend(const TestBackend&) = delete;
    TestBackend& operator=(const TestBackend&) = delete;

    pid_t pid() const { return m_pid; }
    int commandPort() const { return m_commandPort; }
    int filePort() const { return m_filePort; }

    // "IP", "Port", "Path", "ImageIP", "ImagePort" and "ImagePath" for this back end, saved.
    void writeServerSettings(base::UserDefaults& defaults) const;
    void writeServerSettings() const;

    // POSTs a JSON object to the control address; false (and `error`) when it is refused.
    bool control(const std::string& json, std::string* error = nullptr);
    bool reset() { return control(R"({"reset": true})"); }
    bool applyChangeSet(const std::string& name);
    // A fault for a command code ("515", "265-history") or a file name; `times` 0 means always.
    // `extra` holds further members of the fault object, e.g. R"("status": "101")".
    bool setFault(const std::string& target, const std::string& kind, int times = 1, const std::string& extra = {});
    // Members of the per-run values, e.g. R"("deviceStatus": "114")".
    bool setPerRun(const std::string& members);

    // The log's JSON lines from index `from` on; the state as one JSON text.
    std::vector<std::string> logLines(size_t from = 0) const;
    std::string state() const;

    // Ends the child (SIGTERM, then SIGKILL) and reaps it; safe to call twice.
    void stop();

private:
    TestBackend() = default;
    pid_t m_pid = -1;
    int m_output = -1;
    int m_commandPort = 0;
    int m_filePort = 0;
};

} // namespace testsupport
