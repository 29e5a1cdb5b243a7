#include "foundation/KZ_EventListener.h"

#include "LoopThread.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct Delivery {
    std::string name;
    KZ_EventListener* publisher;
    DWORD thread;
};

class Sink : public KZ_EventListener {
public:
    void OnEvent(const char* eventName, KZ_EventListener* publisher, void*)
    {
        deliveries.push_back({eventName, publisher, GetCurrentThreadId()});
    }
    std::vector<Delivery> deliveries;
};

TEST(MainLoop, PostWithoutMainThreadFails)
{
    ASSERT_EQ(0u, KZ_EventListener::GetMainThread());
    Sink sink;
    EXPECT_FALSE(sink.Post("Create"));
    EXPECT_NE(0u, KZ_EventListener::GetEventMessage());
    EXPECT_EQ(RegisterWindowMessageW(L"KZ_EventPublisher"), KZ_EventListener::GetEventMessage());
}

TEST(MainLoop, PostedEventsArriveInOrderOnTheLoopThread)
{
    KZ_EventListener first, second;
    Sink sink;
    for (KZ_EventListener* publisher : {&first, &second}) {
        publisher->Subscribe("Create", &sink, &Sink::OnEvent);
        publisher->Subscribe("Progress", &sink, &Sink::OnEvent);
        publisher->Subscribe("End", &sink, &Sink::OnEvent);
    }
    LoopThread loop;
    ASSERT_TRUE(loop.Start());
    EXPECT_TRUE(first.Post("Create"));
    EXPECT_TRUE(second.Post("Progress"));
    EXPECT_TRUE(first.Post("End"));
    EXPECT_TRUE(first.Post("Unheard"));
    EXPECT_TRUE(loop.Quit());

    ASSERT_EQ(3u, sink.deliveries.size());
    const char* names[] = {"Create", "Progress", "End"};
    KZ_EventListener* publishers[] = {&first, &second, &first};
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(names[i], sink.deliveries[i].name);
        EXPECT_EQ(publishers[i], sink.deliveries[i].publisher);
        EXPECT_EQ(loop.ThreadId(), sink.deliveries[i].thread);
    }
    // The loop is over: no main thread, posting fails.
    EXPECT_EQ(0u, KZ_EventListener::GetMainThread());
    EXPECT_FALSE(first.Post("Create"));
}

TEST(MainLoop, TheEventMessageFromAnotherPosterIsDropped)
{
    KZ_EventListener publisher;
    Sink sink;
    publisher.Subscribe("Progress", &sink, &Sink::OnEvent);
    LoopThread loop;
    ASSERT_TRUE(loop.Start());
    // As any program can: to the event window (found by its class) and to the thread, with
    // garbage, and with a live publisher and name.
    const HWND window = FindWindowExW(HWND_MESSAGE, nullptr, L"KZ_EventWindow", nullptr);
    ASSERT_NE(nullptr, window);
    for (const LPARAM name : {LPARAM(0x10), reinterpret_cast<LPARAM>("Progress")}) {
        const WPARAM target = name == 0x10 ? 0x5A5A5A5A : reinterpret_cast<WPARAM>(&publisher);
        EXPECT_TRUE(PostMessageW(window, KZ_EventListener::GetEventMessage(), target, name));
        EXPECT_TRUE(PostThreadMessageW(loop.ThreadId(), KZ_EventListener::GetEventMessage(), target, name));
    }
    EXPECT_TRUE(publisher.Post("Progress") && loop.Quit());
    EXPECT_EQ(1u, sink.deliveries.size());
}

int g_translatorSaw[3];
UINT g_translatorSawEvent;

int CountingTranslator(MSG* message)
{
    if (message->message == KZ_EventListener::GetEventMessage())
        ++g_translatorSawEvent;
    if (message->message == WM_APP + 1) {
        ++g_translatorSaw[1];
        return 1;       // consumed
    }
    if (message->message == WM_APP + 2)
        ++g_translatorSaw[2];
    return 0;
}

TEST(MainLoop, OtherMessagesGoThroughThePreTranslator)
{
    KZ_EventListener publisher;
    Sink sink;
    publisher.Subscribe("Size", &sink, &Sink::OnEvent);
    KZ_EventListener::SetKeyPreTranslator(CountingTranslator);
    LoopThread loop;
    ASSERT_TRUE(loop.Start());
    PostThreadMessageW(loop.ThreadId(), WM_APP + 1, 0, 0);
    EXPECT_TRUE(publisher.Post("Size"));
    PostThreadMessageW(loop.ThreadId(), WM_APP + 2, 0, 0);
    PostThreadMessageW(loop.ThreadId(), WM_APP + 1, 0, 0);
    EXPECT_TRUE(loop.Quit());
    KZ_EventListener::SetKeyPreTranslator(nullptr);
    EXPECT_EQ(2, g_translatorSaw[1]);
    EXPECT_EQ(1, g_translatorSaw[2]);
    EXPECT_EQ(0u, g_translatorSawEvent);
    EXPECT_EQ(1u, sink.deliveries.size());
}

TEST(MainLoop, PostFromSeveralThreadsReachesTheLoop)
{
    KZ_EventListener publisher;
    Sink sink;
    publisher.Subscribe("Progress", &sink, &Sink::OnEvent);
    LoopThread loop;
    ASSERT_TRUE(loop.Start());
    struct Poster {
        static DWORD WINAPI Proc(LPVOID parameter)
        {
            KZ_EventListener* target = static_cast<KZ_EventListener*>(parameter);
            for (int i = 0; i < 50; ++i)
                target->Post("Progress");
            return 0;
        }
    };
    HANDLE posters[2];
    for (HANDLE& poster : posters) {
        poster = CreateThread(nullptr, 0, Poster::Proc, &publisher, 0, nullptr);
        ASSERT_NE(nullptr, poster);
    }
    EXPECT_EQ(static_cast<DWORD>(WAIT_OBJECT_0), WaitForMultipleObjects(2, posters, TRUE, 10000));
    for (HANDLE poster : posters)
        CloseHandle(poster);
    EXPECT_TRUE(loop.Quit());
    EXPECT_EQ(100u, sink.deliveries.size());
}

// Opens a message box from inside a posted event, as the wizard does for an error; the
// events posted while the box's own loop runs are recorded with whether the box was open.
class ModalSink : public KZ_EventListener {
public:
    ModalSink() { Subscribe("Go", this, &ModalSink::OnGo); }
    void OnGo(const char*, KZ_EventListener*, void*)
    {
        inBox = true;
        MessageBoxW(nullptr, L"Events go on", L"KZModalLoop", MB_OK);
        inBox = false;
        PostQuitMessage(0);
    }
    void OnEvent(const char* eventName, KZ_EventListener*, void*)
    {
        seen.push_back(std::string(eventName) + (inBox ? " in box" : " after box"));
        InterlockedIncrement(&count);
    }
    volatile bool inBox = false;
    volatile LONG count = 0;
    std::vector<std::string> seen;
};

HWND FindBox(const wchar_t* caption)
{
    for (int i = 0; i < 500; ++i) {
        HWND box = FindWindowW(L"#32770", caption);
        if (box != nullptr && IsWindowVisible(box))
            return box;
        Sleep(10);
    }
    return nullptr;
}

TEST(MainLoop, EventsPostedDuringAModalLoopArriveInIt)
{
    KZ_EventListener task;
    ModalSink sink;
    task.Subscribe("Progress", &sink, &ModalSink::OnEvent);
    task.Subscribe("End", &sink, &ModalSink::OnEvent);
    LoopThread loop;
    ASSERT_TRUE(loop.Start());
    ASSERT_TRUE(sink.Post("Go"));
    HWND box = FindBox(L"KZModalLoop");
    ASSERT_NE(nullptr, box);
    // Posted from this thread, as a worker does, while the box's loop runs the main thread.
    EXPECT_TRUE(task.Post("Progress"));
    EXPECT_TRUE(task.Post("End"));
    for (int i = 0; i < 500 && sink.count < 2; ++i)
        Sleep(10);
    PostMessageW(box, WM_COMMAND, IDOK, 0);
    EXPECT_TRUE(loop.WaitForEnd(10000));
    EXPECT_EQ((std::vector<std::string>{"Progress in box", "End in box"}), sink.seen);
}

class Quitter : public KZ_EventListener {
public:
    // Ends the loop with an event queued behind the quit message.
    void OnQuit(const char*, KZ_EventListener*, void*)
    {
        PostThreadMessageW(GetCurrentThreadId(), WM_QUIT, 0, 0);
        EXPECT_TRUE(Post("Late"));
    }
};

TEST(MainLoop, EventsLeftWhenTheLoopEndsAreDropped)
{
    // Run on this thread twice, as the wizard tests do: the second loop must not publish what
    // the first left behind (its publisher may be gone by then).
    Quitter quitter;
    Sink sink;
    quitter.Subscribe("Quit", &quitter, &Quitter::OnQuit);
    quitter.Subscribe("Late", &sink, &Sink::OnEvent);
    quitter.Subscribe("Next", &sink, &Sink::OnEvent);
    KZ_EventListener::SetMainThread();
    ASSERT_TRUE(quitter.Post("Quit"));
    EXPECT_EQ(0, KZ_EventListener::RunMainLoop());
    EXPECT_FALSE(quitter.Post("Late"));
    KZ_EventListener::SetMainThread();
    ASSERT_TRUE(quitter.Post("Next"));
    PostThreadMessageW(GetCurrentThreadId(), WM_QUIT, 0, 0);
    EXPECT_EQ(0, KZ_EventListener::RunMainLoop());
    ASSERT_EQ(1u, sink.deliveries.size());
    EXPECT_EQ("Next", sink.deliveries[0].name);
}

} // namespace
