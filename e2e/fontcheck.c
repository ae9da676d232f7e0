/* fontcheck: which font each control of another program's window was given, and whether its text
 * fits the control and has a glyph for every character in a given font.
 *
 *   fontcheck.exe [-w <ms>] [-s <id> <text>] <exact caption> <face> <height> <charset>
 *
 * -s measures <text> in control <id> in place of the text it shows: a text the program puts there
 * only on a system Wine cannot be (the Windows 9x restart notice in the restart dialog).
 *
 *   realized "<face>"                      (the face the font mapper chose for <face>)
 *   fit <id> need <w> <h> have <w> <h>     (statics and push buttons with text; a list box's
 *                                          widest line against one line of its client area)
 *   glyphs <id> missing <n>
 *
 * A control's font cannot be read from another process (Wine 8 answers no cross-process
 * WM_GETFONT, and a font handle is the program's own), so each text is measured in a font made here
 * from the logical description the program uses, laid out as the control lays it out (statics wrap
 * at words, push buttons keep one line, a list box draws each line from a small margin). The need is the larger of the layout's extent and the ink
 * of the text drawn unclipped: Wine's glyphs reach a few pixels past a line's measured extent, and a
 * control clips them.
 *
 * Exit code 0 when the window was found, 2 when it was not, 1 on bad usage. */
#include <windows.h>
#include <shellapi.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

static HDC g_dc;
static int g_subst_id = -1;
static const WCHAR *g_subst_text;
static HFONT g_font;

/* Widens <need> to the ink of <text> drawn with <format> in a line <width> pixels wide, unclipped. */
static void add_ink(const WCHAR *text, UINT format, LONG width, RECT *need)
{
    BITMAPINFO info;
    DWORD *bits = NULL, *row;
    HBITMAP bitmap;
    HDC mem;
    RECT area;
    LONG w = (need->right > width ? need->right : width) + 64, h = need->bottom + 32, x, y;
    LONG right = 0, bottom = 0;

    memset(&info, 0, sizeof(info));
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = w;
    info.bmiHeader.biHeight = -h;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    mem = CreateCompatibleDC(g_dc);
    bitmap = CreateDIBSection(g_dc, &info, DIB_RGB_COLORS, (void **)&bits, NULL, 0);
    if (!mem || !bitmap || !bits) {
        if (bitmap) DeleteObject(bitmap);
        if (mem) DeleteDC(mem);
        return;
    }
    SelectObject(mem, bitmap);
    SelectObject(mem, g_font);
    SetRect(&area, 0, 0, w, h);
    FillRect(mem, &area, GetStockObject(WHITE_BRUSH));
    SetTextColor(mem, RGB(0, 0, 0));
    SetBkMode(mem, TRANSPARENT);
    SetRect(&area, 0, 0, width, h);
    DrawTextW(mem, text, -1, &area, format | DT_NOCLIP);
    GdiFlush();
    for (y = 0; y < h; y++) {
        row = bits + y * w;
        for (x = 0; x < w; x++) {
            if ((row[x] & 0xffffff) == 0xffffff) continue;
            if (x + 1 > right) right = x + 1;
            bottom = y + 1;
        }
    }
    if (right > need->right) need->right = right;
    if (bottom > need->bottom) need->bottom = bottom;
    DeleteDC(mem);
    DeleteObject(bitmap);
}

/* A hung target must not hang the inspector. */
static LRESULT msg(HWND h, UINT m, WPARAM wp, LPARAM lp)
{
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutW(h, m, wp, lp, SMTO_ABORTIFHUNG, 5000, &result)) return 0;
    return (LRESULT)result;
}

static WCHAR *window_text(HWND h)
{
    LRESULT len = msg(h, WM_GETTEXTLENGTH, 0, 0);
    WCHAR *buf = calloc((size_t)len + 1, sizeof(WCHAR));
    if (buf) msg(h, WM_GETTEXT, (WPARAM)len + 1, (LPARAM)buf);
    return buf;
}

static void put_text(const WCHAR *w)
{
    char s[1024];
    if (!WideCharToMultiByte(CP_UTF8, 0, w, -1, s, sizeof(s), NULL, NULL)) s[0] = 0;
    fputs(s, stdout);
}

/* How many visible characters of <text> the font has no glyph for; -1 when it cannot tell. */
static int missing_glyphs(const WCHAR *text, int len)
{
    WORD *glyphs = calloc((size_t)len, sizeof(WORD));
    int missing = -1, i;

    if (glyphs && GetGlyphIndicesW(g_dc, text, len, glyphs, GGI_MARK_NONEXISTING_GLYPHS) != GDI_ERROR) {
        missing = 0;
        for (i = 0; i < len; i++)
            if (glyphs[i] == 0xffff && text[i] > ' ') missing++;
    }
    free(glyphs);
    return missing;
}

/* A list box line is one line of text drawn two pixels in from its left edge; the widest line must
 * fit the client area, or its end is hidden behind the border or a scroll bar. */
static void list_fit(HWND h, int id)
{
    LRESULT count = msg(h, LB_GETCOUNT, 0, 0), i, len;
    RECT client, need, widest = {0, 0, 0, 0};
    WCHAR *line;
    int missing = 0, unknown = 0, k;

    GetClientRect(h, &client);
    for (i = 0; i < count && i < 1000; i++) {
        len = msg(h, LB_GETTEXTLEN, (WPARAM)i, 0);
        if (len <= 0) continue;
        line = calloc((size_t)len + 1, sizeof(WCHAR));
        if (!line) continue;
        if (msg(h, LB_GETTEXT, (WPARAM)i, (LPARAM)line) > 0) {
            SetRect(&need, 0, 0, 0, 0);
            DrawTextW(g_dc, line, -1, &need, DT_CALCRECT | DT_SINGLELINE | DT_NOPREFIX);
            add_ink(line, DT_SINGLELINE | DT_NOPREFIX, need.right, &need);
            if (need.right > widest.right) widest.right = need.right;
            if (need.bottom > widest.bottom) widest.bottom = need.bottom;
            k = missing_glyphs(line, (int)len);
            if (k < 0) unknown = 1;
            else missing += k;
        }
        free(line);
    }
    if (widest.right)
        printf("fit %d need %ld %ld have %ld %ld\n", id, (long)widest.right + 2, (long)widest.bottom,
               (long)client.right, (long)client.bottom);
    if (widest.right && !unknown) printf("glyphs %d missing %d\n", id, missing);
}

static BOOL CALLBACK child_proc(HWND h, LPARAM top)
{
    WCHAR cls[64];
    WCHAR *text;
    RECT client, need;
    DWORD style;
    UINT format;
    int id, is_static, is_button, len, missing = 0;

    if (GetParent(h) != (HWND)top) return TRUE;
    id = GetDlgCtrlID(h);
    if (!GetClassNameW(h, cls, 64)) cls[0] = 0;
    style = (DWORD)GetWindowLongW(h, GWL_STYLE);
    is_static = lstrcmpiW(cls, L"Static") == 0 && (style & SS_TYPEMASK) <= SS_RIGHT;
    is_button = lstrcmpiW(cls, L"Button") == 0 && (style & BS_TYPEMASK) <= BS_DEFPUSHBUTTON;
    if (lstrcmpiW(cls, L"ListBox") == 0) {
        list_fit(h, id);
        return TRUE;
    }
    if (!is_static && !is_button) return TRUE;
    text = id == g_subst_id ? _wcsdup(g_subst_text) : window_text(h);
    len = text ? lstrlenW(text) : 0;
    if (len) {
        GetClientRect(h, &client);
        SetRect(&need, 0, 0, client.right, 0);
        /* A push button draws one line inside its 3D frame and focus rectangle. */
        format = is_static ? DT_WORDBREAK | DT_EXPANDTABS : DT_SINGLELINE;
        DrawTextW(g_dc, text, -1, &need, DT_CALCRECT | format);
        add_ink(text, format, client.right, &need);
        if (is_button) {
            need.right += 8;
            need.bottom += 4;
        }
        printf("fit %d need %ld %ld have %ld %ld\n", id, (long)need.right, (long)need.bottom, (long)client.right,
               (long)client.bottom);
        missing = missing_glyphs(text, len);
        if (missing >= 0) printf("glyphs %d missing %d\n", id, missing);
    }
    free(text);
    return TRUE;
}

int main(void)
{
    const WCHAR *args[4] = {0};
    DWORD wait_ms = 0, start;
    HWND top;
    HFONT font;
    LOGFONTW lf;
    WCHAR realized[LF_FACESIZE] = L"";
    WCHAR **argv;
    int argc, i, n = 0;

    argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (!argv) return 1;
    for (i = 1; i < argc; i++) {
        if (wcscmp(argv[i], L"-w") == 0 && i + 1 < argc) wait_ms = wcstoul(argv[++i], NULL, 10);
        else if (wcscmp(argv[i], L"-s") == 0 && i + 2 < argc) {
            g_subst_id = (int)wcstol(argv[++i], NULL, 10);
            g_subst_text = argv[++i];
        }
        else if (n < 4) args[n++] = argv[i];
        else return 1;
    }
    if (n != 4) {
        fprintf(stderr, "usage: fontcheck [-w ms] [-s id text] \"exact caption\" face height charset\n");
        return 1;
    }
    start = GetTickCount();
    while (!(top = FindWindowW(NULL, args[0]))) {
        if (GetTickCount() - start >= wait_ms) return 2;
        Sleep(50);
    }
    memset(&lf, 0, sizeof(lf));
    lf.lfHeight = wcstol(args[2], NULL, 10);
    lf.lfWeight = FW_NORMAL;
    lf.lfCharSet = (BYTE)wcstoul(args[3], NULL, 10);
    lstrcpynW(lf.lfFaceName, args[1], LF_FACESIZE);
    font = g_font = CreateFontIndirectW(&lf);
    g_dc = GetDC(NULL);
    SelectObject(g_dc, font);
    GetTextFaceW(g_dc, LF_FACESIZE, realized);
    printf("realized \"");
    put_text(realized);
    printf("\"\n");
    EnumChildWindows(top, child_proc, (LPARAM)top);
    SelectObject(g_dc, GetStockObject(SYSTEM_FONT));
    DeleteObject(font);
    ReleaseDC(NULL, g_dc);
    fflush(stdout);
    return 0;
}
