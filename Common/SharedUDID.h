#pragma once
#include "Platform/Base/Error.h"
#include "Platform/Base/Value.h"

#include <memory>
#include <string>

namespace base { class Pasteboard; }

// The device identifier that stays the same across launches and re-installs: 40 lower-case
// hex digits, kept in the user defaults and in redundant copies that every application of
// the device shares through named pasteboard slots. Main thread.
class SharedUDID {
public:
    static std::string value();
    // The identifier; the error, when asked for, tells how it was found (domain
    // "org.SharedUDID", codes 0 found, 1 opted out, 2 the copies disagree with the store).
    static std::string valueWithError(base::ErrorPtr* error);
    // Records (or clears) this application's opt-out; later values are 40 zeros while it holds.
    static void setOptOut(bool optOut);

    static std::string _generateFreshOpenUDID();
    // The slot's dictionary; empty when it holds none.
    static base::Dictionary _getDictFromPasteboard(const std::shared_ptr<base::Pasteboard>& board);
    static void _setDictForPasteboard(const base::Dictionary& dict,
                                      const std::shared_ptr<base::Pasteboard>& board);

    // Tests: forgets the value cached by the first call, as a new process would.
    static void resetCacheForTesting();
};
