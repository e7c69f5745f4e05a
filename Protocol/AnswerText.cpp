#include "Protocol/AnswerText.h"

#include <cstring>

std::optional<std::string_view> AnswerText::text() const
{
    if (m_file)
        return m_file->text();
    if (m_bytes)
        return textOf(*m_bytes);
    return std::nullopt;
}

void AnswerText::releaseBefore(size_t offset) const
{
    if (m_file)
        m_file->releaseBefore(offset);
}

void AnswerText::releaseAll() const
{
    if (m_file)
        m_file->releaseAll();
}

std::string_view AnswerText::textOf(const base::Bytes& answer)
{
    const char* data = reinterpret_cast<const char*>(answer.data());
    return std::string_view(data, strnlen(data, answer.size()));
}
