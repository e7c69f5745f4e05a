#pragma once
#include <memory>

class RequestInfoBase;

// Who receives the transport's answers: the dispatcher.
class HTTP_REC_RESPOND {
public:
    virtual ~HTTP_REC_RESPOND() = default;
    // One answered exchange, on the main thread; nobody reads the answer.
    virtual int ReciveHttpRespond(const std::shared_ptr<RequestInfoBase>& info) = 0;
    // Never called: failures arrive as answers.
    virtual void ReciveDidFailed(const std::shared_ptr<RequestInfoBase>&) {}
};
