#pragma once
#include <stdexcept>
#include <string>

// A usage error of the pool or the queue (a connection put back twice, a call into a queue
// from its own block). Raised and never caught by them: it reaches the uncaught-exception
// handler, whose reason is what().
class BRDatabaseUsageError : public std::logic_error {
public:
    BRDatabaseUsageError(std::string name, const std::string& reason)
        : std::logic_error(reason), m_name(std::move(name))
    {
    }
    const std::string& name() const { return m_name; }

private:
    std::string m_name;
};
