#include "foundation/ProductDefinition.h"
#include "tests/ProductDefinitionReset.h"

#include <gtest/gtest.h>

namespace {

class ProductDefinitionTest : public ::testing::Test {
protected:
    void SetUp() override { ResetProductDefinition(); }
    void TearDown() override { ResetProductDefinition(); }
};

TEST_F(ProductDefinitionTest, EmptyTextsClearTheDefinition)
{
    ProductDefinition::SetDisplayName(L"Shown");
    ProductDefinition::SetVersionFile(L"version.txt");
    ResetProductDefinition();
    EXPECT_TRUE(ProductDefinition::GetDisplayName().IsEmpty());
    EXPECT_TRUE(ProductDefinition::GetRegistryKeyName().IsEmpty());
    EXPECT_TRUE(ProductDefinition::GetVersionFile().IsEmpty());
}

TEST_F(ProductDefinitionTest, DisplayNameFillsEmptyRegistryKeyName)
{
    ProductDefinition::SetDisplayName(L"Kaze Mar Orlix Player");
    EXPECT_TRUE(ProductDefinition::GetRegistryKeyName() == L"Kaze Mar Orlix Player");
    ProductDefinition::SetRegistryKeyName(L"Kaze-Mar Orlix Player");
    EXPECT_TRUE(ProductDefinition::GetDisplayName() == L"Kaze Mar Orlix Player");
    EXPECT_TRUE(ProductDefinition::GetRegistryKeyName() == L"Kaze-Mar Orlix Player");
}

TEST_F(ProductDefinitionTest, DisplayNameLeavesSetRegistryKeyName)
{
    ProductDefinition::SetRegistryKeyName(L"Key");
    ProductDefinition::SetDisplayName(L"Shown");
    EXPECT_TRUE(ProductDefinition::GetRegistryKeyName() == L"Key");
    ProductDefinition::SetVersionFile(L"resources\\Zephyrix\\versions\\PlayerVersion.txt");
    EXPECT_TRUE(ProductDefinition::GetVersionFile() == L"resources\\Zephyrix\\versions\\PlayerVersion.txt");
}

TEST_F(ProductDefinitionTest, InstanceFallsBackToRunningModule)
{
    EXPECT_EQ(GetModuleHandleW(nullptr), ProductDefinition::GetInstance());
    HINSTANCE other = reinterpret_cast<HINSTANCE>(GetModuleHandleW(L"kernel32.dll"));
    ProductDefinition::SetInstance(other);
    EXPECT_EQ(other, ProductDefinition::GetInstance());
    ResetProductDefinition();
    EXPECT_EQ(GetModuleHandleW(nullptr), ProductDefinition::GetInstance());
}

} // namespace
