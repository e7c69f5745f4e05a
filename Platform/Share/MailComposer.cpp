#include "Platform/Share/MailComposer.h"

#include "Platform/Base/Date.h"
#include "Platform/Base/Digest.h"
#include "Platform/Base/FileManager.h"
#include "Platform/Base/Log.h"
#include "Platform/Base/Paths.h"
#include "Platform/Share/Program.h"
#include "Platform/UI/Application.h"

#include <cctype>
#include <ctime>
#include <mutex>
#include <unistd.h>

namespace share {

namespace {

std::mutex g_sharedMutex;
std::shared_ptr<MailComposer> g_shared;

std::string base64Lines(const base::Bytes& data)
{
    static const char* table = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    out.reserve(data.size() * 4 / 3 + data.size() / 54 + 8);
    size_t column = 0;
    for (size_t i = 0; i < data.size(); i += 3) {
        uint32_t n = uint32_t(data[i]) << 16;
        if (i + 1 < data.size())
            n |= uint32_t(data[i + 1]) << 8;
        if (i + 2 < data.size())
            n |= data[i + 2];
        out += table[(n >> 18) & 63];
        out += table[(n >> 12) & 63];
        out += i + 1 < data.size() ? table[(n >> 6) & 63] : '=';
        out += i + 2 < data.size() ? table[n & 63] : '=';
        if ((column += 4) >= 76) {
            out += "\r\n";
            column = 0;
        }
    }
    if (column)
        out += "\r\n";
    return out;
}

// A header word: plain ASCII as it is, anything else as an encoded word.
std::string headerText(const std::string& text)
{
    bool plain = true;
    for (unsigned char c : text)
        if (c < 0x20 || c >= 0x7f)
            plain = false;
    if (plain)
        return text;
    base::Bytes bytes(text.begin(), text.end());
    std::string encoded = base64Lines(bytes);
    std::erase(encoded, '\r');
    std::erase(encoded, '\n');
    return "=?UTF-8?B?" + encoded + "?=";
}

// A file name safe to keep in the Outbox folder.
std::string safeName(const std::string& name)
{
    std::string out;
    for (char c : name)
        out += (c == '/' || c == '\0') ? '_' : c;
    if (out.empty() || out == "." || out == "..")
        out = "attachment";
    return out;
}

// The address a mail program would be opened on, as recorded by a headless run.
std::string mailtoAddress(const std::string& subject, const std::vector<std::string>& recipients)
{
    auto escaped = [](const std::string& text) {
        static const char* hex = "0123456789ABCDEF";
        std::string out;
        for (unsigned char c : text) {
            if (std::isalnum(c) || c == '-' || c == '.' || c == '_' || c == '~' || c == '@') {
                out += static_cast<char>(c);
            } else {
                out += '%';
                out += hex[c >> 4];
                out += hex[c & 15];
            }
        }
        return out;
    };
    std::string to;
    for (const auto& r : recipients)
        to += (to.empty() ? "" : ",") + escaped(r);
    return "mailto:" + to + "?subject=" + escaped(subject);
}

} // namespace

MailComposer& MailComposer::shared()
{
    std::lock_guard lock(g_sharedMutex);
    if (!g_shared)
        g_shared = std::make_shared<OutboxMailComposer>();
    return *g_shared;
}

void MailComposer::setShared(std::shared_ptr<MailComposer> composer)
{
    std::lock_guard lock(g_sharedMutex);
    g_shared = std::move(composer);
}

std::string OutboxMailComposer::outboxPath()
{
    return base::Paths::home() + "/Outbox";
}

bool OutboxMailComposer::canSendMail()
{
    std::string outbox = outboxPath();
    if (!base::FileManager::createDirectories(outbox, 0700))
        return false;
    return access(outbox.c_str(), W_OK | X_OK) == 0;
}

std::string OutboxMailComposer::messageText(const std::string& subject, const std::vector<std::string>& recipients,
                                            const Attachment& attachment, const std::string& boundary)
{
    std::string to;
    for (const auto& r : recipients)
        to += (to.empty() ? "" : ", ") + r;
    char date[64];
    std::time_t now = std::time_t(base::Date::now().timeIntervalSince1970());
    std::tm tm{};
    gmtime_r(&now, &tm);
    std::strftime(date, sizeof date, "%a, %d %b %Y %H:%M:%S +0000", &tm);
    std::string name = headerText(attachment.fileName);
    std::string m;
    m += "MIME-Version: 1.0\r\n";
    m += "Date: " + std::string(date) + "\r\n";
    if (!to.empty())
        m += "To: " + to + "\r\n";
    m += "Subject: " + headerText(subject) + "\r\n";
    m += "Content-Type: multipart/mixed; boundary=\"" + boundary + "\"\r\n\r\n";
    m += "--" + boundary + "\r\n";
    m += "Content-Type: text/plain; charset=utf-8\r\n\r\n\r\n";
    m += "--" + boundary + "\r\n";
    m += "Content-Type: " + attachment.mimeType + "; name=\"" + name + "\"\r\n";
    m += "Content-Transfer-Encoding: base64\r\n";
    m += "Content-Disposition: attachment; filename=\"" + name + "\"\r\n\r\n";
    m += base64Lines(attachment.data);
    m += "--" + boundary + "--\r\n";
    return m;
}

MailResult OutboxMailComposer::compose(const std::string& subject, const std::vector<std::string>& recipients,
                                       const Attachment& attachment)
{
    m_unsent.clear();
    if (!canSendMail())
        return MailResult::Failed;
    // The program already open has the user's earlier message in front of them.
    if (*m_running) {
        base::logf("MailComposer: a mail program is still open; nothing new is started");
        return MailResult::Cancelled;
    }
    std::string id = base::Digest::uuidString();
    std::string folder = outboxPath() + "/" + id;
    if (!base::FileManager::createDirectories(folder, 0700))
        return MailResult::Failed;
    std::string saved = folder + "/" + safeName(attachment.fileName);
    std::string message = outboxPath() + "/" + id + ".eml";
    std::string text = messageText(subject, recipients, attachment, "=_" + id);
    if (!base::FileManager::writeAtomically(saved, attachment.data, 0600) ||
        !base::FileManager::writeAtomically(message, text, 0600)) {
        base::logf("MailComposer: cannot write the message into %s", outboxPath().c_str());
        return MailResult::Failed;
    }
    m_lastMessage = message;
    bool handed = false;
    auto& app = ui::Application::shared();
    if (app.recordsOpenedURLs()) {
        // A headless run never starts a program to open an address: it records it.
        app.openURL(mailtoAddress(subject, recipients));
    } else if (findProgram("xdg-email")) {
        std::vector<std::string> argv{"xdg-email", "--subject", subject, "--attach", saved};
        for (const auto& r : recipients)
            argv.push_back(r);
        // The helper ends in failure when the desktop has no mail program (status 3, and
        // only after a while): the user is told then where the message stays.
        handed = startProgram(argv, [handler = m_unsentHandler, message, running = m_running](int exitCode) {
            *running = false;
            if (exitCode == 0)
                return;
            if (exitCode < 0) {
                base::logf("MailComposer: the mail program was ended by a signal; the message is also at %s",
                           message.c_str());
                return;
            }
            base::logf("MailComposer: xdg-email ended with %d; the message stays at %s", exitCode, message.c_str());
            if (handler)
                handler(message);
        });
        *m_running = handed;
        if (!handed)
            base::logf("MailComposer: xdg-email did not start");
    }
    // The user has to be told where it is, or the message is lost to them.
    if (!handed)
        m_unsent = message;
    return MailResult::Saved;
}

} // namespace share
