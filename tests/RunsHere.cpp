// Does nothing: whether it starts and ends with 0 tells whether this machine runs the flavour.
#include <windows.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
    return 0;
}
