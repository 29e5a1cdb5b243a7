#pragma once

class KZ_UIWindow;

// Places the children of the window that holds it; the window deletes it.
class UILayout {
public:
    virtual ~UILayout() {}
    virtual void Apply(KZ_UIWindow* window) = 0;
    // width is in (the width to fill) and out; height is out.
    virtual void GetPreferredSize(KZ_UIWindow* window, int* width, int* height) = 0;
};
