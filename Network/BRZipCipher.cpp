#include "Network/BRZipCipher.h"

#include <zlib.h>

namespace {
uint32_t crcByte(uint32_t crc, uint8_t byte)
{
    static const auto* table = ::get_crc_table();
    return static_cast<uint32_t>(table[(crc ^ byte) & 0xff]) ^ (crc >> 8);
}
}

BRZipCipher::BRZipCipher(const std::string& password) : m_keys { 0x12345678u, 0x23456789u, 0x34567890u }
{
    for (char c : password)
        updateKeys(static_cast<uint8_t>(c));
}

uint8_t BRZipCipher::keystreamByte() const
{
    uint32_t temp = (m_keys[2] | 2u) & 0xffffu;
    return static_cast<uint8_t>((temp * (temp ^ 1u)) >> 8);
}

void BRZipCipher::updateKeys(uint8_t plain)
{
    m_keys[0] = crcByte(m_keys[0], plain);
    m_keys[1] = (m_keys[1] + (m_keys[0] & 0xffu)) * 134775813u + 1u;
    m_keys[2] = crcByte(m_keys[2], static_cast<uint8_t>(m_keys[1] >> 24));
}

void BRZipCipher::decrypt(uint8_t* bytes, size_t length)
{
    for (size_t i = 0; i < length; ++i) {
        bytes[i] ^= keystreamByte();
        updateKeys(bytes[i]);
    }
}

void BRZipCipher::encrypt(uint8_t* bytes, size_t length)
{
    for (size_t i = 0; i < length; ++i) {
        uint8_t plain = bytes[i];
        bytes[i] ^= keystreamByte();
        updateKeys(plain);
    }
}
