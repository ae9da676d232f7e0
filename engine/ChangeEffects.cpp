// The table of what each change removes or alters.
#include "engine/ChangeEffects.h"

#include "engine/MbText.h"

namespace {

const char kPrintersKey[] = "SYSTEM\\CurrentControlSet\\Control\\Print\\Printers\\";
const char kDevicesKey[] = "Software\\Microsoft\\Windows NT\\CurrentVersion\\Devices";
const char kPrinterPortsKey[] = "Software\\Microsoft\\Windows NT\\CurrentVersion\\PrinterPorts";
const char kSessionManagerKey[] = "SYSTEM\\CurrentControlSet\\Control\\Session Manager";
const char kPendingRenames[] = "PendingFileRenameOperations";

ChangeEffect Tree(HKEY root, const CString& path, BOOL gone) {
    ChangeEffect effect = {EFFECT_KEY_TREE, root, path, CString(), gone, FALSE};
    return effect;
}

ChangeEffect Value(HKEY root, const CString& path, const CString& name, BOOL gone, BOOL addedIfMissing) {
    ChangeEffect effect = {EFFECT_VALUE, root, path, name, gone, addedIfMissing};
    return effect;
}

ChangeEffect File(const CString& path, BOOL gone) {
    ChangeEffect effect = {EFFECT_FILE, NULL, path, CString(), gone, FALSE};
    return effect;
}

}  // namespace

CString PrinterKeyPath(const CString& printerName) {
    return kPrintersKey + MbReplace(printerName, '\\', ',');
}

std::vector<ChangeEffect> EffectsOf(const ChangeEvent& event) {
    std::vector<ChangeEffect> effects;
    switch (event.kind) {
    case CHANGE_DELETE_KEY: effects.push_back(Tree(event.root, event.target, TRUE)); break;
    case CHANGE_DELETE_VALUE: effects.push_back(Value(event.root, event.target, event.name, TRUE, FALSE)); break;
    case CHANGE_DELETE_FILE: effects.push_back(File(event.target, TRUE)); break;
    case CHANGE_DELETE_AT_RESTART:
        // The session manager's list of deletions grows (or is made); the file stays until the restart.
        effects.push_back(Value(HKEY_LOCAL_MACHINE, kSessionManagerKey, kPendingRenames, FALSE, TRUE));
        effects.push_back(File(event.target, FALSE));
        break;
    case CHANGE_SET_PRINTER: effects.push_back(Tree(HKEY_LOCAL_MACHINE, PrinterKeyPath(event.target), FALSE)); break;
    case CHANGE_DELETE_PRINTER:
    case CHANGE_DRIVER_DELETE_PRINTER:
        // The spooler keeps a printer in its key and lists it in the user's device lists: all go with it.
        effects.push_back(Tree(HKEY_LOCAL_MACHINE, PrinterKeyPath(event.target), TRUE));
        effects.push_back(Value(HKEY_CURRENT_USER, kDevicesKey, event.target, TRUE, FALSE));
        effects.push_back(Value(HKEY_CURRENT_USER, kPrinterPortsKey, event.target, TRUE, FALSE));
        break;
    case CHANGE_COPY_FILE:
    case CHANGE_SET_FILE_TIMES: effects.push_back(File(event.target, FALSE)); break;
    default: break;
    }
    return effects;
}
