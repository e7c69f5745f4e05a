#pragma once
#include "Platform/Base/Value.h"
#include "Protocol/AnswerText.h"
#include "Protocol/NetBaseRst.h"

#include <functional>
#include <memory>
#include <optional>
#include <string_view>

// A table answer read in rows straight from its text, never parsed into one tree: its
// "content" is an array of row arrays ({"content": [[row, ...], [row, ...]], "results": [...]})
// running to tens of megabytes. Each pass reads the rows again, one at a time, and lets the
// text it has read leave memory behind it when the text lies in a file.
class AnswerRows {
public:
    // Reads the envelope into the result as the whole answer's decoding would. Gives the rows
    // when their content is there to read: JSON, status "200" and an array content.
    static std::optional<AnswerRows> read(NetBaseRst& result, AnswerText answer);

    // Every object row with the index of its row array, in the answer's order, while `each`
    // answers true.
    void forEach(const std::function<bool(size_t slot, const base::Dictionary& row)>& each) const;

    // Reads the rows of an answer (none: one batch of what was read whole) in batches: `read`
    // takes each row and answers how many of it count toward a batch; `each` is called whenever
    // `size` have counted and once more at the end (last true), while it answers true; after
    // each call `clear(false)` empties the batch, and `clear(true)` everything at the end.
    static void inBatches(const std::optional<AnswerRows>& rows, size_t size,
                          const std::function<size_t(size_t slot, const base::Dictionary& row)>& read,
                          const std::function<bool(bool last)>& each, const std::function<void(bool all)>& clear);
    // Every object row of a content read whole, with the index of its row array.
    static void forEachRowOf(const base::Array& content,
                             const std::function<void(size_t slot, const base::Dictionary& row)>& each);

private:
    AnswerRows(AnswerText answer, size_t occurrence) : m_answer(std::move(answer)), m_occurrence(occurrence) {}

    AnswerText m_answer;
    // Of the members named "content", the one that counts (the last).
    size_t m_occurrence = 0;
};
