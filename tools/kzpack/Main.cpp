// kzpack: lays down and inspects install archives on the build host.
#include <cstdio>
#include "archive/ArchiveFormat.h"

int main(int argc, char** argv)
{
    (void)argv;
    if (argc < 2) {
        std::fprintf(stderr, "usage: kzpack create|list|extract|verify ...\n");
        return 2;
    }
    std::fprintf(stderr, "kzpack: not built yet\n");
    return 2;
}
