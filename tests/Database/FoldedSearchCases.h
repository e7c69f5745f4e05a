#pragma once
// The names every search of the application is tried on, and what each typed text must find
// among them, whatever the search (orders, customers, products, library titles).
#include <set>
#include <string>
#include <vector>

namespace searchtest {

inline const std::vector<std::string>& storedNames()
{
    static const std::vector<std::string> names = {"Ärzte Müller", "Σωκράτης", "北京公司", "Straße 5", "Plain Co"};
    return names;
}

struct FoldedSearchCase {
    std::string typed;
    std::set<std::string> found;
};

inline const std::vector<FoldedSearchCase>& foldedSearchCases()
{
    static const std::vector<FoldedSearchCase> cases = {
        {"Ärzte", {"Ärzte Müller"}},
        {"ärzte", {"Ärzte Müller"}},
        {"MÜLLER", {"Ärzte Müller"}},
        {"A\u0308RZTE", {"Ärzte Müller"}}, // the accent typed as a combining mark
        {"Arzte", {}},                      // accents still count
        {"Σωκράτης", {"Σωκράτης"}},
        {"σωκράτης", {"Σωκράτης"}},
        {"ΣΩΚΡΆΤΗΣ", {"Σωκράτης"}},
        {"Σ", {"Σωκράτης"}},
        {"北京", {"北京公司"}},
        {"STRASSE", {}}, // one letter is not two
        {"STRAßE", {"Straße 5"}},
        {"plain", {"Plain Co"}},
    };
    return cases;
}

} // namespace searchtest
