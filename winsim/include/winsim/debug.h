// Capture of debugger output (OutputDebugStringA) and of what the program prints to stdout.
#pragma once

#include <string>
#include <vector>

namespace winsim {

class DebugCapture {
public:
    DebugCapture() = default;
    ~DebugCapture();
    DebugCapture(const DebugCapture&) = delete;
    DebugCapture& operator=(const DebugCapture&) = delete;

    // Every OutputDebugStringA argument, in order.
    std::vector<std::string> strings;
    // The strings joined and cut at '\n' (a trailing partial line is kept as the last line).
    std::vector<std::string> Lines() const;
    // Whether `text` occurs in any captured string.
    bool Contains(const std::string& text) const;

    // Redirects file descriptor 1 to a temporary file until StopStdout, which returns what was written
    // (stdio is flushed at both ends). Nested starts are refused (false).
    bool StartStdout();
    std::string StopStdout();
    bool CapturingStdout() const { return m_savedFd >= 0; }

private:
    int m_savedFd = -1;
    int m_tempFd = -1;
};

}  // namespace winsim
