// The companion library registered as a simulated module, and a simulated stand-in for the monitoring application.
#include "tavq_fixture.h"

#include "tavq.h"

const char* const kTallyvueFiles[6] = {"Tallyvue.exe",    "merrow10.dll",     "merrow_bridge.dll",
                                       "merrow_core.dll", "merrow_norix.dll", "Tallyvue.chm"};
const char* const kTallyvueSettingsKey = "HKCU\\SOFTWARE\\Norix\\Tallyvue";
const char* const kTallyvueRunKey = "HKCU\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
const char* const kTallyvueRunValue = "Norix Tallyvue";

namespace {

BOOL TavqEntry(HINSTANCE instance, DWORD reason, LPVOID reserved) {
    return DllMain(instance, reason, reserved);
}

std::string EnvOf(winsim::Machine& m, const std::string& name) {
    for (const auto& e : m.system.env)
        if (e.first.size() == name.size() && strcasecmp(e.first.c_str(), name.c_str()) == 0)
            return e.second;
    return "%" + name + "%";
}

}  // namespace

HMODULE RegisterTavq(winsim::Machine& m, const std::string& path) {
    return RegisterTavq(m, path, TAVQ_RES);
}

HMODULE RegisterTavq(winsim::Machine& m, const std::string& path, const std::string& resFile) {
    winsim::ModuleImage image;
    image.resFile = resFile;
    FARPROC deleteEntry = reinterpret_cast<FARPROC>(&Delete);
    FARPROC runEntry = reinterpret_cast<FARPROC>(&run);
    FARPROC runWEntry = reinterpret_cast<FARPROC>(&runW);
    image.exports = {{"Delete", deleteEntry}, {"DeleteW", deleteEntry}, {"run", runEntry},
                     {"autorun", runEntry},   {"runW", runWEntry},      {"autorunW", runWEntry}};
    image.entry = &TavqEntry;
    return m.modules.Register(path, image);
}

std::string TallyvueFolder(winsim::Machine& m) {
    return m.system.tempDir + "Tallyvue";
}

std::string TallyvueShortcut(winsim::Machine& m) {
    return m.shell.DesktopDirectory() + "\\Tallyvue.lnk";
}

std::string TallyvueMutexName(const std::string& domain, const std::string& user) {
    return "Norix Tallyvue - {591F5BE9-7028-468a-9CFF-7CA023199B8A}-" + domain + "-" + user;
}

void PlaceTallyvueTraces(winsim::Machine& m) {
    m.files.WriteFile(TallyvueShortcut(m), "shortcut");
    m.registry.SetString(kTallyvueRunKey, kTallyvueRunValue, TallyvueFolder(m) + "\\Tallyvue.exe");
    m.registry.SetString(kTallyvueSettingsKey, "Server", "PRINTSRV");
    m.registry.SetDword(std::string(kTallyvueSettingsKey) + "\\Jobs", "Count", 3);
    for (const char* file : kTallyvueFiles)
        m.files.WriteFile(TallyvueFolder(m) + "\\" + file, file);
}

winsim::SimProcess& StartTallyvue(winsim::Machine& m, uint64_t exitDelayMs) {
    PlaceTallyvueTraces(m);
    winsim::SimProcess& app = m.processes.Start(TallyvueFolder(m) + "\\Tallyvue.exe");
    app.exitDelayMs = exitDelayMs;
    m.processes.HoldFile(app, TallyvueFolder(m) + "\\Tallyvue.exe");
    m.processes.HoldMutex(app, TallyvueMutexName(EnvOf(m, "USERDOMAIN"), m.system.userName));
    m.registry.SetDword(kTallyvueSettingsKey, "PID", app.pid);
    return app;
}

bool TallyvueGone(winsim::Machine& m) {
    return !m.files.Exists(TallyvueShortcut(m)) && !m.registry.ValueExists(kTallyvueRunKey, kTallyvueRunValue) &&
           !m.registry.KeyExists(kTallyvueSettingsKey) && !m.files.Exists(TallyvueFolder(m));
}

bool TallyvueIntact(winsim::Machine& m) {
    bool files = true;
    for (const char* file : kTallyvueFiles)
        files = files && m.files.Exists(TallyvueFolder(m) + "\\" + file);
    return files && m.files.Exists(TallyvueShortcut(m)) && m.registry.ValueExists(kTallyvueRunKey, kTallyvueRunValue) &&
           m.registry.KeyExists(kTallyvueSettingsKey);
}
