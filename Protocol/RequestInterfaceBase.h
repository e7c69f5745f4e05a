#pragma once
#include "Platform/Base/Value.h"
#include "Protocol/AnswerText.h"
#include "Protocol/NetBaseRst.h"
#include "Protocol/NetworkRecDelegate.h"
#include "Protocol/ServerCommands.h"

#include <memory>
#include <optional>
#include <string>

// One server command: its code, its address head, how it writes its body and how it reads
// the answer. The requester fills it and hands it to NetworkModel, which keeps it until the
// answer is delivered.
class RequestInterfaceBase : public std::enable_shared_from_this<RequestInterfaceBase> {
public:
    RequestInterfaceBase() = default;
    virtual ~RequestInterfaceBase() = default;

    // Code, head, method and kind from the command table.
    void setCommand(const ServerCommand& command);

    int requestType() const { return m_requestType; }
    void setRequestType(int type) { m_requestType = type; }
    int cmdCode() const { return m_cmdCode; }
    void setCmdCode(int code) { m_cmdCode = code; }
    int requestCode() const { return m_requestCode; }
    void setRequestCode(int code) { m_requestCode = code; }
    const std::string& requestHead() const { return m_requestHead; }
    void setRequestHead(std::string head) { m_requestHead = std::move(head); }
    const std::string& methodName() const { return m_methodName; }
    void setMethodName(std::string name) { m_methodName = std::move(name); }
    std::shared_ptr<NetworkRecDelegate> receiveDelegete() const { return m_receiveDelegete.lock(); }
    void setReceiveDelegete(std::weak_ptr<NetworkRecDelegate> requester) { m_receiveDelegete = std::move(requester); }

    // The JSON body; the base has none.
    virtual std::optional<std::string> RequestEncode();
    // The result of the parsed answer (none when it was not JSON); the base reads only the
    // envelope's status.
    virtual std::shared_ptr<NetBaseRst> RequestDecode(const std::optional<base::Value>& answer);

    // Set by a requester whose answer runs to tens of megabytes: the transport keeps the
    // answer's body in a file rather than in memory, and the dispatcher hands it over (the
    // text up to the first zero byte) to RequestDecodeText, which may read it in rows rather
    // than as one parsed tree.
    bool answerInRows() const { return m_answerInRows; }
    void setAnswerInRows(bool inRows) { m_answerInRows = inRows; }
    // The base parses the text whole and decodes it as RequestDecode does.
    virtual std::shared_ptr<NetBaseRst> RequestDecodeText(AnswerText answer);

    // Reads "results" into status, detail and message: each object entry overwrites the
    // last, an entry without "status" (or no usable entry at all) gives "115".
    static void DecodeResults(NetBaseRst& result, const std::optional<base::Value>& recData);

private:
    int m_requestType = kRequestTypeMessage;
    int m_cmdCode = -1;
    int m_requestCode = 0;
    std::string m_requestHead;
    std::string m_methodName;
    std::weak_ptr<NetworkRecDelegate> m_receiveDelegete;
    bool m_answerInRows = false;
};
