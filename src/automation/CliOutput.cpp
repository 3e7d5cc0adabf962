#include "automation/CliOutput.h"

#include "tools/SafeText.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace CliOutput {

void printError(const std::string& text) {
    // Errors quote links and what sites and tools said: no password, no escape sequence.
    std::fprintf(stderr, "%s\n", SafeText::clean(text, SafeText::Where::shown).c_str());
    std::fflush(stderr);
}

int printResult(const std::string& text) {
    // Straight to the descriptor: a stdio buffer would hide the error until exit, when the
    // status is already decided.
    const std::string line = text + "\n";
    size_t written = 0;
    while (written < line.size()) {
        const ssize_t count = ::write(STDOUT_FILENO, line.data() + written, line.size() - written);
        if (count < 0 && errno == EINTR)
            continue;
        if (count <= 0) {
            const int error = count < 0 ? errno : EIO;
            printError(std::string("Could not write the result: ") + std::strerror(error));
            return 1;
        }
        written += static_cast<size_t>(count);
    }
    return 0;
}

} // namespace CliOutput
