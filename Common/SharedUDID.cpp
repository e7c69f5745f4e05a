#include "Common/SharedUDID.h"

#include "Platform/Base/Date.h"
#include "Platform/Base/Digest.h"
#include "Platform/Base/Pasteboard.h"
#include "Platform/Base/UserDefaults.h"

#include <algorithm>
#include <cstdio>
#include <optional>
#include <random>
#include <utility>
#include <vector>

namespace {

constexpr const char* kDomain = "org.SharedUDID";
constexpr const char* kKey = "SharedUDID";
constexpr const char* kAppUIDKey = "SharedUDID_appUID";
constexpr const char* kCreatedKey = "SharedUDID_createdTS";
constexpr const char* kSlotKey = "SharedUDID_slot";
constexpr const char* kOptOutKey = "SharedUDID_optOutTS";
constexpr const char* kSlotPrefix = "org.SharedUDID.slot.";
constexpr const char* kPasteboardType = "org.SharedUDID";
constexpr int kSlotCount = 100;

std::optional<std::string> s_cached;

std::string stringIn(const base::Dictionary& dict, const char* key)
{
    const base::Value* value = dict.find(key);
    return value && value->isString() ? value->asString() : std::string();
}

} // namespace

std::string SharedUDID::value()
{
    return valueWithError(nullptr);
}

std::string SharedUDID::_generateFreshOpenUDID()
{
    std::string digest = base::Digest::md5Hex(base::Digest::uuidString());
    std::random_device random;
    char tail[9];
    std::snprintf(tail, sizeof tail, "%08x", static_cast<unsigned>(random()));
    return digest + tail;
}

base::Dictionary SharedUDID::_getDictFromPasteboard(const std::shared_ptr<base::Pasteboard>& board)
{
    if (!board)
        return {};
    auto item = board->valueForType(kPasteboardType);
    return item && item->isDictionary() ? item->asDictionary() : base::Dictionary();
}

void SharedUDID::_setDictForPasteboard(const base::Dictionary& dict,
                                       const std::shared_ptr<base::Pasteboard>& board)
{
    if (board)
        board->setValueForType(base::Value(dict), kPasteboardType);
}

std::string SharedUDID::valueWithError(base::ErrorPtr* error)
{
    if (s_cached) {
        if (error)
            *error = base::Error::make(kDomain, 0, "SharedUDID in cache from first call");
        return *s_cached;
    }
    auto defaults = base::UserDefaults::standard();

    // Nothing writes the top-level id, so every run is a new application to the slots.
    std::string appUID = defaults->stringForKey(kAppUIDKey).value_or("");
    if (appUID.empty())
        appUID = base::Digest::uuidString();

    std::optional<base::Dictionary> localDict = defaults->dictionaryForKey(kKey);
    std::string storedValue;
    std::string mySlot;
    bool optedOut = false;
    if (localDict) {
        storedValue = stringIn(*localDict, kKey);
        mySlot = stringIn(*localDict, kSlotKey);
        optedOut = localDict->contains(kOptOutKey);
    }

    // The values of the slots in the order first seen, with their counts.
    std::vector<std::pair<std::string, int>> tally;
    std::string freeSlot;
    for (int n = 0; n < kSlotCount; ++n) {
        std::string slotName = kSlotPrefix + std::to_string(n);
        auto board = base::Pasteboard::withName(slotName, false);
        if (!board) {
            if (freeSlot.empty())
                freeSlot = slotName;
            continue;
        }
        base::Dictionary dict = _getDictFromPasteboard(board);
        std::string found = stringIn(dict, kKey);
        if (found.empty()) {
            if (freeSlot.empty())
                freeSlot = slotName;
        } else {
            auto entry = std::find_if(tally.begin(), tally.end(),
                                      [&](const auto& e) { return e.first == found; });
            if (entry == tally.end())
                tally.emplace_back(found, 1);
            else
                ++entry->second;
        }
        if (std::string owner = stringIn(dict, kAppUIDKey); !owner.empty() && owner == appUID) {
            mySlot = slotName;
            optedOut = optedOut && dict.contains(kOptOutKey);
        }
    }
    std::stable_sort(tally.begin(), tally.end(),
                     [](const auto& a, const auto& b) { return a.second < b.second; });
    std::string mostReliable = tally.empty() ? std::string() : tally.back().first;

    std::string value;
    bool saveLocalDict = false;
    bool compromised = false;
    if (storedValue.empty()) {
        value = mostReliable.empty() ? _generateFreshOpenUDID() : mostReliable;
        if (!localDict) {
            localDict = base::Dictionary {{kKey, value},
                                          {kAppUIDKey, appUID},
                                          {kCreatedKey, base::Date::now()}};
            saveLocalDict = true;
        }
    } else {
        value = storedValue;
        compromised = !mostReliable.empty() && mostReliable != storedValue;
    }

    if (!freeSlot.empty() && (mySlot.empty() || mySlot == freeSlot)) {
        auto board = base::Pasteboard::withName(freeSlot, true);
        if (board) {
            board->setPersistent(true);
            localDict->set(kSlotKey, freeSlot);
            saveLocalDict = true;
            _setDictForPasteboard(*localDict, board);
        }
    }
    if (saveLocalDict)
        defaults->setObject(base::Value(*localDict), kKey);

    if (optedOut) {
        if (error) {
            std::string when;
            if (const base::Value* date = localDict->find(kOptOutKey))
                when = date->toString();
            char text[256];
            std::snprintf(text, sizeof text,
                          "Application with unique id %s is opted-out from SharedUDID as of %s",
                          appUID.c_str(), when.c_str());
            *error = base::Error::make(kDomain, 1, text);
        }
        s_cached = std::string(40, '0');
        return *s_cached;
    }
    if (error) {
        *error = compromised
            ? base::Error::make(kDomain, 2,
                                "Found a discrepancy between stored SharedUDID (reliable) and "
                                "redundant copies; one of the apps on the device is most likely "
                                "corrupting the SharedUDID protocol")
            : base::Error::make(kDomain, 0, "SharedUDID succesfully retrieved");
    }
    s_cached = value;
    return value;
}

void SharedUDID::setOptOut(bool optOut)
{
    value();
    auto defaults = base::UserDefaults::standard();
    base::Dictionary dict = defaults->dictionaryForKey(kKey).value_or(base::Dictionary());
    if (optOut)
        dict.set(kOptOutKey, base::Date::now());
    else
        dict.remove(kOptOutKey);
    defaults->setObject(base::Value(dict), kKey);
    s_cached.reset();
}

void SharedUDID::resetCacheForTesting()
{
    s_cached.reset();
}
