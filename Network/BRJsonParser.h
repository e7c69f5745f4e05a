#pragma once
#include "Network/BRJsonBase.h"
#include "Platform/Base/BlockPool.h"
#include "Platform/Base/Value.h"

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Strict JSON parser over the UTF-8 bytes of a text of known length. Numbers become exact
// decimals, objects keep their document order. One instance serves one thread at a time.
class BRJsonParser : public BRJsonBase {
public:
    // An object or an array; nullopt on error (code 4 for any other valid value).
    std::optional<base::Value> objectWithString(std::optional<std::string_view> text);
    // Any JSON value; nullopt on error. A missing text (nullopt) is code 12.
    std::optional<base::Value> fragmentWithString(std::optional<std::string_view> text);

    // Rows handed out as they are read, for answers too large to hold as one tree: each
    // element of an array that is an element of the array under `key` in the top object
    // ({"key": [[row, row], [row]]}). A handed-out row is not kept: its array stays in the tree,
    // empty. The handler hears which member of that key it came from (a key may come more than
    // once, the last one counting), the inner array's index and the row. The text is checked as
    // strictly as by objectWithString, so a failed parse may have handed out rows already.
    using RowHandler = std::function<void(size_t occurrence, size_t slot, base::Value&& row)>;
    std::optional<base::Value> objectWithStringHandingOutRows(std::optional<std::string_view> text,
                                                              std::string_view key, const RowHandler& handler);
    // How many members of the top object had the key, in the last such parse.
    size_t rowKeyOccurrences() const { return m_rowKeyOccurrences; }
    // During a parse (in a row handler), how many bytes of the text have been read: nothing
    // before them is looked at again.
    size_t consumed() const { return size_t(m_c - m_begin); }

private:
    // An open container; the stack of them replaces recursion so that depth never threatens
    // the machine stack.
    struct Frame {
        bool isObject = false;
        bool handsOut = false; // its elements go to the row handler
        size_t first = 0;      // of its elements or members, in the pending stacks
    };

    std::optional<base::Value> scanValue();
    base::Value closeContainer(const Frame& frame);
    bool scanMemberKey();
    // The text read, in the document or in m_scratch; valid until the next string is read.
    bool scanString(std::string_view& result);
    bool scanUnicodeEscape(std::string& out);
    bool scanHexQuad(uint32_t& unit);
    bool scanNumber(base::Decimal& out);
    bool scanLiteral(std::string_view literal, const char* error);
    void skipWhitespace();

    // Start, read position and end of the text; valid during one parse only.
    const unsigned char* m_begin = nullptr;
    const unsigned char* m_c = nullptr;
    const unsigned char* m_end = nullptr;
    // Strings with escapes are assembled here.
    std::string m_scratch;
    // Elements and members of all open containers, so that each container is made once, at
    // its exact size, when its end is seen; kept from one parse to the next.
    std::vector<Frame> m_stack;
    std::vector<base::Value> m_elements;
    std::vector<base::Dictionary::Entry> m_members;
    // The rows being handed out, during one parse only.
    const RowHandler* m_rowHandler = nullptr;
    std::string_view m_rowKey;
    size_t m_rowKeyOccurrences = 0;
    // The trees' blocks are carved from here.
    base::BlockPool m_pool;
};
