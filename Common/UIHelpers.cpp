#include "Common/UIHelpers.h"

#include "Common/Language.h"
#include "Platform/Base/Bundle.h"
#include "Platform/Graphics/TextLayout.h"
#include "Platform/UI/AlertView.h"
#include "Platform/UI/Label.h"

#include <algorithm>
#include <memory>
#include <vector>

void UIHelpers::showAlertWithTitleMsgButtonTitle(const std::string& title, const std::string& msg,
                                                 const std::string& buttonTitle)
{
    std::make_shared<ui::AlertView>(title, msg, nullptr, buttonTitle)->show();
}

void UIHelpers::showAlertWithTitle(const std::string& title)
{
    showAlertWithTitleMsg(title, {});
}

void UIHelpers::showAlertWithTitleMsg(const std::string& title, const std::string& msg)
{
    showAlertWithTitleMsgButtonTitle(title, msg, base::Bundle::localizedString("OK"));
}

namespace {

const std::string kBreak = "\u200B"; // zero-width space: a line may break here
const std::string kJoin = "\u2060";  // word joiner: no line breaks here

} // namespace

std::string pathBreakingAtSlashes(const std::string& path)
{
    size_t name = path.rfind('/');
    name = name == std::string::npos ? 0 : name + 1;
    std::string shown;
    shown.reserve(path.size() + path.size() / 2);
    for (size_t i = 0; i < path.size(); ++i) {
        char c = path[i];
        shown += c;
        if (c == '/')
            shown += kBreak;
        else if (c == '-')
            shown += i < name ? kJoin : kBreak;
    }
    return shown;
}

std::string pathForLines(const std::string& path, const gfx::Font& font, double width)
{
    std::string shown = pathBreakingAtSlashes(path);
    size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return shown;
    // Where the name starts in what is shown: after the last slash and its break.
    size_t name = shown.rfind("/" + kBreak) + 1 + kBreak.size();
    gfx::TextLayout::Options options;
    options.width = width;
    std::vector<size_t> starts = gfx::TextLayout(nullptr, shown, font, options).lineStarts();
    auto line = std::upper_bound(starts.begin(), starts.end(), name); // the line after the name's
    bool startsALine = std::find(starts.begin(), starts.end(), name) != starts.end();
    bool runsOn = line != starts.end();
    if (startsALine || !runsOn || name == 0)
        return shown;
    return shown.substr(0, name) + "\n" + shown.substr(name);
}

void showUnsentMail(const std::string& messagePath)
{
    auto alert = std::make_shared<ui::AlertView>(Language::stringWithName("MAILSAVED"), messagePath, nullptr,
                                                 Language::stringWithName("OK"));
    // The alert keeps the path itself; only what is drawn gets the break points.
    alert->messageLabel().setText(pathForLines(messagePath, alert->messageLabel().font(), ui::AlertView::kTextWidth));
    alert->show();
}
