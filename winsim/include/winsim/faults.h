// Fault injection and call counting for every simulated Win32 call.
#pragma once

#include <winsim/wintypes.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

namespace winsim {

class Faults {
public:
    // Makes calls of `api` fail with `error`: after `skip` calls that match, the next `times`
    // matching calls fail (times < 0: every one). `match` narrows the rule to calls whose
    // main argument (a key path, file path, printer name...) it accepts; empty matches all.
    void Fail(const std::string& api, DWORD error, int times = -1, int skip = 0,
              std::function<bool(const std::string&)> match = {});
    // Ends the program at the (skip+1)th call of `api` that `match` accepts, before the call does anything, as
    // a killed process stops: SimAbort unwinds the program's stack, whatever it was in the middle of.
    void Kill(const std::string& api, int skip = 0, std::function<bool(const std::string&)> match = {});
    void Clear();

    // Called at the top of each simulated API: counts the call and reports whether it must
    // fail; when it must, the thread's last error is already set to the injected code.
    bool Hit(const char* api, const std::string& arg = std::string());

    int Calls(const std::string& api) const;
    // "api(arg)" for every call made, in order; handy for sequence assertions.
    const std::vector<std::string>& Trace() const { return m_trace; }

private:
    struct Rule {
        std::string api;
        DWORD error;
        int times;
        int skip;
        std::function<bool(const std::string&)> match;
        bool kill = false;
    };
    std::vector<Rule> m_rules;
    std::map<std::string, int> m_calls;
    std::vector<std::string> m_trace;
};

}  // namespace winsim

// Returns `failret` from the enclosing API when a fault is armed for it.
#define SIM_FAULT(api, arg, failret)                        \
    do {                                                    \
        if (::winsim::Current().faults.Hit((api), (arg)))   \
            return failret;                                 \
    } while (0)
