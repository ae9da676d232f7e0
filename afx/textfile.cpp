// Text-mode reading over Win32 file handles.
#include "afx/textfile.h"

BOOL CTextFile::Open(LPCSTR path) {
    HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE)
        return FALSE;
    Close();
    m_hFile = file;
    m_nRaw = m_nPos = 0;
    m_bEof = FALSE;
    return TRUE;
}

void CTextFile::Close() {
    if (m_hFile != INVALID_HANDLE_VALUE) {
        CloseHandle(m_hFile);
        m_hFile = INVALID_HANDLE_VALUE;
    }
}

int CTextFile::NextByte() {
    if (m_nPos == m_nRaw) {
        if (m_bEof || m_hFile == INVALID_HANDLE_VALUE)
            return -1;
        DWORD got = 0;
        if (!ReadFile(m_hFile, m_raw, sizeof(m_raw), &got, NULL) || got == 0) {
            m_bEof = TRUE;
            return -1;
        }
        m_nRaw = got;
        m_nPos = 0;
    }
    return (unsigned char)m_raw[m_nPos++];
}

int CTextFile::Read(char* buffer, int count) {
    int n = 0;
    while (n < count && !m_bEof) {
        int c = NextByte();
        if (c < 0 || c == 0x1A) {
            m_bEof = TRUE;
            break;
        }
        if (c == '\r') {
            int next = NextByte();
            if (next == '\n') {
                c = '\n';
            } else if (next >= 0) {
                m_nPos--;  // not part of a CR LF pair: read it again next time
            }
        }
        buffer[n++] = (char)c;
    }
    return n;
}
