// user32's dialog entry points: dialog boxes, their items and message boxes, over the dialog manager.
#include "w_internal.h"

#include <winsim/codepage.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>

using namespace winsim;
using namespace winsim::wm;

namespace {

// "#102" for a resource id, the name otherwise; `id` gets the number when there is one.
std::string TemplateName(LPCSTR name, int* id) {
    *id = 0;
    if (!name)
        return "(null)";
    if (IS_INTRESOURCE(name)) {
        *id = LOWORD(reinterpret_cast<ULONG_PTR>(name));
        return "#" + std::to_string(*id);
    }
    if (name[0] == '#')
        *id = atoi(name + 1);
    return name;
}

INT_PTR RunDialogBox(HINSTANCE instance, const uint8_t* data, size_t size, HWND owner, DLGPROC proc, LPARAM param,
                     const std::string& name, int id) {
    HWND hwnd = CreateDialogFrom(instance, data, size, owner, proc, param, true, name, id);
    if (!hwnd)
        return -1;
    Wnd* w = GetAny(hwnd);
    return RunModal(hwnd, w ? w->owner : nullptr);
}

// A dialog template given in memory has no size: read until it ends.
const size_t kIndirectSize = 1 << 20;

}  // namespace

extern "C" {

// ---- dialogs ----

INT_PTR WINAPI DialogBoxParamA(HINSTANCE hInstance, LPCSTR lpTemplateName, HWND hWndParent, DLGPROC lpDialogFunc,
                               LPARAM dwInitParam) {
    int id = 0;
    std::string name = TemplateName(lpTemplateName, &id);
    SIM_FAULT("DialogBoxParamA", name, -1);
    if (hWndParent && !Get(hWndParent))
        return 0;
    DWORD error = 0;
    const std::vector<uint8_t>* data = FindTemplate(hInstance, lpTemplateName, &error);
    if (!data) {
        SetError(error);
        return -1;
    }
    return RunDialogBox(hInstance, data->data(), data->size(), hWndParent, lpDialogFunc, dwInitParam, name, id);
}

INT_PTR WINAPI DialogBoxIndirectParamA(HINSTANCE hInstance, LPCDLGTEMPLATEA hDialogTemplate, HWND hWndParent,
                                       DLGPROC lpDialogFunc, LPARAM dwInitParam) {
    SIM_FAULT("DialogBoxIndirectParamA", "", -1);
    return RunDialogBox(hInstance, reinterpret_cast<const uint8_t*>(hDialogTemplate), kIndirectSize, hWndParent,
                        lpDialogFunc, dwInitParam, "(indirect)", 0);
}

HWND WINAPI CreateDialogParamA(HINSTANCE hInstance, LPCSTR lpTemplateName, HWND hWndParent, DLGPROC lpDialogFunc,
                               LPARAM dwInitParam) {
    int id = 0;
    std::string name = TemplateName(lpTemplateName, &id);
    SIM_FAULT("CreateDialogParamA", name, nullptr);
    DWORD error = 0;
    const std::vector<uint8_t>* data = FindTemplate(hInstance, lpTemplateName, &error);
    if (!data) {
        SetError(error);
        return nullptr;
    }
    return CreateDialogFrom(hInstance, data->data(), data->size(), hWndParent, lpDialogFunc, dwInitParam, false,
                            name, id);
}

BOOL WINAPI EndDialog(HWND hDlg, INT_PTR nResult) {
    SIM_FAULT("EndDialog", std::to_string(nResult), FALSE);
    return EndDialogInternal(hDlg, nResult);
}

HWND WINAPI GetDlgItem(HWND hDlg, int nIDDlgItem) {
    SIM_FAULT("GetDlgItem", std::to_string(nIDDlgItem), nullptr);
    if (!Check(hDlg))
        return nullptr;
    HWND h = FindChildById(hDlg, nIDDlgItem);
    if (!h)
        SetError(ERROR_CONTROL_ID_NOT_FOUND);
    return h;
}

int WINAPI GetDlgCtrlID(HWND hWnd) {
    SIM_FAULT("GetDlgCtrlID", "", 0);
    Wnd* w = Check(hWnd);
    return w ? int(w->id) : 0;
}

LRESULT WINAPI SendDlgItemMessageA(HWND hDlg, int nIDDlgItem, UINT Msg, WPARAM wParam, LPARAM lParam) {
    SIM_FAULT("SendDlgItemMessageA", std::to_string(nIDDlgItem) + "," + Hex(Msg), 0);
    HWND ctrl = FindChildById(hDlg, nIDDlgItem);
    return ctrl ? Send(ctrl, Msg, wParam, lParam) : 0;
}

BOOL WINAPI SetDlgItemTextA(HWND hDlg, int nIDDlgItem, LPCSTR lpString) {
    SIM_FAULT("SetDlgItemTextA", std::to_string(nIDDlgItem), FALSE);
    HWND ctrl = FindChildById(hDlg, nIDDlgItem);
    return ctrl ? BOOL(Send(ctrl, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(lpString))) : FALSE;
}

UINT WINAPI GetDlgItemTextA(HWND hDlg, int nIDDlgItem, LPSTR lpString, int cchMax) {
    SIM_FAULT("GetDlgItemTextA", std::to_string(nIDDlgItem), 0);
    if (lpString && cchMax > 0)
        lpString[0] = '\0';
    HWND ctrl = FindChildById(hDlg, nIDDlgItem);
    return ctrl ? UINT(Send(ctrl, WM_GETTEXT, WPARAM(cchMax), reinterpret_cast<LPARAM>(lpString))) : 0;
}

BOOL WINAPI SetDlgItemInt(HWND hDlg, int nIDDlgItem, UINT uValue, BOOL bSigned) {
    SIM_FAULT("SetDlgItemInt", std::to_string(nIDDlgItem), FALSE);
    char text[20];
    if (bSigned)
        snprintf(text, sizeof(text), "%d", int(uValue));
    else
        snprintf(text, sizeof(text), "%u", uValue);
    HWND ctrl = FindChildById(hDlg, nIDDlgItem);
    if (ctrl)
        Send(ctrl, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text));
    return TRUE;
}

UINT WINAPI GetDlgItemInt(HWND hDlg, int nIDDlgItem, BOOL* lpTranslated, BOOL bSigned) {
    SIM_FAULT("GetDlgItemInt", std::to_string(nIDDlgItem), 0);
    if (lpTranslated)
        *lpTranslated = FALSE;
    char text[32];
    HWND ctrl = FindChildById(hDlg, nIDDlgItem);
    if (!ctrl || !Send(ctrl, WM_GETTEXT, sizeof(text), reinterpret_cast<LPARAM>(text)))
        return 0;
    char* end = nullptr;
    long long value = bSigned ? strtoll(text, &end, 10) : (long long)strtoull(text, &end, 10);
    if (end == text)
        return 0;
    if (bSigned ? (value < INT32_MIN || value > INT32_MAX) : (value < 0 || value > (long long)UINT32_MAX))
        return 0;
    if (lpTranslated)
        *lpTranslated = TRUE;
    return UINT(value);
}

BOOL WINAPI IsDialogMessageA(HWND hDlg, LPMSG lpMsg) {
    SIM_FAULT("IsDialogMessageA", lpMsg ? Hex(lpMsg->message) : "", FALSE);
    return lpMsg && DialogMessage(hDlg, lpMsg) ? TRUE : FALSE;
}

BOOL WINAPI MapDialogRect(HWND hDlg, LPRECT lpRect) {
    SIM_FAULT("MapDialogRect", "", FALSE);
    Wnd* w = Get(hDlg);
    if (!w || !w->dialog || !lpRect) {
        SetError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    const DialogData& d = *w->dialog;
    // MulDiv: halves round away from zero.
    auto mul = [](LONG v, int n, int den) {
        long long p = (long long)v * n;
        return LONG((p >= 0 ? p + den / 2 : p - den / 2) / den);
    };
    lpRect->left = mul(lpRect->left, d.xBase, 4);
    lpRect->right = mul(lpRect->right, d.xBase, 4);
    lpRect->top = mul(lpRect->top, d.yBase, 8);
    lpRect->bottom = mul(lpRect->bottom, d.yBase, 8);
    return TRUE;
}

// ---- message boxes ----

int WINAPI MessageBoxA(HWND hWnd, LPCSTR lpText, LPCSTR lpCaption, UINT uType) {
    SIM_FAULT("MessageBoxA", lpText ? lpText : "", 0);
    MessageBoxRecord box;
    box.owner = hWnd;
    box.text = lpText ? lpText : "";
    box.caption = lpCaption ? lpCaption : "Error";  // Windows' caption when none is given
    box.type = uType;
    UiState& s = S();
    s.boxes.push_back(box);
    size_t at = s.boxes.size() - 1;
    int answer = Current().user.AnswerMessageBox(box);
    S().boxes[at].answer = answer;
    return answer;
}

}  // extern "C"
