// Conformance of modules, resources, string tables, icons, cursors and fonts: the same checks on winsim and Wine.
#include "conformance.h"
#include "conformance_res.h"

#include <string.h>

namespace {

const char kSentinel = 'X';

struct StringCase {
    UINT id;
    const char* text;
};

// The ASCII strings of conformance.rc.
const StringCase kAsciiStrings[] = {
    {IDS_ASCII, "conformance"},
    {IDS_TEN, "0123456789"},
    {IDS_ELEVEN, "0123456789A"},
};

// IDS_JAPANESE and IDS_MIXED as UTF-16 and in code page 932.
const WCHAR kJapaneseW[] = {0x65E5, 0x672C, 0x8A9E, 0x30C6, 0x30AD, 0x30B9, 0x30C8, 0};
const char kJapanese932[] = "\x93\xfa\x96\x7b\x8c\xea\x83\x65\x83\x4c\x83\x58\x83\x67";
const char kMixed932[] = "ab\x93\xfa\x96\x7b";

bool IsLead932(unsigned char c) {
    return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
}

// Length of the longest prefix of `s` made of whole code page 932 characters that fits in `room` bytes.
size_t WholeCharsFitting(const char* s, size_t room) {
    size_t used = 0;
    while (s[used]) {
        size_t step = IsLead932(static_cast<unsigned char>(s[used])) ? 2 : 1;
        if (used + step > room)
            break;
        used += step;
    }
    return used;
}

bool EndsWithNoCase(const char* s, const char* tail) {
    size_t n = strlen(s), m = strlen(tail);
    return n >= m && lstrcmpiA(s + n - m, tail) == 0;
}

bool IsWindowsVistaOrLater() {
    DWORD v = GetVersion();
    return !(v & 0x80000000) && LOBYTE(LOWORD(v)) >= 6;
}

HFONT MakeFont(LONG height, const char* face) {
    LOGFONTA lf;
    memset(&lf, 0, sizeof(lf));
    lf.lfHeight = height;
    lf.lfWeight = FW_NORMAL;
    lf.lfCharSet = DEFAULT_CHARSET;
    lstrcpynA(lf.lfFaceName, face, LF_FACESIZE);
    return CreateFontIndirectA(&lf);
}

}  // namespace

// ---- string tables ------------------------------------------------------------------------------

START_TEST(LoadStringA_copies_at_most_size_minus_one_bytes) {
    HINSTANCE module = conformance::TestModule();
    for (const StringCase& s : kAsciiStrings) {
        int len = lstrlenA(s.text);
        const int sizes[] = {1, 2, 5, len, len + 1, len + 10};
        for (int n : sizes) {
            char buf[64];
            memset(buf, kSentinel, sizeof(buf));
            SetLastError(0xdeadbeef);
            int ret = LoadStringA(module, s.id, buf, n);
            int expected = len < n - 1 ? len : n - 1;
            ok(ret == expected, "id %u, size %d: returned %d, expected %d", s.id, n, ret, expected);
            ok(memcmp(buf, s.text, expected) == 0 && buf[expected] == 0, "id %u, size %d: got \"%.20s\"", s.id, n,
               buf);
            ok(buf[expected + 1] == kSentinel, "id %u, size %d: wrote past the NUL", s.id, n);
            ok(GetLastError() == 0xdeadbeef, "id %u, size %d: last error set to %lu", s.id, n,
               (unsigned long)GetLastError());
        }
    }
}

START_TEST(LoadStringA_zero_size_returns_minus_one) {
    char buf[16];
    memset(buf, kSentinel, sizeof(buf));
    SetLastError(0xdeadbeef);
    int ret = LoadStringA(conformance::TestModule(), IDS_ASCII, buf, 0);
    ok(ret == -1, "returned %d", ret);
    ok(buf[0] == kSentinel, "the buffer was written");
    ok(GetLastError() == 0xdeadbeef, "last error set to %lu", (unsigned long)GetLastError());
}

START_TEST(LoadStringA_missing_strings) {
    HINSTANCE module = conformance::TestModule();
    // A missing or empty string in an existing block: 0, an empty buffer, no error.
    const UINT inBlock[] = {IDS_ABSENT, IDS_EMPTY};
    for (UINT id : inBlock) {
        char buf[16];
        memset(buf, kSentinel, sizeof(buf));
        SetLastError(0xdeadbeef);
        int ret = LoadStringA(module, id, buf, sizeof(buf));
        ok(ret == 0, "id %u: returned %d", id, ret);
        ok(buf[0] == 0 && buf[1] == kSentinel, "id %u: buffer not just emptied", id);
        ok(GetLastError() == 0xdeadbeef, "id %u: last error set to %lu", id, (unsigned long)GetLastError());
    }
    // A missing block: the error FindResource gives.
    char buf[16];
    memset(buf, kSentinel, sizeof(buf));
    SetLastError(0xdeadbeef);
    int ret = LoadStringA(module, IDS_NO_BLOCK, buf, sizeof(buf));
    ok(ret == 0 && buf[0] == 0, "missing block: returned %d", ret);
    ok(GetLastError() == ERROR_RESOURCE_NAME_NOT_FOUND, "missing block: last error %lu",
       (unsigned long)GetLastError());

    ret = LoadStringA(module, IDS_SECOND_BLOCK, buf, sizeof(buf));
    ok(ret == 12 && strcmp(buf, "second block") == 0, "third block: returned %d \"%s\"", ret, buf);
}

START_TEST(LoadStringA_null_instance_is_the_program) {
    char buf[32] = "";
    int ret = LoadStringA(NULL, IDS_ASCII, buf, sizeof(buf));
    ok(ret == 11 && strcmp(buf, "conformance") == 0, "returned %d \"%s\"", ret, buf);
}

START_TEST(LoadStringA_never_splits_a_double_byte_character) {
    if (GetACP() != 932) {
        skip("ANSI code page %u, not 932", GetACP());
        return;
    }
    const StringCase cases[] = {{IDS_JAPANESE, kJapanese932}, {IDS_MIXED, kMixed932}};
    for (const StringCase& s : cases) {
        int len = lstrlenA(s.text);
        for (int n = 1; n <= len + 2; ++n) {
            char buf[32];
            memset(buf, kSentinel, sizeof(buf));
            int ret = LoadStringA(conformance::TestModule(), s.id, buf, n);
            int expected = int(WholeCharsFitting(s.text, size_t(n - 1)));
            ok(ret == expected, "id %u, size %d: returned %d, expected %d", s.id, n, ret, expected);
            ok(memcmp(buf, s.text, expected) == 0 && buf[expected] == 0, "id %u, size %d: wrong bytes", s.id, n);
        }
    }
}

START_TEST(LoadStringA_unmappable_characters_become_question_marks) {
    if (GetACP() != 1252) {
        skip("ANSI code page %u, not 1252", GetACP());
        return;
    }
    const StringCase cases[] = {{IDS_JAPANESE, "???????"}, {IDS_MIXED, "ab??"}};
    for (const StringCase& s : cases) {
        char buf[32] = "";
        int ret = LoadStringA(conformance::TestModule(), s.id, buf, sizeof(buf));
        ok(ret == lstrlenA(s.text) && strcmp(buf, s.text) == 0, "id %u: returned %d \"%s\"", s.id, ret, buf);
    }
}

START_TEST(LoadStringW_pointer_and_sizes) {
    HINSTANCE module = conformance::TestModule();
    // Size 0: a read-only pointer to the resource's own characters.
    const WCHAR* resource = NULL;
    int ret = LoadStringW(module, IDS_JAPANESE, reinterpret_cast<LPWSTR>(&resource), 0);
    ok(ret == 7, "size 0: returned %d", ret);
    ok(resource && memcmp(resource, kJapaneseW, 7 * sizeof(WCHAR)) == 0, "size 0: wrong pointer");

    WCHAR buf[16];
    memset(buf, 0x58, sizeof(buf));
    ret = LoadStringW(module, IDS_ELEVEN, buf, 5);
    ok(ret == 4 && buf[0] == '0' && buf[3] == '3' && buf[4] == 0, "size 5: returned %d", ret);
    ok(buf[5] == 0x5858, "size 5: wrote past the NUL");

    memset(buf, 0x58, sizeof(buf));
    ret = LoadStringW(module, IDS_JAPANESE, buf, 16);
    ok(ret == 7 && memcmp(buf, kJapaneseW, sizeof(kJapaneseW)) == 0, "Japanese: returned %d", ret);

    memset(buf, 0x58, sizeof(buf));
    ret = LoadStringW(module, IDS_ABSENT, buf, 16);
    ok(ret == 0 && buf[0] == 0, "absent: returned %d, first char %04x", ret, buf[0]);

    // Size 1 has no room for any character; the buffer is left as it was.
    memset(buf, 0x58, sizeof(buf));
    ret = LoadStringW(module, IDS_ASCII, buf, 1);
    ok(ret == 0 && buf[0] == 0x5858, "size 1: returned %d, first char %04x", ret, buf[0]);
}

// ---- raw resources ------------------------------------------------------------------------------

START_TEST(FindResourceA_string_block) {
    HMODULE module = conformance::TestModule();
    SetLastError(0xdeadbeef);
    HRSRC block = FindResourceA(module, MAKEINTRESOURCEA(1), RT_STRING);
    ok(block != NULL, "first string block not found: %lu", (unsigned long)GetLastError());
    if (!block)
        return;
    // Sixteen counted UTF-16 strings: ids 1-3 ASCII, 6 and 7 Japanese, the others empty.
    DWORD expected = 16 * 2;
    for (const StringCase& s : kAsciiStrings)
        expected += 2 * DWORD(lstrlenA(s.text));
    expected += 2 * 7 + 2 * 4;
    DWORD size = SizeofResource(module, block);
    ok(size == expected, "block size %lu, expected %lu", (unsigned long)size, (unsigned long)expected);
    const WORD* words = static_cast<const WORD*>(LockResource(LoadResource(module, block)));
    ok(words && words[0] == 0 && words[1] == 11 && words[2] == 'c', "block does not start with id 0 then \"c...\"");

    ok(FindResourceA(module, "#1", RT_STRING) == block, "\"#1\" does not name ordinal 1");
    ok(FindResourceA(NULL, MAKEINTRESOURCEA(1), "#6") == block, "NULL module or \"#6\" type failed");

    SetLastError(0xdeadbeef);
    ok(!FindResourceA(module, MAKEINTRESOURCEA(77), RT_STRING), "block 77 found");
    ok(GetLastError() == ERROR_RESOURCE_NAME_NOT_FOUND, "missing name: %lu", (unsigned long)GetLastError());
    SetLastError(0xdeadbeef);
    ok(!FindResourceA(module, MAKEINTRESOURCEA(1), RT_MESSAGETABLE), "message table found");
    ok(GetLastError() == ERROR_RESOURCE_TYPE_NOT_FOUND, "missing type: %lu", (unsigned long)GetLastError());
}

START_TEST(FindResourceA_group_icon) {
    HMODULE module = conformance::TestModule();
    HRSRC group = FindResourceA(module, MAKEINTRESOURCEA(IDI_CONFORMANCE), RT_GROUP_ICON);
    ok(group != NULL, "group icon not found: %lu", (unsigned long)GetLastError());
    if (!group)
        return;
    const BYTE* dir = static_cast<const BYTE*>(LockResource(LoadResource(module, group)));
    WORD type = WORD(dir[2] | dir[3] << 8), count = WORD(dir[4] | dir[5] << 8);
    ok(type == 1 && count == 1, "directory type %u, count %u", type, count);
    ok(SizeofResource(module, group) == 6u + 14u * count, "directory size %lu",
       (unsigned long)SizeofResource(module, group));
    WORD iconId = WORD(dir[6 + 12] | dir[6 + 13] << 8);
    ok(FindResourceA(module, MAKEINTRESOURCEA(iconId), RT_ICON) != NULL, "icon image %u not found", iconId);
}

// ---- icons and cursors --------------------------------------------------------------------------

START_TEST(LoadIconA_shares_handles) {
    HINSTANCE module = conformance::TestModule();
    HICON icon = LoadIconA(module, MAKEINTRESOURCEA(IDI_CONFORMANCE));
    ok(icon != NULL, "program icon not loaded: %lu", (unsigned long)GetLastError());
    ok(LoadIconA(module, MAKEINTRESOURCEA(IDI_CONFORMANCE)) == icon, "second load gave another handle");
    // Destroying a shared icon leaves it usable.
    ok(DestroyIcon(icon), "DestroyIcon failed");
    ok(LoadIconA(module, MAKEINTRESOURCEA(IDI_CONFORMANCE)) == icon, "handle changed after DestroyIcon");

    HICON app = LoadIconA(NULL, IDI_APPLICATION);
    ok(app != NULL && app != icon, "IDI_APPLICATION %p", (void*)app);
    ok(LoadIconA(NULL, IDI_APPLICATION) == app, "IDI_APPLICATION not shared");

    SetLastError(0xdeadbeef);
    HICON absent = LoadIconA(module, MAKEINTRESOURCEA(IDI_ABSENT));
    DWORD error = GetLastError();
    ok(absent == NULL, "absent icon loaded");
    // Wine looks for an animated icon last and reports that type missing; Windows versions differ.
    ok(error == ERROR_RESOURCE_TYPE_NOT_FOUND ||
           broken(error == ERROR_RESOURCE_NAME_NOT_FOUND || error == ERROR_RESOURCE_DATA_NOT_FOUND),
       "absent icon: last error %lu", (unsigned long)error);
}

START_TEST(LoadCursorA_system_cursors) {
    HCURSOR arrow = LoadCursorA(NULL, IDC_ARROW);
    HCURSOR wait = LoadCursorA(NULL, IDC_WAIT);
    HCURSOR starting = LoadCursorA(NULL, IDC_APPSTARTING);
    ok(arrow && wait && starting, "system cursors missing");
    ok(arrow != wait && wait != starting && arrow != starting, "system cursors share handles");
    ok(LoadCursorA(NULL, IDC_ARROW) == arrow, "IDC_ARROW not shared");

    SetLastError(0xdeadbeef);
    ok(!LoadCursorA(conformance::TestModule(), MAKEINTRESOURCEA(IDI_ABSENT)), "absent cursor loaded");
    DWORD error = GetLastError();
    ok(error == ERROR_RESOURCE_TYPE_NOT_FOUND ||
           broken(error == ERROR_RESOURCE_NAME_NOT_FOUND || error == ERROR_RESOURCE_DATA_NOT_FOUND),
       "absent cursor: last error %lu", (unsigned long)error);

    HCURSOR original = GetCursor();
    ok(SetCursor(wait) == original, "SetCursor did not return the current cursor");
    ok(GetCursor() == wait, "GetCursor after SetCursor(wait)");
    ok(SetCursor(starting) == wait, "SetCursor did not return the wait cursor");
    SetCursor(original);
}

START_TEST(GetSystemMetrics_icons_and_screen) {
    struct {
        int index;
        const char* name;
        int value;
    } metrics[] = {
        {SM_CXICON, "SM_CXICON", 32},     {SM_CYICON, "SM_CYICON", 32},       {SM_CXSMICON, "SM_CXSMICON", 16},
        {SM_CYSMICON, "SM_CYSMICON", 16}, {SM_CXSCREEN, "SM_CXSCREEN", 1024}, {SM_CYSCREEN, "SM_CYSCREEN", 768},
    };
    for (const auto& m : metrics)
        ok(GetSystemMetrics(m.index) == m.value, "%s is %d", m.name, GetSystemMetrics(m.index));
    ok(!GetSystemMetrics(SM_DBCSENABLED) == (GetACP() != 932), "SM_DBCSENABLED %d under code page %u",
       GetSystemMetrics(SM_DBCSENABLED), GetACP());
}

// ---- modules ------------------------------------------------------------------------------------

START_TEST(GetModuleHandleA_and_file_name_of_the_program) {
    HMODULE program = GetModuleHandleA(NULL);
    ok(program != NULL && program == conformance::TestModule(), "GetModuleHandleA(NULL) %p", (void*)program);

    char path[MAX_PATH];
    memset(path, kSentinel, sizeof(path));
    DWORD len = GetModuleFileNameA(NULL, path, sizeof(path));
    ok(len > 0 && len == DWORD(lstrlenA(path)), "length %lu for \"%s\"", (unsigned long)len, path);
    ok(EndsWithNoCase(path, "\\conformance.exe"), "program path \"%s\"", path);
    ok(GetModuleHandleA(path) == program, "by full path");
    ok(GetModuleHandleA("CONFORMANCE.EXE") == program, "by base name in other case");
    // Without an extension the name means a .dll.
    SetLastError(0xdeadbeef);
    ok(GetModuleHandleA("conformance") == NULL, "\"conformance\" found");
    ok(GetLastError() == ERROR_MOD_NOT_FOUND, "last error %lu", (unsigned long)GetLastError());

    // A program loaded by its own path is the program.
    HMODULE again = LoadLibraryA(path);
    ok(again == program, "LoadLibraryA(own path) gave %p", (void*)again);
    ok(FreeLibrary(again), "FreeLibrary of the program failed");
    ok(GetModuleHandleA(NULL) == program, "program gone after FreeLibrary");
}

START_TEST(GetModuleFileNameA_truncation) {
    char full[MAX_PATH];
    DWORD len = GetModuleFileNameA(NULL, full, sizeof(full));
    ok(len > 4, "path \"%s\" too short for the test", full);
    if (len <= 4)
        return;
    const DWORD sizes[] = {4, len};
    for (DWORD n : sizes) {
        char buf[MAX_PATH];
        memset(buf, kSentinel, sizeof(buf));
        SetLastError(0xdeadbeef);
        DWORD ret = GetModuleFileNameA(NULL, buf, n);
        DWORD error = GetLastError();
        ok(ret == n, "size %lu: returned %lu", (unsigned long)n, (unsigned long)ret);
        ok(memcmp(buf, full, n - 1) == 0 && buf[n] == kSentinel, "size %lu: wrong copy", (unsigned long)n);
        if (IsWindowsVistaOrLater()) {
            ok(error == ERROR_INSUFFICIENT_BUFFER, "size %lu: last error %lu", (unsigned long)n, (unsigned long)error);
            // Vista and later terminate the truncated name; Wine copies one more character instead.
            todo_wine ok(buf[n - 1] == 0, "size %lu: no NUL in the last place", (unsigned long)n);
        } else {
            // Windows XP copies nSize characters without a NUL and reports success; Wine set to XP still
            // reports ERROR_INSUFFICIENT_BUFFER.
            ok(error == 0xdeadbeef || broken(error == ERROR_INSUFFICIENT_BUFFER), "size %lu: last error %lu",
               (unsigned long)n, (unsigned long)error);
            ok(buf[n - 1] == full[n - 1], "size %lu: last character not copied", (unsigned long)n);
        }
    }
}

START_TEST(LoadLibraryA_failures) {
    const char* missing[] = {"nosuch_conformance.dll", "C:\\nowhere\\nosuch_conformance.dll", ""};
    for (const char* name : missing) {
        SetLastError(0xdeadbeef);
        HMODULE m = LoadLibraryA(name);
        ok(m == NULL, "\"%s\" loaded", name);
        ok(GetLastError() == ERROR_MOD_NOT_FOUND, "\"%s\": last error %lu", name, (unsigned long)GetLastError());
    }

    // A file that is not a module.
    char path[MAX_PATH];
    DWORD n = GetTempPathA(sizeof(path), path);
    ok(n > 0 && n < sizeof(path), "GetTempPathA failed");
    lstrcatA(path, "notamodule_conformance.dll");
    HANDLE file = CreateFileA(path, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    ok(file != INVALID_HANDLE_VALUE, "cannot create %s", path);
    if (file == INVALID_HANDLE_VALUE)
        return;
    DWORD written = 0;
    WriteFile(file, "plain text\r\n", 12, &written, NULL);
    CloseHandle(file);
    SetLastError(0xdeadbeef);
    ok(LoadLibraryA(path) == NULL, "text file loaded");
    ok(GetLastError() == ERROR_BAD_EXE_FORMAT, "text file: last error %lu", (unsigned long)GetLastError());
    DeleteFileA(path);

    SetLastError(0xdeadbeef);
    ok(GetProcAddress(GetModuleHandleA(NULL), "NoSuchExport") == NULL, "NoSuchExport found");
    ok(GetLastError() == ERROR_PROC_NOT_FOUND, "GetProcAddress: last error %lu", (unsigned long)GetLastError());
    SetLastError(0xdeadbeef);
    ok(GetProcAddress(NULL, "NoSuchExport") == NULL, "NoSuchExport found in the NULL module");
    ok(GetLastError() == ERROR_PROC_NOT_FOUND, "NULL module: last error %lu", (unsigned long)GetLastError());
}

START_TEST(LoadLibraryA_reference_counts) {
    const char* name = "msimg32.dll";
    if (GetModuleHandleA(name)) {
        skip("%s is already loaded", name);
        return;
    }
    HMODULE a = LoadLibraryA(name);
    HMODULE b = LoadLibraryA("MSIMG32");
    ok(a != NULL && a == b, "two loads gave %p and %p", (void*)a, (void*)b);
    if (!a)
        return;
    char path[MAX_PATH], sysdir[MAX_PATH];
    GetModuleFileNameA(a, path, sizeof(path));
    UINT sysLen = GetSystemDirectoryA(sysdir, sizeof(sysdir));
    char folder[MAX_PATH];
    lstrcpynA(folder, path, int(sysLen) + 1);
    ok(lstrcmpiA(folder, sysdir) == 0 && path[sysLen] == '\\', "%s found at \"%s\", not in \"%s\"", name, path,
       sysdir);

    ok(FreeLibrary(a), "first FreeLibrary failed");
    ok(GetModuleHandleA(name) == a, "unloaded while a reference is left");
    ok(FreeLibrary(b), "second FreeLibrary failed");
    SetLastError(0xdeadbeef);
    ok(GetModuleHandleA(name) == NULL, "still loaded after the last FreeLibrary");
    ok(GetLastError() == ERROR_MOD_NOT_FOUND, "GetModuleHandleA: last error %lu", (unsigned long)GetLastError());
    SetLastError(0xdeadbeef);
    ok(!FreeLibrary(a), "third FreeLibrary succeeded");
    ok(GetLastError() == ERROR_MOD_NOT_FOUND, "third FreeLibrary: last error %lu", (unsigned long)GetLastError());
}

START_TEST(LoadLibraryExA_as_datafile) {
    const char* name = "msimg32.dll";
    if (GetModuleHandleA(name)) {
        skip("%s is already loaded", name);
        return;
    }
    HMODULE data = LoadLibraryExA(name, NULL, LOAD_LIBRARY_AS_DATAFILE);
    ok(data != NULL, "data-file load failed: %lu", (unsigned long)GetLastError());
    if (!data)
        return;
    ok(GetModuleHandleA(name) == NULL, "a data file counts as loaded");
    SetLastError(0xdeadbeef);
    ok(GetProcAddress(data, "AlphaBlend") == NULL, "code found in a data file");
    ok(GetLastError() == ERROR_MOD_NOT_FOUND, "GetProcAddress: last error %lu", (unsigned long)GetLastError());
    ok(FreeLibrary(data), "FreeLibrary of the data file failed");

    // A module already loaded is shared, with one more reference.
    HMODULE program = GetModuleHandleA(NULL);
    char path[MAX_PATH];
    GetModuleFileNameA(NULL, path, sizeof(path));
    HMODULE shared = LoadLibraryExA(path, NULL, LOAD_LIBRARY_AS_DATAFILE);
    ok(shared == program, "data-file load of the program gave %p", (void*)shared);
    char buf[32] = "";
    ok(LoadStringA(shared, IDS_ASCII, buf, sizeof(buf)) == 11, "string through the shared handle");
    FreeLibrary(shared);
}

// ---- fonts and text -----------------------------------------------------------------------------

START_TEST(CreateFontIndirectA_GetObjectA_round_trip) {
    LOGFONTA in;
    memset(&in, 0, sizeof(in));
    in.lfHeight = -13;
    in.lfWeight = FW_BOLD;
    in.lfItalic = TRUE;
    in.lfCharSet = SHIFTJIS_CHARSET;
    in.lfOutPrecision = OUT_DEFAULT_PRECIS;
    lstrcpyA(in.lfFaceName, "Arial");
    HFONT font = CreateFontIndirectA(&in);
    ok(font != NULL, "CreateFontIndirectA failed");

    ok(GetObjectA(font, 0, NULL) == int(sizeof(LOGFONTA)), "size query gave %d", GetObjectA(font, 0, NULL));
    LOGFONTA out;
    memset(&out, 0x55, sizeof(out));
    int ret = GetObjectA(font, sizeof(out), &out);
    ok(ret == int(sizeof(LOGFONTA)), "GetObjectA returned %d", ret);
    ok(out.lfHeight == -13 && out.lfWeight == FW_BOLD && out.lfItalic && out.lfCharSet == SHIFTJIS_CHARSET,
       "got height %ld, weight %ld, charset %u", (long)out.lfHeight, (long)out.lfWeight, out.lfCharSet);
    ok(strcmp(out.lfFaceName, "Arial") == 0, "face \"%s\"", out.lfFaceName);

    // A short buffer gets just its size.
    BYTE part[sizeof(LOGFONTA)];
    memset(part, 0x55, sizeof(part));
    ret = GetObjectA(font, 8, part);
    ok(ret == 8 && memcmp(part, &out, 8) == 0 && part[8] == 0x55, "short buffer: returned %d", ret);

    HFONT byArgs = CreateFontA(-20, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, ANSI_CHARSET, OUT_DEFAULT_PRECIS,
                               CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_SWISS, "Arial");
    ok(GetObjectA(byArgs, sizeof(out), &out) == int(sizeof(LOGFONTA)) && out.lfHeight == -20 &&
           out.lfCharSet == ANSI_CHARSET && strcmp(out.lfFaceName, "Arial") == 0,
       "CreateFontA round trip");

    ok(DeleteObject(font), "DeleteObject failed");
    ok(!DeleteObject(font), "second DeleteObject succeeded");
    ok(GetObjectA(font, sizeof(out), &out) == 0, "GetObjectA on a deleted font");
    ok(DeleteObject(byArgs), "DeleteObject of the CreateFontA font failed");

    HGDIOBJ system = GetStockObject(SYSTEM_FONT);
    ok(DeleteObject(system), "DeleteObject of a stock font failed");
    ok(GetObjectA(system, sizeof(out), &out) == int(sizeof(LOGFONTA)), "stock font gone after DeleteObject");
}

START_TEST(GetDC_selects_the_system_font) {
    HDC dc = GetDC(NULL);
    ok(dc != NULL, "GetDC(NULL) failed");
    HFONT font = MakeFont(-20, "Arial");
    HGDIOBJ old = SelectObject(dc, font);
    ok(old == GetStockObject(SYSTEM_FONT), "a new DC held %p, not the system font", old);
    ok(SelectObject(dc, old) == font, "SelectObject did not return the selected font");

    // Deleting a selected font succeeds; the font lives on until it is deselected.
    SelectObject(dc, font);
    ok(DeleteObject(font), "DeleteObject of a selected font failed");
    LOGFONTA lf;
    ok(GetObjectA(font, sizeof(lf), &lf) == int(sizeof(lf)), "selected font gone at once");
    ok(SelectObject(dc, old) == font, "deselecting returned another object");
    ok(GetObjectA(font, sizeof(lf), &lf) == 0, "deleted font still there after deselecting");
    ok(SelectObject(dc, font) == NULL, "a deleted font was selected");

    ok(GetDeviceCaps(dc, LOGPIXELSY) == 96, "LOGPIXELSY %d", GetDeviceCaps(dc, LOGPIXELSY));
    ok(ReleaseDC(NULL, dc) == 1, "ReleaseDC failed");
    ok(ReleaseDC(NULL, dc) == 0, "second ReleaseDC succeeded");
}

START_TEST(GetTextExtentPoint32A_relations) {
    HDC dc = GetDC(NULL);
    SIZE shortText, longText, empty;
    ok(GetTextExtentPoint32A(dc, "ab", 2, &shortText), "GetTextExtentPoint32A failed");
    GetTextExtentPoint32A(dc, "abcdef", 6, &longText);
    ok(longText.cx > shortText.cx && longText.cy == shortText.cy, "system font: \"ab\" %ldx%ld, \"abcdef\" %ldx%ld",
       (long)shortText.cx, (long)shortText.cy, (long)longText.cx, (long)longText.cy);
    memset(&empty, 0x55, sizeof(empty));
    ok(GetTextExtentPoint32A(dc, "", 0, &empty) && empty.cx == 0 && empty.cy == 0, "empty string %ldx%ld",
       (long)empty.cx, (long)empty.cy);

    // The selected font matters: a bigger font measures the same text wider and taller.
    HFONT small = MakeFont(-10, "Arial"), big = MakeFont(-40, "Arial");
    SIZE inSmall, inBig;
    HGDIOBJ old = SelectObject(dc, small);
    GetTextExtentPoint32A(dc, "abcdef", 6, &inSmall);
    TEXTMETRICA tm;
    ok(GetTextMetricsA(dc, &tm) && tm.tmHeight == inSmall.cy, "tmHeight %ld, extent height %ld", (long)tm.tmHeight,
       (long)inSmall.cy);
    SelectObject(dc, big);
    GetTextExtentPoint32A(dc, "abcdef", 6, &inBig);
    ok(inBig.cx > inSmall.cx && inBig.cy > inSmall.cy, "-10: %ldx%ld, -40: %ldx%ld", (long)inSmall.cx,
       (long)inSmall.cy, (long)inBig.cx, (long)inBig.cy);
    SelectObject(dc, old);
    DeleteObject(small);
    DeleteObject(big);
    ReleaseDC(NULL, dc);
}
