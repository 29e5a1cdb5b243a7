// A library of the stand-in control's own, installed beside it.
#include <windows.h>

extern "C" __declspec(dllexport) int KzCompanion()
{
    return 0;
}
