#pragma once
#include <optional>
#include <string>
#include <string_view>

namespace base {

// A new empty file (mode 0600) under Paths::tmp(), which shares the file system with
// Documents so finished files can be renamed into place. The name is `prefix`, random
// characters and `suffix`; created with O_EXCL, so it never is a file that already existed.
// Nothing on failure, or when prefix or suffix hold a "/".
std::optional<std::string> createTemporaryFile(std::string_view prefix = "tmp", std::string_view suffix = {});

} // namespace base
