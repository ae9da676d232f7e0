/* inspect: prints the controls of another program's top-level window, one item a line.
 *
 *   inspect.exe [-w <ms>] [-c <class>] <exact caption>
 *
 *   window "<caption>" class=<class> enabled=<0|1> visible=<0|1>
 *   control <id> <class> "<text>" enabled=<0|1> visible=<0|1>
 *   list <id> count <n>
 *   list <id> line <i>: <text>
 *   list <id> cursel <index>          (-1 when nothing is selected)
 *   list <id> hextent <pixels>
 *
 * -w waits up to <ms> for the window to appear. Exit code 0 when the window
 * was found, 2 when it was not, 1 on bad usage. Texts are printed as the
 * ANSI bytes the window reports; newlines in them are shown as \n. */
#include <windows.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

static void put_text(const char *s)
{
    for (; *s; s++) {
        if (*s == '\n') fputs("\\n", stdout);
        else if (*s == '\r') fputs("\\r", stdout);
        else putchar(*s);
    }
}

/* Window text of a control in another process: WM_GETTEXT is marshalled. */
static char *window_text(HWND h)
{
    LRESULT len = SendMessageA(h, WM_GETTEXTLENGTH, 0, 0);
    char *buf = malloc((size_t)len + 1);
    if (!buf) return NULL;
    buf[0] = 0;
    SendMessageA(h, WM_GETTEXT, (WPARAM)len + 1, (LPARAM)buf);
    buf[len] = 0;
    return buf;
}

static void dump_listbox(HWND h, int id)
{
    LRESULT count = SendMessageA(h, LB_GETCOUNT, 0, 0), i;
    printf("list %d count %ld\n", id, (long)count);
    for (i = 0; i < count; i++) {
        LRESULT len = SendMessageA(h, LB_GETTEXTLEN, (WPARAM)i, 0);
        char *buf;
        if (len == LB_ERR) {
            printf("list %d line %ld error\n", id, (long)i);
            continue;
        }
        /* Extra room: under a DBCS code page the length can be counted in characters. */
        buf = calloc((size_t)len * 2 + 2, 1);
        if (!buf) return;
        if (SendMessageA(h, LB_GETTEXT, (WPARAM)i, (LPARAM)buf) == LB_ERR) {
            printf("list %d line %ld error\n", id, (long)i);
        } else {
            printf("list %d line %ld: ", id, (long)i);
            put_text(buf);
            putchar('\n');
        }
        free(buf);
    }
    printf("list %d cursel %ld\n", id, (long)SendMessageA(h, LB_GETCURSEL, 0, 0));
    printf("list %d hextent %ld\n", id, (long)SendMessageA(h, LB_GETHORIZONTALEXTENT, 0, 0));
}

static BOOL CALLBACK child_proc(HWND h, LPARAM top)
{
    char cls[256];
    char *text;
    int id;

    /* Only direct children: the dialog's own controls. */
    if (GetParent(h) != (HWND)top) return TRUE;
    id = GetDlgCtrlID(h);
    if (!GetClassNameA(h, cls, sizeof cls)) cls[0] = 0;
    text = window_text(h);
    printf("control %d %s \"", id, cls);
    put_text(text ? text : "");
    printf("\" enabled=%d visible=%d\n", IsWindowEnabled(h) ? 1 : 0, IsWindowVisible(h) ? 1 : 0);
    free(text);
    if (lstrcmpiA(cls, "ListBox") == 0) dump_listbox(h, id);
    return TRUE;
}

int main(int argc, char **argv)
{
    const char *caption = NULL, *cls = NULL;
    DWORD wait_ms = 0, start;
    HWND top;
    char buf[256];
    char *text;
    int i;

    for (i = 1; i < argc; i++) {
        if (strcmp(argv[i], "-w") == 0 && i + 1 < argc) wait_ms = strtoul(argv[++i], NULL, 10);
        else if (strcmp(argv[i], "-c") == 0 && i + 1 < argc) cls = argv[++i];
        else if (!caption) caption = argv[i];
        else caption = NULL, i = argc;
    }
    if (!caption) {
        fprintf(stderr, "usage: inspect [-w ms] [-c class] \"exact caption\"\n");
        return 1;
    }

    start = GetTickCount();
    while (!(top = FindWindowA(cls, caption))) {
        if (GetTickCount() - start >= wait_ms) {
            printf("window \"%s\" not found\n", caption);
            return 2;
        }
        Sleep(50);
    }

    text = window_text(top);
    if (!GetClassNameA(top, buf, sizeof buf)) buf[0] = 0;
    printf("window \"");
    put_text(text ? text : "");
    printf("\" class=%s enabled=%d visible=%d\n", buf,
           IsWindowEnabled(top) ? 1 : 0, IsWindowVisible(top) ? 1 : 0);
    free(text);
    EnumChildWindows(top, child_proc, (LPARAM)top);
    fflush(stdout);
    return 0;
}
