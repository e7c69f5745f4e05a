#pragma once
#include "Platform/Base/Value.h"

#include <cstdint>
#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

namespace base {

// Settings kept as an XML property list (mode 0600). Every change is written at once,
// atomically, so that neither an exit nor a failed write can lose or damage what was saved.
// A missing key is distinct from any value; booleans, integers, reals, strings, dates, data,
// arrays and dictionaries keep their types across a reload. Safe to use from any thread.
class UserDefaults {
public:
    // Backed by home/Library/Preferences/brivanta.plist, loaded on first use.
    static std::shared_ptr<UserDefaults> standard();
    // Drops the shared instance: the next standard() reads the file again.
    static void resetStandard();

    // A corrupt file reads as empty (and is logged), and is replaced on the next change.
    explicit UserDefaults(std::filesystem::path file);

    const std::filesystem::path& filePath() const { return m_file; }

    std::optional<Value> objectForKey(const std::string& key) const;
    // Numbers, booleans and numeric strings convert; anything else gives false / 0.
    bool boolForKey(const std::string& key) const;
    int64_t integerForKey(const std::string& key) const;
    double doubleForKey(const std::string& key) const;
    // Strings, and numbers as text; nullopt otherwise.
    std::optional<std::string> stringForKey(const std::string& key) const;
    std::optional<Date> dateForKey(const std::string& key) const;
    std::optional<Array> arrayForKey(const std::string& key) const;
    std::optional<Dictionary> dictionaryForKey(const std::string& key) const;

    // Setting null removes the key. A value a property list cannot hold (a null inside) is
    // refused, leaving the old value. Each returns whether the change is on disk.
    bool setObject(const Value& value, const std::string& key);
    bool setBool(bool value, const std::string& key);
    bool setInteger(int64_t value, const std::string& key);
    bool setDouble(double value, const std::string& key);
    bool setString(const std::string& value, const std::string& key);
    bool removeObjectForKey(const std::string& key);
    bool removeAll();
    // Writes the current values now.
    bool synchronize();

private:
    bool writeLocked();

    std::filesystem::path m_file;
    mutable std::mutex m_mutex;
    Dictionary m_values;
};

} // namespace base
