// The command line: one interactive run, or one hidden run per named printer.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/TrellinApp.h"
#include "ui/resource.h"
#include "snapshot.h"
#include "workstation.h"

namespace {

struct CommandLineCase {
    const char* what;
    std::string arguments;
    bool interactive;
    std::vector<std::string> names;  // trimmed, in run order
};

// The printers whose keys a run deleted, in the order it deleted them: the names the runs received.
std::vector<std::string> RemovedPrinters(const ChangeRecorder& recorder) {
    const std::string prefix = "SYSTEM\\CurrentControlSet\\Control\\Print\\Printers\\";
    std::vector<std::string> names;
    for (const ChangeEvent& e : recorder.events) {
        std::string target = (LPCSTR)e.target;
        if (e.kind == CHANGE_DELETE_KEY && e.root == HKEY_LOCAL_MACHINE && target.rfind(prefix, 0) == 0 &&
            target.find('\\', prefix.size()) == std::string::npos)
            names.push_back(target.substr(prefix.size()));
    }
    return names;
}

}  // namespace

TEST(CommandLine, RunsOneDialogPerNameInOrder) {
    const CommandLineCase cases[] = {
        {"empty", "", true, {}},
        {"blanks only", "   \t ", true, {}},
        {"one name", "Brontal 4500 PS", false, {"Brontal 4500 PS"}},
        {"two names with blanks around each", "  Alpha ,\tBeta  ", false, {"Alpha", "Beta"}},
        {"every white-space character is trimmed", "\v\fAlpha\r\n", false, {"Alpha"}},
        {"an empty name between two commas", "A,,B", false, {"A", "", "B"}},
        {"six names give five runs", "A,B,C,D,E,F", false, {"A", "B", "C", "D", "E"}},
        {"a fifth slot takes no more than its name", "A,B,C,D,E,F,G", false, {"A", "B", "C", "D", "E"}},
        {"quotation marks stay part of the name", "\"Brontal 4500 PS\"", false, {"\"Brontal 4500 PS\""}},
        {"a trailing comma names nothing more", "A,", false, {"A"}},
        {"a lone comma is one empty name", ",", false, {""}},
        {"two commas are two empty names", ",,", false, {"", ""}},
    };
    for (const CommandLineCase& c : cases) {
        SCOPED_TRACE(c.what);
        Workstation ws;
        // Every name a run may receive is a Brontal printer of its own: the removals show which ran.
        std::vector<std::string> installed = {"Brontal 4500 PS", "Alpha", "Beta", "A", "B", "C", "D", "E", "F", "G",
                                              "\"Brontal 4500 PS\"", " Alpha "};
        for (size_t i = 0; i < installed.size(); ++i) {
            ws.AddUimDriver("Driver " + std::to_string(i), "P" + std::to_string(i) + ".PPD");
            ws.AddPrinter(installed[i], "Driver " + std::to_string(i));
        }
        if (c.interactive)
            ws->user.On(IDD_TRELLIN_DIALOG).PressEsc();
        ChangeRecorder recorder;
        ws.Run(c.arguments);

        const auto& dialogs = ws->ui.Dialogs();
        if (c.interactive) {
            ASSERT_EQ(dialogs.size(), 1u);
            EXPECT_TRUE(dialogs[0].everVisible);
            EXPECT_EQ(dialogs[0].result, IDCANCEL);
        } else {
            std::vector<std::string> removed;
            for (const std::string& name : c.names) {
                if (!name.empty())
                    removed.push_back(name);
            }
            EXPECT_EQ(RemovedPrinters(recorder), removed);
            ASSERT_EQ(dialogs.size(), c.names.size());
            for (const winsim::DialogRecord& d : dialogs) {
                EXPECT_EQ(d.caption, "Brontal Driver Uninstall Tool");
                EXPECT_TRUE(d.modal);
                EXPECT_FALSE(d.everVisible) << "a command-line run never shows its dialog";
                EXPECT_EQ(d.result, 1);
                EXPECT_TRUE(d.destroyed);
            }
        }
        EXPECT_TRUE(ws->user.Unused().empty());
    }
}

TEST(CommandLine, EachRunLoadsAndFreesTheLanguageLibraryAndTheFont) {
    Workstation ws;
    ws.Run("A,B,C");
    EXPECT_EQ(ws->modules.LoadsTotal("us_res.dll"), 3);
    EXPECT_EQ(ws->modules.FreesTotal("us_res.dll"), 3);
    EXPECT_EQ(ws->gdi.FontsCreated(), 3);
    EXPECT_EQ(ws->gdi.LiveFonts(), 0);
    // A command-line run never shows the busy cursor.
    for (HCURSOR cursor : ws->gdi.cursorHistory)
        EXPECT_NE(ws->gdi.CursorName(cursor), "IDC_APPSTARTING");
}

TEST(CommandLine, ProgramNameIsSkippedWhetherQuotedOrNot) {
    struct Case {
        const char* commandLine;
        const char* rest;
    } cases[] = {
        {"\"C:\\Program Files\\Trellin\\Trellin.exe\" A,B", "A,B"},
        {"C:\\Trellin\\Trellin.exe   A", "A"},
        {"Trellin.exe", ""},
        {"\"C:\\Program Files\\Trellin\\Trellin.exe\"", ""},
        {"Trellin.exe \t\x01 A", "A"},
    };
    for (const Case& c : cases) {
        std::string line = c.commandLine;
        EXPECT_STREQ(AfxSkipProgramName(&line[0]), c.rest) << c.commandLine;
    }
}
