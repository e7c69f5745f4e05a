#pragma once
#include "Platform/Base/Value.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace share {

struct Attachment {
    base::Bytes data;
    std::string mimeType;
    std::string fileName;
};

// What the desktop can tell of a message: written for the mail program, or not. Sent is
// never known here; Cancelled is a message not composed because the mail program started for
// an earlier one is still open.
enum class MailResult { Sent, Saved, Cancelled, Failed };

// Composes a message with one attachment. The shared composer writes a standard MIME message
// (.eml) into <home>/Outbox/, the attachment saved beside it, and hands both to xdg-email when
// it is on the PATH, watching how it ends. One mail program at a time: while the one started
// runs, a further message starts nothing. A headless run starts no program: the mail address
// is recorded as an opened address and the message stays saved. Tests install a recording
// composer in its place.
class MailComposer {
public:
    virtual ~MailComposer() = default;
    static MailComposer& shared();
    // Null restores the Outbox composer.
    static void setShared(std::shared_ptr<MailComposer> composer);

    virtual bool canSendMail() = 0;
    virtual MailResult compose(const std::string& subject, const std::vector<std::string>& recipients,
                               const Attachment& attachment) = 0;
    // Where the last saved message stayed because no mail program took it; empty when one did.
    virtual std::string unsentMessagePath() const { return {}; }
    // Told on the main loop, with where the message stays, when the mail program that took a
    // message exits with a failure status after compose has returned. One ended by a signal
    // is not told: it had started and shown itself, and only its exit status says it had
    // nowhere to hand the message.
    using UnsentHandler = std::function<void(const std::string& messagePath)>;
    void setUnsentHandler(UnsentHandler handler) { m_unsentHandler = std::move(handler); }

protected:
    UnsentHandler m_unsentHandler;
};

class OutboxMailComposer : public MailComposer {
public:
    static std::string outboxPath();
    bool canSendMail() override;
    MailResult compose(const std::string& subject, const std::vector<std::string>& recipients,
                       const Attachment& attachment) override;
    // The message's path after the last successful composition.
    const std::string& lastMessagePath() const { return m_lastMessage; }
    std::string unsentMessagePath() const override { return m_unsent; }
    // A mail program started here is still running.
    bool isMailProgramRunning() const { return *m_running; }

    // The message text itself (headers, a short body, the base64 attachment).
    static std::string messageText(const std::string& subject, const std::vector<std::string>& recipients,
                                   const Attachment& attachment, const std::string& boundary);

private:
    std::string m_lastMessage;
    std::string m_unsent;
    // Shared with the report of the running program, which may outlive the composer.
    std::shared_ptr<bool> m_running = std::make_shared<bool>(false);
};

} // namespace share
