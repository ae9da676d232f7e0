// CTextFile: reads a file through Win32 the way the C runtime's text mode does.
#pragma once

#include <windows.h>

// Owns the file handle; closes it when destroyed.
class CTextFile {
public:
    CTextFile() {}
    ~CTextFile() { Close(); }
    // FALSE when the file cannot be opened for reading; the object is then unchanged.
    BOOL Open(LPCSTR path);
    // Reads up to `count` characters after text-mode translation: CR LF becomes LF and a
    // Ctrl+Z ends the file. Returns the number of characters stored in `buffer`.
    int Read(char* buffer, int count);
    void Close();

private:
    // Next raw byte, or -1 at the end of the file.
    int NextByte();

    HANDLE m_hFile = INVALID_HANDLE_VALUE;
    char m_raw[512];
    DWORD m_nRaw = 0;
    DWORD m_nPos = 0;
    BOOL m_bEof = FALSE;
    CTextFile(const CTextFile&) = delete;
    CTextFile& operator=(const CTextFile&) = delete;
};
