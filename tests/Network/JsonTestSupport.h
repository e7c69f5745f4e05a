#pragma once
#include "Network/BRJsonBase.h"

#include <string>
#include <vector>

// The trace as "code description" lines, innermost first.
inline std::vector<std::string> traceLines(const BRJsonBase& json)
{
    std::vector<std::string> lines;
    if (auto trace = json.errorTrace())
        for (auto& e : *trace)
            lines.push_back(std::to_string(e->code) + " " + e->description);
    return lines;
}

inline std::string innermost(const BRJsonBase& json)
{
    auto lines = traceLines(json);
    return lines.empty() ? "(no error)" : lines.front();
}
