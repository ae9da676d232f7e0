// The fences of the change layer: what is plainly not a printer's or its driver's own data, judged from the
// path alone. Also for steps that must skip related work.
#pragma once

#include <windows.h>

// Whether a key tree may be deleted: at least three levels below the root, no empty part (one
// trailing separator aside), no root-key name, and not a key that holds every printer's, driver's
// or user's data (nor one above such a key).
BOOL IsOwnKeyPath(HKEY root, LPCSTR path);
// Whether `path` lies strictly inside the absolute folder `dir` once "." and ".." are folded
// (letter case ignored, repeated separators collapsed, no drive inside the name).
BOOL IsInsideDirectory(LPCSTR path, LPCSTR dir);
// Whether `path` is `dir`, a backslash and a relative name that stays inside `dir`: no empty part
// (a leading or doubled separator), no drive, no climb above it.
BOOL IsJoinedName(LPCSTR path, LPCSTR dir);
