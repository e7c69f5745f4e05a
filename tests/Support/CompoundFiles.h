#pragma once
// Compound files as older office formats are stored, made byte by byte: a Word document and
// an Excel workbook, each with or without its password flag, and an encrypted package.
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace compoundfix {

inline void put(std::string& s, size_t at, uint32_t value, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        s[at + size_t(i)] = char(value >> (8 * i) & 255);
}

// Version 3, 512-byte sectors: the allocation table, one directory sector (up to three
// streams), then each stream in whole sectors, never below the 4,096-byte small-stream cut.
inline std::string compoundFile(const std::vector<std::pair<std::string, std::string>>& streams)
{
    constexpr uint32_t kEnd = 0xFFFFFFFE, kFree = 0xFFFFFFFF;
    std::string header(512, '\0');
    header.replace(0, 8, "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8);
    put(header, 0x18, 0x3E, 2), put(header, 0x1A, 3, 2), put(header, 0x1C, 0xFFFE, 2);
    put(header, 0x1E, 9, 2), put(header, 0x20, 6, 2), put(header, 0x2C, 1, 4), put(header, 0x30, 1, 4);
    put(header, 0x38, 4096, 4), put(header, 0x3C, kEnd, 4), put(header, 0x44, kEnd, 4);
    for (size_t i = 0; i < 109; ++i)
        put(header, 0x4C + 4 * i, i == 0 ? 0 : kFree, 4);

    std::string fat(512, '\xFF'), directory(512, '\0'), data;
    put(fat, 0, 0xFFFFFFFD, 4), put(fat, 4, kEnd, 4);
    auto entry = [&](size_t index, const std::string& name, uint8_t type, uint32_t start, uint32_t size,
                     uint32_t right, uint32_t child) {
        size_t at = index * 128;
        for (size_t i = 0; i < name.size(); ++i)
            directory[at + 2 * i] = name[i];
        put(directory, at + 0x40, uint32_t(2 * (name.size() + 1)), 2);
        directory[at + 0x42] = char(type);
        put(directory, at + 0x44, kFree, 4), put(directory, at + 0x48, right, 4), put(directory, at + 0x4C, child, 4);
        put(directory, at + 0x74, start, 4), put(directory, at + 0x78, size, 4);
    };
    entry(0, "Root Entry", 5, kEnd, 0, kFree, streams.empty() ? kFree : 1);
    uint32_t sector = 2;
    for (size_t i = 0; i < streams.size() && i < 3; ++i) {
        std::string body = streams[i].second;
        body.resize(std::max<size_t>(4096, (body.size() + 511) / 512 * 512), '\0');
        uint32_t count = uint32_t(body.size() / 512);
        entry(i + 1, streams[i].first, 2, sector, uint32_t(streams[i].second.size() < 4096 ? 4096 : streams[i].second.size()),
              i + 1 < streams.size() ? uint32_t(i + 2) : kFree, kFree);
        for (uint32_t k = 0; k < count; ++k)
            put(fat, 4 * (sector + k), k + 1 < count ? sector + k + 1 : kEnd, 4);
        sector += count;
        data += body;
    }
    for (size_t i = streams.size() + 1; i < 4; ++i) {
        put(directory, i * 128 + 0x44, kFree, 4), put(directory, i * 128 + 0x48, kFree, 4);
        put(directory, i * 128 + 0x4C, kFree, 4);
    }
    return header + fat + directory + data;
}

// A Word document whose file information block says it is (or is not) encrypted.
inline std::string wordDocument(bool locked)
{
    std::string fib(4096, '\0');
    put(fib, 0, 0xA5EC, 2), put(fib, 2, 0x00C1, 2);
    put(fib, 0x0A, locked ? 0x0100 : 0, 2);
    return compoundFile({{"WordDocument", fib}, {"1Table", std::string(4096, '\0')}});
}

// An Excel workbook: its opening record, then a password record when locked.
inline std::string excelWorkbook(bool locked)
{
    std::string book;
    auto record = [&](uint32_t type, const std::string& body) {
        std::string r(4, '\0');
        put(r, 0, type, 2), put(r, 2, uint32_t(body.size()), 2);
        book += r + body;
    };
    record(0x0809, std::string(16, '\0'));
    if (locked)
        record(0x002F, std::string(6, '\x01'));
    record(0x00E1, std::string(2, '\0'));
    record(0x000A, "");
    return compoundFile({{"Workbook", book}});
}

// What an office suite writes for a package saved with a password.
inline std::string encryptedPackage()
{
    return compoundFile({{"EncryptionInfo", std::string(200, '\x04')}, {"EncryptedPackage", std::string(5000, '\x7f')}});
}

} // namespace compoundfix
