#pragma once
#include "Platform/Graphics/Image.h"
#include "Platform/UI/View.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

class BrowserTab;
class BrowserTabView;

// Hears the strip. The strip calls the selection and the removal; the other two are offered to
// delegates and not called.
class BrowserTabViewDelegate {
public:
    virtual ~BrowserTabViewDelegate() = default;
    virtual void BrowserTabViewDidSelecedAtIndex(BrowserTabView&, unsigned index) {}
    virtual void BrowserTabViewWillRemoveTabAtIndex(BrowserTabView&, unsigned index) {}
    virtual void BrowserTabViewDidRemoveTabAtIndex(BrowserTabView&, unsigned index) {}
    virtual void BrowserTabViewExchangeTabAtIndexWithTabAtIndex(BrowserTabView&, unsigned from, unsigned to) {}
};

// A strip of overlapping tabs, the selected one on top with its neighbours stacked towards it.
class BrowserTabView : public ui::View {
public:
    static constexpr const char* kReuseIdentifier = "UserIndentifier";

    // Frame (700, 5, 1024, 44); the first tab is selected at once when there is one.
    BrowserTabView(const std::vector<std::string>& titles, BrowserTabViewDelegate* delegate);
    const char* className() const override { return "BrowserTabView"; }

    const gfx::Image& tabViewBackImage() const { return m_tabViewBackImage; }
    void setTabViewBackImage(const gfx::Image& image) { m_tabViewBackImage = image; setNeedsDisplay(); }
    int selectedTabIndex() const { return m_selectedTabIndex; }
    // An index outside the tabs is ignored.
    void setSelectedTabIndex(int index, bool animated = false);
    const std::vector<std::shared_ptr<BrowserTab>>& tabsArray() const { return m_tabsArray; }
    const std::vector<gfx::Rect>& tabFramesArray() const { return m_tabFramesArray; }
    const std::vector<std::shared_ptr<BrowserTab>>& reuseQueue() const { return m_reuseQueue; }
    unsigned numberOfTabs() const { return static_cast<unsigned>(m_tabsArray.size()); }
    BrowserTabViewDelegate* delegate() const { return m_delegate; }
    void setDelegate(BrowserTabViewDelegate* delegate) { m_delegate = delegate; }

    // Nothing when the strip is full; no title gives "new Tab". The new tab is selected.
    void addTabWithTitle(const std::optional<std::string>& title);
    // Refused out of range and for the only tab.
    void removeTabAtIndex(int index, bool animated = false);
    std::shared_ptr<BrowserTab> dequeueTabUsingReuseIdentifier(const std::string& identifier);
    // One slot per tab: (139 i, 0, 167, height - 5).
    void caculateFrame();

    void drawRect(gfx::Context& context, const gfx::Rect& rect) override;

private:
    gfx::Image m_tabViewBackImage;
    int m_selectedTabIndex = 0;
    std::vector<std::shared_ptr<BrowserTab>> m_tabsArray;
    std::vector<gfx::Rect> m_tabFramesArray;
    std::vector<std::shared_ptr<BrowserTab>> m_reuseQueue;
    BrowserTabViewDelegate* m_delegate = nullptr;
};
