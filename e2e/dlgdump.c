/* dlgdump: prints the controls of another program's top-level window, one item a line.
 *
 *   dlgdump.exe [-w <ms>] [-c <class>] <exact caption>
 *
 *   window "<caption>" class=<class> enabled=<0|1> visible=<0|1>
 *   control <id> <class> "<text>" enabled=<0|1> visible=<0|1> style=0x<hex>
 *   list <id> count <n>
 *   list <id> line <i>: <text>
 *   list <id> cursel <index>          (-1 when nothing is selected)
 *   list <id> hextent <pixels>
 *   list <id> itemheight <pixels> top <index>
 *   rect <id> <left> <top> <right> <bottom>   (screen coordinates of a control)
 *   client <id> <x> <y>                       (screen position of a control's client origin)
 *
 * A static control that shows an icon or a bitmap has the text "<image>" (its
 * window text is a resource ordinal, not text).
 *
 * -w waits up to <ms> for the window to appear. Exit code 0 when the window
 * was found, 2 when it was not, 1 on bad usage.
 *
 * Texts are read with the Unicode messages and printed as UTF-8, so the output
 * compares directly with the scripts' strings whatever the Windows code page.
 * (Wine 8 returns the UTF-16 text to a cross-process LB_GETTEXT sent with
 * SendMessageA instead of converting it; SendMessageW is marshalled correctly.)
 * Newlines inside texts are shown as \n; a message the target does not answer
 * within 5 s prints "timeout message ...". */
#include <windows.h>
#include <shellapi.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

/* A hung target must not hang the inspector: every message gives up after 5 s. */
static LRESULT msg(HWND h, UINT m, WPARAM wp, LPARAM lp)
{
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutW(h, m, wp, lp, SMTO_ABORTIFHUNG, 5000, &result)) {
        printf("timeout message 0x%x to %p\n", m, (void *)h);
        return -1;
    }
    return (LRESULT)result;
}

static void put_text(const WCHAR *w)
{
    int n = WideCharToMultiByte(CP_UTF8, 0, w, -1, NULL, 0, NULL, NULL);
    char *s = n > 0 ? malloc((size_t)n) : NULL, *p;
    if (!s) return;
    WideCharToMultiByte(CP_UTF8, 0, w, -1, s, n, NULL, NULL);
    for (p = s; *p; p++) {
        if (*p == '\n') fputs("\\n", stdout);
        else if (*p == '\r') fputs("\\r", stdout);
        else putchar(*p);
    }
    free(s);
}

/* Window text of a control in another process: WM_GETTEXT is marshalled. */
static WCHAR *window_text(HWND h)
{
    LRESULT len = msg(h, WM_GETTEXTLENGTH, 0, 0);
    WCHAR *buf;
    if (len < 0) len = 0;
    buf = calloc((size_t)len + 1, sizeof(WCHAR));
    if (!buf) return NULL;
    msg(h, WM_GETTEXT, (WPARAM)len + 1, (LPARAM)buf);
    buf[len] = 0;
    return buf;
}

static void dump_listbox(HWND h, int id)
{
    LRESULT count = msg(h, LB_GETCOUNT, 0, 0), i;
    printf("list %d count %ld\n", id, (long)count);
    for (i = 0; i < count; i++) {
        LRESULT len = msg(h, LB_GETTEXTLEN, (WPARAM)i, 0);
        WCHAR *buf;
        if (len == LB_ERR) {
            printf("list %d line %ld error\n", id, (long)i);
            continue;
        }
        buf = calloc((size_t)len + 1, sizeof(WCHAR));
        if (!buf) return;
        if (msg(h, LB_GETTEXT, (WPARAM)i, (LPARAM)buf) == LB_ERR) {
            printf("list %d line %ld error\n", id, (long)i);
        } else {
            printf("list %d line %ld: ", id, (long)i);
            put_text(buf);
            putchar('\n');
        }
        free(buf);
    }
    printf("list %d cursel %ld\n", id, (long)msg(h, LB_GETCURSEL, 0, 0));
    printf("list %d hextent %ld\n", id, (long)msg(h, LB_GETHORIZONTALEXTENT, 0, 0));
    printf("list %d itemheight %ld top %ld\n", id, (long)msg(h, LB_GETITEMHEIGHT, 0, 0),
           (long)msg(h, LB_GETTOPINDEX, 0, 0));
}

/* Where a control is on the screen, so a script can click it as a person would. */
static void dump_geometry(HWND h, int id)
{
    RECT r;
    POINT origin = {0, 0};
    if (GetWindowRect(h, &r))
        printf("rect %d %ld %ld %ld %ld\n", id, (long)r.left, (long)r.top, (long)r.right, (long)r.bottom);
    if (ClientToScreen(h, &origin))
        printf("client %d %ld %ld\n", id, (long)origin.x, (long)origin.y);
}

static BOOL CALLBACK child_proc(HWND h, LPARAM top)
{
    WCHAR cls[256];
    WCHAR *text;
    DWORD style;
    int id, image;

    /* Only direct children: the dialog's own controls. */
    if (GetParent(h) != (HWND)top) return TRUE;
    id = GetDlgCtrlID(h);
    if (!GetClassNameW(h, cls, 256)) cls[0] = 0;
    style = (DWORD)GetWindowLongW(h, GWL_STYLE);
    image = lstrcmpiW(cls, L"Static") == 0 &&
            ((style & SS_TYPEMASK) == SS_ICON || (style & SS_TYPEMASK) == SS_BITMAP);
    text = image ? NULL : window_text(h);
    printf("control %d ", id);
    put_text(cls);
    printf(" \"");
    put_text(image ? L"<image>" : text ? text : L"");
    printf("\" enabled=%d visible=%d style=0x%08lx\n", IsWindowEnabled(h) ? 1 : 0,
           IsWindowVisible(h) ? 1 : 0, style);
    free(text);
    dump_geometry(h, id);
    if (lstrcmpiW(cls, L"ListBox") == 0) dump_listbox(h, id);
    return TRUE;
}

int main(void)
{
    const WCHAR *caption = NULL, *cls = NULL;
    DWORD wait_ms = 0, start;
    HWND top;
    WCHAR buf[256];
    WCHAR *text;
    WCHAR **argv;
    int argc, i;

    /* The Unicode command line keeps a caption intact under any code page. */
    argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (!argv) return 1;
    for (i = 1; i < argc; i++) {
        if (wcscmp(argv[i], L"-w") == 0 && i + 1 < argc) wait_ms = wcstoul(argv[++i], NULL, 10);
        else if (wcscmp(argv[i], L"-c") == 0 && i + 1 < argc) cls = argv[++i];
        else if (!caption) caption = argv[i];
        else {
            caption = NULL;
            break;
        }
    }
    if (!caption) {
        fprintf(stderr, "usage: dlgdump [-w ms] [-c class] \"exact caption\"\n");
        return 1;
    }

    start = GetTickCount();
    while (!(top = FindWindowW(cls, caption))) {
        if (GetTickCount() - start >= wait_ms) {
            printf("window \"");
            put_text(caption);
            printf("\" not found\n");
            return 2;
        }
        Sleep(50);
    }

    text = window_text(top);
    if (!GetClassNameW(top, buf, 256)) buf[0] = 0;
    printf("window \"");
    put_text(text ? text : L"");
    printf("\" class=");
    put_text(buf);
    printf(" enabled=%d visible=%d\n", IsWindowEnabled(top) ? 1 : 0, IsWindowVisible(top) ? 1 : 0);
    free(text);
    EnumChildWindows(top, child_proc, (LPARAM)top);
    fflush(stdout);
    return 0;
}
