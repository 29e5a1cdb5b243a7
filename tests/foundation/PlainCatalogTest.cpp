// This executable carries only a plain catalog resource ("RESOURCES" of type MSGCATALOG).
#include "foundation/KZ_EventListener.h"
#include "foundation/MessageCatalog.h"
#include "foundation/PlatformError.h"

#include <gtest/gtest.h>

namespace {

TEST(PlainCatalog, UsedWhatEverTheCatalogName)
{
    EXPECT_TRUE(MessageCatalog::Lookup("KZ_UIWizard", L"Next.Title") == L"plain next");
    EXPECT_TRUE(MessageCatalog::Lookup(nullptr, L"Plain.Key") == L"from the plain catalog");
    EXPECT_TRUE(MessageCatalog::Lookup("Anything", L"Plain.Key") == L"from the plain catalog");
    EXPECT_TRUE(MessageCatalog::Lookup("Anything", L"Missing") == L"Missing");
    KZ_EventListener listener;
    listener.SetCatalog("KZ_UIWizard");
    EXPECT_TRUE(listener.GetMessage(L"Next.Title") == L"plain next");
}

TEST(PlainCatalog, MissingArchiveIsRecordedWithInnerLookupAnsweringItsKey)
{
    PlatformError::Clear();
    PlatformError::SetError(nullptr, L"Earlier");
    EXPECT_TRUE(MessageCatalog::Lookup(nullptr, L"Plain.Key") == L"from the plain catalog");
    // The failed archive resource replaced the record; its context line was looked up while
    // the outer lookup ran, so it is the bare key.
    EXPECT_FALSE(PlatformError::GetErrorText().IsEmpty());
    EXPECT_FALSE(PlatformError::GetErrorText() == L"Earlier");
    WStringArray context = PlatformError::GetContext();
    ASSERT_EQ(1, context.Count());
    EXPECT_TRUE(context.At(0) == L"FindResource");
    // The mark is cleared again: the next lookup works normally.
    EXPECT_TRUE(MessageCatalog::Lookup(nullptr, L"Next.Title") == L"plain next");
}

} // namespace
