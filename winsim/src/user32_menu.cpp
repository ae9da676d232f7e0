// user32's system menu entry points.
#include "w_internal.h"

#include <winsim/codepage.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>

using namespace winsim;
using namespace winsim::wm;

namespace winsim {
namespace wm {

SystemMenu* SystemMenuOf(HWND hwnd, bool create) {
    Wnd* w = Get(hwnd);
    if (!w || !(w->style & WS_SYSMENU))
        return nullptr;
    UiState& s = S();
    auto it = s.systemMenus.find(hwnd);
    if (it != s.systemMenus.end())
        return &s.menus[it->second];
    if (!create)
        return nullptr;
    HMENU menu = reinterpret_cast<HMENU>(s.nextMenu);
    s.nextMenu += 4;
    SystemMenu m;
    m.window = hwnd;
    // A dialog's system menu lists Move and Close; the other commands come with the frame styles.
    if (w->style & WS_MINIMIZEBOX)
        m.items.push_back({SC_RESTORE, MF_GRAYED});
    m.items.push_back({SC_MOVE, MF_ENABLED});
    if (w->style & WS_THICKFRAME)
        m.items.push_back({SC_SIZE, MF_ENABLED});
    if (w->style & WS_MINIMIZEBOX)
        m.items.push_back({SC_MINIMIZE, MF_ENABLED});
    if ((w->style & WS_MAXIMIZEBOX) && !(w->kind == WndKind::Dialog && !(w->style & WS_THICKFRAME)))
        m.items.push_back({SC_MAXIMIZE, MF_ENABLED});
    m.items.push_back({SC_CLOSE, MF_ENABLED});
    s.systemMenus[hwnd] = menu;
    s.menus[menu] = m;
    return &s.menus[menu];
}

}  // namespace wm
}  // namespace winsim

extern "C" {

// ---- the system menu ----

HMENU WINAPI GetSystemMenu(HWND hWnd, BOOL bRevert) {
    SIM_FAULT("GetSystemMenu", "", nullptr);
    if (!Check(hWnd))
        return nullptr;
    UiState& s = S();
    if (bRevert) {
        auto it = s.systemMenus.find(hWnd);
        if (it != s.systemMenus.end()) {
            s.menus.erase(it->second);
            s.systemMenus.erase(it);
        }
        return nullptr;
    }
    if (!SystemMenuOf(hWnd, true))
        return nullptr;
    return s.systemMenus[hWnd];
}

static SystemMenu* MenuOf(HMENU menu) {
    auto it = S().menus.find(menu);
    if (it == S().menus.end()) {
        SetError(ERROR_INVALID_MENU_HANDLE);
        return nullptr;
    }
    return &it->second;
}

static SystemMenu::Item* ItemOf(SystemMenu* m, UINT position, UINT flags) {
    if (flags & MF_BYPOSITION)
        return position < m->items.size() ? &m->items[position] : nullptr;
    for (SystemMenu::Item& i : m->items)
        if (i.id == position)
            return &i;
    return nullptr;
}

BOOL WINAPI EnableMenuItem(HMENU hMenu, UINT uIDEnableItem, UINT uEnable) {
    SIM_FAULT("EnableMenuItem", Hex(uIDEnableItem), (BOOL)-1);
    SystemMenu* m = MenuOf(hMenu);
    if (!m)
        return -1;
    SystemMenu::Item* item = ItemOf(m, uIDEnableItem, uEnable);
    if (!item)
        return -1;
    UINT old = item->flags & (MF_GRAYED | MF_DISABLED);
    item->flags = (item->flags & ~(MF_GRAYED | MF_DISABLED)) | (uEnable & (MF_GRAYED | MF_DISABLED));
    return BOOL(old);
}

}  // extern "C"
