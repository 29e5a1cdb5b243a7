#pragma once
#include "foundation/WStringArray.h"

class KZ_EventListener;

typedef void (KZ_EventListener::*EventCallback)(const char* eventName, KZ_EventListener* publisher,
                                                void* userData);

// One subscription, owned by the publisher's list.
struct EventSubscription {
    const char* eventName;
    KZ_EventListener* target;
    EventCallback callback;
    void* userData;
    EventSubscription* next;
    EventSubscription* previous;
};

// Keyboard pre-translation offered every non-event message of the main loop; non-zero
// means consumed. The toolkit installs it.
typedef int (*KeyPreTranslator)(MSG* message);

// Base of every window, control, task and of the setup window: catalogs and named events.
class KZ_EventListener {
public:
    KZ_EventListener();
    virtual ~KZ_EventListener();

    virtual bool IsKindOf(const char* className) const;
    virtual WString GetMessage(const WString& key, const WStringArray& parameters);
    virtual WString GetMessage(const WString& key, const WString& parameter);
    virtual WString GetMessage(const WString& key);

    // Newest subscriber first. Names are static text and are not copied.
    EventSubscription* Subscribe(const char* eventName, KZ_EventListener* target,
                                 EventCallback callback, void* userData = nullptr);
    template <class T>
    EventSubscription* Subscribe(const char* eventName, T* target,
                                 void (T::*callback)(const char*, KZ_EventListener*, void*),
                                 void* userData = nullptr)
    {
        return Subscribe(eventName, static_cast<KZ_EventListener*>(target),
                         static_cast<EventCallback>(callback), userData);
    }
    void Unsubscribe(EventSubscription* subscription);
    // A Publish from inside a callback runs to its end and lets the outer one go on; removing
    // the subscription being called, or destroying the publisher, ends that dispatch.
    void Publish(const char* eventName);
    // Queued to the main thread's event window; the publisher and the name must outlive the
    // delivery. False when no main thread is recorded (before SetMainThread, after the loop).
    bool Post(const char* eventName);
    // The same, with the publisher used only as a value: for a worker that must not touch an
    // object the main thread may already have deleted.
    static bool PostFor(KZ_EventListener* publisher, const char* eventName);

    void SetCatalog(const char* name) { catalog_ = name; }
    void SetFallbackCatalog(const char* name) { fallbackCatalog_ = name; }
    const char* GetCatalog() const { return catalog_; }
    const char* GetFallbackCatalog() const { return fallbackCatalog_; }

    // Records the calling thread as the main thread and gives it the message-only window
    // that posted events go to, so that modal loops (menus, moving, message boxes) deliver
    // them too.
    static void SetMainThread();
    static DWORD GetMainThread();
    static UINT GetEventMessage();
    static void SetKeyPreTranslator(KeyPreTranslator translator);
    // Publishes a posted event taken from the main thread's queue; true when the message was
    // one (the registered message, to the event window or the thread), delivered or dropped:
    // one that a foreign program posted names no pending event and is dropped. Posted events
    // are never offered to the key pre-translation.
    static bool DeliverPosted(const MSG& message);
    // The program's message loop; returns 0 at WM_QUIT. Events still queued when it ends are
    // dropped with the event window, and later posts fail.
    static int RunMainLoop();

private:
    KZ_EventListener(const KZ_EventListener&) = delete;
    KZ_EventListener& operator=(const KZ_EventListener&) = delete;

    const char* catalog_;
    const char* fallbackCatalog_;
    EventSubscription* subscriptions_;
};
