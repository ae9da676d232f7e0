// A small harness in the style of Wine's API tests: the same sources run on winsim and on Windows/Wine.
#pragma once

#include <windows.h>

namespace conformance {

typedef void (*TestFn)();

struct Registrar {
    Registrar(const char* name, TestFn fn);
};

// True when the tests run against the simulated machine, false under Windows or Wine.
bool OnSim();

void Ok(bool condition, const char* file, int line, const char* format, ...)
    __attribute__((format(printf, 4, 5)));
void Skip(const char* file, int line, const char* format, ...) __attribute__((format(printf, 3, 4)));
void Trace(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Inside a todo block a failing check is expected and a passing one is an error, as in Wine.
class Todo {
public:
    explicit Todo(bool active);
    ~Todo();
    bool Once() { return m_first ? (m_first = false, true) : false; }

private:
    bool m_active;
    bool m_first = true;
    bool m_saved;
};

// Module whose resources (string table, dialog templates) the tests load.
HINSTANCE TestModule();

}  // namespace conformance

#define ok(cond, ...) ::conformance::Ok(!!(cond), __FILE__, __LINE__, __VA_ARGS__)
#define skip(...) ::conformance::Skip(__FILE__, __LINE__, __VA_ARGS__)
#define trace(...) ::conformance::Trace(__VA_ARGS__)
// A result real Windows or Wine may give but winsim must not.
#define broken(x) (!::conformance::OnSim() && (x))
// Known difference: the checks inside fail on winsim (todo_sim) or under Wine (todo_wine).
#define todo_sim for (::conformance::Todo todo_scope_(::conformance::OnSim()); todo_scope_.Once();)
#define todo_wine for (::conformance::Todo todo_scope_(!::conformance::OnSim()); todo_scope_.Once();)

#define START_TEST(name)                                                        \
    static void conformance_test_##name();                                     \
    static ::conformance::Registrar conformance_reg_##name(#name, conformance_test_##name); \
    static void conformance_test_##name()
