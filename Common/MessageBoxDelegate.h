#pragma once

// Told what happens to a message box, by its tag. Every operation is optional: the defaults
// do nothing, as when the requester does not answer.
class MessageBoxDelegate {
public:
    virtual ~MessageBoxDelegate() = default;
    virtual void msgBoxClickedButtonAtIndex(int tag, int buttonIndex) {}
    virtual void msgBoxCancel(int tag) {}
    virtual void willPresentMsgBox(int tag) {}
    virtual void didPresentMsgBox(int tag) {}
    virtual void msgBoxWillDismissWithButtonIndex(int tag, int buttonIndex) {}
    virtual void msgBoxDidDismissWithButtonIndex(int tag, int buttonIndex) {}
};
