#include "foundation/KZ_EventListener.h"

#include "foundation/MessageCatalog.h"

#include <atomic>
#include <cstring>
#include <new>

namespace {

// Obtained before WinMain so that every thread sees the number without a race.
const UINT g_eventMessage = RegisterWindowMessageW(L"KZ_EventPublisher");

// Written on the main thread, read by workers when they post.
std::atomic<DWORD> g_mainThread(0);

// The subscription Publish is calling right now. Freeing it (publisher destroyed, or the
// subscription removed from its own callback) or any nested Publish clears it, which tells
// the dispatch in progress to stop before it walks records that may be gone.
EventSubscription* g_currentSubscription = nullptr;

KeyPreTranslator g_keyPreTranslator = nullptr;

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
        if (subscription == g_currentSubscription)
            g_currentSubscription = nullptr;
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
    if (subscription == g_currentSubscription)
        g_currentSubscription = nullptr;
    delete subscription;
}

void KZ_EventListener::Publish(const char* eventName)
{
    if (eventName == nullptr)
        return;
    EventSubscription* subscription = subscriptions_;
    while (subscription != nullptr) {
        g_currentSubscription = subscription;
        if (subscription->eventName != nullptr && strcmp(subscription->eventName, eventName) == 0 &&
            subscription->target != nullptr && subscription->callback != nullptr)
            (subscription->target->*(subscription->callback))(subscription->eventName, this,
                                                              subscription->userData);
        if (g_currentSubscription == nullptr)
            break;      // the publisher, the record, or the dispatch itself is gone
        subscription = subscription->next;
    }
    g_currentSubscription = nullptr;
}

bool KZ_EventListener::Post(const char* eventName)
{
    DWORD mainThread = g_mainThread.load();
    if (mainThread == 0 || g_eventMessage == 0 || eventName == nullptr)
        return false;
    return PostThreadMessageW(mainThread, g_eventMessage, reinterpret_cast<WPARAM>(this),
                              reinterpret_cast<LPARAM>(eventName)) != FALSE;
}

void KZ_EventListener::SetMainThread()
{
    // Thread posting fails until the thread has a message queue: make sure it has one
    // before other threads may post to it.
    MSG message;
    PeekMessageW(&message, nullptr, WM_USER, WM_USER, PM_NOREMOVE);
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

int KZ_EventListener::RunMainLoop()
{
    SetMainThread();
    MSG message;
    for (;;) {
        BOOL got = ::GetMessageW(&message, nullptr, 0, 0);
        if (got == 0 || got == -1)
            break;
        // Posted events are thread messages; the same number aimed at a window (a broadcast
        // of the registered name) carries no publisher and is passed on like any message.
        if (message.message == g_eventMessage && g_eventMessage != 0 && message.hwnd == nullptr) {
            KZ_EventListener* publisher = reinterpret_cast<KZ_EventListener*>(message.wParam);
            if (publisher != nullptr)
                publisher->Publish(reinterpret_cast<const char*>(message.lParam));
            continue;
        }
        KeyPreTranslator translator = g_keyPreTranslator;
        if (translator != nullptr && translator(&message) != 0)
            continue;
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    g_mainThread.store(0);
    return 0;
}
