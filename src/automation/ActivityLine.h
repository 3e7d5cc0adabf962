#pragma once

#include <mutex>
#include <string>

// A one-line activity display on standard error. On a terminal each show() redraws the line in
// place and clear() erases it; elsewhere show() prints a text once per change of text when
// printWhenNotTerminal is set, and nothing otherwise. Thread-safe.
class ActivityLine {
public:
    explicit ActivityLine(bool printWhenNotTerminal = false);
    ~ActivityLine(); // clears the line

    bool isTerminal() const { return m_terminal; }
    void show(const std::string& text);
    void clear();

private:
    std::mutex m_mutex;
    bool m_terminal;
    bool m_printWhenNotTerminal;
    bool m_shown = false;
    std::string m_last;
};
