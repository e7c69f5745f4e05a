#include "Common/Language.h"

#include "Common/LanguageManager.h"
#include "Platform/Base/Bundle.h"
#include "Platform/Base/Log.h"
#include "Platform/Base/PropertyList.h"

#include <optional>

namespace {

// Main thread only, like the manager.
std::optional<base::Dictionary> g_table;

} // namespace

std::string Language::stringWithName(const std::string& key)
{
    if (!g_table) {
        // Chinese for 2; English for everything else, so a stray stored value never blanks
        // every text.
        const char* name = LanguageManager::sharedInstance()->currentLanguage() == 2 ? "language_cn"
                                                                                       : "language_en";
        std::string path = base::Bundle::pathForResource(name, "plist");
        if (path.empty()) {
            base::logf("language table %s is missing", name);
            return {};
        }
        auto table = base::PropertyList::readFile(path);
        if (!table || !table->isDictionary()) {
            base::logf("language table %s is unreadable", name);
            return {};
        }
        g_table = std::move(table->asDictionary());
    }
    const base::Value* text = g_table->find(key);
    return text && text->isString() ? text->asString() : std::string();
}

void Language::resetLanguageCache()
{
    g_table.reset();
}
