#pragma once
#include "Platform/Base/Error.h"
#include "Platform/Base/Value.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

// The file-to-file loop shared by BRDataCompressor and BRDataDecompressor.
namespace BRDataFileCoding {

constexpr size_t kPieceSize = 262144;

// Takes coded bytes as they come; false stops the coding.
using Writer = std::function<bool(const uint8_t*, size_t)>;

struct Coder {
    // Codes one piece; `lastPiece` when it is shorter than kPieceSize (the source ended).
    std::function<std::optional<base::Bytes>(const uint8_t*, size_t, bool lastPiece, base::ErrorPtr*)> piece;
    // Used instead of `piece` when set: hands the coded bytes to the writer as they come, so a
    // piece that codes to far more than itself is never held whole.
    std::function<bool(const uint8_t*, size_t, bool lastPiece, const Writer&, base::ErrorPtr*)> pieceInto;
    // Bytes still owed once the source is used up, or nullopt with an error.
    std::function<std::optional<base::Bytes>(base::ErrorPtr*)> finish;
    std::function<base::ErrorPtr()> close;
};

// `operation` is "Compression" or "Decompression", the first word of every error text.
bool codeFileToFile(const char* operation, const std::string& sourcePath, const std::string& destinationPath,
                    const Coder& coder, base::ErrorPtr* error);

base::ErrorPtr makeError(std::string description, base::ErrorPtr underlying = nullptr);
base::ErrorPtr posixError(int errorNumber);

} // namespace BRDataFileCoding
