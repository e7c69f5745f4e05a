#pragma once
// The three messages of the NTLMv2 exchange, built and read as bytes. Random values and the
// time come in from the caller, so a known computation can be reproduced exactly.
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace net::ntlm {

using Bytes = std::vector<uint8_t>;

// The flags this side asks for and answers with: Unicode, target requested, NTLM, always
// sign, extended session security, target information.
constexpr uint32_t kNegotiateFlags = 0x00888205;

struct Challenge {
    uint32_t flags = 0;
    std::array<uint8_t, 8> serverChallenge{};
    Bytes targetInfo;
};

struct AuthenticateInput {
    std::string user;
    std::string domain;
    std::string password;
    std::string workstation;
    std::array<uint8_t, 8> clientChallenge{};
    // Tenths of microseconds since 1601, as the protocol counts time.
    uint64_t timestamp = 0;
};

struct Responses {
    Bytes ntResponse; // the proof followed by the client's blob
    Bytes lmResponse;
    std::array<uint8_t, 16> sessionBaseKey{};
};

Bytes negotiateMessage();
// Nothing when the bytes are not a well-formed challenge message.
std::optional<Challenge> parseChallengeMessage(const Bytes& message);
std::optional<Responses> computeResponses(const Challenge& challenge, const AuthenticateInput& input);
std::optional<Bytes> authenticateMessage(const Challenge& challenge, const AuthenticateInput& input);

// Pieces of the computation, named as the protocol names them.
std::optional<std::array<uint8_t, 16>> ntHash(const std::string& password);
std::optional<std::array<uint8_t, 16>> ntowfV2(const std::string& password, const std::string& user,
                                               const std::string& domain);
Bytes utf16le(const std::string& utf8);
uint64_t currentTimestamp();

} // namespace net::ntlm
