#pragma once
#include "Platform/Base/Error.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// The error domain of every JSON failure.
extern const char* const BRJsonErrorDomain;

// State shared by the JSON parser and writer: the error trace of the last operation and the
// nesting depth.
class BRJsonBase {
public:
    static constexpr uint32_t kDefaultMaxDepth = 512;
    // Deeper documents fail even when maxDepth is 0 ("no limit"): nothing that deep is real data.
    static constexpr uint32_t kDepthCeiling = 10000;

    BRJsonBase() = default;
    virtual ~BRJsonBase() = default;

    // Appends one error wrapping the previous one, creating the trace on the first error.
    void addErrorWithCodeDescription(unsigned code, std::string description);
    void clearErrorTrace();
    // First-raised first; absent until the first error of the last operation.
    std::optional<std::vector<base::ErrorPtr>> errorTrace() const { return m_errorTrace; }

    virtual uint32_t maxDepth() const { return m_maxDepth; }
    virtual void setMaxDepth(uint32_t maxDepth) { m_maxDepth = maxDepth; }

protected:
    // Count one more level of nesting; false (with code 7 recorded) when that is too deep.
    bool enterNesting();
    void leaveNesting() { --m_depth; }
    void setErrorTrace(std::optional<std::vector<base::ErrorPtr>> trace) { m_errorTrace = std::move(trace); }

    uint32_t m_depth = 0;

private:
    uint32_t m_maxDepth = kDefaultMaxDepth;
    std::optional<std::vector<base::ErrorPtr>> m_errorTrace;
};
