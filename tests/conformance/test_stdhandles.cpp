// kernel32 conformance: the standard handles, the type of a handle, and anonymous pipes, as a program
// that writes to a redirected standard output meets them.
#include "conformance.h"

#include <stdio.h>
#include <string.h>

#include <string>

namespace {

// Puts the process's standard output back as it was, whatever a test set it to.
struct SavedStdOutput {
    SavedStdOutput() : handle(GetStdHandle(STD_OUTPUT_HANDLE)) {}
    ~SavedStdOutput() { SetStdHandle(STD_OUTPUT_HANDLE, handle); }
    HANDLE handle;
};

std::string ScratchFile(const char* name) {
    char temp[MAX_PATH];
    GetTempPathA(sizeof(temp), temp);
    return std::string(temp) + name;
}

}  // namespace

START_TEST(kernel_std_handle_numbers) {
    SetLastError(0xdeadbeef);
    HANDLE h = GetStdHandle(42);
    ok(h == INVALID_HANDLE_VALUE && GetLastError() == ERROR_INVALID_HANDLE, "an unknown number: %p, %lu\n", h,
       (unsigned long)GetLastError());
    SetLastError(0xdeadbeef);
    ok(!SetStdHandle(42, NULL) && GetLastError() == ERROR_INVALID_HANDLE, "setting an unknown number: %lu\n",
       (unsigned long)GetLastError());
}

START_TEST(kernel_std_output_redirected_to_a_file) {
    SavedStdOutput saved;
    std::string path = ScratchFile("winsim_conformance_stdout.txt");
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, NULL, CREATE_ALWAYS, 0, NULL);
    ok(file != INVALID_HANDLE_VALUE, "creating %s: %lu\n", path.c_str(), (unsigned long)GetLastError());
    if (file == INVALID_HANDLE_VALUE)
        return;
    ok(GetFileType(file) == FILE_TYPE_DISK, "a file's type: %lu\n", (unsigned long)GetFileType(file));

    ok(SetStdHandle(STD_OUTPUT_HANDLE, file), "setting the standard output: %lu\n", (unsigned long)GetLastError());
    HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    ok(out == file, "the standard output is the file: %p, %p\n", out, file);
    DWORD written = 0;
    ok(WriteFile(out, "line\r\n", 6, &written, NULL) && written == 6, "writing to it: %lu\n",
       (unsigned long)written);
    SetStdHandle(STD_OUTPUT_HANDLE, saved.handle);
    CloseHandle(file);

    file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0, NULL);
    char buffer[16];
    memset(buffer, 0, sizeof(buffer));
    DWORD read = 0;
    ok(ReadFile(file, buffer, sizeof(buffer) - 1, &read, NULL) && read == 6 && strcmp(buffer, "line\r\n") == 0,
       "what the file holds: '%s'\n", buffer);
    CloseHandle(file);
    DeleteFileA(path.c_str());

    SetLastError(0xdeadbeef);
    ok(GetFileType(file) == FILE_TYPE_UNKNOWN && GetLastError() == ERROR_INVALID_HANDLE,
       "a closed handle's type: %lu\n", (unsigned long)GetLastError());
}

START_TEST(kernel_anonymous_pipe) {
    SavedStdOutput saved;
    HANDLE reader = NULL, writer = NULL;
    ok(CreatePipe(&reader, &writer, NULL, 0), "creating a pipe: %lu\n", (unsigned long)GetLastError());
    ok(GetFileType(reader) == FILE_TYPE_PIPE && GetFileType(writer) == FILE_TYPE_PIPE, "both ends' types: %lu %lu\n",
       (unsigned long)GetFileType(reader), (unsigned long)GetFileType(writer));

    ok(SetStdHandle(STD_OUTPUT_HANDLE, writer), "the write end as standard output\n");
    DWORD written = 0;
    ok(WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), "one\n", 4, &written, NULL) && written == 4, "first write\n");
    ok(WriteFile(writer, "two\n", 4, &written, NULL) && written == 4, "second write\n");
    SetStdHandle(STD_OUTPUT_HANDLE, saved.handle);

    char buffer[16];
    memset(buffer, 0, sizeof(buffer));
    DWORD read = 0;
    ok(ReadFile(reader, buffer, 5, &read, NULL) && read == 5 && memcmp(buffer, "one\nt", 5) == 0,
       "a read takes what it asks for: %lu '%s'\n", (unsigned long)read, buffer);
    ok(CloseHandle(writer), "closing the write end\n");
    memset(buffer, 0, sizeof(buffer));
    ok(ReadFile(reader, buffer, sizeof(buffer) - 1, &read, NULL) && read == 3 && strcmp(buffer, "wo\n") == 0,
       "the rest is still read after the writer closed: %lu '%s'\n", (unsigned long)read, buffer);
    SetLastError(0xdeadbeef);
    ok(!ReadFile(reader, buffer, sizeof(buffer), &read, NULL) && read == 0 && GetLastError() == ERROR_BROKEN_PIPE,
       "then the pipe is broken: %lu\n", (unsigned long)GetLastError());
    CloseHandle(reader);

    ok(CreatePipe(&reader, &writer, NULL, 0), "a second pipe\n");
    CloseHandle(reader);
    SetLastError(0xdeadbeef);
    ok(!WriteFile(writer, "x", 1, &written, NULL) && GetLastError() == ERROR_NO_DATA,
       "writing without a reader: %lu\n", (unsigned long)GetLastError());
    CloseHandle(writer);
}
