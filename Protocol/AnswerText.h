#pragma once
#include "Platform/Base/SpoolFile.h"
#include "Platform/Base/Value.h"

#include <memory>
#include <optional>
#include <string_view>

// The text of an answer handed over whole: its bytes in memory, or the file the transport kept
// them in. Copies share it.
class AnswerText {
public:
    AnswerText() = default;
    AnswerText(std::shared_ptr<const base::Bytes> bytes) : m_bytes(std::move(bytes)) {}
    AnswerText(std::shared_ptr<base::SpoolFile> file) : m_file(std::move(file)) {}

    explicit operator bool() const { return m_bytes || m_file; }
    // The bytes up to the first zero byte; nothing when there is no answer or its file cannot
    // be read.
    std::optional<std::string_view> text() const;
    // For a reader moving through the text: what lies before `offset` need not stay in memory.
    void releaseBefore(size_t offset) const;
    // For a reader that has ended or starts over.
    void releaseAll() const;

    // The text of bytes: those up to the first zero byte.
    static std::string_view textOf(const base::Bytes& answer);

private:
    std::shared_ptr<const base::Bytes> m_bytes;
    std::shared_ptr<base::SpoolFile> m_file;
};
