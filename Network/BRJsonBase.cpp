#include "Network/BRJsonBase.h"

const char* const BRJsonErrorDomain = "com.brivanta.json";

void BRJsonBase::addErrorWithCodeDescription(unsigned code, std::string description)
{
    base::ErrorPtr underlying;
    if (m_errorTrace)
        underlying = m_errorTrace->back();
    else
        m_errorTrace.emplace();
    m_errorTrace->push_back(base::Error::make(BRJsonErrorDomain, static_cast<int>(code), std::move(description),
                                              std::move(underlying)));
}

void BRJsonBase::clearErrorTrace()
{
    m_errorTrace.reset();
}

bool BRJsonBase::enterNesting()
{
    uint32_t limit = m_maxDepth == 0 || m_maxDepth > kDepthCeiling ? kDepthCeiling : m_maxDepth;
    if (++m_depth > limit) {
        addErrorWithCodeDescription(7, "Nested too deep");
        return false;
    }
    return true;
}
