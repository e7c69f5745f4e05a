#include "Platform/Pdf/Engine/PageCost.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <fcntl.h>
#include <list>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string_view>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>
#include <zlib.h>

namespace pdf {

namespace {

// One value of the file's object syntax; strings and hex strings keep no bytes (never read).
struct Obj {
    enum Kind { Null, Bool, Num, Str, Name, Arr, Dict, Ref, Op };
    Kind kind = Null;
    double num = 0;
    std::string text; // a name without its slash, or an operator
    int ref = 0;
    std::vector<Obj> items;          // array items, or dictionary values
    std::vector<std::string> keys;   // dictionary keys, beside their values

    const Obj* get(const char* key) const
    {
        for (size_t i = 0; i < keys.size(); ++i)
            if (keys[i] == key)
                return &items[i];
        return nullptr;
    }
    bool isName(const char* name) const { return kind == Name && text == name; }
};

// Each byte's class, looked up: the scan of a long file meets every byte.
enum CharClass : unsigned char { Regular = 0, Space = 1, Delimiter = 2 };
constexpr auto kCharClasses = [] {
    std::array<unsigned char, 256> classes{};
    for (unsigned char c : {'\0', '\t', '\n', '\f', '\r', ' '})
        classes[c] = Space;
    for (unsigned char c : {'(', ')', '<', '>', '[', ']', '{', '}', '/', '%'})
        classes[c] = Delimiter;
    return classes;
}();

bool isSpace(unsigned char c)
{
    return kCharClasses[c] == Space;
}

bool isRegular(unsigned char c)
{
    return kCharClasses[c] == Regular;
}

// Reads values from a run of bytes; nesting is bounded, so a hostile file cannot exhaust the stack.
class Lexer {
public:
    Lexer(const char* begin, const char* end) : m_p(begin), m_end(end) {}
    const char* position() const { return m_p; }
    const char* end() const { return m_end; }
    void seek(const char* p) { m_p = p; }
    bool atEnd()
    {
        skipSpace();
        return m_p >= m_end;
    }

    void skipSpace()
    {
        while (m_p < m_end) {
            if (isSpace(*m_p)) {
                ++m_p;
            } else if (*m_p == '%') {
                while (m_p < m_end && *m_p != '\n' && *m_p != '\r')
                    ++m_p;
            } else {
                break;
            }
        }
    }

    // With `keep` false the value is only checked and passed over: `out` tells its kind (and a
    // number's value), nothing it holds.
    bool read(Obj& out, int depth = 0, bool keep = true)
    {
        out = Obj();
        skipSpace();
        if (m_p >= m_end || depth > 64)
            return false;
        unsigned char c = *m_p;
        if (c == '/') {
            ++m_p;
            out.kind = Obj::Name;
            std::string_view name = regularRun();
            if (keep)
                out.text = std::string(name);
            return true;
        }
        if (c == '(') {
            out.kind = Obj::Str;
            return skipLiteralString();
        }
        if (c == '<' && m_p + 1 < m_end && m_p[1] == '<') {
            m_p += 2;
            out.kind = Obj::Dict;
            for (;;) {
                skipSpace();
                if (m_p + 1 < m_end && m_p[0] == '>' && m_p[1] == '>') {
                    m_p += 2;
                    return true;
                }
                Obj key;
                if (!read(key, depth + 1, keep) || key.kind != Obj::Name)
                    return false;
                Obj value;
                if (!read(value, depth + 1, keep))
                    return false;
                if (keep) {
                    out.keys.push_back(std::move(key.text));
                    out.items.push_back(std::move(value));
                }
            }
        }
        if (c == '<') {
            const void* close = std::memchr(m_p, '>', size_t(m_end - m_p));
            if (!close)
                return false;
            m_p = static_cast<const char*>(close) + 1;
            out.kind = Obj::Str;
            return true;
        }
        if (c == '[') {
            ++m_p;
            out.kind = Obj::Arr;
            for (;;) {
                skipSpace();
                if (m_p < m_end && *m_p == ']') {
                    ++m_p;
                    return true;
                }
                Obj item;
                if (!read(item, depth + 1, keep))
                    return false;
                if (keep)
                    out.items.push_back(std::move(item));
            }
        }
        if (c == ']' || c == '>' || c == ')' || c == '{' || c == '}') {
            ++m_p;
            out.kind = Obj::Op;
            if (keep)
                out.text = std::string(1, char(c));
            return true;
        }
        // Tokens are read in place: an index of a long file meets hundreds of thousands.
        std::string_view word = regularRun();
        if (word.empty()) {
            ++m_p;
            return true;
        }
        unsigned char first = static_cast<unsigned char>(word[0]);
        if (std::isdigit(first) || first == '-' || first == '+' || first == '.') {
            double value = 0;
            const char* from = word.data() + (first == '+' ? 1 : 0);
            auto parsed = std::from_chars(from, word.data() + word.size(), value);
            if (parsed.ec == std::errc::result_out_of_range && parsed.ptr == word.data() + word.size()) {
                value = std::strtod(std::string(word).c_str(), nullptr); // past a double's range, as read
                parsed.ec = std::errc();
            }
            if (parsed.ec == std::errc() && parsed.ptr == word.data() + word.size()) {
                out.kind = Obj::Num;
                out.num = value;
                // "n g R" is a reference.
                if (word.find_first_not_of("0123456789") == std::string_view::npos) {
                    const char* save = m_p;
                    skipSpace();
                    std::string_view generation = regularRun();
                    skipSpace();
                    if (!generation.empty() && generation.find_first_not_of("0123456789") == std::string_view::npos &&
                        m_p < m_end && *m_p == 'R' && (m_p + 1 >= m_end || !isRegular(m_p[1]))) {
                        ++m_p;
                        out.kind = Obj::Ref;
                        out.ref = int(std::min(value, 1e9));
                        return true;
                    }
                    m_p = save;
                }
                return true;
            }
        }
        if (word == "true" || word == "false") {
            out.kind = Obj::Bool;
            out.num = word == "true";
            return true;
        }
        if (word == "null")
            return true;
        out.kind = Obj::Op;
        if (keep)
            out.text = std::string(word);
        return true;
    }

private:
    std::string_view regularRun()
    {
        const char* start = m_p;
        while (m_p < m_end && isRegular(*m_p))
            ++m_p;
        return std::string_view(start, size_t(m_p - start));
    }

    bool skipLiteralString()
    {
        int open = 0;
        while (m_p < m_end) {
            char c = *m_p++;
            if (c == '\\') {
                ++m_p;
            } else if (c == '(') {
                ++open;
            } else if (c == ')' && --open == 0) {
                return true;
            }
        }
        return false;
    }

    const char* m_p;
    const char* m_end;
};

// The file, mapped read-only for as long as its index is kept.
class Mapping {
public:
    explicit Mapping(const std::string& path)
    {
        int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0)
            return;
        struct stat st {};
        if (::fstat(fd, &st) == 0 && st.st_size > 0) {
            void* p = ::mmap(nullptr, size_t(st.st_size), PROT_READ, MAP_PRIVATE, fd, 0);
            if (p != MAP_FAILED) {
                m_data = static_cast<const char*>(p);
                m_size = size_t(st.st_size);
            }
        }
        ::close(fd);
    }
    ~Mapping()
    {
        if (m_data)
            ::munmap(const_cast<char*>(m_data), m_size);
    }
    Mapping(const Mapping&) = delete;
    Mapping& operator=(const Mapping&) = delete;
    const char* data() const { return m_data; }
    size_t size() const { return m_size; }

private:
    const char* m_data = nullptr;
    size_t m_size = 0;
};

// Inflates at most `limit` bytes; `over` tells that there was more.
bool inflateLimited(const char* data, size_t size, size_t limit, std::string& out, bool& over)
{
    over = false;
    out.clear();
    z_stream z{};
    if (inflateInit(&z) != Z_OK)
        return false;
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data));
    z.avail_in = uInt(std::min<size_t>(size, UINT32_MAX));
    char buffer[65536];
    int rc = Z_OK;
    while (rc == Z_OK) {
        z.next_out = reinterpret_cast<Bytef*>(buffer);
        z.avail_out = sizeof buffer;
        rc = inflate(&z, Z_NO_FLUSH);
        size_t got = sizeof buffer - z.avail_out;
        if (out.size() + got > limit) {
            over = true;
            break;
        }
        out.append(buffer, got);
        if (got == 0 && rc == Z_OK)
            break;
    }
    inflateEnd(&z);
    // A damaged tail still gives what came before it, as the drawing library reads it.
    return true;
}

struct Entry {
    // Read when first asked for: a long file holds thousands of objects, a page reaches few.
    mutable Obj value;
    mutable bool read = false;
    const char* source = nullptr; // where the value's bytes start, and end (or at most end)
    const char* sourceEnd = nullptr;
    mutable bool located = true;          // whether a stream after the value has been looked for
    mutable const char* stream = nullptr; // raw stream bytes in the mapping
    mutable size_t streamSize = 0;
    std::shared_ptr<std::string> inflated; // objects of an object stream live in its bytes
    size_t position = 0;                  // later definitions win
};

// Every object of the file, found by scanning for their headers: this reads files whose
// cross-reference table is damaged or missing, and both table forms alike.
class Index {
public:
    explicit Index(const std::string& path) : m_file(path)
    {
        if (!readCrossReferences())
            build();
    }
    bool valid() const { return m_file.data() != nullptr; }
    // Whether these bytes lie in the file's own mapping (not in memory of this process).
    bool mapsFile(const char* bytes, size_t size) const
    {
        return m_file.data() && bytes >= m_file.data() && size <= m_file.size() &&
               size_t(bytes - m_file.data()) <= m_file.size() - size;
    }

    const Obj* resolve(const Obj* obj, int hops = 0) const
    {
        while (obj && obj->kind == Obj::Ref && hops++ < 16) {
            auto it = m_entries.find(obj->ref);
            obj = it == m_entries.end() ? nullptr : &valueOf(it->second);
        }
        return obj;
    }
    // The entry's value, read on first use.
    const Obj& valueOf(const Entry& entry) const
    {
        std::lock_guard lock(m_reading);
        if (!entry.read) {
            Lexer lexer(entry.source, entry.sourceEnd);
            lexer.read(entry.value);
            entry.read = true;
        }
        return entry.value;
    }
    // The entry, with the stream that follows its value found.
    const Entry* entryOf(const Obj* obj) const
    {
        if (!obj || obj->kind != Obj::Ref)
            return nullptr;
        auto it = m_entries.find(obj->ref);
        if (it == m_entries.end())
            return nullptr;
        const Entry& entry = it->second;
        std::lock_guard lock(m_reading);
        if (!entry.located) {
            Lexer lexer(entry.source, entry.sourceEnd);
            Obj skipped;
            if (lexer.read(skipped, 0, false)) {
                // Its length may be an object of its own, read here without looking further.
                const Obj* length = valueOf(entry).get("Length");
                if (length && length->kind == Obj::Ref) {
                    auto found = m_entries.find(length->ref);
                    length = found == m_entries.end() ? nullptr : &valueOf(found->second);
                }
                findStream(entry, lexer, length, entry.sourceEnd);
            }
            entry.located = true;
        }
        return &entry;
    }
    const Obj* lookup(const Obj* dict, const char* key) const
    {
        dict = resolve(dict);
        return dict && dict->kind == Obj::Dict ? resolve(dict->get(key)) : nullptr;
    }

    // The stream's bytes decoded; false for a filter this reader does not know.
    bool streamBytes(const Entry& entry, size_t limit, std::string& out, bool& over) const
    {
        over = false;
        if (!entry.stream)
            return false;
        const Obj* filter = lookup(&valueOf(entry), "Filter");
        if (filter && filter->kind == Obj::Arr && filter->items.size() == 1)
            filter = resolve(&filter->items[0]);
        if (!filter || filter->kind == Obj::Null) {
            out.assign(entry.stream, std::min(entry.streamSize, limit));
            over = entry.streamSize > limit;
            return true;
        }
        if (filter->isName("FlateDecode") || filter->isName("Fl"))
            return inflateLimited(entry.stream, entry.streamSize, limit, out, over);
        return false;
    }

    // The page tree's leaves in order, up to `count`, with what they inherit where they have
    // none of their own. A node met twice is not walked again, so a tree of shared nodes
    // answers short.
    std::vector<PageGeometry> geometries(size_t count) const
    {
        std::vector<PageGeometry> out;
        const Obj* root = lookup(catalog(), "Pages");
        std::set<const Obj*> visited;
        if (root)
            collectGeometries(root, Inherited{}, visited, 0, count, out);
        return out;
    }

    // The leaf of the page tree with this number and its inherited resources.
    bool findPage(int number, const Obj*& page, const Obj*& resources) const
    {
        const Obj* root = lookup(catalog(), "Pages");
        if (!root)
            return false;
        int seen = 0;
        std::set<const Obj*> visited;
        return walk(root, nullptr, number, seen, visited, 0, page, resources);
    }

private:
    const Obj* catalog() const
    {
        if (m_catalog)
            return m_catalog;
        const Obj* catalog = nullptr;
        size_t best = 0;
        // Only a value that names "Catalog" can be one: the others are not read for this.
        auto mayBeCatalog = [](const Entry& entry) {
            std::string_view bytes(entry.source, size_t(entry.sourceEnd - entry.source));
            return bytes.find("Catalog") != std::string_view::npos;
        };
        for (const auto& [num, entry] : m_entries)
            if (mayBeCatalog(entry))
                if (const Obj* type = lookup(&valueOf(entry), "Type");
                    type && type->isName("Catalog") && entry.position >= best) {
                    catalog = &valueOf(entry);
                    best = entry.position;
                }
        return catalog;
    }

    struct Inherited {
        int rotate = 0;
        const Obj* media = nullptr;
        const Obj* crop = nullptr;
        // A crop box from above the node that sets the media box is not read alike everywhere.
        bool cropAboveMedia = false;
    };

    void collectGeometries(const Obj* node, Inherited inherited, std::set<const Obj*>& visited, int depth,
                           size_t count, std::vector<PageGeometry>& out) const
    {
        node = resolve(node);
        if (out.size() >= count || !node || node->kind != Obj::Dict || depth > 64 || !visited.insert(node).second)
            return;
        if (const Obj* own = lookup(node, "Rotate"); own && own->kind == Obj::Num && std::isfinite(own->num))
            inherited.rotate = int(std::fmod(own->num, 360));
        if (const Obj* own = lookup(node, "MediaBox")) {
            inherited.media = own;
            inherited.cropAboveMedia = inherited.crop != nullptr;
        }
        if (const Obj* own = lookup(node, "CropBox")) {
            inherited.crop = own;
            inherited.cropAboveMedia = false;
        }
        const Obj* kids = lookup(node, "Kids");
        const Obj* type = lookup(node, "Type");
        if (kids && kids->kind == Obj::Arr && !(type && type->isName("Page"))) {
            for (const auto& kid : kids->items)
                collectGeometries(&kid, inherited, visited, depth + 1, count, out);
            return;
        }
        PageGeometry page;
        int degrees = (inherited.rotate % 360 + 360) % 360;
        page.rotation = degrees - degrees % 90;
        page.boxRead = cropWithinMedia(inherited, page.box);
        out.push_back(page);
    }

    // Four finite numbers, as a rectangle whatever corners they name.
    bool rectangleOf(const Obj* array, double& x1, double& y1, double& x2, double& y2) const
    {
        if (!array || array->kind != Obj::Arr || array->items.size() != 4)
            return false;
        double v[4];
        for (size_t i = 0; i < 4; ++i) {
            const Obj* item = resolve(&array->items[i]);
            if (!item || item->kind != Obj::Num || !std::isfinite(item->num))
                return false;
            v[i] = item->num;
        }
        x1 = std::min(v[0], v[2]), x2 = std::max(v[0], v[2]);
        y1 = std::min(v[1], v[3]), y2 = std::max(v[1], v[3]);
        return true;
    }

    // The crop box cut to the media box; false for anything but plain boxes that overlap, which
    // are left to the drawing library's own reading.
    bool cropWithinMedia(const Inherited& page, double box[4]) const
    {
        double x1, y1, x2, y2;
        if (page.cropAboveMedia || !rectangleOf(page.media, x1, y1, x2, y2))
            return false;
        if (page.crop) {
            double cx1, cy1, cx2, cy2;
            if (!rectangleOf(page.crop, cx1, cy1, cx2, cy2))
                return false;
            x1 = std::max(x1, cx1), y1 = std::max(y1, cy1);
            x2 = std::min(x2, cx2), y2 = std::min(y2, cy2);
        }
        if (!(x2 > x1 && y2 > y1))
            return false;
        box[0] = x1, box[1] = y1, box[2] = x2 - x1, box[3] = y2 - y1;
        return true;
    }

    bool walk(const Obj* node, const Obj* inherited, int number, int& seen, std::set<const Obj*>& visited, int depth,
              const Obj*& page, const Obj*& resources) const
    {
        node = resolve(node);
        if (!node || node->kind != Obj::Dict || depth > 64 || !visited.insert(node).second)
            return false;
        if (const Obj* own = lookup(node, "Resources"))
            inherited = own;
        const Obj* kids = lookup(node, "Kids");
        const Obj* type = lookup(node, "Type");
        if (kids && kids->kind == Obj::Arr && !(type && type->isName("Page"))) {
            for (const auto& kid : kids->items)
                if (walk(&kid, inherited, number, seen, visited, depth + 1, page, resources))
                    return true;
            return false;
        }
        if (++seen != number)
            return false;
        page = node;
        resources = inherited;
        return true;
    }

    void build()
    {
        const char* data = m_file.data();
        size_t size = m_file.size();
        if (!data)
            return;
        const char* end = data + size;
        const char* p = data;
        std::vector<const Entry*> objectStreams;
        while (p < end) {
            const void* found = memmem(p, size_t(end - p), "obj", 3);
            if (!found)
                break;
            const char* at = static_cast<const char*>(found);
            p = at + 3;
            if (p < end && isRegular(*p))
                continue;
            // "<number> <generation> obj", each preceded by white space.
            const char* q = at;
            if (q == data || !isSpace(q[-1]))
                continue;
            while (q > data && isSpace(q[-1]))
                --q;
            const char* genEnd = q;
            while (q > data && std::isdigit(static_cast<unsigned char>(q[-1])))
                --q;
            if (q == genEnd || q == data || !isSpace(q[-1]))
                continue;
            while (q > data && isSpace(q[-1]))
                --q;
            const char* numEnd = q;
            while (q > data && std::isdigit(static_cast<unsigned char>(q[-1])))
                --q;
            if (q == numEnd || numEnd - q > 9 || (q > data && isRegular(q[-1])))
                continue;
            int number = std::atoi(std::string(q, numEnd).c_str());
            Lexer lexer(p, end);
            Entry entry;
            entry.position = size_t(at - data);
            entry.source = p;
            if (!lexer.read(entry.value, 0, false))
                continue;
            entry.sourceEnd = lexer.position();
            Lexer after = lexer;
            after.skipSpace();
            if (size_t(end - after.position()) >= 6 && std::memcmp(after.position(), "stream", 6) == 0) {
                // A stream's dictionary is read now: its length finds the stream's end.
                Lexer again(entry.source, entry.sourceEnd);
                again.read(entry.value);
                entry.read = true;
                findStream(entry, lexer, entry.value.get("Length"), end);
                p = entry.stream + entry.streamSize;
            } else {
                p = after.position();
            }
            auto& slot = m_entries[number];
            if (slot.position <= entry.position || slot.value.kind == Obj::Null)
                slot = std::move(entry);
        }
        for (auto& [num, entry] : m_entries)
            if (const Obj* type = entry.value.get("Type"); entry.read && type && type->isName("ObjStm") && entry.stream)
                objectStreams.push_back(&entry);
        for (const Entry* stream : objectStreams)
            unpack(*stream);
    }

    // The stream after a value that ended where `lexer` stands, if there is one: its bytes run
    // for its declared length when "endstream" follows there, or else up to "endstream".
    static void findStream(const Entry& entry, Lexer lexer, const Obj* length, const char* end)
    {
        lexer.skipSpace();
        const char* after = lexer.position();
        if (size_t(end - after) < 6 || std::memcmp(after, "stream", 6) != 0)
            return;
        const char* body = after + 6;
        if (body < end && *body == '\r')
            ++body;
        if (body < end && *body == '\n')
            ++body;
        size_t declared = length && length->kind == Obj::Num && length->num >= 0 ? size_t(length->num) : SIZE_MAX;
        const char* stop = nullptr;
        if (declared <= size_t(end - body)) {
            Lexer check(body + declared, end);
            check.skipSpace();
            if (size_t(end - check.position()) >= 9 && std::memcmp(check.position(), "endstream", 9) == 0)
                stop = body + declared;
        }
        if (!stop) {
            const void* mark = memmem(body, size_t(end - body), "endstream", 9);
            stop = mark ? static_cast<const char*>(mark) : end;
        }
        entry.stream = body;
        entry.streamSize = size_t(stop - body);
    }

    // The file's own table of where each object lies (the plain form, with earlier versions
    // through /Prev), each place checked to hold its object's header; objects are then read
    // only as they are reached. False when any of it does not hold: the whole file is scanned.
    bool readCrossReferences()
    {
        const char* data = m_file.data();
        size_t size = m_file.size();
        if (!data)
            return false;
        std::string_view file(data, size);
        size_t mark = file.rfind("startxref", size);
        if (mark == std::string_view::npos || size - mark > 2048)
            return false;
        Lexer tail(data + mark + 9, data + size);
        Obj at;
        if (!tail.read(at) || at.kind != Obj::Num)
            return false;
        std::map<int, size_t> offsets;
        std::set<int> freed;
        std::set<double> sections;
        Obj root;
        while (at.kind == Obj::Num) {
            if (!(at.num >= 0 && at.num < double(size)) || !sections.insert(at.num).second || sections.size() > 1000)
                return false;
            // The plain form starts with the word "xref"; the stream form is an object.
            std::string_view section = file.substr(size_t(at.num));
            if (section.substr(0, 4) != "xref" || (section.size() > 4 && isRegular(section[4])))
                return false;
            Lexer table(section.data() + 4, data + size);
            for (;;) {
                Obj first, count;
                if (!table.read(first) || (first.kind == Obj::Op && first.text == "trailer"))
                    break;
                if (!table.read(count) || first.kind != Obj::Num || count.kind != Obj::Num || first.num < 0 ||
                    count.num < 0 || first.num + count.num > 1e7)
                    return false;
                for (int i = 0; i < int(count.num); ++i) {
                    // "oooooooooo ggggg n" and two bytes of line end, twenty in all.
                    table.skipSpace();
                    const char* line = table.position();
                    if (table.end() - line < 18 || line[10] != ' ' || line[16] != ' ' ||
                        (line[17] != 'n' && line[17] != 'f'))
                        return false;
                    size_t offset = 0;
                    for (int digit = 0; digit < 10; ++digit) {
                        if (!std::isdigit(static_cast<unsigned char>(line[digit])))
                            return false;
                        offset = offset * 10 + size_t(line[digit] - '0');
                    }
                    table.seek(line + 18);
                    int number = int(first.num) + i;
                    // A later section (read first) says where an object now lies, or that it is gone.
                    if (offsets.count(number) || freed.count(number))
                        continue;
                    if (line[17] == 'f')
                        freed.insert(number);
                    else if (number > 0)
                        offsets[number] = offset;
                }
            }
            Obj trailer;
            if (!table.read(trailer) || trailer.kind != Obj::Dict || trailer.get("XRefStm"))
                return false;
            if (root.kind == Obj::Null)
                if (const Obj* own = trailer.get("Root"))
                    root = *own;
            const Obj* previous = trailer.get("Prev");
            at = previous ? *previous : Obj();
        }
        if (root.kind != Obj::Ref || offsets.empty())
            return false;
        // Each object's bytes end at the next one's start at the latest.
        std::vector<size_t> starts;
        for (const auto& [number, offset] : offsets)
            starts.push_back(offset);
        std::sort(starts.begin(), starts.end());
        for (const auto& [number, offset] : offsets) {
            if (offset >= size)
                return false;
            // "<number> <generation> obj" where the table says.
            const char* header = data + offset;
            const char* end = data + size;
            auto digits = [&](const char* from) {
                while (from < end && std::isdigit(static_cast<unsigned char>(*from)))
                    ++from;
                return from;
            };
            auto spaces = [&](const char* from) {
                while (from < end && isSpace(static_cast<unsigned char>(*from)))
                    ++from;
                return from;
            };
            const char* numberEnd = digits(header);
            int written = 0;
            if (std::from_chars(header, numberEnd, written).ec != std::errc() || written != number)
                return false;
            const char* generation = spaces(numberEnd);
            const char* generationEnd = digits(generation);
            const char* keyword = spaces(generationEnd);
            if (generation == numberEnd || generationEnd == generation || keyword == generationEnd ||
                end - keyword < 3 || std::memcmp(keyword, "obj", 3) != 0 || (end - keyword > 3 && isRegular(keyword[3])))
                return false;
            auto next = std::upper_bound(starts.begin(), starts.end(), offset);
            Entry& entry = m_entries.try_emplace(m_entries.end(), number)->second;
            entry.position = offset;
            entry.source = keyword + 3;
            entry.sourceEnd = next == starts.end() ? data + size : data + *next;
            entry.located = false;
        }
        const Obj* catalog = resolve(&root);
        const Obj* type = catalog && catalog->kind == Obj::Dict ? lookup(catalog, "Type") : nullptr;
        if (!type || !type->isName("Catalog")) {
            m_entries.clear();
            return false;
        }
        m_catalog = catalog;
        return true;
    }

    // Objects kept inside an object stream.
    void unpack(const Entry& stream)
    {
        auto bytes = std::make_shared<std::string>();
        bool over = false;
        if (!streamBytes(stream, 64u * 1024 * 1024, *bytes, over))
            return;
        const Obj* count = stream.value.get("N");
        const Obj* first = stream.value.get("First");
        if (!count || !first || count->kind != Obj::Num || first->kind != Obj::Num || first->num < 0 ||
            size_t(first->num) > bytes->size())
            return;
        const char* begin = bytes->data();
        const char* end = begin + bytes->size();
        Lexer header(begin, begin + size_t(first->num));
        int n = int(std::min(count->num, 1e6));
        for (int i = 0; i < n; ++i) {
            Obj number, offset;
            if (!header.read(number) || !header.read(offset) || number.kind != Obj::Num || offset.kind != Obj::Num ||
                offset.num < 0)
                return;
            const char* at = begin + size_t(first->num) + size_t(offset.num);
            if (at >= end)
                continue;
            Lexer lexer(at, end);
            Entry entry;
            entry.position = stream.position;
            entry.inflated = bytes;
            entry.source = at;
            if (!lexer.read(entry.value))
                continue;
            entry.read = true;
            entry.sourceEnd = lexer.position();
            auto& slot = m_entries[int(number.num)];
            if (slot.value.kind == Obj::Null || slot.position < entry.position)
                slot = std::move(entry);
        }
    }

    Mapping m_file;
    std::map<int, Entry> m_entries;
    const Obj* m_catalog = nullptr; // the table's own, when it was read
    mutable std::recursive_mutex m_reading;
};

struct JpegFrame {
    double width = 0, height = 0, components = 0;
    bool progressive = false;
    bool adobe = false; // an Adobe segment before it, which may say how its colours are coded
};

// The frame header of a JPEG: its decoder makes its buffers by it, whatever the dictionary says.
std::optional<JpegFrame> jpegFrame(const char* p, size_t n)
{
    auto byte = [p](size_t i) { return unsigned(static_cast<unsigned char>(p[i])); };
    if (n < 4 || byte(0) != 0xFF || byte(1) != 0xD8)
        return std::nullopt;
    size_t i = 2;
    bool adobe = false;
    while (i + 4 <= n) {
        if (byte(i) != 0xFF)
            return std::nullopt;
        unsigned marker = byte(i + 1);
        if (marker == 0xFF) {
            ++i;
            continue;
        }
        if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD8)) {
            i += 2;
            continue;
        }
        if (marker == 0xDA || marker == 0xD9)
            return std::nullopt;
        size_t length = (byte(i + 2) << 8) | byte(i + 3);
        bool frame = marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
        if (frame) {
            if (i + 10 > n)
                return std::nullopt;
            JpegFrame f;
            f.height = double((byte(i + 5) << 8) | byte(i + 6));
            f.width = double((byte(i + 7) << 8) | byte(i + 8));
            f.components = double(byte(i + 9));
            f.progressive = marker == 0xC2 || marker == 0xC6 || marker == 0xCA || marker == 0xCE;
            f.adobe = adobe;
            return f;
        }
        if (length < 2)
            return std::nullopt;
        if (marker == 0xEE)
            adobe = true;
        i += 2 + length;
    }
    return std::nullopt;
}

// Walks the page's drawing instructions, forms included, and adds up what they ask.
class Measure {
public:
    Measure(const Index& index, PageCost& cost) : m_index(index), m_cost(cost) {}

    bool over() const
    {
        return m_cost.imagePixels > PageLimits::kImagePixels || m_cost.imageBytes > PageLimits::kImageBytes ||
               m_cost.saveDepth > PageLimits::kSaveDepth || m_cost.operators > PageLimits::kOperators ||
               m_cost.contentBytes > PageLimits::kContentBytes;
    }

    void content(const std::string& bytes, const Obj* resources, size_t baseDepth, int formDepth)
    {
        Lexer lexer(bytes.data(), bytes.data() + bytes.size());
        size_t depth = 0;
        Obj token;
        std::string lastName;
        while (!over() && !lexer.atEnd()) {
            if (!lexer.read(token))
                break;
            if (token.kind == Obj::Name) {
                lastName = token.text;
                continue;
            }
            if (token.kind != Obj::Op)
                continue;
            ++m_cost.operators;
            const std::string& op = token.text;
            if (op == "q") {
                ++depth;
                m_cost.saveDepth = std::max(m_cost.saveDepth, baseDepth + depth);
            } else if (op == "Q") {
                if (depth > 0)
                    --depth;
            } else if (op == "Do") {
                xObject(lastName, resources, baseDepth + depth, formDepth);
            } else if (op == "BI") {
                inlineImage(lexer);
            }
        }
    }

    void streams(const Obj* contents, const Obj* resources)
    {
        if (!contents)
            return;
        if (contents->kind == Obj::Ref) {
            const Obj* target = m_index.resolve(contents);
            if (target && target->kind == Obj::Arr) {
                streams(target, resources);
                return;
            }
            if (const Entry* entry = m_index.entryOf(contents))
                stream(*entry, resources, 0, 0);
            return;
        }
        if (contents->kind == Obj::Arr)
            for (const auto& item : contents->items)
                if (item.kind == Obj::Ref && !over())
                    if (const Entry* entry = m_index.entryOf(&item))
                        stream(*entry, resources, 0, 0);
    }

private:
    void stream(const Entry& entry, const Obj* resources, size_t baseDepth, int formDepth)
    {
        std::string bytes;
        bool tooMuch = false;
        size_t room = PageLimits::kContentBytes - std::min(m_cost.contentBytes, PageLimits::kContentBytes);
        if (!m_index.streamBytes(entry, room, bytes, tooMuch))
            return;
        m_cost.contentBytes += bytes.size() + (tooMuch ? 1 : 0);
        content(bytes, resources, baseDepth, formDepth);
    }

    static double numberOf(const Index& index, const Obj* dict, const char* key, double otherwise = 0)
    {
        const Obj* value = index.lookup(dict, key);
        return value && value->kind == Obj::Num ? value->num : otherwise;
    }

    static double pixelsOf(const Index& index, const Obj* image)
    {
        const Obj* w = index.lookup(image, "Width");
        const Obj* h = index.lookup(image, "Height");
        if (!w || !h || w->kind != Obj::Num || h->kind != Obj::Num)
            return 0;
        return std::max(0.0, w->num) * std::max(0.0, h->num);
    }

    // Samples a pixel carries in a colour space; 3 for one this reader cannot tell.
    static int componentsOf(const Index& index, const Obj* space)
    {
        space = index.resolve(space);
        const Obj* family = space;
        if (space && space->kind == Obj::Arr && !space->items.empty())
            family = index.resolve(&space->items[0]);
        if (!family || family->kind != Obj::Name)
            return 3;
        const std::string& name = family->text;
        if (name == "DeviceGray" || name == "G" || name == "CalGray" || name == "Indexed" || name == "I" ||
            name == "Separation" || name == "Pattern")
            return 1;
        if (name == "DeviceCMYK" || name == "CMYK")
            return 4;
        if (space->kind == Obj::Arr && space->items.size() > 1) {
            if (name == "ICCBased") {
                double n = numberOf(index, &space->items[1], "N", 3);
                return n >= 1 && n <= 32 ? int(n) : 3;
            }
            if (name == "DeviceN") {
                const Obj* names = index.resolve(&space->items[1]);
                return names && names->kind == Obj::Arr ? int(std::clamp<size_t>(names->items.size(), 1, 32)) : 1;
            }
        }
        return 3;
    }

    // What one picture takes: its samples decoded at their own depth, and the whole-picture
    // buffers beside them. A progressive JPEG keeps every coefficient (two bytes a sample) until
    // its last scan; a JPEG 2000 picture is decoded whole, four bytes a sample. A picture with a
    // mask of its own is not scaled as it is decoded: the drawing holds it whole at four bytes a
    // pixel, and the mask at one.
    static double bytesOf(const Index& index, const Obj* image, const Entry* entry)
    {
        double w = std::max(0.0, numberOf(index, image, "Width"));
        double h = std::max(0.0, numberOf(index, image, "Height"));
        const Obj* stencil = index.lookup(image, "ImageMask");
        bool isStencil = stencil && stencil->kind == Obj::Bool && stencil->num != 0;
        double depth = isStencil ? 1 : std::clamp(numberOf(index, image, "BitsPerComponent", 8), 1.0, 16.0);
        double components = isStencil ? 1 : componentsOf(index, index.lookup(image, "ColorSpace"));
        const Obj* filter = index.lookup(image, "Filter");
        bool onlyFilter = !filter || filter->kind == Obj::Name ||
                          (filter->kind == Obj::Arr && filter->items.size() == 1);
        if (filter && filter->kind == Obj::Arr)
            filter = filter->items.empty() ? nullptr : index.resolve(&filter->items.back());
        double bytes = std::ceil(w * components * depth / 8) * h;
        if (filter && (filter->isName("DCTDecode") || filter->isName("DCT"))) {
            std::optional<JpegFrame> frame;
            if (entry && entry->stream && onlyFilter)
                frame = jpegFrame(entry->stream, entry->streamSize);
            if (frame) {
                double samples = frame->width * frame->height * std::max(1.0, frame->components);
                bytes = std::max(bytes, samples);
                if (frame->progressive)
                    bytes += 2 * samples;
            }
        } else if (filter && filter->isName("JPXDecode")) {
            bytes += 4 * w * h * (index.lookup(image, "ColorSpace") ? components : 4);
        }
        for (const char* key : {"SMask", "Mask"}) {
            const Obj* mask = index.lookup(image, key);
            if (mask && mask->kind == Obj::Dict)
                bytes += pixelsOf(index, mask) + 4 * w * h;
        }
        return bytes;
    }

    void xObject(const std::string& name, const Obj* resources, size_t depth, int formDepth)
    {
        const Obj* objects = m_index.lookup(resources, "XObject");
        if (!objects || objects->kind != Obj::Dict)
            return;
        const Obj* ref = objects->get(name.c_str());
        const Obj* object = m_index.resolve(ref);
        if (!object || object->kind != Obj::Dict)
            return;
        const Obj* subtype = m_index.lookup(object, "Subtype");
        if (subtype && subtype->isName("Image")) {
            m_cost.imagePixels += pixelsOf(m_index, object);
            if (const Obj* mask = m_index.lookup(object, "SMask"))
                m_cost.imagePixels += pixelsOf(m_index, mask);
            m_cost.imageBytes += bytesOf(m_index, object, m_index.entryOf(ref));
            return;
        }
        if (!subtype || !subtype->isName("Form") || formDepth >= 16)
            return;
        const Entry* entry = m_index.entryOf(ref);
        if (!entry || m_active.count(entry))
            return;
        m_active.insert(entry);
        const Obj* own = m_index.lookup(object, "Resources");
        // A form is drawn inside a saved state of its own.
        m_cost.saveDepth = std::max(m_cost.saveDepth, depth + 1);
        stream(*entry, own ? own : resources, depth + 1, formDepth + 1);
        m_active.erase(entry);
    }

    // An image written inside the instructions: its size from its dictionary, its bytes skipped.
    void inlineImage(Lexer& lexer)
    {
        // The short keys an inline image may use, as their long names.
        static const std::map<std::string, std::string> kLongNames = {
            {"W", "Width"}, {"H", "Height"}, {"BPC", "BitsPerComponent"}, {"CS", "ColorSpace"},
            {"IM", "ImageMask"}, {"F", "Filter"}};
        Obj dict;
        dict.kind = Obj::Dict;
        Obj key, value;
        while (lexer.read(key)) {
            if (key.kind == Obj::Op && key.text == "ID")
                break;
            if (key.kind != Obj::Name || !lexer.read(value))
                return;
            auto longName = kLongNames.find(key.text);
            dict.keys.push_back(longName == kLongNames.end() ? key.text : longName->second);
            dict.items.push_back(std::move(value));
        }
        double w = std::max(0.0, numberOf(m_index, &dict, "Width"));
        double h = std::max(0.0, numberOf(m_index, &dict, "Height"));
        m_cost.imagePixels += w * h;
        m_cost.imageBytes += bytesOf(m_index, &dict, nullptr);
        // The data runs to an "EI" standing alone.
        const char* p = lexer.position();
        std::string_view rest(p, size_t(lexer.end() - p));
        size_t at = 0;
        while ((at = rest.find("EI", at)) != std::string_view::npos) {
            bool before = at == 0 || isSpace(static_cast<unsigned char>(rest[at - 1]));
            bool after = at + 2 >= rest.size() || isSpace(static_cast<unsigned char>(rest[at + 2]));
            if (before && after) {
                lexer.seek(p + at + 2);
                return;
            }
            at += 2;
        }
        lexer.seek(p + rest.size());
    }

    const Index& m_index;
    PageCost& m_cost;
    std::set<const Entry*> m_active;
};

struct FileKey {
    std::string path;
    long long size = 0;
    long long modified = 0;
    bool operator==(const FileKey&) const = default;
};

std::optional<FileKey> keyOf(const std::string& path)
{
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0)
        return std::nullopt;
    return FileKey{path, (long long)st.st_size, (long long)st.st_mtim.tv_sec * 1000000000LL + st.st_mtim.tv_nsec};
}

PageCost measure(const Index& index, int number)
{
    PageCost cost;
    const Obj* page = nullptr;
    const Obj* resources = nullptr;
    if (!index.valid() || number < 1 || !index.findPage(number, page, resources))
        return cost;
    cost.read = true;
    Measure measure(index, cost);
    measure.streams(page->get("Contents"), resources);
    return cost;
}

// What drawing asks of a page, answered once per version of the file.
struct Verdict {
    std::optional<bool> pictures; // nothing when the page could not be read
    double picturePixels = 0;
};

// The files last judged, with their index and answers: the reader asks for the same document
// from its page views, their drawing and its thumbnails.
struct Judged {
    FileKey key;
    std::shared_ptr<Index> index;
    std::map<int, Verdict> verdicts;
};

std::mutex g_mutex;
std::list<Judged>& judgedFiles()
{
    static auto* files = new std::list<Judged>(); // plain data, reached until the very end
    return *files;
}

// Under g_mutex: the file's entry, indexed once per version.
Judged* judgedOf(const FileKey& key)
{
    auto& files = judgedFiles();
    auto found = std::find_if(files.begin(), files.end(), [&](const Judged& j) { return j.key == key; });
    if (found == files.end()) {
        files.push_front(Judged{key, std::make_shared<Index>(key.path), {}});
        while (files.size() > 2)
            files.pop_back();
    } else {
        files.splice(files.begin(), files, found);
    }
    return &files.front();
}

Verdict judge(const std::string& path, int number)
{
    auto key = keyOf(path);
    if (!key)
        return {};
    std::lock_guard lock(g_mutex);
    Judged* found = judgedOf(*key);
    auto answer = found->verdicts.find(number);
    if (answer != found->verdicts.end())
        return answer->second;
    PageCost cost = measure(*found->index, number);
    Verdict verdict;
    if (cost.read) {
        verdict.pictures = cost.imagePixels > 0;
        verdict.picturePixels = cost.imagePixels;
    }
    found->verdicts[number] = verdict;
    return verdict;
}

} // namespace

PageCost pageCost(const std::string& path, int number)
{
    Index index(path);
    return measure(index, number);
}

std::optional<bool> pageDrawsPictures(const std::string& path, int number)
{
    return judge(path, number).pictures;
}

std::optional<double> pagePicturePixels(const std::string& path, int number)
{
    Verdict verdict = judge(path, number);
    if (!verdict.pictures)
        return std::nullopt;
    return verdict.picturePixels;
}

std::vector<PageGeometry> pageGeometries(const std::string& path, size_t count)
{
    auto key = keyOf(path);
    if (!key)
        return {};
    std::shared_ptr<Index> index;
    {
        std::lock_guard lock(g_mutex);
        index = judgedOf(*key)->index;
    }
    return index->valid() ? index->geometries(count) : std::vector<PageGeometry>{};
}

namespace {

// The page's drawing instructions, its content streams joined; false past `limit` or when one
// cannot be read.
bool contentsOf(const Index& index, const Obj* contents, size_t limit, std::string& out)
{
    std::vector<const Obj*> parts;
    const Obj* target = index.resolve(contents);
    if (target && target->kind == Obj::Arr) {
        for (const auto& item : target->items)
            parts.push_back(&item);
    } else {
        parts.push_back(contents);
    }
    for (const Obj* part : parts) {
        const Entry* entry = index.entryOf(part);
        std::string bytes;
        bool over = false;
        if (!entry || out.size() >= limit || !index.streamBytes(*entry, limit - out.size(), bytes, over) || over)
            return false;
        out += bytes;
        out += '\n';
    }
    return true;
}

bool isNameOrOnlyItem(const Index& index, const Obj* value, const char* name)
{
    if (value && value->kind == Obj::Arr && value->items.size() == 1)
        value = index.resolve(&value->items[0]);
    return value && value->isName(name);
}

} // namespace

bool withPhotoPage(const std::string& path, int number, const std::function<void(const PhotoPage&)>& use)
{
    auto key = keyOf(path);
    if (!key)
        return false;
    std::shared_ptr<Index> held;
    {
        std::lock_guard lock(g_mutex);
        held = judgedOf(*key)->index;
    }
    const Index& index = *held;
    const Obj* page = nullptr;
    const Obj* resources = nullptr;
    if (!index.valid() || number < 1 || !index.findPage(number, page, resources))
        return false;
    // Turned, from the page itself or a node above it: not this page.
    const Obj* node = page;
    for (int depth = 0; node && depth < 64; ++depth, node = index.lookup(node, "Parent")) {
        const Obj* rotate = index.lookup(node, "Rotate");
        if (rotate && !(rotate->kind == Obj::Num && std::fmod(rotate->num, 360) == 0))
            return false;
        if (rotate)
            break;
    }
    // Annotations draw over the page: not this page.
    const Obj* annots = index.lookup(page, "Annots");
    if (annots && !(annots->kind == Obj::Arr && annots->items.empty()))
        return false;
    // Exactly "[q] a 0 0 d e f cm /Name Do [Q]", an upright picture.
    std::string content;
    if (!contentsOf(index, page->get("Contents"), 4096, content))
        return false;
    Lexer lexer(content.data(), content.data() + content.size());
    std::vector<Obj> tokens;
    Obj token;
    while (tokens.size() < 12 && lexer.read(token))
        tokens.push_back(std::move(token));
    if (!lexer.atEnd())
        return false;
    size_t at = 0;
    bool saved = !tokens.empty() && tokens[0].kind == Obj::Op && tokens[0].text == "q";
    at += saved;
    if (tokens.size() != at + 9 + (saved ? 1 : 0))
        return false;
    double m[6];
    for (int i = 0; i < 6; ++i) {
        if (tokens[at + i].kind != Obj::Num || !std::isfinite(tokens[at + i].num))
            return false;
        m[i] = tokens[at + i].num;
    }
    const Obj& cm = tokens[at + 6];
    const Obj& name = tokens[at + 7];
    const Obj& doOp = tokens[at + 8];
    if (cm.kind != Obj::Op || cm.text != "cm" || name.kind != Obj::Name || doOp.kind != Obj::Op || doOp.text != "Do" ||
        (saved && !(tokens.back().kind == Obj::Op && tokens.back().text == "Q")))
        return false;
    if (!(m[0] > 0 && m[1] == 0 && m[2] == 0 && m[3] > 0))
        return false;
    const Obj* xobjects = index.lookup(resources, "XObject");
    const Obj* ref = xobjects && xobjects->kind == Obj::Dict ? xobjects->get(name.text.c_str()) : nullptr;
    const Entry* entry = index.entryOf(ref);
    if (!entry || !entry->stream)
        return false;
    // A plain JPEG in grey or RGB, nothing masking or remapping it.
    const Obj* image = &index.valueOf(*entry);
    const Obj* width = index.lookup(image, "Width");
    const Obj* height = index.lookup(image, "Height");
    const Obj* bits = index.lookup(image, "BitsPerComponent");
    const Obj* space = index.lookup(image, "ColorSpace");
    const Obj* mask = index.lookup(image, "ImageMask");
    if (!index.lookup(image, "Subtype") || !index.lookup(image, "Subtype")->isName("Image") ||
        !isNameOrOnlyItem(index, index.lookup(image, "Filter"), "DCTDecode") || index.lookup(image, "DecodeParms") ||
        !width || width->kind != Obj::Num || !height || height->kind != Obj::Num || !bits || bits->kind != Obj::Num ||
        bits->num != 8 || !space || !(space->isName("DeviceRGB") || space->isName("DeviceGray")) ||
        index.lookup(image, "Decode") || index.lookup(image, "SMask") || index.lookup(image, "Mask") ||
        (mask && !(mask->kind == Obj::Bool && mask->num == 0)) || !(width->num >= 1 && height->num >= 1))
        return false;
    // The picture as its dictionary says, its colours coded the plain way.
    auto frame = jpegFrame(entry->stream, entry->streamSize);
    bool gray = space->isName("DeviceGray");
    if (!frame || frame->adobe || frame->width != width->num || frame->height != height->num ||
        frame->components != (gray ? 1 : 3))
        return false;
    PhotoPage photo;
    photo.x = m[4], photo.y = m[5], photo.width = m[0], photo.height = m[3];
    photo.pixelWidth = int(std::min(width->num, 1e9));
    photo.pixelHeight = int(std::min(height->num, 1e9));
    photo.gray = gray;
    photo.jpeg = std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(entry->stream), entry->streamSize);
    use(photo);
    // The picture's pages of the file, read once, would stay counted in the worker's resident
    // size, which its memory limit weighs: they are let go (the file still holds them).
    if (index.mapsFile(entry->stream, entry->streamSize)) {
        uintptr_t pageSize = uintptr_t(sysconf(_SC_PAGESIZE));
        uintptr_t first = reinterpret_cast<uintptr_t>(entry->stream) / pageSize * pageSize;
        uintptr_t last =
            (reinterpret_cast<uintptr_t>(entry->stream) + entry->streamSize + pageSize - 1) / pageSize * pageSize;
        madvise(reinterpret_cast<void*>(first), last - first, MADV_DONTNEED);
    }
    return true;
}

} // namespace pdf
