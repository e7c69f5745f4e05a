// The HTTP response framing on any bytes: fed whole or cut into pieces, the parser reaches
// the same answer (head, body, trailers, completion or failure) and never takes more bytes
// than it was given.
#include "FuzzCheck.h"
#include "Platform/Net/HttpResponseParser.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>

namespace {

struct Outcome {
    size_t taken = 0;
    std::string body;
    bool complete = false;
    bool failed = false;
    int status = -1;
    size_t headers = 0;
    size_t trailers = 0;
};

// The first byte picks the request method and the size of the pieces.
Outcome run(const uint8_t* data, size_t size, size_t pieceSize, bool head, bool finish)
{
    Outcome o;
    net::HttpResponseParser parser;
    if (head)
        parser.setRequestMethod("HEAD");
    while (o.taken < size && !parser.complete() && !parser.failed()) {
        size_t piece = std::min(pieceSize, size - o.taken);
        size_t took = parser.feed(reinterpret_cast<const char*>(data) + o.taken, piece, o.body);
        FUZZ_CHECK(took <= piece);
        o.taken += took;
        if (took < piece)
            break;
    }
    if (finish && !parser.complete() && !parser.failed())
        parser.finish();
    o.complete = parser.complete();
    o.failed = parser.failed();
    if (auto h = parser.head()) {
        o.status = h->status;
        o.headers = h->headers.size();
    }
    o.trailers = parser.trailers().size();
    return o;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    const bool head = data[0] & 1;
    const bool finish = data[0] & 2;
    const size_t pieceSize = 1 + (data[0] >> 2);
    ++data;
    --size;
    Outcome whole = run(data, size, size ? size : 1, head, finish);
    Outcome cut = run(data, size, pieceSize, head, finish);
    FUZZ_CHECK(whole.complete == cut.complete);
    FUZZ_CHECK(whole.failed == cut.failed);
    if (!whole.failed) {
        FUZZ_CHECK(whole.taken == cut.taken);
        FUZZ_CHECK(whole.body == cut.body);
        FUZZ_CHECK(whole.status == cut.status);
        FUZZ_CHECK(whole.headers == cut.headers);
        FUZZ_CHECK(whole.trailers == cut.trailers);
    }
    if (whole.complete)
        FUZZ_CHECK(whole.status >= 100);
    return 0;
}
