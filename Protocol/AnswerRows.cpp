#include "Protocol/AnswerRows.h"

#include "Network/BRJsonParser.h"
#include "Protocol/CommandParameters.h"
#include "Protocol/RequestInterfaceBase.h"
#include "Protocol/ServerFields.h"

namespace {

constexpr std::string_view kContent = "content";
// How far the parser gets between two lettings-go of what it has read.
constexpr size_t kReleaseStep = size_t(1) << 20;

// One pass over the text, its rows handed out; the text behind the parser leaves memory as it
// goes, and all of it at the end.
std::optional<base::Value> readPass(const AnswerText& answer, const BRJsonParser::RowHandler& handler,
                                    size_t* occurrences)
{
    BRJsonParser parser;
    size_t released = 0;
    auto value = parser.objectWithStringHandingOutRows(answer.text(), kContent,
                                                       [&](size_t occurrence, size_t slot, base::Value&& row) {
                                                           handler(occurrence, slot, std::move(row));
                                                           size_t at = parser.consumed();
                                                           if (at - released >= kReleaseStep) {
                                                               answer.releaseBefore(at);
                                                               released = at;
                                                           }
                                                       });
    answer.releaseAll();
    if (occurrences)
        *occurrences = parser.rowKeyOccurrences();
    return value;
}

} // namespace

std::optional<AnswerRows> AnswerRows::read(NetBaseRst& result, AnswerText answer)
{
    std::optional<base::Value> envelope;
    size_t occurrences = 0;
    // This pass only checks the text and reads the envelope; the rows are dropped as read.
    if (answer)
        envelope = readPass(answer, [](size_t, size_t, base::Value&&) {}, &occurrences);
    RequestInterfaceBase::DecodeResults(result, envelope);
    if (!commandparameters::arrayContent(result, envelope) || occurrences == 0)
        return std::nullopt;
    return AnswerRows(std::move(answer), occurrences - 1);
}

void AnswerRows::forEach(const std::function<bool(size_t slot, const base::Dictionary& row)>& each) const
{
    bool going = true;
    readPass(
        m_answer,
        [&](size_t occurrence, size_t slot, base::Value&& row) {
            if (going && occurrence == m_occurrence && row.isDictionary())
                going = each(slot, row.asDictionary());
        },
        nullptr);
}

void AnswerRows::inBatches(const std::optional<AnswerRows>& rows, size_t size,
                           const std::function<size_t(size_t slot, const base::Dictionary& row)>& read,
                           const std::function<bool(bool last)>& each, const std::function<void(bool all)>& clear)
{
    if (!rows) {
        each(true);
        return;
    }
    size_t counted = 0;
    bool going = true;
    rows->forEach([&](size_t slot, const base::Dictionary& row) {
        counted += read(slot, row);
        if (counted >= size) {
            counted = 0;
            going = each(false);
            clear(false);
        }
        return going;
    });
    if (going)
        each(true);
    clear(true);
}

void AnswerRows::forEachRowOf(const base::Array& content,
                              const std::function<void(size_t slot, const base::Dictionary& row)>& each)
{
    for (size_t slot = 0; slot < content.size(); ++slot)
        serverfields::forEachObject(&content[slot], [&](const base::Dictionary& row) { each(slot, row); });
}
