#include "automation/ActivityLine.h"

#include <unistd.h>

#include <cstdio>

ActivityLine::ActivityLine(bool printWhenNotTerminal)
    : m_terminal(::isatty(STDERR_FILENO) == 1), m_printWhenNotTerminal(printWhenNotTerminal) {}

ActivityLine::~ActivityLine() {
    clear();
}

void ActivityLine::show(const std::string& text) {
    std::lock_guard lock(m_mutex);
    if (m_terminal) {
        // Return to the line's start and erase it, then draw: the line never scrolls.
        std::fprintf(stderr, "\r\033[K%s", text.c_str());
        std::fflush(stderr);
        m_shown = true;
    } else if (m_printWhenNotTerminal && text != m_last) {
        std::fprintf(stderr, "%s\n", text.c_str());
        std::fflush(stderr);
    }
    m_last = text;
}

void ActivityLine::clear() {
    std::lock_guard lock(m_mutex);
    if (m_terminal && m_shown) {
        std::fputs("\r\033[K", stderr);
        std::fflush(stderr);
    }
    m_shown = false;
}
