#include "Widgets/BrowserTabView.h"

#include "Platform/Graphics/Context.h"
#include "Platform/UI/NamedImage.h"
#include "Widgets/BrowserTab.h"

namespace {
constexpr double kTabStep = 139;
constexpr double kTabWidth = 167;
// A strip takes another tab while 154 points per tab fit in its width.
constexpr double kRoomPerTab = 154;
}

BrowserTabView::BrowserTabView(const std::vector<std::string>& titles, BrowserTabViewDelegate* delegate)
    : ui::View(gfx::Rect(700, 5, 1024, 44))
    , m_tabViewBackImage(ui::imageNamed("tab_background.png"))
{
    for (size_t i = 0; i < titles.size(); ++i) {
        auto tab = ui::View::make<BrowserTab>(kReuseIdentifier, this);
        tab->setIndex(static_cast<int>(i));
        tab->textLabel().setText(titles[i]);
        tab->textLabel().setFont(gfx::Font("HelveticaNeue-Bold", 17));
        tab->setNormalTitleColor(gfx::Color::darkGray());
        tab->setSelectedTitleColor(gfx::Color::darkGray());
        m_tabsArray.push_back(std::move(tab));
    }
    setBackgroundColor(gfx::Color::clear());
    setOpaque(false);
    caculateFrame();
    m_delegate = delegate;
    if (!m_tabsArray.empty())
        setSelectedTabIndex(0, false);
}

void BrowserTabView::caculateFrame()
{
    m_tabFramesArray.clear();
    for (size_t i = 0; i < m_tabsArray.size(); ++i)
        m_tabFramesArray.push_back({kTabStep * static_cast<double>(i), 0, kTabWidth, bounds().height() - 5});
}

void BrowserTabView::setSelectedTabIndex(int index, bool animated)
{
    if (index < 0 || index >= static_cast<int>(m_tabsArray.size()))
        return;
    m_selectedTabIndex = index;
    if (m_delegate)
        m_delegate->BrowserTabViewDidSelecedAtIndex(*this, static_cast<unsigned>(index));
    auto place = [&](BrowserTab& tab, const gfx::Rect& frame) {
        if (animated)
            ui::View::animate(0.25, [&] { tab.setFrame(frame); });
        else
            tab.setFrame(frame);
    };
    auto toFront = [&](const std::shared_ptr<BrowserTab>& tab) {
        if (tab->superview() == this)
            bringSubviewToFront(tab.get());
        else
            addSubview(tab);
    };
    // Left of the selection each tab lies over its left neighbour, right of it over its right
    // neighbour; the selected one ends on top.
    for (int i = 0; i < index; ++i) {
        auto& tab = m_tabsArray[static_cast<size_t>(i)];
        place(*tab, m_tabFramesArray[static_cast<size_t>(i)]);
        tab->setDelegate(this);
        tab->setSelected(false);
        toFront(tab);
    }
    for (int i = static_cast<int>(m_tabsArray.size()) - 1; i >= index; --i) {
        auto& tab = m_tabsArray[static_cast<size_t>(i)];
        tab->setSelected(i == index);
        place(*tab, m_tabFramesArray[static_cast<size_t>(i)]);
        toFront(tab);
    }
}

void BrowserTabView::addTabWithTitle(const std::optional<std::string>& title)
{
    if (kRoomPerTab * static_cast<double>(m_tabsArray.size()) > bounds().width())
        return;
    auto tab = dequeueTabUsingReuseIdentifier(kReuseIdentifier);
    if (tab)
        tab->setDelegate(this);
    else
        tab = ui::View::make<BrowserTab>(kReuseIdentifier, this);
    tab->textLabel().setText(title.value_or("new Tab"));
    tab->setFrame({});
    m_tabsArray.push_back(tab);
    for (size_t i = 0; i < m_tabsArray.size(); ++i) {
        m_tabsArray[i]->setIndex(static_cast<int>(i));
        m_tabsArray[i]->setSelected(false);
    }
    caculateFrame();
    tab->setFrame(m_tabFramesArray.back());
    tab->setSelected(true);
    setSelectedTabIndex(static_cast<int>(m_tabsArray.size()) - 1, false);
}

void BrowserTabView::removeTabAtIndex(int index, bool animated)
{
    if (index < 0 || index >= static_cast<int>(m_tabsArray.size()) || m_tabsArray.size() <= 1)
        return;
    auto tab = m_tabsArray[static_cast<size_t>(index)];
    m_reuseQueue.push_back(tab);
    m_tabsArray.erase(m_tabsArray.begin() + index);
    tab->removeFromSuperview();
    int next = index == static_cast<int>(m_tabsArray.size()) ? index - 1 : index;
    for (size_t i = 0; i < m_tabsArray.size(); ++i)
        m_tabsArray[i]->setIndex(static_cast<int>(i));
    caculateFrame();
    setSelectedTabIndex(next, animated);
    if (m_delegate)
        m_delegate->BrowserTabViewDidRemoveTabAtIndex(*this, static_cast<unsigned>(index));
}

std::shared_ptr<BrowserTab> BrowserTabView::dequeueTabUsingReuseIdentifier(const std::string& identifier)
{
    for (auto it = m_reuseQueue.begin(); it != m_reuseQueue.end(); ++it) {
        if ((*it)->reuseIdentifier() == identifier) {
            auto tab = *it;
            m_reuseQueue.erase(it);
            tab->prepareForReuse();
            return tab;
        }
    }
    return nullptr;
}

void BrowserTabView::drawRect(gfx::Context& context, const gfx::Rect&)
{
    if (!m_tabViewBackImage.isNull())
        context.drawImage(m_tabViewBackImage, {0, 0, bounds().width(), bounds().height() - 5});
}
