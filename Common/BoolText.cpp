#include "Common/BoolText.h"

#include <cctype>

bool boolValueOfText(std::string_view text)
{
    size_t i = 0;
    while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i])))
        ++i;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        ++i;
    while (i < text.size() && text[i] == '0')
        ++i;
    if (i >= text.size())
        return false;
    char c = text[i];
    return (c >= '1' && c <= '9') || c == 'Y' || c == 'y' || c == 'T' || c == 't';
}
