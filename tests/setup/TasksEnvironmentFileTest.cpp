// The rewrite of the environment file that the product's environment tool writes.
#include "setup/EnvironmentFile.h"

#include "TasksTestSupport.h"

#include <gtest/gtest.h>

using namespace tasks;

namespace {

const std::string kNewLine = "QorUserSettingPath=CSIDL_APPDATA\\..\\OrlixPlayer\\QorSettings";

class EnvironmentFileTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        folder_ = MakeTempFolder(L"env");
        path_ = folder_ + L"\\Environnement.txt";
    }
    void TearDown() override { RemoveTree(folder_); }
    // A temporary file of the writer left behind.
    bool Leftover() const
    {
        WIN32_FIND_DATAW found;
        HANDLE find = FindFirstFileW((folder_ + L"\\~kz*.tmp").c_str(), &found);
        if (find == INVALID_HANDLE_VALUE)
            return false;
        FindClose(find);
        return true;
    }

    std::string RewriteOf(const std::string& before)
    {
        EXPECT_TRUE(WriteBytes(path_, before));
        EXPECT_EQ(S_OK, EnvironmentFile::Rewrite(path_.c_str()));
        std::string after;
        EXPECT_TRUE(ReadBytes(path_, &after));
        EXPECT_FALSE(Leftover());
        return after;
    }

    std::wstring folder_;
    std::wstring path_;
};

TEST_F(EnvironmentFileTest, ReplacesTheSettingLineWhateverItsValue)
{
    EXPECT_EQ("QorRoot=C:\\Orlix\r\n" + kNewLine + "\r\nQorData=D:\\data\r\n",
              RewriteOf("QorRoot=C:\\Orlix\r\nQorUserSettingPath=C:\\Users\\old\\settings\r\nQorData=D:\\data\r\n"));
    // No value, and a value much longer than every other line.
    EXPECT_EQ(kNewLine + "\r\n", RewriteOf("QorUserSettingPath=\r\n"));
    EXPECT_EQ("a\r\n" + kNewLine + "\r\nb\r\n",
              RewriteOf("a\r\nQorUserSettingPath=" + std::string(5000, 'x') + "\r\nb\r\n"));
    // Every such line, and a last line without line end.
    EXPECT_EQ(kNewLine + "\r\nx\r\n" + kNewLine + "\n",
              RewriteOf("QorUserSettingPath=1\r\nx\r\nQorUserSettingPath=2"));
}

TEST_F(EnvironmentFileTest, CopiesEveryOtherLineUnchanged)
{
    const std::string others =
        "QorUserSettingPat\r\n"                          // shorter than the prefix
        "Q\r\n"
        "\r\n"
        "Other=1;QorUserSettingPath=C:\\keep\r\n"        // the prefix later in the line
        " QorUserSettingPath=C:\\keep\r\n"
        "qorusersettingpath=C:\\keep\r\n"                // another case
        "Path=%TEMP%\\%s%d%n%%\r\n"                      // percent signs are plain text
        "Bytes=\xE8\xFF\x1A\x01\r\n"
        "lf only\n"
        "no end";
    EXPECT_EQ(others, RewriteOf(others));
    EXPECT_EQ("", RewriteOf(""));
}

TEST_F(EnvironmentFileTest, KeepsTheFileLineEnds)
{
    EXPECT_EQ("a\n" + kNewLine + "\nb\n", RewriteOf("a\nQorUserSettingPath=old\nb\n"));
    EXPECT_EQ("a\r\n" + kNewLine + "\nb", RewriteOf("a\r\nQorUserSettingPath=old\nb"));
}

TEST_F(EnvironmentFileTest, AMissingFileLeavesNothingBehind)
{
    EXPECT_EQ(E_FAIL, EnvironmentFile::Rewrite(path_.c_str()));
    EXPECT_FALSE(FileExists(path_));
    EXPECT_FALSE(Leftover());
}

TEST_F(EnvironmentFileTest, AFileThatCannotBeReplacedStaysAsItWas)
{
    // A file opened without sharing by another program cannot be replaced.
    const std::string before = "QorUserSettingPath=C:\\old\r\n";
    ASSERT_TRUE(WriteBytes(path_, before));
    HANDLE locked = CreateFileW(path_.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, locked);
    HRESULT result = EnvironmentFile::Rewrite(path_.c_str());
    CloseHandle(locked);

    EXPECT_EQ(E_FAIL, result);
    std::string after;
    ASSERT_TRUE(ReadBytes(path_, &after));
    EXPECT_EQ(before, after);
    EXPECT_FALSE(Leftover());
}

} // namespace
