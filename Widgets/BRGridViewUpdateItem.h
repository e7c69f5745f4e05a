#pragma once
#include <cstdint>
#include <string>

// One change of a grid batch: an index, what happens to it and how it is shown.
class BRGridViewUpdateItem {
public:
    enum Action { ActionInsert = 0, ActionDelete = 1, ActionMove = 2, ActionReload = 3 };
    enum Animation {
        AnimationFade = 0,
        AnimationRight = 1,
        AnimationLeft = 2,
        AnimationTop = 3,
        AnimationBottom = 4,
        AnimationNone = 5,
        AnimationMiddle = 6
    };

    BRGridViewUpdateItem(uint32_t index, int action, int animation) : m_index(index), m_action(action), m_animation(animation) {}

    // The index the caller gave.
    uint32_t originalIndex() const { return m_index; }
    // The caller's index corrected by the offset; 0 when the offset would take it below 0.
    uint32_t index() const;
    uint32_t newIndex() const { return m_newIndex; }
    void setNewIndex(uint32_t index) { m_newIndex = index; }
    int action() const { return m_action; }
    int animation() const { return m_animation; }
    int32_t offset() const { return m_offset; }
    void setOffset(int32_t offset) { m_offset = offset; }

    // -1, 0 or 1 by the caller's index, ascending; inverseCompare descending.
    int compare(const BRGridViewUpdateItem& other) const;
    int inverseCompare(const BRGridViewUpdateItem& other) const { return -compare(other); }

    static const char* actionDescription(int action);
    static const char* animationDescription(int animation);
    std::string description() const;

private:
    uint32_t m_index;
    uint32_t m_newIndex = 0;
    int m_action;
    int m_animation;
    int32_t m_offset = 0;
};
