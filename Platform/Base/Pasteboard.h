#pragma once
#include "Platform/Base/Value.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace base {

// A named pasteboard that applications of the same user share. A persistent one is a
// property-list file home/Library/Pasteboards/<name>.plist holding its items by type, so it
// outlives the process and the user-defaults store; the others live in this process only.
// Handles are cheap: every call reads or writes the shared store. Safe to use from any thread.
class Pasteboard {
public:
    // Plain text in UTF-8.
    static constexpr const char* kTextType = "public.utf8-plain-text";
    // The pasteboard copy and paste use. Its text is the desktop's clipboard while a window
    // provides one; otherwise (headless) it lives in this process only.
    static std::shared_ptr<Pasteboard> general();
    // The desktop's clipboard for text, given by a window back end on the main thread; none
    // (the default) keeps the general pasteboard's text in this process.
    struct Clipboard {
        std::function<std::optional<std::string>()> readText;
        std::function<bool(const std::string&)> writeText;
    };
    static void setSystemClipboard(std::optional<Clipboard> clipboard);

    // The pasteboard of that name, made (not persistent, empty) when create is set; nullptr
    // when there is none, or the name is not a single file-name component.
    static std::shared_ptr<Pasteboard> withName(const std::string& name, bool create);

    const std::string& name() const { return m_name; }

    bool isPersistent() const;
    // Moves the items between the process and the file; returns whether that succeeded.
    bool setPersistent(bool persistent);

    // The item of that type; nullopt when there is none or the pasteboard has gone.
    std::optional<Value> valueForType(const std::string& type) const;
    // Replaces the item of that type; false when it could not be stored.
    bool setValueForType(const Value& value, const std::string& type);

    explicit Pasteboard(std::string name) : m_name(std::move(name)) {}

private:
    std::string m_name;
};

} // namespace base
