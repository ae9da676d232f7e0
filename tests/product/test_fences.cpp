// The change layer's fences, called directly: each row a path, the answer and why. The paths are
// read in the workstation's code page, so a machine is there.
#include <gtest/gtest.h>

#include "engine/Fences.h"
#include "workstation.h"

namespace {

struct KeyCase {
    HKEY root;
    const char* path;
    BOOL accepted;
    const char* why;
};

const KeyCase kKeyCases[] = {
    {HKEY_LOCAL_MACHINE, "SOFTWARE\\Brontal\\Printer A", TRUE, "a vendor's key three levels down"},
    {HKEY_LOCAL_MACHINE, "SOFTWARE\\Brontal\\Printer A\\", TRUE, "the spooler's trailing separator"},
    {HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Control\\Print\\Printers\\Brontal 1", TRUE, "one printer's key"},
    {HKEY_LOCAL_MACHINE, "", FALSE, "no path"},
    {HKEY_LOCAL_MACHINE, "SOFTWARE\\Brontal", FALSE, "fewer than three levels"},
    {HKEY_LOCAL_MACHINE, "SOFTWARE\\\\Brontal\\X", FALSE, "an empty part"},
    {HKEY_LOCAL_MACHINE, "SOFTWARE\\Brontal\\X\\\\", FALSE, "two trailing separators"},
    {HKEY_LOCAL_MACHINE, "SOFTWARE\\HKLM\\X", FALSE, "a part named like a root"},
    {HKEY_LOCAL_MACHINE, "SOFTWARE\\hkey_users\\X", FALSE, "a root's name in lower case"},
    {HKEY_LOCAL_MACHINE, "SOFTWARE\\...\\X", FALSE, "a part of dots only"},
    {HKEY_LOCAL_MACHINE, "SOFTWARE\\Brontal\\ . ", FALSE, "a part of dots and blanks"},
    {HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Control\\Print\\Printers", FALSE, "every printer's key"},
    {HKEY_LOCAL_MACHINE, "system\\ControlSet001\\control\\print\\printers\\", FALSE,
     "every printer's key, another control set, other case"},
    {HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Control", FALSE, "a key above every printer's"},
    {HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Control\\Print\\Environments\\Windows NT x86\\Drivers\\Version-3",
     FALSE, "every driver's key"},
    {HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Services\\Spooler", FALSE, "a service's key"},
    {HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run", FALSE, "the programs started at logon"},
    {HKEY_CURRENT_USER, "Software\\Brontal\\Settings", TRUE, "a vendor's key of the user"},
    {HKEY_CURRENT_USER, "Software\\Microsoft\\Windows NT\\CurrentVersion\\Devices", FALSE, "the user's device list"},
    {HKEY_CURRENT_USER, "Printers\\Connections", FALSE, "fewer than three levels, every connection"},
    {HKEY_USERS, "S-1-5-21-1\\Software\\Brontal", TRUE, "a vendor's key of one user"},
    {HKEY_USERS, "S-1-5-21-1\\Printers\\Connections", FALSE, "one user's every connection"},
    {HKEY_USERS, "S-1-5-21-1\\Printers\\DevModes2\\", FALSE, "one user's every printer setting"},
    {HKEY_CLASSES_ROOT, "CLSID\\{0}\\InprocServer32", FALSE, "a root the removal never deletes under"},
};

TEST(Fences, KeyTreesTheRemovalMayDelete) {
    Workstation ws;
    for (const KeyCase& c : kKeyCases) {
        SCOPED_TRACE(c.why);
        EXPECT_EQ(c.accepted, IsOwnKeyPath(c.root, c.path)) << c.path;
    }
}

struct FileCase {
    const char* path;
    const char* dir;
    BOOL inside;  // IsInsideDirectory
    BOOL joined;  // IsJoinedName
    const char* why;
};

const FileCase kFileCases[] = {
    {"C:\\DRV\\a.dll", "C:\\DRV", TRUE, TRUE, "a file of the folder"},
    {"C:\\DRV\\3\\a.dll", "C:\\DRV", TRUE, TRUE, "a file of a folder inside"},
    {"c:\\drv\\A.DLL", "C:\\Drv", TRUE, FALSE, "the folder in other case: inside, not joined to its spelling"},
    {"C:\\DRV/a.dll", "C:\\DRV", TRUE, FALSE, "a forward slash: inside, not joined by a backslash"},
    {"C:\\DRV\\sub\\..\\a.dll", "C:\\DRV", TRUE, TRUE, "a climb that stays inside"},
    {"C:\\DRV\\..\\a.dll", "C:\\DRV", FALSE, FALSE, "a climb out of the folder"},
    {"C:\\DRV\\..\\..\\..\\a.dll", "C:\\DRV", FALSE, FALSE, "a climb above the drive"},
    {"C:\\DRV\\\\a.dll", "C:\\DRV", TRUE, FALSE, "a doubled separator"},
    {"C:\\DRV", "C:\\DRV", FALSE, FALSE, "the folder itself"},
    {"C:\\DRV\\", "C:\\DRV", FALSE, FALSE, "the folder with a trailing separator"},
    {"C:\\DRVX\\a.dll", "C:\\DRV", FALSE, FALSE, "a folder beside it with a longer name"},
    {"D:\\DRV\\a.dll", "C:\\DRV", FALSE, FALSE, "another drive"},
    {"a.dll", "C:\\DRV", FALSE, FALSE, "a relative name"},
    {"C:\\DRV\\D:\\a.dll", "C:\\DRV", FALSE, FALSE, "a drive inside the name"},
    {"C:\\DRV\\C:a.dll", "C:\\DRV", FALSE, FALSE, "a drive-relative name"},
    {"C:\\DRV\\...\\a.dll", "C:\\DRV", FALSE, FALSE, "a part of dots only"},
    {"\\\\SRV\\SHARE\\DRV\\a.dll", "\\\\srv\\share\\drv", TRUE, FALSE, "a share, other case"},
    {"\\\\SRV\\SHARE\\DRV\\a.dll", "\\\\SRV\\SHARE\\DRV", TRUE, TRUE, "a share"},
    {"\\\\SRV\\OTHER\\DRV\\a.dll", "\\\\SRV\\SHARE\\DRV", FALSE, FALSE, "another share"},
    {"", "C:\\DRV", FALSE, FALSE, "no path"},
};

TEST(Fences, FilesInsideTheDriverFolder) {
    Workstation ws;
    for (const FileCase& c : kFileCases) {
        SCOPED_TRACE(c.why);
        EXPECT_EQ(c.inside, IsInsideDirectory(c.path, c.dir)) << c.path << " in " << c.dir;
        EXPECT_EQ(c.joined, IsJoinedName(c.path, c.dir)) << c.path << " in " << c.dir;
    }
}

TEST(Fences, NoPathIsNeverAccepted) {
    Workstation ws;
    EXPECT_FALSE(IsOwnKeyPath(HKEY_LOCAL_MACHINE, NULL));
    EXPECT_FALSE(IsInsideDirectory(NULL, "C:\\DRV"));
    EXPECT_FALSE(IsInsideDirectory("C:\\DRV\\a.dll", NULL));
    EXPECT_FALSE(IsJoinedName(NULL, "C:\\DRV"));
}

}  // namespace
