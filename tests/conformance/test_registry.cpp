// Registry conformance: name case, key deletion, enumeration order and sizing, value sizing, handles.
#include "conformance.h"

#include <stdio.h>
#include <string.h>

namespace {

const char kRoot[] = "Software\\WinsimConformance";

// Deletes a key and everything below it, index 0 first, bounded so a refusing key cannot loop forever.
void DeleteTree(HKEY parent, const char* sub) {
    HKEY key;
    if (RegOpenKeyExA(parent, sub, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS)
        return;
    char name[256];
    for (int guard = 0; guard < 1000; ++guard) {
        DWORD cch = sizeof(name);
        if (RegEnumKeyExA(key, 0, name, &cch, NULL, NULL, NULL, NULL) != ERROR_SUCCESS)
            break;
        DeleteTree(key, name);
    }
    RegCloseKey(key);
    RegDeleteKeyA(parent, sub);
}

// A fresh HKCU\Software\WinsimConformance\<test>; Scratch::~Scratch removes it again.
struct Scratch {
    explicit Scratch(const char* test) {
        snprintf(path, sizeof(path), "%s\\%s", kRoot, test);
        DeleteTree(HKEY_CURRENT_USER, path);
        LONG r = RegCreateKeyExA(HKEY_CURRENT_USER, path, 0, NULL, 0, KEY_ALL_ACCESS, NULL, &key, NULL);
        ok(r == ERROR_SUCCESS, "creating the scratch key %s: %ld\n", path, (long)r);
    }
    ~Scratch() {
        RegCloseKey(key);
        DeleteTree(HKEY_CURRENT_USER, path);
        RegDeleteKeyA(HKEY_CURRENT_USER, kRoot);  // only goes when no other test left anything
    }
    char path[200];
    HKEY key = NULL;
};

HKEY CreateSub(HKEY parent, const char* name, DWORD* disposition = NULL) {
    HKEY key = NULL;
    LONG r = RegCreateKeyExA(parent, name, 0, NULL, 0, KEY_ALL_ACCESS, NULL, &key, disposition);
    ok(r == ERROR_SUCCESS, "RegCreateKeyExA(%s): %ld\n", name, (long)r);
    return key;
}

}  // namespace

START_TEST(registry_names_keep_case_and_match_without_it) {
    Scratch s("names");
    DWORD disposition = 0;
    HKEY mixed = CreateSub(s.key, "MixedCase", &disposition);
    ok(disposition == REG_CREATED_NEW_KEY, "first create: disposition %lu\n", (unsigned long)disposition);
    RegCloseKey(mixed);

    HKEY again = CreateSub(s.key, "MIXEDCASE", &disposition);
    ok(disposition == REG_OPENED_EXISTING_KEY, "create in other case: disposition %lu\n", (unsigned long)disposition);
    RegCloseKey(again);

    HKEY opened = NULL;
    LONG r = RegOpenKeyExA(s.key, "mixedcase", 0, KEY_READ, &opened);
    ok(r == ERROR_SUCCESS, "open in lower case: %ld\n", (long)r);
    RegCloseKey(opened);

    char name[64];
    DWORD cch = sizeof(name);
    r = RegEnumKeyExA(s.key, 0, name, &cch, NULL, NULL, NULL, NULL);
    ok(r == ERROR_SUCCESS && strcmp(name, "MixedCase") == 0 && cch == 9, "enumerated %ld '%s' %lu\n", (long)r, name,
       (unsigned long)cch);

    const char data[] = "x";
    r = RegSetValueExA(s.key, "ValueName", 0, REG_SZ, (const BYTE*)data, sizeof(data));
    ok(r == ERROR_SUCCESS, "set value: %ld\n", (long)r);
    r = RegSetValueExA(s.key, "VALUENAME", 0, REG_SZ, (const BYTE*)data, sizeof(data));
    ok(r == ERROR_SUCCESS, "set value in other case: %ld\n", (long)r);
    DWORD type = 0, cb = 0;
    r = RegQueryValueExA(s.key, "valuename", NULL, &type, NULL, &cb);
    ok(r == ERROR_SUCCESS && type == REG_SZ && cb == 2, "query in lower case: %ld type %lu cb %lu\n", (long)r,
       (unsigned long)type, (unsigned long)cb);
    DWORD values = 0;
    RegQueryInfoKeyA(s.key, NULL, NULL, NULL, NULL, NULL, NULL, &values, NULL, NULL, NULL, NULL);
    ok(values == 1, "one value after writing it in two cases, got %lu\n", (unsigned long)values);
    cch = sizeof(name);
    r = RegEnumValueA(s.key, 0, name, &cch, NULL, NULL, NULL, NULL);
    ok(r == ERROR_SUCCESS && strcmp(name, "ValueName") == 0, "value name kept its first case: %ld '%s'\n", (long)r,
       name);
}

START_TEST(registry_delete_key_refuses_sub_keys) {
    Scratch s("delete");
    HKEY child = CreateSub(s.key, "Parent\\Child");
    RegCloseKey(child);

    LONG r = RegDeleteKeyA(s.key, "Parent");
    ok(r == ERROR_ACCESS_DENIED, "deleting a key with a sub-key: %ld\n", (long)r);
    HKEY probe = NULL;
    ok(RegOpenKeyExA(s.key, "Parent\\Child", 0, KEY_READ, &probe) == ERROR_SUCCESS, "the child is still there\n");
    RegCloseKey(probe);

    r = RegDeleteKeyA(s.key, "PARENT\\child");
    ok(r == ERROR_SUCCESS, "deleting the child: %ld\n", (long)r);
    r = RegDeleteKeyA(s.key, "Parent");
    ok(r == ERROR_SUCCESS, "deleting the now empty parent: %ld\n", (long)r);
    r = RegDeleteKeyA(s.key, "Parent");
    ok(r == ERROR_FILE_NOT_FOUND, "deleting it again: %ld\n", (long)r);
    r = RegOpenKeyExA(s.key, "Parent", 0, KEY_READ, &probe);
    ok(r == ERROR_FILE_NOT_FOUND, "opening the deleted key: %ld\n", (long)r);
    r = RegOpenKeyExA(s.key, "Never\\Created", 0, KEY_READ, &probe);
    ok(r == ERROR_FILE_NOT_FOUND, "opening a missing path: %ld\n", (long)r);
}

START_TEST(registry_handle_on_deleted_key) {
    Scratch s("deleted_handle");
    HKEY doomed = CreateSub(s.key, "Doomed");
    ok(RegDeleteKeyA(s.key, "Doomed") == ERROR_SUCCESS, "deleting a key that is still open\n");
    const char data[] = "v";
    LONG r = RegSetValueExA(doomed, "x", 0, REG_SZ, (const BYTE*)data, sizeof(data));
    ok(r == ERROR_KEY_DELETED, "writing through a handle to a deleted key: %ld\n", (long)r);
    ok(RegCloseKey(doomed) == ERROR_SUCCESS, "the handle still closes\n");
}

START_TEST(registry_enum_keys_order_end_and_small_buffer) {
    Scratch s("enum");
    // Created out of order: Windows keeps sub-keys sorted by name, case-insensitively.
    const char* created[] = {"b", "C", "a"};
    for (const char* name : created)
        RegCloseKey(CreateSub(s.key, name));

    const char* sorted[] = {"a", "b", "C"};
    char name[64];
    for (DWORD i = 0; i < 3; ++i) {
        DWORD cch = sizeof(name);
        LONG r = RegEnumKeyExA(s.key, i, name, &cch, NULL, NULL, NULL, NULL);
        ok(r == ERROR_SUCCESS, "index %lu: %ld\n", (unsigned long)i, (long)r);
        // Wine 8's server keeps sub-keys sorted too (measured; not creation order).
        ok(strcmp(name, sorted[i]) == 0, "index %lu: got '%s', Windows gives '%s'\n", (unsigned long)i, name,
           sorted[i]);
    }
    DWORD cch = sizeof(name);
    LONG r = RegEnumKeyExA(s.key, 3, name, &cch, NULL, NULL, NULL, NULL);
    ok(r == ERROR_NO_MORE_ITEMS, "past the end: %ld\n", (long)r);
    r = RegEnumKeyA(s.key, 3, name, sizeof(name));
    ok(r == ERROR_NO_MORE_ITEMS, "RegEnumKeyA past the end: %ld\n", (long)r);

    // A one-character name needs two characters of room.
    RegCloseKey(CreateSub(s.key, "LongerName"));
    DWORD index = 0;
    for (DWORD i = 0; i < 4; ++i) {
        cch = sizeof(name);
        if (RegEnumKeyExA(s.key, i, name, &cch, NULL, NULL, NULL, NULL) == ERROR_SUCCESS &&
            strcmp(name, "LongerName") == 0)
            index = i;
    }
    memset(name, 'Z', sizeof(name));
    cch = 10;
    r = RegEnumKeyExA(s.key, index, name, &cch, NULL, NULL, NULL, NULL);
    ok(r == ERROR_MORE_DATA, "room for the name but not its NUL: %ld\n", (long)r);
    ok(cch == 10, "count left alone on ERROR_MORE_DATA, got %lu\n", (unsigned long)cch);
    cch = 11;
    r = RegEnumKeyExA(s.key, index, name, &cch, NULL, NULL, NULL, NULL);
    ok(r == ERROR_SUCCESS && cch == 10 && strcmp(name, "LongerName") == 0, "exact room: %ld %lu '%s'\n", (long)r,
       (unsigned long)cch, name);
    r = RegEnumKeyA(s.key, index, name, 10);
    ok(r == ERROR_MORE_DATA, "RegEnumKeyA without room for the NUL: %ld\n", (long)r);
}

START_TEST(registry_query_value_sizing) {
    Scratch s("query");
    const char hello[] = "hello";
    ok(RegSetValueExA(s.key, "sz", 0, REG_SZ, (const BYTE*)hello, sizeof(hello)) == ERROR_SUCCESS, "set sz\n");

    DWORD type = 0xdead, cb = 0xdead;
    LONG r = RegQueryValueExA(s.key, "sz", NULL, &type, NULL, &cb);
    ok(r == ERROR_SUCCESS && type == REG_SZ && cb == 6, "size query: %ld type %lu cb %lu\n", (long)r,
       (unsigned long)type, (unsigned long)cb);

    // cb-1, cb, cb+1 with sentinel-filled buffers.
    static const struct {
        DWORD size;
        LONG result;
        DWORD cbAfter;
        const char* bytes;  // 8 bytes expected in the buffer afterwards
    } cases[] = {
        {5, ERROR_MORE_DATA, 6, "\xAA\xAA\xAA\xAA\xAA\xAA\xAA\xAA"},
        {6, ERROR_SUCCESS, 6, "hello\0\xAA\xAA"},
        {7, ERROR_SUCCESS, 6, "hello\0\xAA\xAA"},
    };
    for (const auto& c : cases) {
        unsigned char buf[8];
        memset(buf, 0xAA, sizeof(buf));
        cb = c.size;
        r = RegQueryValueExA(s.key, "sz", NULL, &type, buf, &cb);
        ok(r == c.result, "size %lu: result %ld\n", (unsigned long)c.size, (long)r);
        ok(cb == c.cbAfter, "size %lu: cb %lu\n", (unsigned long)c.size, (unsigned long)cb);
        ok(memcmp(buf, c.bytes, 8) == 0, "size %lu: buffer %02x %02x %02x %02x %02x %02x %02x\n",
           (unsigned long)c.size, buf[0], buf[1], buf[4], buf[5], buf[6], buf[7], buf[3]);
    }

    // cbData without the NUL while the byte after it is not a NUL: stored as 5 bytes, and a query with room
    // adds the terminator without counting it.
    const char unterminated[] = "helloX";
    ok(RegSetValueExA(s.key, "raw", 0, REG_SZ, (const BYTE*)unterminated, 5) == ERROR_SUCCESS, "set raw\n");
    unsigned char buf[8];
    memset(buf, 0xAA, sizeof(buf));
    cb = 5;
    r = RegQueryValueExA(s.key, "raw", NULL, NULL, buf, &cb);
    ok(r == ERROR_SUCCESS && cb == 5 && memcmp(buf, "hello\xAA", 6) == 0, "exact size: %ld cb %lu byte5 %02x\n",
       (long)r, (unsigned long)cb, buf[5]);
    memset(buf, 0xAA, sizeof(buf));
    cb = 6;
    r = RegQueryValueExA(s.key, "raw", NULL, NULL, buf, &cb);
    ok(r == ERROR_SUCCESS && cb == 5 && memcmp(buf, "hello\0\xAA", 7) == 0, "with room: %ld cb %lu byte5 %02x\n",
       (long)r, (unsigned long)cb, buf[5]);

    // cbData one short of the NUL while the next byte is the NUL: NT counts it in.
    ok(RegSetValueExA(s.key, "short", 0, REG_SZ, (const BYTE*)hello, 5) == ERROR_SUCCESS, "set short\n");
    cb = 0;
    r = RegQueryValueExA(s.key, "short", NULL, NULL, NULL, &cb);
    ok(r == ERROR_SUCCESS && cb == 6, "stored with its NUL: %ld cb %lu\n", (long)r, (unsigned long)cb);

    DWORD dword = 0x12345678;
    ok(RegSetValueExA(s.key, "dw", 0, REG_DWORD, (const BYTE*)&dword, 4) == ERROR_SUCCESS, "set dword\n");
    DWORD out = 0;
    cb = 3;
    r = RegQueryValueExA(s.key, "dw", NULL, &type, (BYTE*)&out, &cb);
    ok(r == ERROR_MORE_DATA && cb == 4 && out == 0 && type == REG_DWORD, "dword in 3 bytes: %ld cb %lu\n", (long)r,
       (unsigned long)cb);
    cb = 4;
    r = RegQueryValueExA(s.key, "dw", NULL, &type, (BYTE*)&out, &cb);
    ok(r == ERROR_SUCCESS && out == 0x12345678, "dword: %ld %08lx\n", (long)r, (unsigned long)out);

    const char multi[] = "one\0two\0";
    ok(RegSetValueExA(s.key, "multi", 0, REG_MULTI_SZ, (const BYTE*)multi, sizeof(multi)) == ERROR_SUCCESS,
       "set multi\n");
    char mbuf[16];
    cb = sizeof(mbuf);
    r = RegQueryValueExA(s.key, "multi", NULL, &type, (BYTE*)mbuf, &cb);
    ok(r == ERROR_SUCCESS && type == REG_MULTI_SZ && cb == sizeof(multi) && memcmp(mbuf, multi, cb) == 0,
       "multi: %ld cb %lu\n", (long)r, (unsigned long)cb);

    type = 0xdead;
    cb = sizeof(mbuf);
    r = RegQueryValueExA(s.key, "missing", NULL, &type, (BYTE*)mbuf, &cb);
    ok(r == ERROR_FILE_NOT_FOUND, "missing value: %ld\n", (long)r);
    r = RegQueryValueExA(s.key, "sz", NULL, NULL, (BYTE*)mbuf, NULL);
    ok(r == ERROR_INVALID_PARAMETER, "data without a size: %ld\n", (long)r);
}

START_TEST(registry_enum_values_and_info) {
    Scratch s("values");
    const char longer[] = "a longer value";
    DWORD dword = 7;
    RegSetValueExA(s.key, "First", 0, REG_SZ, (const BYTE*)longer, sizeof(longer));
    RegSetValueExA(s.key, "SecondName", 0, REG_DWORD, (const BYTE*)&dword, 4);
    RegCloseKey(CreateSub(s.key, "SubKeyName"));

    DWORD subKeys = 0, maxSub = 0, values = 0, maxName = 0, maxData = 0;
    LONG r = RegQueryInfoKeyA(s.key, NULL, NULL, NULL, &subKeys, &maxSub, NULL, &values, &maxName, &maxData, NULL,
                              NULL);
    ok(r == ERROR_SUCCESS, "RegQueryInfoKeyA: %ld\n", (long)r);
    ok(subKeys == 1 && maxSub == 10, "sub-keys %lu, longest %lu\n", (unsigned long)subKeys, (unsigned long)maxSub);
    // NT keeps strings in UTF-16, and the A call reports that size for the longest data (9x: the ANSI size).
    ok(values == 2 && maxName == 10 && maxData == 2 * sizeof(longer), "values %lu, longest name %lu, data %lu\n",
       (unsigned long)values, (unsigned long)maxName, (unsigned long)maxData);

    char name[32];
    BYTE data[32];
    DWORD cch = sizeof(name), cb = sizeof(data), type = 0;
    r = RegEnumValueA(s.key, 0, name, &cch, NULL, &type, data, &cb);
    ok(r == ERROR_SUCCESS && strcmp(name, "First") == 0 && cch == 5 && type == REG_SZ && cb == sizeof(longer),
       "value 0: %ld '%s' %lu %lu\n", (long)r, name, (unsigned long)cch, (unsigned long)cb);
    cch = 5;
    cb = sizeof(data);
    r = RegEnumValueA(s.key, 0, name, &cch, NULL, NULL, data, &cb);
    ok(r == ERROR_MORE_DATA, "name without room for its NUL: %ld\n", (long)r);
    cch = sizeof(name);
    cb = 3;
    r = RegEnumValueA(s.key, 0, name, &cch, NULL, NULL, data, &cb);
    ok(r == ERROR_MORE_DATA && cb == sizeof(longer), "data too small: %ld cb %lu\n", (long)r, (unsigned long)cb);
    cch = sizeof(name);
    r = RegEnumValueA(s.key, 2, name, &cch, NULL, NULL, NULL, NULL);
    ok(r == ERROR_NO_MORE_ITEMS, "past the last value: %ld\n", (long)r);
    ok(RegDeleteValueA(s.key, "first") == ERROR_SUCCESS, "delete value in other case\n");
    ok(RegDeleteValueA(s.key, "first") == ERROR_FILE_NOT_FOUND, "delete it again\n");
}

START_TEST(registry_closed_handles) {
    Scratch s("handles");
    HKEY key = CreateSub(s.key, "Once");
    ok(RegCloseKey(key) == ERROR_SUCCESS, "first close\n");
    LONG r = RegCloseKey(key);
    ok(r == ERROR_INVALID_HANDLE, "second close: %ld\n", (long)r);
    DWORD cb = 0;
    r = RegQueryValueExA(key, "x", NULL, NULL, NULL, &cb);
    ok(r == ERROR_INVALID_HANDLE, "query through a closed handle: %ld\n", (long)r);
    r = RegCloseKey(HKEY_CURRENT_USER);
    ok(r == ERROR_SUCCESS, "closing a predefined key: %ld\n", (long)r);
    HKEY again = NULL;
    r = RegOpenKeyExA(HKEY_CURRENT_USER, "Software", 0, KEY_READ, &again);
    ok(r == ERROR_SUCCESS, "the predefined key still works: %ld\n", (long)r);
    RegCloseKey(again);
}
