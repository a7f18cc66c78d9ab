#include <cstdio>

#include "Commands.h"

int RunGet(const CliArgs&)
{
    std::fprintf(stderr, "trawlix-cli: this command is being built\n");
    return 1;
}
