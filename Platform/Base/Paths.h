#pragma once
#include <string>

namespace base {

// The application's folders. The home folder is $BRIVANTA_HOME, else $XDG_DATA_HOME/brivanta,
// else ~/.local/share/brivanta; a relative one is taken from the folder the program started in.
// The environment is read on every call, and each folder is created (private to the user) when
// asked for.
class Paths {
public:
    static std::string home();
    static std::string documents();     // home/Documents
    static std::string library();       // home/Library
    static std::string libraryCaches(); // home/Library/Caches
    static std::string applicationSupport(); // home/Library/Application Support
    static std::string tmp();           // home/tmp
};

} // namespace base
