#pragma once
#include <memory>
#include <string>

namespace base {

// A failure with a domain, a code and a description; each step that fails because of an
// earlier failure wraps it as its underlying error.
struct Error {
    std::string domain;
    int code = 0;
    std::string description;
    std::shared_ptr<const Error> underlying;

    static std::shared_ptr<const Error> make(std::string domain, int code, std::string description,
                                             std::shared_ptr<const Error> underlying = nullptr)
    {
        return std::make_shared<const Error>(Error{std::move(domain), code, std::move(description),
                                                   std::move(underlying)});
    }
};

using ErrorPtr = std::shared_ptr<const Error>;

} // namespace base
