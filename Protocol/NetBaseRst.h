#pragma once
#include <string>

// The result of a server command, as its requester receives it. Made by the command's
// decoder; the dispatcher fills the codes and the transport outcome.
class NetBaseRst {
public:
    virtual ~NetBaseRst() = default;

    int cmdCode = 0;
    int requestCode = 0;
    // 0 when the server answered; otherwise the transport's failure kind.
    int httpRsp = 0;
    std::string status;
    // The language text of the status (the server's own message is never shown).
    std::string message;
    std::string detail;
};
