// A minimal front end for the runner's fault tests: runs its arguments as one tool through
// ToolProcess::run and prints the status. The tests kill it, stop it and continue it, then look
// at what is left of the tool in the process table.
#include "tools/ToolProcess.h"

#include <cstdio>
#include <string>
#include <vector>

int main(int argc, char** argv) {
    if (argc < 2)
        return 2;
    const std::vector<std::string> arguments(argv + 2, argv + argc);
    const ToolProcessResult result = ToolProcess::run(argv[1], arguments);
    std::printf("status %d\n", result.status);
    return 0;
}
