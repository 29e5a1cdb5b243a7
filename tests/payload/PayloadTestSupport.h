#pragma once
// Helpers of the payload tests: the built programs, and the common helpers (tests/support)
// under the names these tests know.
#include <string>
#include <vector>

#include "foundation/Platform.h"
#include "tests/support/TestFiles.h"
#include "tests/support/TestRegistry.h"
#include "tests/support/TestSystem.h"

namespace PayloadTest {

// Full path of a program the build staged in stage\bin.
std::wstring ProgramPath(const wchar_t* fileName);

using kztest::DeleteKeyTree;
using kztest::KeyExists;
using kztest::MakeFolders;
using kztest::MakeTempFolder;
using kztest::ReadBytes;
using kztest::RemoveTree;
using kztest::RunProgram;
using kztest::StartProgram;
using kztest::WriteBytes;
inline bool Exists(const std::wstring& path) { return kztest::PathExists(path); }
inline bool ReadRegistryText(HKEY root, const std::wstring& path, const wchar_t* name, std::wstring* text)
{
    return kztest::ReadText(root, path, name, text);
}
inline bool SetRegistryText(HKEY root, const std::wstring& path, const wchar_t* name, const std::wstring& text)
{
    return kztest::SetText(root, path, name, text);
}
inline std::string UninstallDataBytes(const std::wstring* names, int count)
{
    return kztest::UninstallBytes(std::vector<std::wstring>(names, names + count));
}

} // namespace PayloadTest
