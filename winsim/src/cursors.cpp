// Icons and cursors on the simulated machine: LoadIconA/LoadCursorA (shared handles), SetCursor, DrawIcon.
#include "r_internal.h"

using namespace winsim;

namespace {

void SetError(DWORD error) {
    Current().lastError = error;
}

struct SystemId {
    WORD id;
    const char* name;
};

const SystemId kSystemIcons[] = {
    {32512, "IDI_APPLICATION"}, {32513, "IDI_HAND"},     {32514, "IDI_QUESTION"},
    {32515, "IDI_EXCLAMATION"}, {32516, "IDI_ASTERISK"}, {32517, "IDI_WINLOGO"},
};

const SystemId kSystemCursors[] = {
    {32512, "IDC_ARROW"},    {32513, "IDC_IBEAM"},       {32514, "IDC_WAIT"},     {32515, "IDC_CROSS"},
    {32516, "IDC_UPARROW"},  {32640, "IDC_SIZE"},        {32641, "IDC_ICON"},     {32642, "IDC_SIZENWSE"},
    {32643, "IDC_SIZENESW"}, {32644, "IDC_SIZEWE"},      {32645, "IDC_SIZENS"},   {32646, "IDC_SIZEALL"},
    {32648, "IDC_NO"},       {32649, "IDC_HAND"},        {32650, "IDC_APPSTARTING"}, {32651, "IDC_HELP"},
};

template <size_t N>
const char* SystemName(const SystemId (&table)[N], LPCSTR id) {
    if (!IS_INTRESOURCE(id))
        return nullptr;
    WORD value = LOWORD(reinterpret_cast<ULONG_PTR>(id));
    for (const SystemId& s : table)
        if (s.id == value)
            return s.name;
    return nullptr;
}

// A group icon or cursor directory must name at least one image.
bool ValidGroup(const std::vector<uint8_t>& data) {
    return data.size() >= 6 && (data[4] | data[5] << 8) > 0 && data.size() >= 6 + 14u * size_t(data[4] | data[5] << 8);
}

HICON LoadShared(HINSTANCE module, LPCSTR name, bool cursor) {
    Gdi::IconObject icon;
    icon.cursor = cursor;
    if (!module) {
        const char* system = cursor ? SystemName(kSystemCursors, name) : SystemName(kSystemIcons, name);
        if (!system) {
            // Only the system's own ids exist without a module (Wine reports the missing type).
            SetError(ERROR_RESOURCE_TYPE_NOT_FOUND);
            return nullptr;
        }
        icon.systemName = system;
        return Current().gdi.SharedIcon(icon);
    }
    const char* api = cursor ? "LoadCursorA" : "LoadIconA";
    rsim::FoundResource group =
        rsim::FindResourceIn(module, cursor ? RT_GROUP_CURSOR : RT_GROUP_ICON, name, 0, api);
    if (!group.entry) {
        // Wine then looks for an animated one and reports that search's error: ERROR_RESOURCE_TYPE_NOT_FOUND
        // in a module without animated icons, ERROR_RESOURCE_DATA_NOT_FOUND without any resources.
        rsim::FoundResource animated =
            rsim::FindResourceIn(module, cursor ? RT_ANICURSOR : RT_ANIICON, name, 0, api);
        if (animated.entry)
            throw SimAbort(std::string(api) + ": animated resources are not modelled");
        SetError(animated.error);
        return nullptr;
    }
    if (!ValidGroup(group.entry->data)) {
        SetError(ERROR_INVALID_DATA);
        return nullptr;
    }
    icon.modulePath = group.module->path;
    icon.resource = rsim::IdText(name);
    return Current().gdi.SharedIcon(icon);
}

}  // namespace

extern "C" {

HICON WINAPI LoadIconA(HINSTANCE hInstance, LPCSTR lpIconName) {
    SIM_FAULT("LoadIconA", rsim::IdText(lpIconName), nullptr);
    return LoadShared(hInstance, lpIconName, false);
}

HCURSOR WINAPI LoadCursorA(HINSTANCE hInstance, LPCSTR lpCursorName) {
    SIM_FAULT("LoadCursorA", rsim::IdText(lpCursorName), nullptr);
    return LoadShared(hInstance, lpCursorName, true);
}

BOOL WINAPI DestroyIcon(HICON hIcon) {
    SIM_FAULT("DestroyIcon", Current().gdi.IconName(hIcon), FALSE);
    // Every icon here is a shared one, which Windows leaves alone (and Wine reports TRUE).
    return Current().gdi.IconOf(hIcon) ? TRUE : FALSE;
}

HCURSOR WINAPI SetCursor(HCURSOR hCursor) {
    Gdi& gdi = Current().gdi;
    SIM_FAULT("SetCursor", gdi.CursorName(hCursor), nullptr);
    // Icons are accepted too: Windows treats both handle kinds alike.
    if (hCursor && !gdi.IconOf(hCursor)) {
        SetError(ERROR_INVALID_CURSOR_HANDLE);
        return nullptr;
    }
    HCURSOR previous = gdi.currentCursor;
    gdi.currentCursor = hCursor;
    gdi.cursorHistory.push_back(hCursor);
    return previous;
}

HCURSOR WINAPI GetCursor(void) {
    SIM_FAULT("GetCursor", "", nullptr);
    return Current().gdi.currentCursor;
}

BOOL WINAPI DrawIcon(HDC hDC, int X, int Y, HICON hIcon) {
    Gdi& gdi = Current().gdi;
    SIM_FAULT("DrawIcon", gdi.IconName(hIcon), FALSE);
    if (!gdi.DcOf(hDC))
        return FALSE;
    if (!gdi.IconOf(hIcon)) {
        SetError(ERROR_INVALID_CURSOR_HANDLE);
        return FALSE;
    }
    gdi.drawnIcons.push_back(DrawnIcon{hDC, X, Y, hIcon});
    return TRUE;
}

}  // extern "C"
