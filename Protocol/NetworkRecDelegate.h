#pragma once
#include <memory>

class NetBaseRst;

// A requester of server commands: hears each command's result on the main thread.
class NetworkRecDelegate {
public:
    virtual ~NetworkRecDelegate() = default;
    // The result stays valid while this runs; keep the pointer to keep it. Nobody reads the
    // answer.
    virtual int ReciveHttpRespondInfo(const std::shared_ptr<NetBaseRst>&) { return 0; }
};
