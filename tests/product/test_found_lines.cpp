// The log's "found" lines of a detection run, and their echo to a redirected standard output (a file or a
// pipe), read back as a deployment tool reads them.
#include <gtest/gtest.h>

#include <winsim/machine.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "afx/afxhandles.h"
#include "engine/MonitorTraces.h"
#include "engine/RunLog.h"
#include "jsonl.h"
#include "tavq_fixture.h"
#include "workstation.h"

namespace {

using Fields = std::map<std::string, std::string>;

const char kLog[] = "C:\\found.log";
const char kDriverKey[] =
    "SYSTEM\\CurrentControlSet\\Control\\Print\\Environments\\Windows NT x86\\Drivers\\Version-3\\Brontal 3200";

class FoundLines : public ::testing::Test {
protected:
    FoundLines() { ws->files.CreateDirectory(ws->shell.DesktopDirectory()); }
    ~FoundLines() override {
        RunLog().EchoFoundTo(NULL);
        RunLog().Close();
        SetStdHandle(STD_OUTPUT_HANDLE, NULL);
    }

    std::string Text(const std::string& path) { return ws->files.ReadFile(path).value_or(""); }

    std::vector<Fields> Lines(const std::string& text) {
        bool ok = false;
        auto lines = ParseJsonLines(text, &ok);
        EXPECT_TRUE(ok) << text;
        return lines;
    }

    // Everything a pipe holds once its write end is closed.
    static std::string Drain(HANDLE reader) {
        std::string out;
        char buffer[64];
        DWORD read = 0;
        while (ReadFile(reader, buffer, sizeof(buffer), &read, NULL) && read > 0)
            out.append(buffer, read);
        EXPECT_EQ((DWORD)ERROR_BROKEN_PIPE, GetLastError());
        return out;
    }

    Workstation ws;
};

TEST_F(FoundLines, EachKindNamesWhereItIs) {
    PlaceTallyvueTraces(ws.machine());
    ASSERT_EQ((DWORD)ERROR_SUCCESS, RunLog().Open(kLog));

    RunLog().FoundPrinter("Brontal 4500 PS", "Brontal 4500 PS", "uim");
    RunLog().FoundDriver("Brontal 3200", 3, kDriverKey, "C:\\WINDOWS\\system32\\spool\\drivers\\w32x86\\3\\BR3200.PPD",
                         "marker");
    for (const MonitorTrace& trace : FindMonitorTraces())
        RunLog().FoundMonitorTrace(trace);
    RunLog().Close();

    const std::vector<Fields> expected = {
        {{"event", "found"}, {"kind", "printer"}, {"name", "Brontal 4500 PS"}, {"driver", "Brontal 4500 PS"},
         {"evidence", "uim"}},
        {{"event", "found"},
         {"kind", "driver"},
         {"driver", "Brontal 3200"},
         {"version", "3"},
         {"root", "HKEY_LOCAL_MACHINE"},
         {"path", kDriverKey},
         {"data_file", "C:\\WINDOWS\\system32\\spool\\drivers\\w32x86\\3\\BR3200.PPD"},
         {"evidence", "marker"}},
        {{"event", "found"}, {"kind", "monitor"}, {"trace", "shortcut"}, {"file", TallyvueShortcut(ws.machine())}},
        {{"event", "found"},
         {"kind", "monitor"},
         {"trace", "autostart"},
         {"root", "HKEY_CURRENT_USER"},
         {"path", "SOFTWARE\\MICROSOFT\\WINDOWS\\CURRENTVERSION\\RUN"},
         {"value", "Norix Tallyvue"}},
        {{"event", "found"},
         {"kind", "monitor"},
         {"trace", "settings"},
         {"root", "HKEY_CURRENT_USER"},
         {"path", "SOFTWARE\\Norix\\Tallyvue"}},
        {{"event", "found"}, {"kind", "monitor"}, {"trace", "folder"}, {"folder", TallyvueFolder(ws.machine())}},
    };
    EXPECT_EQ(expected, Lines(Text(kLog)));
}

TEST_F(FoundLines, NamesFromTheJapaneseCodePageComeOutAsUtf8) {
    ws->system.SetLocale(0x0411);
    ASSERT_EQ((DWORD)ERROR_SUCCESS, RunLog().Open(kLog));
    // "表示" in code page 932: the second byte of 表 is 0x5C, a backslash in ASCII.
    const std::string name = "Brontal \x95\x5C\x8E\xA6";
    RunLog().FoundPrinter(name.c_str(), name.c_str(), "no_driver");
    RunLog().Close();

    const auto lines = Lines(Text(kLog));
    ASSERT_EQ(1u, lines.size());
    EXPECT_EQ("Brontal \xE8\xA1\xA8\xE7\xA4\xBA", lines[0].at("name"));
    EXPECT_EQ("no_driver", lines[0].at("evidence"));
}

// Where standard output goes, and whether a log file is open besides.
struct EchoCase {
    const char* name;
    bool pipe;
    bool log;
};

const EchoCase kEchoes[] = {
    {"FileWithLog", false, true},
    {"FileWithoutLog", false, false},
    {"PipeWithLog", true, true},
    {"PipeWithoutLog", true, false},
};

void PrintTo(const EchoCase& c, std::ostream* os) {
    *os << c.name;
}

class FoundEcho : public FoundLines, public ::testing::WithParamInterface<EchoCase> {};

TEST_P(FoundEcho, FoundLinesAndOnlyThoseGoToStandardOutputUntilStopped) {
    PlaceTallyvueTraces(ws.machine());
    HANDLE reader = NULL, writer = NULL;
    if (GetParam().pipe) {
        ASSERT_TRUE(CreatePipe(&reader, &writer, NULL, 0));
    } else {
        writer = CreateFileA("C:\\stdout.txt", GENERIC_WRITE, FILE_SHARE_READ, NULL, CREATE_ALWAYS, 0, NULL);
        ASSERT_NE(INVALID_HANDLE_VALUE, writer);
    }
    ASSERT_TRUE(SetStdHandle(STD_OUTPUT_HANDLE, writer));
    if (GetParam().log)
        ASSERT_EQ((DWORD)ERROR_SUCCESS, RunLog().Open(kLog));

    RunLog().EchoFoundTo(RedirectedStdOutput());
    RunLog().UsageError("not a found line");
    RunLog().FoundPrinter("Brontal 4500 PS", "Brontal 4500 PS", "marker");
    for (const MonitorTrace& trace : FindMonitorTraces())
        RunLog().FoundMonitorTrace(trace);
    RunLog().Outcome(1);
    RunLog().EchoFoundTo(NULL);
    RunLog().FoundPrinter("After the echo", "Brontal 4500 PS", "uim");
    RunLog().Close();

    SetStdHandle(STD_OUTPUT_HANDLE, NULL);
    CloseHandle(writer);
    const std::string echoed = GetParam().pipe ? Drain(reader) : Text("C:\\stdout.txt");
    if (reader)
        CloseHandle(reader);

    const auto lines = Lines(echoed);
    ASSERT_EQ(5u, lines.size()) << echoed;
    EXPECT_EQ("printer", lines[0].at("kind"));
    EXPECT_EQ("Brontal 4500 PS", lines[0].at("name"));
    const std::vector<std::string> traces = {lines[1].at("trace"), lines[2].at("trace"), lines[3].at("trace"),
                                             lines[4].at("trace")};
    EXPECT_EQ((std::vector<std::string>{"shortcut", "autostart", "settings", "folder"}), traces);
    if (GetParam().log) {
        // The log has every line; its found lines while the echo ran are the echo, byte for byte.
        const std::string log = Text(kLog);
        const size_t first = log.find('\n') + 1;
        const size_t outcome = log.find("{\"event\":\"outcome\"");
        ASSERT_NE(std::string::npos, outcome) << log;
        EXPECT_EQ(echoed, log.substr(first, outcome - first));
        const auto logged = Lines(log);
        ASSERT_EQ(8u, logged.size()) << log;
        EXPECT_EQ("usage_error", logged.front().at("event"));
        EXPECT_EQ("After the echo", logged.back().at("name"));
    } else {
        EXPECT_FALSE(ws->files.Exists(kLog));
    }
}

INSTANTIATE_TEST_SUITE_P(Outputs, FoundEcho, ::testing::ValuesIn(kEchoes),
                         [](const ::testing::TestParamInfo<EchoCase>& info) { return std::string(info.param.name); });

TEST_F(FoundLines, APipeNobodyReadsAnyMoreLeavesTheLogWhole) {
    HANDLE reader = NULL, writer = NULL;
    ASSERT_TRUE(CreatePipe(&reader, &writer, NULL, 0));
    CloseHandle(reader);
    ASSERT_EQ((DWORD)ERROR_SUCCESS, RunLog().Open(kLog));

    RunLog().EchoFoundTo(writer);
    RunLog().FoundPrinter("Brontal 4500 PS", "Brontal 4500 PS", "uim");
    RunLog().FoundDriver("Brontal 3200", 3, kDriverKey, "C:\\BR3200.PPD", "uim");
    RunLog().Close();
    CloseHandle(writer);

    const auto lines = Lines(Text(kLog));
    ASSERT_EQ(2u, lines.size());
    EXPECT_EQ("driver", lines[1].at("kind"));
}

// What the program's standard output is when it starts, and whether that counts as redirected.
struct StdOutputCase {
    const char* name;
    std::function<HANDLE(winsim::Machine&)> make;
    bool redirected;
};

const StdOutputCase kOutputs[] = {
    {"None", [](winsim::Machine&) { return (HANDLE)NULL; }, false},
    {"InvalidHandleValue", [](winsim::Machine&) { return INVALID_HANDLE_VALUE; }, false},
    {"ClosedHandle",
     [](winsim::Machine&) {
         HANDLE h = CreateFileA("C:\\gone.txt", GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
         CloseHandle(h);
         return h;
     },
     false},
    {"File",
     [](winsim::Machine&) {
         return CreateFileA("C:\\out.txt", GENERIC_WRITE, FILE_SHARE_READ, NULL, CREATE_ALWAYS, 0, NULL);
     },
     true},
    {"Pipe",
     [](winsim::Machine&) {
         HANDLE reader = NULL, writer = NULL;
         CreatePipe(&reader, &writer, NULL, 0);
         return writer;
     },
     true},
};

void PrintTo(const StdOutputCase& c, std::ostream* os) {
    *os << c.name;
}

class StdOutput : public ::testing::TestWithParam<StdOutputCase> {
protected:
    Workstation ws;
};

TEST_P(StdOutput, RedirectedOnlyToAFileOrAPipe) {
    HANDLE out = GetParam().make(ws.machine());
    ASSERT_TRUE(SetStdHandle(STD_OUTPUT_HANDLE, out));

    EXPECT_EQ(GetParam().redirected ? out : (HANDLE)NULL, RedirectedStdOutput());
}

INSTANTIATE_TEST_SUITE_P(Handles, StdOutput, ::testing::ValuesIn(kOutputs),
                         [](const ::testing::TestParamInfo<StdOutputCase>& info) { return std::string(info.param.name); });

}  // namespace
