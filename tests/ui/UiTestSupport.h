#pragma once
// Helpers of the toolkit's tests; the common ones are in tests/support.
#include "foundation/KZ_EventListener.h"
#include "ui/KZ_UIWindow.h"
#include "tests/support/TestWindows.h"

#include <vector>

// Runs the thread's queue as the main loop does (keyboard pre-translation first) until it is
// empty, for at most the given time.
void PumpMessages(DWORD milliseconds = 300);

// Release of a top-level test window. Xvfb runs no window manager, and Wine waits two seconds
// for a managed window to be withdrawn when it is unmapped: dropping WS_VISIBLE from the style
// first lets the native window go without that wait. The toolkit's Release path is unchanged.
void ReleaseTopLevel(KZ_UIWindow* window);

using kztest::Placement;

// Counts the events it is subscribed to and remembers the last publisher.
class EventCounter : public KZ_EventListener {
public:
    EventCounter() : count(0), publisher(nullptr) {}
    void On(const char*, KZ_EventListener* from, void*)
    {
        ++count;
        publisher = from;
    }
    void Watch(KZ_EventListener* source, const char* eventName)
    {
        source->Subscribe(eventName, this, &EventCounter::On);
    }
    int count;
    KZ_EventListener* publisher;
};

// A plain child window of a fixed preferred size that records the widths it is asked with.
class SizedWindow : public KZ_UIWindow {
public:
    SizedWindow(KZ_UIWindow* parent, int width, int height);
    void GetPreferredSize(int* width, int* height) override;

    int preferredWidth;
    int preferredHeight;
    // Height for width: when non-zero, the height is area / width (rounded up) for width > 0.
    int area;
    std::vector<int> askedWidths;
};

// The height DrawText gives one line of text in the font.
int LineHeight(HFONT font);
