#include "Platform/UI/Keyboard.h"

#include "Platform/Base/NotificationCenter.h"
#include "Platform/UI/TextField.h"

#include <cstdlib>

namespace ui {

namespace {

bool g_visible = false;
bool g_onScreen = true;
std::optional<std::string> g_language;

std::string localeLanguage()
{
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* value = std::getenv(name);
        if (value && *value)
            return std::string(value).starts_with("zh") ? "zh-Hans" : "en-US";
    }
    return "en-US";
}

} // namespace

gfx::Rect Keyboard::frame()
{
    if (!g_onScreen)
        return {0, 768, 1024, 0};
    double height = kHeight + (currentInputModePrimaryLanguage() == "zh-Hans" ? kChineseExtraHeight : 0);
    return {0, 768 - height, 1024, height};
}

bool Keyboard::isOnScreen()
{
    return g_onScreen;
}

void Keyboard::setOnScreen(bool onScreen)
{
    g_onScreen = onScreen;
}

double Keyboard::coveredHeight(const base::Value& userInfo)
{
    return frameFromUserInfo(userInfo).height();
}

bool Keyboard::isVisible()
{
    return g_visible;
}

std::string Keyboard::currentInputModePrimaryLanguage()
{
    return g_language ? *g_language : localeLanguage();
}

void Keyboard::setCurrentInputModePrimaryLanguage(std::optional<std::string> language)
{
    gfx::Rect before = frame();
    g_language = std::move(language);
    gfx::Rect after = frame();
    if (g_visible && before != after)
        base::NotificationCenter::defaultCenter().post(kKeyboardWillChangeFrameNotification, nullptr, userInfo(after));
}

void Keyboard::show()
{
    g_visible = true;
    auto& center = base::NotificationCenter::defaultCenter();
    center.post(kKeyboardWillShowNotification, nullptr, userInfo(frame()));
    center.post(kKeyboardDidShowNotification, nullptr, userInfo(frame()));
}

void Keyboard::hide()
{
    g_visible = false;
    auto& center = base::NotificationCenter::defaultCenter();
    center.post(kKeyboardWillHideNotification, nullptr, userInfo(frame()));
    center.post(kKeyboardDidHideNotification, nullptr, userInfo(frame()));
}

base::Value Keyboard::userInfo(const gfx::Rect& frame)
{
    base::Dictionary rect;
    rect.set("x", base::Value(frame.x()));
    rect.set("y", base::Value(frame.y()));
    rect.set("width", base::Value(frame.width()));
    rect.set("height", base::Value(frame.height()));
    base::Dictionary info;
    info.set(kKeyboardFrameEndUserInfoKey, base::Value(std::move(rect)));
    return base::Value(std::move(info));
}

gfx::Rect Keyboard::frameFromUserInfo(const base::Value& info)
{
    if (!info.isDictionary())
        return {};
    const base::Value& rect = info[kKeyboardFrameEndUserInfoKey];
    if (!rect.isDictionary())
        return {};
    return {rect["x"].toDouble(), rect["y"].toDouble(), rect["width"].toDouble(), rect["height"].toDouble()};
}

void Keyboard::resetForTesting()
{
    g_visible = false;
    g_onScreen = true;
    g_language.reset();
}

} // namespace ui
