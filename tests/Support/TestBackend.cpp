#include "tests/Support/TestBackend.h"

#include "Platform/Base/UserDefaults.h"

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#ifndef BRIVANTA_SOURCE_DIR
#error "BRIVANTA_SOURCE_DIR must name the source tree (for tools/backend)"
#endif

namespace testsupport {

std::string uploadOrder(const std::string& number, const std::string& cdate, int lines, double orderRate,
                        double lineRate)
{
    auto text = [](const std::string& value) { return "\"" + value + "\""; };
    auto rate = [](double value) {
        char out[32];
        std::snprintf(out, sizeof out, "%.17g", value);
        return std::string(out);
    };
    std::string items;
    for (int i = 1; i <= lines; ++i) {
        items += std::string(i > 1 ? "," : "") + "{\"order_item_id\":" + std::to_string(-i) +
                 ",\"order_id\":-1,\"customer_info_id\":\"\",\"vendor_id\":0,\"product_id\":101,"
                 "\"order_item_sku\":\"CH-1\",\"order_item_name\":\"Chair\",\"product_quantity\":" +
                 std::to_string(i) +
                 ",\"product_item_price\":12.5,\"product_final_price\":12.5,\"order_item_currency\":\"USD\","
                 "\"order_item_subtotal\":12.5,\"order_status\":0,\"cdate\":" + text(cdate) + ",\"mdate\":" +
                 text(cdate) + ",\"product_attribute\":\"\",\"discount_rat\":" + rate(lineRate) + "}";
    }
    return "{\"order_id\":-1,\"customer_id\":9001,\"customer_name\":\"Globex\",\"customer_info_id\":\"\","
           "\"vendor_id\":17,\"order_number\":" + text(number) +
           ",\"order_total\":0,\"order_subtotal\":0,\"order_tax\":0,\"order_tax_details\":\"\",\"order_shipping\":0,"
           "\"order_shipping_tax\":0,\"coupon_discount\":0,\"coupon_code\":\"\",\"order_discount\":0,"
           "\"order_currency\":\"USD\",\"order_status\":0,\"cdate\":" + text(cdate) + ",\"mdate\":" + text(cdate) +
           ",\"ship_method\":\"\",\"customer_note\":\"\",\"ip_address\":\"dev-1\",\"uploaded\":false,"
           "\"discount_rats\":" + rate(orderRate) +
           ",\"signature\":\"\",\"address\":\"\",\"city\":\"\",\"state\":\"\",\"zip_code\":\"\",\"phone\":\"\","
           "\"bankAccount\":\"\",\"order_item\":{\"order_items\":[" + items + "]}}";
}

namespace {

std::string lower(std::string text)
{
    for (char& c : text)
        c = static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
    return text;
}

std::string jsonText(const std::string& text)
{
    std::string out = "\"";
    for (unsigned char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
            out += escaped;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out + "\"";
}

bool sendAll(int fd, const std::string& data)
{
    size_t sent = 0;
    while (sent < data.size()) {
        ssize_t n = ::send(fd, data.data() + sent, data.size() - sent, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        sent += static_cast<size_t>(n);
    }
    return true;
}

std::string envOr(const char* name, const std::string& fallback)
{
    const char* value = std::getenv(name);
    return value && *value ? value : fallback;
}

} // namespace

std::optional<std::string> HttpAnswer::header(const std::string& name) const
{
    for (const auto& [key, value] : headers)
        if (lower(key) == lower(name))
            return value;
    return std::nullopt;
}

std::optional<HttpAnswer> httpExchange(int port, const std::string& method, const std::string& target,
                                       const std::string& body,
                                       const std::vector<std::pair<std::string, std::string>>& headers)
{
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return std::nullopt;
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(static_cast<uint16_t>(port));
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    timeval timeout{10, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
        ::close(fd);
        return std::nullopt;
    }
    std::string request = method + " " + target + " HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(port)
        + "\r\nConnection: close\r\nContent-Length: " + std::to_string(body.size()) + "\r\n";
    for (const auto& [key, value] : headers)
        request += key + ": " + value + "\r\n";
    request += "\r\n" + body;
    std::string raw;
    if (sendAll(fd, request)) {
        char buffer[65536];
        for (;;) {
            ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                break;
            raw.append(buffer, static_cast<size_t>(n));
        }
    }
    ::close(fd);
    size_t headEnd = raw.find("\r\n\r\n");
    if (headEnd == std::string::npos)
        return std::nullopt;
    HttpAnswer answer;
    std::string head = raw.substr(0, headEnd);
    size_t lineEnd = head.find("\r\n");
    std::string statusLine = head.substr(0, lineEnd);
    size_t space = statusLine.find(' ');
    if (space == std::string::npos)
        return std::nullopt;
    answer.status = std::atoi(statusLine.c_str() + space + 1);
    while (lineEnd != std::string::npos) {
        size_t start = lineEnd + 2;
        lineEnd = head.find("\r\n", start);
        std::string line = head.substr(start, lineEnd == std::string::npos ? std::string::npos : lineEnd - start);
        size_t colon = line.find(':');
        if (colon == std::string::npos)
            continue;
        size_t valueStart = line.find_first_not_of(' ', colon + 1);
        answer.headers.emplace_back(line.substr(0, colon),
                                    valueStart == std::string::npos ? std::string() : line.substr(valueStart));
    }
    answer.body = raw.substr(headEnd + 4);
    if (auto length = answer.header("Content-Length"); length && std::stoul(*length) < answer.body.size())
        answer.body.resize(std::stoul(*length));
    return answer;
}

std::unique_ptr<TestBackend> TestBackend::start(const std::string& fixture, std::string* error,
                                                const std::vector<std::string>& options)
{
    auto fail = [&](const std::string& why) -> std::unique_ptr<TestBackend> {
        if (error)
            *error = why;
        return nullptr;
    };
    std::string python = envOr("BRIVANTA_PYTHON", "/usr/bin/python3");
    std::string script = envOr("BRIVANTA_BACKEND", std::string(BRIVANTA_SOURCE_DIR) + "/tools/backend/server.py");
    int out[2];
    if (::pipe2(out, O_CLOEXEC) != 0)
        return fail(std::string("pipe: ") + std::strerror(errno));
    std::vector<std::string> args = {python, script, "--port", "0", "--file-port", "0", "--fixture", fixture,
                                     "--path", kPath, "--image-path", kImagePath};
    args.insert(args.end(), options.begin(), options.end());
    std::vector<char*> argv;
    for (auto& arg : args)
        argv.push_back(arg.data());
    argv.push_back(nullptr);
    pid_t parent = ::getpid();
    pid_t child = ::fork();
    if (child < 0) {
        ::close(out[0]);
        ::close(out[1]);
        return fail(std::string("fork: ") + std::strerror(errno));
    }
    if (child == 0) {
        // Killed with whoever started it, even by SIGKILL; a parent already gone means no run.
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (::getppid() != parent)
            _exit(1);
        ::dup2(out[1], 1);
        ::execv(argv[0], argv.data());
        _exit(127);
    }
    ::close(out[1]);
    std::unique_ptr<TestBackend> backend(new TestBackend());
    backend->m_pid = child;
    backend->m_output = out[0];
    // The first line names both ports.
    std::string line;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (line.find('\n') == std::string::npos) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        pollfd p{out[0], POLLIN, 0};
        if (left.count() <= 0 || ::poll(&p, 1, static_cast<int>(left.count())) <= 0)
            return fail("the back end did not report its ports in time");
        char c[256];
        ssize_t n = ::read(out[0], c, sizeof c);
        if (n <= 0)
            return fail("the back end ended before reporting its ports (" + python + " " + script + ")");
        line.append(c, static_cast<size_t>(n));
    }
    int commandPort = 0, filePort = 0;
    if (std::sscanf(line.c_str(), "backend listening on %*s commands %d files %d", &commandPort, &filePort) != 2)
        return fail("unexpected first line: " + line);
    backend->m_commandPort = commandPort;
    backend->m_filePort = filePort;
    return backend;
}

TestBackend::~TestBackend()
{
    stop();
}

void TestBackend::stop()
{
    if (m_pid > 0) {
        ::kill(m_pid, SIGTERM);
        int status = 0;
        bool reaped = false;
        for (int i = 0; i < 200 && !reaped; ++i) {
            pid_t done = ::waitpid(m_pid, &status, WNOHANG);
            reaped = done == m_pid || (done < 0 && errno == ECHILD);
            if (!reaped)
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        if (!reaped) {
            ::kill(m_pid, SIGKILL);
            ::waitpid(m_pid, &status, 0);
        }
        m_pid = -1;
    }
    if (m_output >= 0) {
        ::close(m_output);
        m_output = -1;
    }
}

void TestBackend::writeServerSettings(base::UserDefaults& defaults) const
{
    defaults.setString("127.0.0.1", "IP");
    defaults.setInteger(m_commandPort, "Port");
    defaults.setString(kPath, "Path");
    defaults.setString("127.0.0.1", "ImageIP");
    defaults.setInteger(m_filePort, "ImagePort");
    defaults.setString(kImagePath, "ImagePath");
    defaults.synchronize();
}

void TestBackend::writeServerSettings() const
{
    writeServerSettings(*base::UserDefaults::standard());
}

bool TestBackend::control(const std::string& json, std::string* error)
{
    auto answer = httpExchange(m_commandPort, "POST", "/__control", json);
    if (answer && answer->status == 200)
        return true;
    if (error)
        *error = answer ? answer->body : std::string("no answer from the back end");
    return false;
}

bool TestBackend::applyChangeSet(const std::string& name)
{
    return control("{\"changeSet\": " + jsonText(name) + "}");
}

bool TestBackend::setFault(const std::string& target, const std::string& kind, int times, const std::string& extra)
{
    std::string fault = "{\"target\": " + jsonText(target) + ", \"kind\": " + jsonText(kind);
    if (times > 0)
        fault += ", \"times\": " + std::to_string(times);
    if (!extra.empty())
        fault += ", " + extra;
    return control("{\"faults\": [" + fault + "}]}");
}

bool TestBackend::setPerRun(const std::string& members)
{
    return control("{\"perRun\": {" + members + "}}");
}

std::vector<std::string> TestBackend::logLines(size_t from) const
{
    std::vector<std::string> lines;
    auto answer = httpExchange(m_commandPort, "GET", "/__log?from=" + std::to_string(from));
    if (!answer || answer->status != 200)
        return lines;
    size_t start = 0;
    while (start < answer->body.size()) {
        size_t end = answer->body.find('\n', start);
        if (end == std::string::npos)
            end = answer->body.size();
        if (end > start)
            lines.push_back(answer->body.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

std::string TestBackend::state() const
{
    auto answer = httpExchange(m_commandPort, "GET", "/__state");
    return answer && answer->status == 200 ? answer->body : std::string();
}

} // namespace testsupport
