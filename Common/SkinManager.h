#pragma once
#include <memory>

// The client's pictures and the demo data that ships with the application. One instance for
// the whole run.
class SkinManager {
public:
    static std::shared_ptr<SkinManager> sharedInstance();

    // Set at the first launch of a new version so the demo data is unpacked again.
    bool needUpdateDemo() const { return m_needUpdateDemo; }
    void setNeedUpdateDemo(bool needUpdate) { m_needUpdateDemo = needUpdate; }

private:
    bool m_needUpdateDemo = false;
};
