// Loads each library named on its command line by name alone, as a program that does not
// restrict its library search would: the control of the planting scenario.
#include "foundation/Platform.h"

int wmain(int argc, wchar_t** argv)
{
    int loaded = 0;
    for (int i = 1; i < argc; ++i) {
        if (LoadLibraryW(argv[i]) != nullptr)
            ++loaded;
    }
    return loaded;
}
