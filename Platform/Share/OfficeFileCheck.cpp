#include "Platform/Share/OfficeFileCheck.h"

#include <algorithm>
#include <cstring>
#include <fstream>
#include <optional>
#include <string_view>
#include <vector>

namespace share {

namespace {

using Bytes = std::vector<uint8_t>;

// Office files shown here stay well below this; a larger one is not looked into.
constexpr uint64_t kLargestInspected = uint64_t(64) << 20;
constexpr uint32_t kEndOfChain = 0xFFFFFFFE;

uint32_t le16(const Bytes& b, size_t at) { return at + 2 <= b.size() ? uint32_t(b[at]) | uint32_t(b[at + 1]) << 8 : 0; }
uint32_t le32(const Bytes& b, size_t at) { return at + 4 <= b.size() ? le16(b, at) | le16(b, at + 2) << 16 : 0; }

std::optional<Bytes> readAll(const std::string& path)
{
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    if (!in)
        return std::nullopt;
    auto size = static_cast<uint64_t>(in.tellg());
    if (size > kLargestInspected)
        return std::nullopt;
    Bytes bytes(size);
    in.seekg(0);
    in.read(reinterpret_cast<char*>(bytes.data()), std::streamsize(size));
    return in ? std::optional<Bytes>(std::move(bytes)) : std::nullopt;
}

// A compound file (the container of .doc, .xls and of encrypted packages): its named streams.
class CompoundFile {
public:
    explicit CompoundFile(const Bytes& bytes) : m_bytes(bytes)
    {
        m_sectorSize = size_t(1) << std::min<uint32_t>(le16(bytes, 0x1E), 16);
        m_miniSectorSize = size_t(1) << std::min<uint32_t>(le16(bytes, 0x20), 16);
        m_miniCutoff = le32(bytes, 0x38);
        // The first 109 sectors of the allocation table are listed in the header.
        for (size_t i = 0; i < 109; ++i) {
            uint32_t sector = le32(bytes, 0x4C + 4 * i);
            if (sector >= kEndOfChain)
                break;
            for (size_t at = offset(sector), end = at + m_sectorSize; at < end && at + 4 <= bytes.size(); at += 4)
                m_fat.push_back(le32(bytes, at));
        }
        Bytes directory = chain(le32(bytes, 0x30), m_fat, m_sectorSize, 1 << 20, nullptr);
        for (size_t at = 0; at + 128 <= directory.size(); at += 128) {
            Entry e;
            size_t nameBytes = std::min<size_t>(le16(directory, at + 0x40), 64);
            // The length counts the closing zero; the names looked for are ASCII.
            for (size_t i = 0; i + 2 < nameBytes; i += 2)
                e.name += char(directory[at + i]);
            e.type = directory[at + 0x42];
            e.start = le32(directory, at + 0x74);
            e.size = le32(directory, at + 0x78);
            m_entries.push_back(std::move(e));
        }
        if (!m_entries.empty()) {
            m_miniFat.clear();
            Bytes miniFat = chain(le32(bytes, 0x3C), m_fat, m_sectorSize, 1 << 20, nullptr);
            for (size_t at = 0; at + 4 <= miniFat.size(); at += 4)
                m_miniFat.push_back(le32(miniFat, at));
            m_miniStream = chain(m_entries[0].start, m_fat, m_sectorSize, 8 << 20, nullptr);
        }
    }

    bool has(std::string_view name) const { return find(name) != nullptr; }

    // The first bytes of a stream (up to `limit`); empty when it is not there.
    Bytes head(std::string_view name, size_t limit) const
    {
        const Entry* e = find(name);
        if (!e)
            return {};
        size_t want = std::min<size_t>(limit, e->size);
        if (e->size < m_miniCutoff)
            return chain(e->start, m_miniFat, m_miniSectorSize, want, &m_miniStream);
        return chain(e->start, m_fat, m_sectorSize, want, nullptr);
    }

private:
    struct Entry {
        std::string name;
        uint8_t type = 0;
        uint32_t start = kEndOfChain;
        uint32_t size = 0;
    };

    size_t offset(uint32_t sector) const { return (size_t(sector) + 1) * m_sectorSize; }

    const Entry* find(std::string_view name) const
    {
        for (const auto& e : m_entries)
            if (e.type == 2 && e.name == name)
                return &e;
        return nullptr;
    }

    // Follows a chain of sectors in `table` (of the file, or of the mini stream when given),
    // stopping at `limit` bytes, at the end, or at a loop.
    Bytes chain(uint32_t sector, const std::vector<uint32_t>& table, size_t size, size_t limit,
                const Bytes* mini) const
    {
        const Bytes& source = mini ? *mini : m_bytes;
        Bytes out;
        for (size_t steps = 0; sector < kEndOfChain && out.size() < limit && steps <= table.size(); ++steps) {
            size_t at = mini ? size_t(sector) * size : offset(sector);
            if (at >= source.size())
                break;
            size_t n = std::min({size, source.size() - at, limit - out.size()});
            out.insert(out.end(), source.begin() + long(at), source.begin() + long(at + n));
            sector = sector < table.size() ? table[sector] : kEndOfChain;
        }
        return out;
    }

    const Bytes& m_bytes;
    size_t m_sectorSize = 512;
    size_t m_miniSectorSize = 64;
    uint32_t m_miniCutoff = 4096;
    std::vector<uint32_t> m_fat;
    std::vector<uint32_t> m_miniFat;
    Bytes m_miniStream;
    std::vector<Entry> m_entries;
};

bool compoundFileIsProtected(const Bytes& bytes)
{
    CompoundFile file(bytes);
    // An encrypted package (docx, xlsx, pptx saved with a password).
    if (file.has("EncryptionInfo") || file.has("EncryptedPackage"))
        return true;
    // Word: the file information block flags encryption (or obfuscation) in bit 8 at 0x0A.
    Bytes word = file.head("WordDocument", 16);
    if (word.size() >= 12 && (le16(word, 0x0A) & 0x0100))
        return true;
    // Excel: a FILEPASS record follows the workbook's opening record.
    Bytes book = file.has("Workbook") ? file.head("Workbook", 4096) : file.head("Book", 4096);
    for (size_t at = 0, records = 0; at + 4 <= book.size() && records < 16; ++records) {
        uint32_t type = le16(book, at), length = le16(book, at + 2);
        if (type == 0x002F)
            return true;
        at += 4 + length;
    }
    return false;
}

// What the central directory of a zip package declares it unpacks to; nothing when there is
// no readable directory.
std::optional<uint64_t> declaredZipSize(const Bytes& bytes)
{
    if (bytes.size() < 22)
        return std::nullopt;
    size_t end = std::string::npos;
    for (size_t at = bytes.size() - 22, floor = bytes.size() > 22 + 65535 ? bytes.size() - 22 - 65535 : 0;; --at) {
        if (le32(bytes, at) == 0x06054b50) {
            end = at;
            break;
        }
        if (at == floor)
            break;
    }
    if (end == std::string::npos)
        return std::nullopt;
    uint64_t total = 0;
    size_t at = le32(bytes, end + 16);
    for (uint32_t i = 0, count = le16(bytes, end + 10); i < count; ++i) {
        if (le32(bytes, at) != 0x02014b50)
            return std::nullopt;
        uint32_t size = le32(bytes, at + 24);
        total += size == 0xFFFFFFFF ? uint64_t(1) << 32 : size; // a package this size is no document
        at += 46 + le16(bytes, at + 28) + le16(bytes, at + 30) + le16(bytes, at + 32);
    }
    return total;
}

} // namespace

OfficeFileCheck::Verdict OfficeFileCheck::inspect(const std::string& path)
{
    auto bytes = readAll(path);
    if (!bytes)
        return Verdict::Plain;
    static const uint8_t compound[] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
    if (bytes->size() >= 512 && std::memcmp(bytes->data(), compound, sizeof compound) == 0)
        return compoundFileIsProtected(*bytes) ? Verdict::Protected : Verdict::Plain;
    if (bytes->size() >= 4 && std::memcmp(bytes->data(), "PK\x03\x04", 4) == 0) {
        auto declared = declaredZipSize(*bytes);
        if (!declared)
            return Verdict::Damaged;
        if (*declared > kMaxUnpackedSize
            || (*declared > kRatioCheckedFrom && double(*declared) > kMaxRatio * double(bytes->size())))
            return Verdict::Damaged;
    }
    return Verdict::Plain;
}

} // namespace share
