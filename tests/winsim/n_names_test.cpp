// Unit tests of the machine's one case-insensitive name form: the same rule in the registry, the file system,
// the spooler and the module list, under code pages 1252 and 932.
#include <gtest/gtest.h>
#include <windows.h>
#include <winspool.h>
#include <mbstring.h>
#include <winsim/codepage.h>
#include <winsim/machine.h>

namespace {

// Under 932, 0x83 0x61 and 0x83 0x41 are two different katakana whose trail bytes look like 'a' and 'A'.
const char kSmallA[] = "\x83\x61";
const char kBigA[] = "\x83\x41";

void UseCodePage(winsim::Machine& m, unsigned cp) {
    if (cp == 932)
        m.system.SetLocale(0x0411);
    m.system.acp = cp;
}

TEST(Names, AsciiLettersFoldAndDoubleByteCharactersStayWhole) {
    EXPECT_EQ(winsim::NameKey("Printers\\Office-1", 1252), "PRINTERS\\OFFICE-1");
    EXPECT_EQ(winsim::NameKey(std::string(kSmallA) + "b", 932), std::string(kSmallA) + "B");
    EXPECT_EQ(winsim::NameKey(kSmallA, 1252), "\x83\x41");  // two single-byte characters there
    // Bytes above 0x7F are never folded, whatever the code page.
    EXPECT_EQ(winsim::NameKey("\xe9\xe0", 1252), "\xe9\xe0");

    winsim::ScopedMachine m;
    EXPECT_TRUE(winsim::NamesEqual("Brontal PS", "BRONTAL ps"));
    EXPECT_FALSE(winsim::NamesEqual("Brontal", "Brontal "));
    EXPECT_TRUE(winsim::NamesEqual(kSmallA, kBigA));  // 1252: the second byte is a letter
    EXPECT_EQ(_mbsicmp((const unsigned char*)kSmallA, (const unsigned char*)kBigA), 0);
    UseCodePage(*m, 932);
    EXPECT_FALSE(winsim::NamesEqual(kSmallA, kBigA));
    EXPECT_NE(_mbsicmp((const unsigned char*)kSmallA, (const unsigned char*)kBigA), 0);
    EXPECT_EQ(_mbsicmp((const unsigned char*)"\x83\x61x", (const unsigned char*)"\x83\x61X"), 0);
    EXPECT_TRUE(winsim::NamesEqual(std::string(kSmallA) + "x", std::string(kSmallA) + "X"));
}

// Each part of the machine stores a name with the trail byte 'a' and is asked for the one with 'A'.
struct Lookup {
    const char* what;
    void (*store)(winsim::Machine&, const std::string&);
    bool (*find)(winsim::Machine&, const std::string&);
};

const Lookup kLookups[] = {
    {"registry key",
     [](winsim::Machine& m, const std::string& n) { m.registry.CreateKey("HKLM\\SOFTWARE\\" + n); },
     [](winsim::Machine&, const std::string& n) {
         HKEY key;
         if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, ("SOFTWARE\\" + n).c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
             return false;
         RegCloseKey(key);
         return true;
     }},
    {"registry value",
     [](winsim::Machine& m, const std::string& n) { m.registry.SetString("HKLM\\SOFTWARE\\V", n, "x"); },
     [](winsim::Machine&, const std::string& n) {
         HKEY key;
         if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\V", 0, KEY_READ, &key) != ERROR_SUCCESS)
             return false;
         DWORD cb = 0;
         LONG r = RegQueryValueExA(key, n.c_str(), nullptr, nullptr, nullptr, &cb);
         RegCloseKey(key);
         return r == ERROR_SUCCESS;
     }},
    {"file", [](winsim::Machine& m, const std::string& n) { m.files.WriteFile("C:\\" + n + ".txt", "x"); },
     [](winsim::Machine&, const std::string& n) {
         return GetFileAttributesA(("C:\\" + n + ".txt").c_str()) != INVALID_FILE_ATTRIBUTES;
     }},
    {"file search",
     [](winsim::Machine& m, const std::string& n) { m.files.WriteFile("C:\\D\\" + n + ".txt", "x"); },
     [](winsim::Machine&, const std::string& n) {
         WIN32_FIND_DATAA fd;
         HANDLE h = FindFirstFileA(("C:\\D\\" + n + "*").c_str(), &fd);
         if (h == INVALID_HANDLE_VALUE)
             return false;
         FindClose(h);
         return true;
     }},
    {"printer",
     [](winsim::Machine& m, const std::string& n) {
         winsim::PrinterSetup p;
         p.name = n;
         p.driver = "Drv";
         m.spooler.AddPrinter(p);
     },
     [](winsim::Machine&, const std::string& n) {
         HANDLE h = nullptr;
         if (!OpenPrinterA(const_cast<LPSTR>(n.c_str()), &h, nullptr))
             return false;
         ClosePrinter(h);
         return true;
     }},
    {"module", [](winsim::Machine& m, const std::string& n) { m.modules.Register("C:\\M\\" + n + ".dll", {}); },
     [](winsim::Machine&, const std::string& n) {
         HMODULE h = LoadLibraryA(("C:\\M\\" + n + ".dll").c_str());
         if (!h)
             return false;
         FreeLibrary(h);
         return true;
     }},
};

TEST(Names, EveryPartOfTheMachineUsesTheSameRule) {
    for (const Lookup& l : kLookups) {
        SCOPED_TRACE(l.what);
        for (unsigned cp : {1252u, 932u}) {
            winsim::ScopedMachine m;
            UseCodePage(*m, cp);
            l.store(*m, std::string(kSmallA) + "name");
            EXPECT_TRUE(l.find(*m, std::string(kSmallA) + "NAME")) << "ASCII case, code page " << cp;
            // 1252 folds the 'a' byte like any letter; 932 keeps the character it belongs to.
            EXPECT_EQ(l.find(*m, std::string(kBigA) + "name"), cp == 1252) << "trail byte, code page " << cp;
        }
    }
}

}  // namespace
