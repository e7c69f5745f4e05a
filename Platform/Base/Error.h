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
    // Mutable only so that a dying chain can be unlinked one error at a time.
    mutable std::shared_ptr<const Error> underlying;

    // Iterative: a chain of thousands of wrapped errors must not cost a stack frame each.
    ~Error()
    {
        std::shared_ptr<const Error> next = std::move(underlying);
        while (next && next.use_count() == 1) {
            std::shared_ptr<const Error> after = std::move(next->underlying);
            next = std::move(after);
        }
    }

    static std::shared_ptr<const Error> make(std::string domain, int code, std::string description,
                                             std::shared_ptr<const Error> underlying = nullptr)
    {
        return std::make_shared<const Error>(Error{std::move(domain), code, std::move(description),
                                                   std::move(underlying)});
    }
};

using ErrorPtr = std::shared_ptr<const Error>;

} // namespace base
