// A child window of the frame that acts on the toolbar's record-navigation
// buttons. The frame hands each button pressed to the active child window
// when that window implements this interface; other windows ignore them.
#ifndef DEMO_NAVIGATIONTARGET_H
#define DEMO_NAVIGATIONTARGET_H

namespace demo {

// In toolbar order.
enum class NavigationButton {
    FirstPage,
    PriorPage,
    PriorRecord,
    Locate,
    NextRecord,
    NextPage,
    LastPage,
    Select,
    Insert,
    Change,
    Delete,
    PreviousValue,
    Help
};

class NavigationTarget {
public:
    virtual ~NavigationTarget() = default;
    virtual void navigate(NavigationButton button) = 0;
};

}  // namespace demo

#endif
