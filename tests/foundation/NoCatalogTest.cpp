// This executable carries no catalog resource at all.
#include "foundation/MessageCatalog.h"
#include "foundation/PlatformError.h"

#include <gtest/gtest.h>

namespace {

TEST(NoCatalog, LookupGivesKeyAndRecordsTheMissingResource)
{
    PlatformError::Clear();
    WStringArray parameters;
    parameters.Append(L"p");
    EXPECT_TRUE(MessageCatalog::Lookup("KZ_UIWizard", L"Next.Title", parameters) == L"Next.Title");
    EXPECT_FALSE(PlatformError::GetErrorText().IsEmpty());
    ASSERT_EQ(1, PlatformError::GetContext().Count());
    EXPECT_TRUE(PlatformError::GetContext().At(0) == L"FindResource");
    // SetError still records its own key over the lookup's failure.
    PlatformError::SetError(nullptr, L"AsyncTask.AlreadyStarted");
    EXPECT_TRUE(PlatformError::GetMessage() == L"AsyncTask.AlreadyStarted");
    PlatformError::Clear();
}

} // namespace
