#include "foundation/KZ_EventListener.h"

#include "foundation/MessageCatalog.h"

#include <objbase.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <new>

namespace {

// Obtained before WinMain so that every thread sees the number without a race.
const UINT g_eventMessage = RegisterWindowMessageW(L"KZ_EventPublisher");

// Written on the main thread, read by workers when they post.
std::atomic<DWORD> g_mainThread(0);

// The main thread's message-only window that posted events go to. A thread message is dropped
// by every modal loop (menus, moving and sizing, message boxes, dialogs), which all dispatch
// window messages; a window message reaches EventWindowProc there and RunMainLoop here.
std::atomic<HWND> g_eventWindow(nullptr);
// Set only when that window could not be made: posting falls back to thread messages, which
// RunMainLoop still delivers (modal loops then lose them).
std::atomic<bool> g_threadPosting(false);

const wchar_t kEventWindowClass[] = L"KZ_EventWindow";

// One per Publish in progress, innermost first. Freeing the subscription a frame is calling
// (publisher destroyed, or the subscription removed from its own callback) clears that frame,
// which stops its walk before it reaches records that may be gone; a nested Publish has a
// frame of its own and leaves the outer one alone.
struct DispatchFrame {
    EventSubscription* current;
    DispatchFrame* outer;
};
DispatchFrame* g_dispatch = nullptr;

void ForgetSubscription(EventSubscription* subscription)
{
    for (DispatchFrame* frame = g_dispatch; frame != nullptr; frame = frame->outer) {
        if (frame->current == subscription)
            frame->current = nullptr;
    }
}

KeyPreTranslator g_keyPreTranslator = nullptr;

// Every posted event not yet taken. Any program on the desktop can post the registered
// message, to the event window (a message-only window is found by its class name) or to the
// thread, with parameters of its choice: a message carries no pointer, only the ticket of an
// entry here (wParam) and the process's secret (lParam), and one that names no entry is
// dropped. The entry goes when its message is taken, and all go when the loop ends.
struct PendingEvent {
    UINT_PTR ticket;
    KZ_EventListener* publisher;
    const char* eventName;
};
SRWLOCK g_pendingLock = SRWLOCK_INIT;
PendingEvent* g_pending = nullptr;
int g_pendingCount = 0;
int g_pendingCapacity = 0;
UINT_PTR g_lastTicket = 0;

// Random (a version 4 GUID's bits), made once: a program that guesses a ticket still cannot
// name it.
LPARAM Secret()
{
    static const LPARAM secret = [] {
        GUID guid = {};
        CoCreateGuid(&guid);
        UINT_PTR value = guid.Data1;
        std::memcpy(&value, guid.Data4, sizeof(value) < sizeof(guid.Data4) ? sizeof(value) : sizeof(guid.Data4));
        return static_cast<LPARAM>(value ^ guid.Data1);
    }();
    return secret;
}

// A new entry; its ticket, or 0 when there is no memory for it.
UINT_PTR AddPending(KZ_EventListener* publisher, const char* eventName)
{
    AcquireSRWLockExclusive(&g_pendingLock);
    UINT_PTR ticket = 0;
    if (g_pendingCount == g_pendingCapacity) {
        const int capacity = g_pendingCapacity == 0 ? 16 : g_pendingCapacity * 2;
        PendingEvent* grown = new (std::nothrow) PendingEvent[capacity];
        if (grown != nullptr) {
            std::copy(g_pending, g_pending + g_pendingCount, grown);
            delete[] g_pending;
            g_pending = grown;
            g_pendingCapacity = capacity;
        }
    }
    if (g_pendingCount < g_pendingCapacity) {
        ticket = ++g_lastTicket != 0 ? g_lastTicket : ++g_lastTicket;
        g_pending[g_pendingCount++] = {ticket, publisher, eventName};
    }
    ReleaseSRWLockExclusive(&g_pendingLock);
    return ticket;
}

// Removes the entry the parameters name into *event; false when they name none.
bool TakePending(WPARAM ticket, LPARAM secret, PendingEvent* event)
{
    if (ticket == 0 || secret != Secret())
        return false;
    AcquireSRWLockExclusive(&g_pendingLock);
    bool found = false;
    for (int i = 0; i < g_pendingCount && !found; ++i) {
        if (g_pending[i].ticket == ticket) {
            *event = g_pending[i];
            std::copy(g_pending + i + 1, g_pending + g_pendingCount, g_pending + i);
            --g_pendingCount;
            found = true;
        }
    }
    ReleaseSRWLockExclusive(&g_pendingLock);
    return found;
}

void DropPending()
{
    AcquireSRWLockExclusive(&g_pendingLock);
    g_pendingCount = 0;
    ReleaseSRWLockExclusive(&g_pendingLock);
}

void Deliver(WPARAM ticket, LPARAM secret)
{
    PendingEvent event;
    if (TakePending(ticket, secret, &event) && event.publisher != nullptr)
        event.publisher->Publish(event.eventName);
}

LRESULT CALLBACK EventWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == g_eventMessage && g_eventMessage != 0) {
        Deliver(wParam, lParam);
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

HWND CreateEventWindow()
{
    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = EventWindowProc;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = kEventWindowClass;
    // Registered once per process; a second registration fails harmlessly.
    RegisterClassW(&windowClass);
    return CreateWindowExW(0, kEventWindowClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                           GetModuleHandleW(nullptr), nullptr);
}

bool PostEvent(KZ_EventListener* publisher, const char* eventName)
{
    if (g_eventMessage == 0 || eventName == nullptr)
        return false;
    HWND window = g_eventWindow.load();
    DWORD mainThread = g_mainThread.load();
    if (window == nullptr && (mainThread == 0 || !g_threadPosting.load()))
        return false;
    const UINT_PTR ticket = AddPending(publisher, eventName);
    if (ticket == 0)
        return false;
    const bool posted = window != nullptr
                            ? PostMessageW(window, g_eventMessage, ticket, Secret()) != FALSE
                            : PostThreadMessageW(mainThread, g_eventMessage, ticket, Secret()) != FALSE;
    PendingEvent unused;
    if (!posted)
        TakePending(ticket, Secret(), &unused);
    return posted;
}

} // namespace

KZ_EventListener::KZ_EventListener()
    : catalog_(nullptr), fallbackCatalog_(nullptr), subscriptions_(nullptr)
{
}

KZ_EventListener::~KZ_EventListener()
{
    EventSubscription* subscription = subscriptions_;
    while (subscription != nullptr) {
        EventSubscription* next = subscription->next;
        ForgetSubscription(subscription);
        delete subscription;
        subscription = next;
    }
    subscriptions_ = nullptr;
    catalog_ = nullptr;
    fallbackCatalog_ = nullptr;
}

bool KZ_EventListener::IsKindOf(const char* className) const
{
    return className != nullptr && strcmp(className, "KZ_EventListener") == 0;
}

WString KZ_EventListener::GetMessage(const WString& key, const WStringArray& parameters)
{
    if (catalog_ != nullptr) {
        WString text = MessageCatalog::Lookup(catalog_, key, parameters);
        if (text == key)
            text = MessageCatalog::Lookup(fallbackCatalog_, key, parameters);
        return text;
    }
    if (fallbackCatalog_ != nullptr)
        return MessageCatalog::Lookup(fallbackCatalog_, key, parameters);
    return key;
}

WString KZ_EventListener::GetMessage(const WString& key, const WString& parameter)
{
    WStringArray parameters;
    parameters.Append(parameter);
    return GetMessage(key, parameters);
}

WString KZ_EventListener::GetMessage(const WString& key)
{
    return GetMessage(key, EmptyWStringArray());
}

EventSubscription* KZ_EventListener::Subscribe(const char* eventName, KZ_EventListener* target,
                                               EventCallback callback, void* userData)
{
    EventSubscription* subscription = new (std::nothrow) EventSubscription;
    if (subscription == nullptr)
        return nullptr;
    subscription->eventName = eventName;
    subscription->target = target;
    subscription->callback = callback;
    subscription->userData = userData;
    subscription->previous = nullptr;
    subscription->next = subscriptions_;
    if (subscriptions_ != nullptr)
        subscriptions_->previous = subscription;
    subscriptions_ = subscription;
    return subscription;
}

void KZ_EventListener::Unsubscribe(EventSubscription* subscription)
{
    if (subscription == nullptr)
        return;
    // A record that heads no list but ours and has no predecessor is not ours: leave it.
    if (subscription->previous == nullptr && subscriptions_ != subscription)
        return;
    if (subscription->previous != nullptr)
        subscription->previous->next = subscription->next;
    else
        subscriptions_ = subscription->next;
    if (subscription->next != nullptr)
        subscription->next->previous = subscription->previous;
    ForgetSubscription(subscription);
    delete subscription;
}

void KZ_EventListener::Publish(const char* eventName)
{
    if (eventName == nullptr)
        return;
    DispatchFrame frame = {nullptr, g_dispatch};
    g_dispatch = &frame;
    EventSubscription* subscription = subscriptions_;
    while (subscription != nullptr) {
        frame.current = subscription;
        if (subscription->eventName != nullptr && strcmp(subscription->eventName, eventName) == 0 &&
            subscription->target != nullptr && subscription->callback != nullptr)
            (subscription->target->*(subscription->callback))(subscription->eventName, this,
                                                              subscription->userData);
        if (frame.current == nullptr)
            break;      // the record, or the publisher with it, is gone
        subscription = subscription->next;
    }
    g_dispatch = frame.outer;
}

bool KZ_EventListener::Post(const char* eventName)
{
    return PostEvent(this, eventName);
}

bool KZ_EventListener::PostFor(KZ_EventListener* publisher, const char* eventName)
{
    return PostEvent(publisher, eventName);
}

void KZ_EventListener::SetMainThread()
{
    // Thread posting fails until the thread has a message queue: make sure it has one
    // before other threads may post to it.
    MSG message;
    PeekMessageW(&message, nullptr, WM_USER, WM_USER, PM_NOREMOVE);
    HWND window = g_eventWindow.load();
    if (window == nullptr || GetWindowThreadProcessId(window, nullptr) != GetCurrentThreadId()) {
        // A window of an earlier main thread belongs to that thread, which alone can destroy
        // it; events go to the new one from now on.
        window = CreateEventWindow();
        g_threadPosting.store(window == nullptr);
        g_eventWindow.store(window);
    }
    g_mainThread.store(GetCurrentThreadId());
}

DWORD KZ_EventListener::GetMainThread()
{
    return g_mainThread.load();
}

UINT KZ_EventListener::GetEventMessage()
{
    return g_eventMessage;
}

void KZ_EventListener::SetKeyPreTranslator(KeyPreTranslator translator)
{
    g_keyPreTranslator = translator;
}

bool KZ_EventListener::DeliverPosted(const MSG& message)
{
    // The same number aimed at another window (a broadcast of the registered name) is passed
    // on like any message.
    if (message.message != g_eventMessage || g_eventMessage == 0 ||
        (message.hwnd != nullptr && message.hwnd != g_eventWindow.load()))
        return false;
    Deliver(message.wParam, message.lParam);
    return true;
}

int KZ_EventListener::RunMainLoop()
{
    SetMainThread();
    HWND eventWindow = g_eventWindow.load();
    MSG message;
    for (;;) {
        BOOL got = ::GetMessageW(&message, nullptr, 0, 0);
        if (got == 0 || got == -1)
            break;
        if (DeliverPosted(message))
            continue;
        KeyPreTranslator translator = g_keyPreTranslator;
        if (translator != nullptr && translator(&message) != 0)
            continue;
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    // From here on posting fails. Events still queued are dropped, not delivered by a later
    // loop: their publishers may be deleted as soon as this loop has returned.
    g_mainThread.store(0);
    g_threadPosting.store(false);
    HWND expected = eventWindow;
    if (eventWindow != nullptr && g_eventMessage != 0 &&
        g_eventWindow.compare_exchange_strong(expected, nullptr)) {
        while (PeekMessageW(&message, eventWindow, g_eventMessage, g_eventMessage, PM_REMOVE)) {
        }
        DestroyWindow(eventWindow);
    }
    DropPending();
    return 0;
}
