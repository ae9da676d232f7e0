// The command line's usage, shown in a message box in the user's language.
#pragma once

#include "afx/afxstr.h"

// The usage text of the language library `lib`: the syntax, the options, the names and every exit code,
// one paragraph per string.
CString UsageText(HINSTANCE lib);
// Shows the usage with the caption of the user's language library; the message box's result.
int ShowUsageBox();
