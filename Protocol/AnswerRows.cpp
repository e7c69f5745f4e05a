#include "Protocol/AnswerRows.h"

#include "Network/BRJsonParser.h"
#include "Protocol/CommandParameters.h"
#include "Protocol/RequestInterfaceBase.h"
#include "Protocol/ServerFields.h"

#include <cstring>

namespace {

constexpr std::string_view kContent = "content";

} // namespace

std::string_view AnswerRows::textOf(const base::Bytes& answer)
{
    const char* data = reinterpret_cast<const char*>(answer.data());
    return std::string_view(data, strnlen(data, answer.size()));
}

std::optional<AnswerRows> AnswerRows::read(NetBaseRst& result, std::shared_ptr<const base::Bytes> answer)
{
    std::optional<base::Value> envelope;
    size_t occurrences = 0;
    if (answer) {
        // This pass only checks the text and reads the envelope; the rows are dropped as read.
        BRJsonParser parser;
        envelope = parser.objectWithStringHandingOutRows(textOf(*answer), kContent, [](size_t, size_t, base::Value&&) {});
        occurrences = parser.rowKeyOccurrences();
    }
    RequestInterfaceBase::DecodeResults(result, envelope);
    if (!commandparameters::arrayContent(result, envelope) || occurrences == 0)
        return std::nullopt;
    return AnswerRows(std::move(answer), occurrences - 1);
}

void AnswerRows::forEach(const std::function<bool(size_t slot, const base::Dictionary& row)>& each) const
{
    bool going = true;
    BRJsonParser parser;
    parser.objectWithStringHandingOutRows(textOf(*m_answer), kContent, [&](size_t occurrence, size_t slot, base::Value&& row) {
        if (going && occurrence == m_occurrence && row.isDictionary())
            going = each(slot, row.asDictionary());
    });
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
