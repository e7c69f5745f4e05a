#include "Widgets/BRGridViewUpdateItem.h"

#include <cstdio>

uint32_t BRGridViewUpdateItem::index() const
{
    if (m_offset < 0 && static_cast<uint32_t>(-static_cast<int64_t>(m_offset)) > m_index)
        return 0;
    return static_cast<uint32_t>(static_cast<int64_t>(m_index) + m_offset);
}

int BRGridViewUpdateItem::compare(const BRGridViewUpdateItem& other) const
{
    return m_index < other.m_index ? -1 : m_index > other.m_index ? 1 : 0;
}

const char* BRGridViewUpdateItem::actionDescription(int action)
{
    static const char* const words[] = {"Insert", "Delete", "Move", "Reload"};
    return action >= 0 && action < 4 ? words[action] : "<Unknown>";
}

const char* BRGridViewUpdateItem::animationDescription(int animation)
{
    static const char* const words[] = {"Fade", "Right", "Left", "Top", "Bottom", "None", "Middle"};
    return animation >= 0 && animation < 7 ? words[animation] : "<Unknown>";
}

std::string BRGridViewUpdateItem::description() const
{
    char buffer[256];
    std::snprintf(buffer, sizeof buffer, "<BRGridViewUpdateItem: %p>{index=%u, action=%s, animation=%s, offset=%.02f}",
                  static_cast<const void*>(this), m_index, actionDescription(m_action), animationDescription(m_animation),
                  static_cast<double>(m_offset));
    return buffer;
}
