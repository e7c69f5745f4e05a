#pragma once
#include <optional>
#include <string>

namespace LibraryTexts {
// A language text with a count and a size ("FILENUMBERANDSIZE": an integer then a decimal) or
// with a size only ("SINGLEFILENUMBERANDSIZE": one decimal). A text whose specifiers are not
// exactly that sequence is never handed to printf: a fixed text takes its place.
std::string countAndSize(const std::string& format, std::optional<int> count, double megabytes);
} // namespace LibraryTexts
