// The Windows entry point of a framework program.
#include "afx/afxwin.h"

int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE, LPSTR, int nCmdShow) {
    return AfxWinMain(hInstance, nCmdShow);
}
