#pragma once
#include "Platform/Base/RunLoop.h"
#include "Platform/Net/HttpReadStream.h"
#include "tests/Support/LoopbackServer.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace nettest {

using namespace net;
using testsupport::LoopbackServer;
using testsupport::Reply;
using testsupport::Request;

inline std::shared_ptr<HttpReadStream> makeStream(const std::string& method, const std::string& url,
                                                  std::shared_ptr<InputStream> body = nullptr)
{
    auto parsed = URL::parse(url);
    EXPECT_TRUE(parsed) << url;
    auto head = HttpRequestHead::make(method, *parsed);
    return HttpReadStream::create(std::move(*head), std::move(body));
}

// Drives one stream on the calling thread's loop and records what its client saw.
struct Exchange {
    std::shared_ptr<HttpReadStream> stream;
    std::vector<StreamEvent> events;
    std::string body;
    bool done = false;
    bool eventOffLoop = false;
    bool eventAfterEnd = false;
    size_t readSize = 64 * 1024;
    std::thread::id loopThread = std::this_thread::get_id();

    explicit Exchange(std::shared_ptr<HttpReadStream> s)
        : stream(std::move(s))
    {
        stream->setClient([this](StreamEvent e) { onEvent(e); });
    }

    void onEvent(StreamEvent e)
    {
        eventOffLoop = eventOffLoop || std::this_thread::get_id() != loopThread;
        eventAfterEnd = eventAfterEnd || done;
        events.push_back(e);
        if (e == StreamEvent::BytesAvailable) {
            std::string buf(readSize, '\0');
            ssize_t n = stream->read(reinterpret_cast<uint8_t*>(buf.data()), buf.size());
            if (n > 0)
                body.append(buf.data(), size_t(n));
        } else {
            done = true;
        }
    }

    bool start()
    {
        stream->schedule(base::RunLoop::current());
        return stream->open();
    }

    bool wait(double timeout = 20) { return base::RunLoop::current().runUntil([&] { return done; }, timeout); }

    bool run(double timeout = 20) { return start() && wait(timeout); }

    StreamEvent last() const { return events.empty() ? StreamEvent::BytesAvailable : events.back(); }
    bool ended() const { return done && last() == StreamEvent::EndEncountered; }
    bool failed() const { return done && last() == StreamEvent::ErrorOccurred; }
    // Events came in order: bytes only, then exactly one terminal event, on the loop's thread.
    bool wellOrdered() const
    {
        if (eventOffLoop || eventAfterEnd || events.empty())
            return false;
        for (size_t i = 0; i + 1 < events.size(); ++i)
            if (events[i] != StreamEvent::BytesAvailable)
                return false;
        return events.back() != StreamEvent::BytesAvailable;
    }
};

inline std::string pattern(size_t size)
{
    std::string s(size, '\0');
    for (size_t i = 0; i < size; ++i)
        s[i] = char('a' + (i * 7 + i / 251) % 26);
    return s;
}

} // namespace nettest
