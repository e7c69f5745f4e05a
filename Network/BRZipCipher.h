#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

// The traditional zip stream cipher (keys seeded from the password, updated with every
// plain byte). The system's zip library is built without it, so entries are coded here.
class BRZipCipher {
public:
    static constexpr size_t kHeaderSize = 12;

    explicit BRZipCipher(const std::string& password);

    void decrypt(uint8_t* bytes, size_t length);
    void encrypt(uint8_t* bytes, size_t length);

private:
    uint8_t keystreamByte() const;
    void updateKeys(uint8_t plain);

    uint32_t m_keys[3];
};
