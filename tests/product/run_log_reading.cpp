// Reading a whole run back in tests.
#include "run_log_reading.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>

#include "jsonl.h"
#include "removal_fixture.h"

namespace {

std::string Upper(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return (char)toupper(c); });
    return s;
}

}  // namespace

void SeedOffice(RemovalStation& st) {
    st.AddOfficeAndPlain();
    SeedRegistryTraces(st.ws, "Office", "Brontal Office", "SOFTWARE\\Brontal\\Data\\Office");
}

std::vector<Fields> ReadLog(RemovalStation& st, const std::string& path) {
    auto text = st.ws->files.ReadFile(path);
    EXPECT_TRUE(text.has_value()) << path;
    bool ok = false;
    auto lines = ParseJsonLines(text.value_or(""), &ok);
    EXPECT_TRUE(ok) << *text;
    return lines;
}

std::vector<Fields> Events(const std::vector<Fields>& log, const std::string& event) {
    std::vector<Fields> out;
    for (const Fields& f : log) {
        auto e = f.find("event");
        if (e != f.end() && e->second == event)
            out.push_back(f);
    }
    return out;
}

std::vector<std::string> Without(std::vector<std::string> diff, const std::vector<std::string>& paths) {
    diff.erase(std::remove_if(diff.begin(), diff.end(),
                              [&](const std::string& d) {
                                  for (const std::string& p : paths) {
                                      if (d.substr(1) == "F|" + Upper(p))
                                          return true;
                                  }
                                  return false;
                              }),
               diff.end());
    return diff;
}

std::vector<std::string> ChangeLines(const std::vector<Fields>& log) {
    std::vector<std::string> out;
    for (const Fields& f : log) {
        if (f.at("event") != "change" && f.at("event") != "companion")
            continue;
        std::string line = f.count("kind") ? f.at("kind") : "companion";
        for (const char* field : {"root", "path", "value", "file", "printer", "service", "library", "source"}) {
            if (f.count(field))
                line += " " + f.at(field);
        }
        const std::string outcome = f.at("outcome");
        if (outcome != "done" && outcome != "would")
            line += " " + outcome + " " + f.at("result");
        out.push_back(line);
    }
    return out;
}
