// What each change takes from the machine or alters on it: the one table the dry run (what later steps find
// gone) and the backup (what it saves before the change) both read.
#pragma once

#include <windows.h>

#include <vector>

#include "afx/afxstr.h"
#include "engine/ChangeEvent.h"

// The printer's key among the spooler's printers (a backslash in a printer's name is a ',' in its key's).
CString PrinterKeyPath(const CString& printerName);

enum EffectKind {
    EFFECT_KEY_TREE,  // root\path and every key below it
    EFFECT_VALUE,     // the value `name` of root\path
    EFFECT_FILE,      // the file `path`
};

struct ChangeEffect {
    EffectKind kind;
    HKEY root;           // registry effects only
    CString path;
    CString name;
    BOOL gone;           // the change removes it; otherwise it alters it in place or adds to it
    BOOL addedIfMissing;  // a value the change creates when it is not there: a restore deletes it again
};

// The effects of one change, its registry effects first, in the order they are saved.
std::vector<ChangeEffect> EffectsOf(const ChangeEvent& event);
