#include "foundation/WStringArray.h"

#include <gtest/gtest.h>

namespace {

TEST(WStringArray, GrowsFromSixteenSlotsByDoubling)
{
    WStringArray list;
    EXPECT_EQ(0, list.Count());
    EXPECT_EQ(0, list.Capacity());
    list.Append(L"first");
    EXPECT_EQ(16, list.Capacity());
    for (int i = 1; i < 16; ++i)
        list.Append(FromInt(i));
    EXPECT_EQ(16, list.Capacity());
    list.Append(L"seventeenth");
    EXPECT_EQ(32, list.Capacity());
    EXPECT_EQ(17, list.Count());
    // Growth keeps every item.
    EXPECT_TRUE(list.At(0) == L"first");
    for (int i = 1; i < 16; ++i)
        EXPECT_TRUE(list.At(i) == FromInt(i)) << i;
    EXPECT_TRUE(list.At(16) == L"seventeenth");
}

TEST(WStringArray, OutOfRangeGivesTheEmptyValue)
{
    WStringArray list;
    EXPECT_EQ(&EmptyWString(), &list.At(0));
    list.Append(L"a");
    EXPECT_EQ(&EmptyWString(), &list.At(1));
    EXPECT_EQ(&EmptyWString(), &list.At(-1));
    EXPECT_TRUE(list.At(1).IsEmpty());
    EXPECT_TRUE(list.At(0) == L"a");
}

TEST(WStringArray, ItemsShareTheirBlocks)
{
    WString value(L"value");
    WStringArray list;
    list.Append(value);
    EXPECT_TRUE(list.At(0).SharesWith(value));
    EXPECT_EQ(2, value.RefCount());
    list.Clear();
    EXPECT_EQ(1, value.RefCount());
}

TEST(WStringArray, ClearKeepsSlotsForReuse)
{
    WStringArray list;
    for (int i = 0; i < 20; ++i)
        list.Append(FromInt(i));
    ASSERT_EQ(32, list.Capacity());
    list.Clear();
    EXPECT_EQ(0, list.Count());
    EXPECT_EQ(32, list.Capacity());
    EXPECT_TRUE(list.At(0).IsEmpty());
    list.Append(L"again");
    EXPECT_EQ(1, list.Count());
    EXPECT_EQ(32, list.Capacity());
    EXPECT_TRUE(list.At(0) == L"again");
}

TEST(WStringArray, AppendingOwnItemWhileGrowing)
{
    WStringArray list;
    for (int i = 0; i < 16; ++i)
        list.Append(FromInt(i * 1000));
    // The 17th append moves the slots; the value passed lives in them.
    list.Append(list.At(3));
    EXPECT_EQ(17, list.Count());
    EXPECT_TRUE(list.At(16) == L"3000");
    EXPECT_TRUE(list.At(16).SharesWith(list.At(3)));
}

TEST(WStringArray, CopiesAreIndependent)
{
    WStringArray list;
    list.Append(L"a");
    list.Append(L"b");
    WStringArray copy(list);
    EXPECT_EQ(2, copy.Count());
    EXPECT_TRUE(copy.At(1) == L"b");
    copy.Append(L"c");
    EXPECT_EQ(2, list.Count());
    WStringArray assigned;
    assigned.Append(L"old");
    assigned = list;
    EXPECT_EQ(2, assigned.Count());
    EXPECT_TRUE(assigned.At(0) == L"a");
    assigned = assigned;
    EXPECT_EQ(2, assigned.Count());
    EXPECT_EQ(0, EmptyWStringArray().Count());
}

} // namespace
