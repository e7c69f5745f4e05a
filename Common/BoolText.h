#pragma once
#include <string_view>

// The boolean reading of a setting's text: after leading white space, an optional sign and
// zeros, a digit 1 to 9 or one of Y, y, T, t means on; anything else is off.
bool boolValueOfText(std::string_view text);
