#include "Protocol/ConfigRst.h"

#include "Common/PublicFunction.h"
#include "Platform/Base/Text.h"
#include "Protocol/LoginMode.h"
#include "Protocol/ServerFields.h"

#include <array>
#include <string_view>

namespace {

// The switches in the order of the stored text; "order" is the one a server may leave out.
constexpr std::array<std::string_view, 7> kModuleOrder = {"home", "category", "customer", "inventory",
                                                           "library", "order", "sync"};
constexpr std::string_view kOptionalModule = "order";

const base::Dictionary* objectAt(const base::Dictionary& content, std::string_view key)
{
    const base::Value* value = content.find(key);
    return value && value->isDictionary() ? &value->asDictionary() : nullptr;
}

std::string textOrEmpty(const base::Value* value)
{
    return serverfields::textOf(value).value_or(std::string());
}

} // namespace

void ConfigRst::readContent(const base::Dictionary& content, bool runtimeOnly)
{
    const std::string clientID = LoginMode::sharedInstance()->clientID();
    const std::string now = PublicFunction::currentTime();
    auto add = [&](std::string type, std::string desc) {
        ConfigEntity row;
        row.clientid = clientID;
        row.configType = std::move(type);
        row.desc = std::move(desc);
        row.update_date = now;
        configTable.push_back(std::move(row));
    };

    if (!runtimeOnly) {
        if (const base::Dictionary* modules = objectAt(content, "configuration")) {
            bool complete = true;
            std::string desc;
            for (size_t i = 0; i < kModuleOrder.size(); ++i) {
                const base::Value* value = modules->find(kModuleOrder[i]);
                if (!value && kModuleOrder[i] != kOptionalModule)
                    complete = false;
                if (i > 0)
                    desc += ',';
                desc += value ? textOrEmpty(value) : std::string("0");
            }
            if (complete)
                add("configuration", std::move(desc));
        }
    }

    if (const base::Dictionary* app = objectAt(content, "appConfiguration")) {
        std::string dateFormat = textOrEmpty(app->find("dateformat"));
        add("date_format", dateFormat.empty() ? std::string("MM/dd/yy") : std::move(dateFormat));
        std::string modifyPrice = textOrEmpty(app->find("modifyprice"));
        add("modify_price", base::trimmingWhitespace(modifyPrice).empty() ? std::string("0") : std::move(modifyPrice));
    }

    if (!runtimeOnly) {
        if (const base::Dictionary* settings = objectAt(content, "settings")) {
            if (const base::Value* viewType = settings->find("view_type"))
                add("left_panel", textOrEmpty(viewType));
            if (const base::Value* orderMethod = settings->find("order_method"))
                add("order_method", textOrEmpty(orderMethod));
        }
    }
}
