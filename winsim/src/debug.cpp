// Debugger-output capture and the stdout redirection tests use to read what the program printed.
#include <winsim/debug.h>

#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

namespace winsim {

DebugCapture::~DebugCapture() {
    if (CapturingStdout())
        StopStdout();
}

std::vector<std::string> DebugCapture::Lines() const {
    std::string all;
    for (const std::string& s : strings)
        all += s;
    std::vector<std::string> lines;
    size_t pos = 0;
    while (pos < all.size()) {
        size_t nl = all.find('\n', pos);
        if (nl == std::string::npos) {
            lines.push_back(all.substr(pos));
            break;
        }
        lines.push_back(all.substr(pos, nl - pos));
        pos = nl + 1;
    }
    return lines;
}

bool DebugCapture::Contains(const std::string& text) const {
    for (const std::string& s : strings)
        if (s.find(text) != std::string::npos)
            return true;
    return false;
}

bool DebugCapture::StartStdout() {
    if (CapturingStdout())
        return false;
    fflush(stdout);
    FILE* tmp = tmpfile();
    if (!tmp)
        return false;
    m_tempFd = dup(fileno(tmp));
    fclose(tmp);
    m_savedFd = dup(STDOUT_FILENO);
    if (m_tempFd < 0 || m_savedFd < 0 || dup2(m_tempFd, STDOUT_FILENO) < 0) {
        if (m_tempFd >= 0)
            close(m_tempFd);
        if (m_savedFd >= 0)
            close(m_savedFd);
        m_tempFd = m_savedFd = -1;
        return false;
    }
    return true;
}

std::string DebugCapture::StopStdout() {
    if (!CapturingStdout())
        return std::string();
    fflush(stdout);
    dup2(m_savedFd, STDOUT_FILENO);
    close(m_savedFd);
    m_savedFd = -1;
    std::string text;
    if (lseek(m_tempFd, 0, SEEK_SET) == 0) {
        char buf[4096];
        ssize_t n;
        while ((n = read(m_tempFd, buf, sizeof(buf))) > 0)
            text.append(buf, size_t(n));
    }
    close(m_tempFd);
    m_tempFd = -1;
    return text;
}

}  // namespace winsim
