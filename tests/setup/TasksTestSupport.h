#pragma once
// Helpers of the install task tests: paths, and the common helpers (tests/support) under the
// names these tests know.
#include "foundation/Platform.h"

#include <string>
#include <vector>

#include "tests/support/DialogAnswerer.h"
#include "tests/support/TestFiles.h"
#include "tests/support/TestLoop.h"
#include "tests/support/TestRegistry.h"
#include "tests/support/TestSystem.h"

namespace tasks {

using kztest::DeleteKeyTree;
using kztest::FileExists;
using kztest::FolderExists;
using kztest::GuidText;
using kztest::KeyExists;
using kztest::MakeTempFolder;
using kztest::PrepareMainThread;
using kztest::ReadBytes;
using kztest::ReadText;
using kztest::ReadValue;
using kztest::RemoveTree;
using kztest::RunMainLoopFor;
using kztest::SetText;
using kztest::WriteBytes;

std::wstring CurrentDirectory();
bool SamePath(const std::wstring& a, const std::wstring& b);

// Presses buttonId on every message box with the caption until stopped or timeoutMs.
class DialogAnswerer : public kztest::DialogAnswerer {
public:
    DialogAnswerer(const wchar_t* caption, int buttonId, DWORD timeoutMs = 30000)
        : kztest::DialogAnswerer(caption, {buttonId}, timeoutMs, true)
    {
    }
};

} // namespace tasks
