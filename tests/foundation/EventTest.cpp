#include "foundation/KZ_EventListener.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::vector<std::string> g_calls;

class Recorder : public KZ_EventListener {
public:
    explicit Recorder(const char* name) : name_(name) {}

    void Record(const char* eventName, KZ_EventListener* publisher, void* userData)
    {
        g_calls.push_back(std::string(name_) + ":" + eventName);
        lastPublisher = publisher;
        lastUserData = userData;
        lastName = eventName;
    }
    void DeletePublisher(const char* eventName, KZ_EventListener* publisher, void* userData)
    {
        Record(eventName, publisher, userData);
        delete publisher;
    }
    void RemoveOwn(const char* eventName, KZ_EventListener* publisher, void* userData)
    {
        Record(eventName, publisher, userData);
        publisher->Unsubscribe(own);
        own = nullptr;
    }
    void PublishOther(const char* eventName, KZ_EventListener* publisher, void* userData)
    {
        Record(eventName, publisher, userData);
        other->Publish("Other");
    }
    void RemoveVictim(const char* eventName, KZ_EventListener* publisher, void* userData)
    {
        Record(eventName, publisher, userData);
        victimList->Unsubscribe(victim);
    }
    void DeleteDoomed(const char* eventName, KZ_EventListener* publisher, void* userData)
    {
        Record(eventName, publisher, userData);
        delete doomed;
    }
    void SubscribeMore(const char* eventName, KZ_EventListener* publisher, void* userData)
    {
        Record(eventName, publisher, userData);
        if (!subscribedMore) {
            subscribedMore = true;
            publisher->Subscribe(eventName, this, &Recorder::Record);
        }
    }

    const char* name_;
    KZ_EventListener* lastPublisher = nullptr;
    void* lastUserData = nullptr;
    const char* lastName = nullptr;
    EventSubscription* own = nullptr;
    KZ_EventListener* other = nullptr;
    KZ_EventListener* victimList = nullptr;
    EventSubscription* victim = nullptr;
    KZ_EventListener* doomed = nullptr;
    bool subscribedMore = false;
};

class EventDispatch : public ::testing::Test {
protected:
    void SetUp() override { g_calls.clear(); }
};

TEST_F(EventDispatch, NewestSubscriberFirstWithItsArguments)
{
    KZ_EventListener publisher;
    Recorder a("A"), b("B");
    static const char kProgress[] = "Progress";
    int tag = 0;
    publisher.Subscribe(kProgress, &a, &Recorder::Record, &tag);
    publisher.Subscribe("Progress", &b, &Recorder::Record);
    publisher.Publish("Progress");
    EXPECT_EQ((std::vector<std::string>{"B:Progress", "A:Progress"}), g_calls);
    EXPECT_EQ(&publisher, a.lastPublisher);
    EXPECT_EQ(&tag, a.lastUserData);
    EXPECT_EQ(kProgress, a.lastName);     // the subscription's own name pointer
    EXPECT_EQ(nullptr, b.lastUserData);
}

TEST_F(EventDispatch, NamesMatchExactly)
{
    KZ_EventListener publisher;
    Recorder a("A");
    publisher.Subscribe("Progress", &a, &Recorder::Record);
    publisher.Publish("Progress.");
    publisher.Publish("progress");
    publisher.Publish("Progres");
    publisher.Publish("End");
    EXPECT_TRUE(g_calls.empty());
    // The same target twice: both subscriptions are called.
    publisher.Subscribe("Progress", &a, &Recorder::Record);
    publisher.Publish("Progress");
    EXPECT_EQ(2u, g_calls.size());
}

TEST_F(EventDispatch, OtherEventsOfTheListDoNotStopTheWalk)
{
    KZ_EventListener publisher;
    Recorder a("A"), b("B");
    publisher.Subscribe("End", &a, &Recorder::Record);
    publisher.Subscribe("Size", &b, &Recorder::Record);
    publisher.Subscribe("End", &b, &Recorder::Record);
    publisher.Publish("End");
    EXPECT_EQ((std::vector<std::string>{"B:End", "A:End"}), g_calls);
}

TEST_F(EventDispatch, DestroyingPublisherStopsTheDispatch)
{
    KZ_EventListener* publisher = new KZ_EventListener;
    Recorder a("A"), killer("K");
    publisher->Subscribe("OnClose", &a, &Recorder::Record);
    publisher->Subscribe("OnClose", &killer, &Recorder::DeletePublisher);
    publisher->Publish("OnClose");
    EXPECT_EQ((std::vector<std::string>{"K:OnClose"}), g_calls);
}

TEST_F(EventDispatch, SelfUnsubscribeStopsTheDispatch)
{
    KZ_EventListener publisher;
    Recorder a("A"), self("S");
    publisher.Subscribe("Focus", &a, &Recorder::Record);
    self.own = publisher.Subscribe("Focus", &self, &Recorder::RemoveOwn);
    publisher.Publish("Focus");
    EXPECT_EQ((std::vector<std::string>{"S:Focus"}), g_calls);
    // The record is gone; the rest of the list still works.
    g_calls.clear();
    publisher.Publish("Focus");
    EXPECT_EQ((std::vector<std::string>{"A:Focus"}), g_calls);
}

TEST_F(EventDispatch, UnsubscribeOfOthers)
{
    KZ_EventListener publisher;
    Recorder a("A"), b("B"), c("C");
    EventSubscription* sa = publisher.Subscribe("E", &a, &Recorder::Record);
    EventSubscription* sb = publisher.Subscribe("E", &b, &Recorder::Record);
    EventSubscription* sc = publisher.Subscribe("E", &c, &Recorder::Record);
    publisher.Unsubscribe(nullptr);
    publisher.Unsubscribe(sb);      // middle
    publisher.Publish("E");
    EXPECT_EQ((std::vector<std::string>{"C:E", "A:E"}), g_calls);
    g_calls.clear();
    publisher.Unsubscribe(sc);      // first
    publisher.Publish("E");
    EXPECT_EQ((std::vector<std::string>{"A:E"}), g_calls);
    g_calls.clear();
    publisher.Unsubscribe(sa);      // last one
    publisher.Publish("E");
    EXPECT_TRUE(g_calls.empty());
    publisher.Subscribe("E", &a, &Recorder::Record);
    publisher.Publish("E");
    EXPECT_EQ((std::vector<std::string>{"A:E"}), g_calls);
}

TEST_F(EventDispatch, NestedPublishLetsTheOuterEventGoOn)
{
    // A ShowPage in "OnPushed" publishes "PageChanged"; the outer event still reaches the
    // subscribers after the one that nested, in order.
    KZ_EventListener publisher, second;
    Recorder late("L"), nester("N"), listener("O"), early("E");
    nester.other = &second;
    second.Subscribe("Other", &listener, &Recorder::Record);
    publisher.Subscribe("OnPushed", &late, &Recorder::Record);
    publisher.Subscribe("OnPushed", &nester, &Recorder::PublishOther);
    publisher.Subscribe("OnPushed", &early, &Recorder::Record);
    publisher.Publish("OnPushed");
    EXPECT_EQ((std::vector<std::string>{"E:OnPushed", "N:OnPushed", "O:Other", "L:OnPushed"}), g_calls);

    // The same publisher again from inside its own callback: the inner walk does not end the
    // outer one either.
    g_calls.clear();
    KZ_EventListener single;
    nester.other = &single;
    single.Subscribe("Other", &listener, &Recorder::Record);
    single.Subscribe("Size", &late, &Recorder::Record);
    single.Subscribe("Size", &nester, &Recorder::PublishOther);
    single.Publish("Size");
    EXPECT_EQ((std::vector<std::string>{"N:Size", "O:Other", "L:Size"}), g_calls);
}

TEST_F(EventDispatch, UnsubscribeAndDestroyInsideANestedPublish)
{
    // Inside the nested event, X removes a record the outer walk has not reached yet and R
    // removes its own: the inner walk stops after R, the outer one goes on past the removed
    // record.
    KZ_EventListener publisher, second;
    Recorder late("L"), skipped("S"), nester("N"), remover("X"), self("R"), after("A");
    nester.other = &second;
    second.Subscribe("Other", &after, &Recorder::Record);
    self.own = second.Subscribe("Other", &self, &Recorder::RemoveOwn);
    second.Subscribe("Other", &remover, &Recorder::RemoveVictim);
    publisher.Subscribe("E", &late, &Recorder::Record);
    remover.victim = publisher.Subscribe("E", &skipped, &Recorder::Record);
    remover.victimList = &publisher;
    publisher.Subscribe("E", &nester, &Recorder::PublishOther);
    publisher.Publish("E");
    EXPECT_EQ((std::vector<std::string>{"N:E", "X:Other", "R:Other", "L:E"}), g_calls);

    // The nested event destroys the outer publisher: the nested walk goes on, the outer one
    // stops without touching the freed records.
    g_calls.clear();
    KZ_EventListener* doomed = new KZ_EventListener;
    KZ_EventListener inner;
    Recorder never("Z"), nester2("M"), killer("K"), next("Y");
    nester2.other = &inner;
    killer.doomed = doomed;
    inner.Subscribe("Other", &next, &Recorder::Record);
    inner.Subscribe("Other", &killer, &Recorder::DeleteDoomed);
    doomed->Subscribe("Close", &never, &Recorder::Record);
    doomed->Subscribe("Close", &nester2, &Recorder::PublishOther);
    doomed->Publish("Close");
    EXPECT_EQ((std::vector<std::string>{"M:Close", "K:Other", "Y:Other"}), g_calls);
}

TEST_F(EventDispatch, SubscriptionFromCallbackWaitsForNextPublish)
{
    KZ_EventListener publisher;
    Recorder adder("A");
    publisher.Subscribe("Size", &adder, &Recorder::SubscribeMore);
    publisher.Publish("Size");
    EXPECT_EQ((std::vector<std::string>{"A:Size"}), g_calls);
    g_calls.clear();
    publisher.Publish("Size");
    EXPECT_EQ((std::vector<std::string>{"A:Size", "A:Size"}), g_calls);
}

class Translated : public KZ_EventListener {
public:
    WString GetMessage(const WString& key, const WStringArray& parameters) override
    {
        WString text(L"T:");
        text.Append(key);
        for (int i = 0; i < parameters.Count(); ++i) {
            text.Append(L"|");
            text.Append(parameters.At(i));
        }
        return text;
    }
    using KZ_EventListener::GetMessage;
};

TEST(EventListenerBase, KindAndMessages)
{
    KZ_EventListener plain;
    EXPECT_TRUE(plain.IsKindOf("KZ_EventListener"));
    EXPECT_FALSE(plain.IsKindOf("KZ_EventListener2"));
    EXPECT_FALSE(plain.IsKindOf("kz_eventlistener"));
    EXPECT_FALSE(plain.IsKindOf(nullptr));
    EXPECT_EQ(nullptr, plain.GetCatalog());
    EXPECT_EQ(nullptr, plain.GetFallbackCatalog());
    // Without catalogs the key is the text.
    EXPECT_TRUE(plain.GetMessage(L"Some.Key") == L"Some.Key");
    EXPECT_TRUE(plain.GetMessage(L"Some.Key", WString(L"p")) == L"Some.Key");

    // The one- and no-parameter forms go through the array form of the class.
    Translated translated;
    KZ_EventListener& base = translated;
    EXPECT_TRUE(base.GetMessage(L"K", WString(L"p")) == L"T:K|p");
    EXPECT_TRUE(base.GetMessage(L"K") == L"T:K");
}

} // namespace
