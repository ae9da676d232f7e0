// System facts of the simulated machine: versions and folders per Windows release, locales, handles, global memory.
#include "k_internal.h"

#include <winsim/codepage.h>

#include <stdlib.h>
#include <string.h>

namespace winsim {

namespace {

struct OsData {
    Os os;
    DWORD platformId, major, minor, build;
    const char* csd;
    WORD spMajor;
    const char* windowsDir;
    const char* systemDir;
};

// Build numbers and service packs as Wine reports them for its version settings.
const OsData kOsTable[] = {
    {Os::Win95, 1, 4, 0, 950, "", 0, "C:\\WINDOWS", "C:\\WINDOWS\\SYSTEM"},
    {Os::Win98, 1, 4, 10, 2222, " A ", 0, "C:\\WINDOWS", "C:\\WINDOWS\\SYSTEM"},
    {Os::WinMe, 1, 4, 90, 3000, " ", 0, "C:\\WINDOWS", "C:\\WINDOWS\\SYSTEM"},
    {Os::NT4, 2, 4, 0, 1381, "Service Pack 6a", 6, "C:\\WINNT", "C:\\WINNT\\system32"},
    {Os::Win2000, 2, 5, 0, 2195, "Service Pack 4", 4, "C:\\WINNT", "C:\\WINNT\\system32"},
    {Os::WinXP, 2, 5, 1, 2600, "Service Pack 3", 3, "C:\\WINDOWS", "C:\\WINDOWS\\system32"},
    {Os::Win2003, 2, 5, 2, 3790, "Service Pack 2", 2, "C:\\WINDOWS", "C:\\WINDOWS\\system32"},
    {Os::Vista, 2, 6, 0, 6002, "Service Pack 2", 2, "C:\\Windows", "C:\\Windows\\system32"},
    {Os::Win7, 2, 6, 1, 7601, "Service Pack 1", 1, "C:\\Windows", "C:\\Windows\\system32"},
};

const LocaleData kLocales[] = {
    {0x0409, "English", "English (United States)", "ENU", "English", "United States", "1", "en", "US", 1252, 437},
    {0x0411, "Japanese", "Japanese", "JPN", "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E", "Japan", "81", "ja", "JP", 932,
     932},
    {0x040C, "French", "French (France)", "FRA", "fran\xC3\xA7" "ais", "France", "33", "fr", "FR", 1252, 850},
    {0x0410, "Italian", "Italian (Italy)", "ITA", "italiano", "Italy", "39", "it", "IT", 1252, 850},
    {0x0407, "German", "German (Germany)", "DEU", "Deutsch", "Germany", "49", "de", "DE", 1252, 850},
    {0x0C0A, "Spanish", "Spanish (Spain)", "ESN", "espa\xC3\xB1ol", "Spain", "34", "es", "ES", 1252, 850},
    {0x0413, "Dutch", "Dutch (Netherlands)", "NLD", "Nederlands", "Netherlands", "31", "nl", "NL", 1252, 850},
    {0x0416, "Portuguese", "Portuguese (Brazil)", "PTB", "portugu\xC3\xAAs", "Brazil", "55", "pt", "BR", 1252, 850},
};

}  // namespace

const LocaleData* FindLocale(LCID lcid) {
    for (const LocaleData& l : kLocales)
        if (l.lcid == (lcid & 0xFFFF))
            return &l;
    return nullptr;
}

const LocaleData& UserLocale(const SystemInfo& system) {
    const LocaleData* byId = FindLocale(system.lcid);
    if (byId && system.language == byId->englishLanguage)
        return *byId;
    for (const LocaleData& l : kLocales)
        if (system.language == l.englishLanguage)
            return l;
    return byId ? *byId : kLocales[0];
}

bool IsLead(unsigned char c) {
    return c >= 0x80 && HasCurrent() && IsLeadByte(c, Current().system.acp);
}

std::vector<std::string> SplitParts(const std::string& path, bool slashes) {
    std::vector<std::string> parts;
    std::string cur;
    for (size_t i = 0; i < path.size(); ++i) {
        unsigned char c = (unsigned char)path[i];
        if (IsLead(c) && i + 1 < path.size()) {
            cur += path[i];
            cur += path[++i];
        } else if (c == '\\' || (slashes && c == '/')) {
            if (!cur.empty())
                parts.push_back(cur);
            cur.clear();
        } else {
            cur += char(c);
        }
    }
    if (!cur.empty())
        parts.push_back(cur);
    return parts;
}

DWORD CopyOut(const std::string& value, char* buffer, DWORD size) {
    if (!buffer || size < value.size() + 1)
        return DWORD(value.size() + 1);
    memcpy(buffer, value.c_str(), value.size() + 1);
    return DWORD(value.size());
}

// ---- SystemInfo ----

SystemInfo::SystemInfo() {
    SetOs(Os::WinXP);
}

void SystemInfo::SetOs(Os newOs) {
    for (const OsData& d : kOsTable) {
        if (d.os != newOs)
            continue;
        os = d.os;
        platformId = d.platformId;
        major = d.major;
        minor = d.minor;
        build = d.build;
        csdVersion = d.csd;
        servicePackMajor = d.spMajor;
        servicePackMinor = 0;
        windowsDir = d.windowsDir;
        systemDir = d.systemDir;
    }
    switch (newOs) {
    case Os::Win95:
    case Os::Win98:
    case Os::WinMe:
        tempDir = windowsDir + "\\TEMP\\";
        break;
    case Os::NT4:
        tempDir = "C:\\TEMP\\";
        break;
    case Os::Win2000:
    case Os::WinXP:
    case Os::Win2003:
        // Real machines give the short form (C:\DOCUME~1\...\LOCALS~1\Temp\); short names are not modelled.
        tempDir = "C:\\Documents and Settings\\" + userName + "\\Local Settings\\Temp\\";
        break;
    case Os::Vista:
    case Os::Win7:
        tempDir = "C:\\Users\\" + userName + "\\AppData\\Local\\Temp\\";
        break;
    }
    ResetEnvironment();
    if (HasCurrent() && &Current().system == this) {
        FileSystem& files = Current().files;
        files.CreateDirectory(windowsDir);
        files.CreateDirectory(systemDir);
        files.CreateDirectory(tempDir);
    }
}

void SystemInfo::SetLocale(LCID newLcid) {
    const LocaleData* l = FindLocale(newLcid);
    if (!l)
        return;
    lcid = l->lcid;
    language = l->englishLanguage;
    acp = l->acp;
    oemcp = l->oemcp;
}

void SystemInfo::ResetEnvironment() {
    std::string temp = tempDir.substr(0, tempDir.size() - 1);
    env.clear();
    env["windir"] = windowsDir;
    env["TEMP"] = temp;
    env["TMP"] = temp;
    env["COMPUTERNAME"] = computerName;
    if (Is9x()) {
        env["PATH"] = windowsDir + ";" + windowsDir + "\\COMMAND";
        env["COMSPEC"] = windowsDir + "\\COMMAND.COM";
        env["PROMPT"] = "$p$g";
        return;
    }
    env["OS"] = "Windows_NT";
    env["SystemRoot"] = windowsDir;
    env["SystemDrive"] = "C:";
    env["Path"] = systemDir + ";" + windowsDir + ";" + systemDir + "\\Wbem";
    env["PATHEXT"] = ".COM;.EXE;.BAT;.CMD";
    env["ComSpec"] = systemDir + "\\cmd.exe";
    env["ProgramFiles"] = "C:\\Program Files";
    env["USERNAME"] = userName;
    env["USERDOMAIN"] = computerName;
    std::string profiles = major >= 6 ? "C:\\Users" : os == Os::NT4 ? windowsDir + "\\Profiles" : "C:\\Documents and Settings";
    env["USERPROFILE"] = profiles + "\\" + userName;
    env["ALLUSERSPROFILE"] = major >= 6 ? "C:\\ProgramData" : profiles + "\\All Users";
    env["HOMEDRIVE"] = "C:";
}

// ---- HandleTable ----

HANDLE HandleTable::Add(std::shared_ptr<KernelObject> object) {
    uintptr_t h = m_next;
    m_next += 4;
    m_objects[h] = std::move(object);
    return reinterpret_cast<HANDLE>(h);
}

std::shared_ptr<KernelObject> HandleTable::Find(HANDLE handle) const {
    auto it = m_objects.find(reinterpret_cast<uintptr_t>(handle));
    return it == m_objects.end() ? nullptr : it->second;
}

bool HandleTable::Remove(HANDLE handle) {
    return m_objects.erase(reinterpret_cast<uintptr_t>(handle)) != 0;
}

size_t HandleTable::Live(const char* kind) const {
    if (!kind)
        return m_objects.size();
    size_t n = 0;
    for (const auto& o : m_objects)
        if (strcmp(o.second->Kind(), kind) == 0)
            n++;
    return n;
}

// ---- GlobalHeap ----

GlobalHeap::~GlobalHeap() {
    for (auto& b : m_blocks)
        free(b.first);
}

void* GlobalHeap::Alloc(size_t bytes, bool zero, bool moveable) {
    // A zero-byte request still gets a distinct block, as the fixed-memory allocator does.
    void* p = zero ? calloc(1, bytes ? bytes : 1) : malloc(bytes ? bytes : 1);
    if (p) {
        m_blocks[p].size = bytes;
        m_blocks[p].moveable = moveable;
    }
    return p;
}

bool GlobalHeap::Moveable(void* block) const {
    auto it = m_blocks.find(block);
    return it != m_blocks.end() && it->second.moveable;
}

bool GlobalHeap::Free(void* block) {
    auto it = m_blocks.find(block);
    if (it == m_blocks.end())
        return false;
    free(it->first);
    m_blocks.erase(it);
    return true;
}

size_t GlobalHeap::Size(void* block) const {
    auto it = m_blocks.find(block);
    return it == m_blocks.end() ? 0 : it->second.size;
}

size_t GlobalHeap::LiveBytes() const {
    size_t n = 0;
    for (const auto& b : m_blocks)
        n += b.second.size;
    return n;
}

}  // namespace winsim
