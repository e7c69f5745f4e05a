#pragma once
#include "Platform/Base/Value.h"
#include "Platform/Net/HttpHeaders.h"
#include "Platform/Net/URL.h"

#include <cstdint>
#include <memory>

class BRHTTPRequest;

// An answer chunk as handed to receivers: one immutable buffer shared with the file writer.
using BRData = std::shared_ptr<const base::Bytes>;

// What a request tells its delegate and its queue, always on the main thread. Every operation
// is optional. Where answering changes what the request does (taking the data, confirming a
// redirect, the two credential questions), the matching answers...() says whether it answers.
class BRHTTPRequestDelegate {
public:
    virtual ~BRHTTPRequestDelegate() = default;

    virtual void requestStarted(BRHTTPRequest&) {}
    virtual void requestDidReceiveResponseHeaders(BRHTTPRequest&, const net::HttpHeaders&) {}
    virtual void requestWillRedirectToURL(BRHTTPRequest&, const net::URL&) {}
    virtual void requestFinished(BRHTTPRequest&) {}
    virtual void requestFailed(BRHTTPRequest&) {}
    virtual void requestRedirected(BRHTTPRequest&) {}
    virtual void requestDidReceiveData(BRHTTPRequest&, const BRData&) {}
    virtual void authenticationNeededForRequest(BRHTTPRequest&) {}
    virtual void proxyAuthenticationNeededForRequest(BRHTTPRequest&) {}

    // Reports nobody takes are not sent to the main thread: each costs it a wake-up.
    virtual bool answersRequestStarted() const { return false; }
    virtual bool answersResponseHeaders() const { return false; }
    // A delegate that takes the data keeps the body out of memory for requests without a file.
    virtual bool answersDidReceiveData() const { return false; }
    // Answering holds the redirect until the owner calls redirectToURL().
    virtual bool answersWillRedirect() const { return false; }
    virtual bool answersAuthenticationNeeded() const { return false; }
    virtual bool answersProxyAuthenticationNeeded() const { return false; }
};

// Progress receivers (and the queue's progress side). All optional.
class BRProgressDelegate {
public:
    virtual ~BRProgressDelegate() = default;
    virtual void setProgress(float) {}
    virtual void requestDidReceiveBytes(BRHTTPRequest&, int64_t) {}
    virtual void requestDidSendBytes(BRHTTPRequest&, int64_t) {}
    virtual void requestIncrementDownloadSizeBy(BRHTTPRequest&, int64_t) {}
    virtual void requestIncrementUploadSizeBy(BRHTTPRequest&, int64_t) {}
};
