// Test registry, result counting and reporting shared by both machines.
#include "conformance.h"

#include <stdarg.h>
#include <stdio.h>
#include <string.h>

#include <string>
#include <vector>

namespace conformance {

namespace {

struct Entry {
    const char* name;
    TestFn fn;
};

std::vector<Entry>& Tests() {
    static std::vector<Entry> tests;
    return tests;
}

int g_passed = 0;
int g_failed = 0;
int g_todo = 0;
int g_skipped = 0;
bool g_inTodo = false;
const char* g_current = "";

const char* BaseName(const char* path) {
    const char* p = path;
    for (const char* c = path; *c; ++c)
        if (*c == '/' || *c == '\\')
            p = c + 1;
    return p;
}

}  // namespace

Registrar::Registrar(const char* name, TestFn fn) {
    Tests().push_back(Entry{name, fn});
}

void Ok(bool condition, const char* file, int line, const char* format, ...) {
    char text[1024];
    va_list args;
    va_start(args, format);
    vsnprintf(text, sizeof(text), format, args);
    va_end(args);
    if (g_inTodo) {
        if (condition) {
            g_failed++;
            printf("%s:%d: %s: test succeeded inside todo block: %s\n", BaseName(file), line, g_current, text);
        } else {
            g_todo++;
        }
        return;
    }
    if (condition) {
        g_passed++;
    } else {
        g_failed++;
        printf("%s:%d: %s: test failed: %s\n", BaseName(file), line, g_current, text);
    }
}

void Skip(const char* file, int line, const char* format, ...) {
    char text[1024];
    va_list args;
    va_start(args, format);
    vsnprintf(text, sizeof(text), format, args);
    va_end(args);
    g_skipped++;
    printf("%s:%d: %s: tests skipped: %s\n", BaseName(file), line, g_current, text);
}

void Trace(const char* format, ...) {
    va_list args;
    va_start(args, format);
    vprintf(format, args);
    va_end(args);
}

Todo::Todo(bool active) : m_active(active), m_saved(g_inTodo) {
    if (m_active)
        g_inTodo = true;
}

Todo::~Todo() {
    g_inTodo = m_saved;
}

// Runs every registered test (or those named in argv) inside `wrap`, which sets up the machine.
int RunAll(int argc, char** argv, void (*wrap)(TestFn)) {
    for (const Entry& e : Tests()) {
        if (argc > 1) {
            bool wanted = false;
            for (int i = 1; i < argc; ++i)
                wanted = wanted || strcmp(argv[i], e.name) == 0;
            if (!wanted)
                continue;
        }
        g_current = e.name;
        int failedBefore = g_failed;
        wrap(e.fn);
        printf("%s %s\n", g_failed == failedBefore ? "ok  " : "FAIL", e.name);
    }
    printf("%d todo, %d skipped on %s\n", g_todo, g_skipped, OnSim() ? "winsim" : "windows");
    printf("conformance: %d passed, %d failed\n", g_passed, g_failed);
    fflush(stdout);
    return g_failed ? 1 : 0;
}

}  // namespace conformance
