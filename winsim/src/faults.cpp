// Fault rules and call counts of the simulated machine.
#include <winsim/machine.h>

namespace winsim {

void Faults::Fail(const std::string& api, DWORD error, int times, int skip,
                  std::function<bool(const std::string&)> match) {
    m_rules.push_back(Rule{api, error, times, skip, std::move(match)});
}

void Faults::Kill(const std::string& api, int skip, std::function<bool(const std::string&)> match) {
    m_rules.push_back(Rule{api, 0, 1, skip, std::move(match), true});
}

void Faults::Clear() {
    m_rules.clear();
}

bool Faults::Hit(const char* api, const std::string& arg) {
    m_calls[api]++;
    m_trace.push_back(std::string(api) + "(" + arg + ")");
    for (Rule& r : m_rules) {
        if (r.api != api || r.times == 0)
            continue;
        if (r.match && !r.match(arg))
            continue;
        if (r.skip > 0) {
            r.skip--;
            continue;
        }
        if (r.times > 0)
            r.times--;
        if (r.kill)
            throw SimAbort("killed at " + m_trace.back());
        Current().lastError = r.error;
        return true;
    }
    return false;
}

int Faults::Calls(const std::string& api) const {
    auto it = m_calls.find(api);
    return it == m_calls.end() ? 0 : it->second;
}

}  // namespace winsim
