#pragma once
#include <string>

// The texts the user sees, by key, in the current language.
class Language {
public:
    Language() = delete;

    // The text for the key; "" when the table or the key is missing (never the key itself).
    static std::string stringWithName(const std::string& key);
    // Dropped when the language changes; the next lookup reads the table again.
    static void resetLanguageCache();
};
