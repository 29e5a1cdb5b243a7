#pragma once
// The one way this project includes the Win32 headers.
#include <windows.h>
// winuser.h maps GetMessage to GetMessageW; our classes have methods of that name.
#undef GetMessage
