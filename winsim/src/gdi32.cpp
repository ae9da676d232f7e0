// gdi32 and the user32 painting calls on the simulated machine: fonts, DCs, text measuring, system metrics and colours.
#include "r_internal.h"

#include <winsim/codepage.h>

#include <string.h>

using namespace winsim;

namespace {

void SetError(DWORD error) {
    Current().lastError = error;
}

Gdi& G() {
    return Current().gdi;
}

// Hooks into the window model that it may or may not offer; without them the DC calls accept any
// window and BeginPaint reports an empty paint rectangle.
template <class U>
auto ValidatePaintOf(U& ui, HWND hwnd, int) -> decltype(ui.ValidatePaint(hwnd), void()) {
    ui.ValidatePaint(hwnd);
}
template <class U>
void ValidatePaintOf(U&, HWND, long) {}

template <class U>
auto ClientRectOf(const U& ui, HWND hwnd, int) -> decltype(RECT(ui.ClientRect(hwnd))) {
    return ui.ClientRect(hwnd);
}
template <class U>
RECT ClientRectOf(const U&, HWND, long) {
    return RECT{0, 0, 0, 0};
}

template <class U>
auto WindowExists(const U& ui, HWND hwnd, int) -> decltype(bool(ui.Exists(hwnd))) {
    return ui.Exists(hwnd);
}
template <class U>
bool WindowExists(const U&, HWND, long) {
    return true;
}

// The LOGFONTA a DC measures with: its selected font, or the system font.
LOGFONTA DcFont(const Gdi::DeviceContext& dc) {
    if (const LOGFONTA* f = G().FontOf(dc.font))
        return *f;
    return *G().FontOf(static_cast<HFONT>(G().Stock(SYSTEM_FONT)));
}

HDC NewDc(HWND hwnd, bool paint) {
    Gdi::DeviceContext dc;
    dc.window = hwnd;
    dc.font = static_cast<HFONT>(G().Stock(SYSTEM_FONT));
    dc.brush = static_cast<HBRUSH>(G().Stock(WHITE_BRUSH));
    dc.pen = G().Stock(BLACK_PEN);
    dc.fromPaint = paint;
    return G().AddDc(dc);
}

std::string Text(LPCSTR s, int c) {
    if (!s)
        return std::string();
    return c < 0 ? std::string(s) : std::string(s, size_t(c));
}

// Windows XP's "Windows Classic" scheme.
const COLORREF kSysColors[] = {
    RGB(212, 208, 200), RGB(58, 110, 165),  RGB(10, 36, 106),   RGB(128, 128, 128), RGB(212, 208, 200),
    RGB(255, 255, 255), RGB(0, 0, 0),       RGB(0, 0, 0),       RGB(0, 0, 0),       RGB(255, 255, 255),
    RGB(212, 208, 200), RGB(212, 208, 200), RGB(128, 128, 128), RGB(10, 36, 106),   RGB(255, 255, 255),
    RGB(212, 208, 200), RGB(128, 128, 128), RGB(128, 128, 128), RGB(0, 0, 0),       RGB(212, 208, 200),
    RGB(255, 255, 255), RGB(64, 64, 64),    RGB(212, 208, 200), RGB(0, 0, 0),       RGB(255, 255, 225),
};
const int kSysColorCount = int(sizeof(kSysColors) / sizeof(kSysColors[0]));

}  // namespace

extern "C" {

// ---- objects ----

HFONT WINAPI CreateFontIndirectA(const LOGFONTA* lplf) {
    SIM_FAULT("CreateFontIndirectA", lplf ? std::string(lplf->lfFaceName, strnlen(lplf->lfFaceName, LF_FACESIZE)) : "",
              nullptr);
    if (!lplf)
        return nullptr;
    Gdi::Object o;
    o.kind = Gdi::Kind::Font;
    o.font = *lplf;
    o.font.lfFaceName[LF_FACESIZE - 1] = 0;
    return static_cast<HFONT>(G().AddObject(o));
}

HFONT WINAPI CreateFontA(int cHeight, int cWidth, int cEscapement, int cOrientation, int cWeight, DWORD bItalic,
                         DWORD bUnderline, DWORD bStrikeOut, DWORD iCharSet, DWORD iOutPrecision,
                         DWORD iClipPrecision, DWORD iQuality, DWORD iPitchAndFamily, LPCSTR pszFaceName) {
    SIM_FAULT("CreateFontA", pszFaceName ? pszFaceName : "", nullptr);
    Gdi::Object o;
    o.kind = Gdi::Kind::Font;
    LOGFONTA& lf = o.font;
    lf.lfHeight = cHeight;
    lf.lfWidth = cWidth;
    lf.lfEscapement = cEscapement;
    lf.lfOrientation = cOrientation;
    lf.lfWeight = cWeight;
    lf.lfItalic = BYTE(bItalic);
    lf.lfUnderline = BYTE(bUnderline);
    lf.lfStrikeOut = BYTE(bStrikeOut);
    lf.lfCharSet = BYTE(iCharSet);
    lf.lfOutPrecision = BYTE(iOutPrecision);
    lf.lfClipPrecision = BYTE(iClipPrecision);
    lf.lfQuality = BYTE(iQuality);
    lf.lfPitchAndFamily = BYTE(iPitchAndFamily);
    if (pszFaceName)
        strncpy(lf.lfFaceName, pszFaceName, LF_FACESIZE - 1);
    return static_cast<HFONT>(G().AddObject(o));
}

BOOL WINAPI DeleteObject(HGDIOBJ ho) {
    SIM_FAULT("DeleteObject", rsim::HandleText(ho), FALSE);
    const Gdi::Object* o = G().ObjectOf(ho);
    if (!o)
        return FALSE;
    if (o->stock >= 0)
        return TRUE;  // stock objects ignore deletion
    return G().Delete(ho) ? TRUE : FALSE;
}

int WINAPI GetObjectA(HGDIOBJ h, int c, LPVOID pv) {
    SIM_FAULT("GetObjectA", rsim::HandleText(h), 0);
    const Gdi::Object* o = G().ObjectOf(h);
    if (!o)
        return 0;
    const void* data = nullptr;
    int size = 0;
    switch (o->kind) {
    case Gdi::Kind::Font:
        data = &o->font;
        size = int(sizeof(LOGFONTA));
        break;
    case Gdi::Kind::Brush:
        data = &o->brush;
        size = int(sizeof(LOGBRUSH));
        break;
    default:
        return 0;  // pens and palettes carry no description here
    }
    if (!pv)
        return size;
    if (c <= 0)
        return 0;
    int n = c < size ? c : size;
    memcpy(pv, data, size_t(n));
    return n;
}

HGDIOBJ WINAPI GetStockObject(int i) {
    SIM_FAULT("GetStockObject", std::to_string(i), nullptr);
    return G().Stock(i);
}

HGDIOBJ WINAPI SelectObject(HDC hdc, HGDIOBJ h) {
    SIM_FAULT("SelectObject", rsim::HandleText(h), nullptr);
    Gdi::DeviceContext* dc = G().MutableDc(hdc);
    const Gdi::Object* o = G().ObjectOf(h);
    if (!dc || !o || o->deletePending)
        return nullptr;
    HGDIOBJ* slot = nullptr;
    switch (o->kind) {
    case Gdi::Kind::Font:
        slot = reinterpret_cast<HGDIOBJ*>(&dc->font);
        break;
    case Gdi::Kind::Brush:
        slot = reinterpret_cast<HGDIOBJ*>(&dc->brush);
        break;
    case Gdi::Kind::Pen:
        slot = &dc->pen;
        break;
    case Gdi::Kind::Palette:
        return nullptr;  // SelectPalette's business
    }
    HGDIOBJ previous = *slot;
    *slot = h;
    G().Deselected(previous);
    return previous;
}

// ---- device contexts and painting ----

HDC WINAPI GetDC(HWND hWnd) {
    SIM_FAULT("GetDC", rsim::HandleText(hWnd), nullptr);
    if (hWnd && !WindowExists(Current().ui, hWnd, 0)) {
        SetError(ERROR_INVALID_WINDOW_HANDLE);
        return nullptr;
    }
    return NewDc(hWnd, false);
}

int WINAPI ReleaseDC(HWND hWnd, HDC hDC) {
    SIM_FAULT("ReleaseDC", rsim::HandleText(hDC), 0);
    const Gdi::DeviceContext* dc = G().DcOf(hDC);
    if (!dc || dc->fromPaint)
        return 0;
    G().ReleaseDc(hDC);
    return 1;
}

HDC WINAPI BeginPaint(HWND hWnd, LPPAINTSTRUCT lpPaint) {
    SIM_FAULT("BeginPaint", rsim::HandleText(hWnd), nullptr);
    if (!lpPaint || !hWnd || !WindowExists(Current().ui, hWnd, 0)) {
        SetError(ERROR_INVALID_WINDOW_HANDLE);
        return nullptr;
    }
    memset(lpPaint, 0, sizeof(*lpPaint));
    lpPaint->hdc = NewDc(hWnd, true);
    lpPaint->fErase = FALSE;
    lpPaint->rcPaint = ClientRectOf(Current().ui, hWnd, 0);
    ValidatePaintOf(Current().ui, hWnd, 0);
    G().NotePaint(hWnd);
    return lpPaint->hdc;
}

BOOL WINAPI EndPaint(HWND hWnd, const PAINTSTRUCT* lpPaint) {
    SIM_FAULT("EndPaint", rsim::HandleText(hWnd), FALSE);
    if (lpPaint) {
        const Gdi::DeviceContext* dc = G().DcOf(lpPaint->hdc);
        if (dc && dc->fromPaint)
            G().ReleaseDc(lpPaint->hdc);
    }
    return TRUE;  // documented as always nonzero
}

// ---- text ----

BOOL WINAPI GetTextExtentPoint32A(HDC hdc, LPCSTR lpString, int c, LPSIZE psizl) {
    SIM_FAULT("GetTextExtentPoint32A", Text(lpString, c < 0 ? 0 : c), FALSE);
    const Gdi::DeviceContext* dc = G().DcOf(hdc);
    if (!dc || c < 0 || !psizl || (c > 0 && !lpString)) {
        if (dc)
            SetError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    *psizl = TextExtent(DcFont(*dc), Text(lpString, c));
    return TRUE;
}

BOOL WINAPI GetTextMetricsA(HDC hdc, LPTEXTMETRICA lptm) {
    SIM_FAULT("GetTextMetricsA", rsim::HandleText(hdc), FALSE);
    const Gdi::DeviceContext* dc = G().DcOf(hdc);
    if (!dc || !lptm)
        return FALSE;
    LOGFONTA lf = DcFont(*dc);
    FontMetrics m = MetricsOf(lf);
    memset(lptm, 0, sizeof(*lptm));
    lptm->tmHeight = m.height;
    lptm->tmDescent = (m.height + 4) / 5;
    lptm->tmAscent = m.height - lptm->tmDescent;
    lptm->tmInternalLeading = m.height - m.em;
    lptm->tmAveCharWidth = m.advance;
    lptm->tmMaxCharWidth = 2 * m.advance;
    lptm->tmWeight = lf.lfWeight ? lf.lfWeight : FW_NORMAL;
    lptm->tmDigitizedAspectX = 96;
    lptm->tmDigitizedAspectY = 96;
    lptm->tmFirstChar = 0x20;
    lptm->tmLastChar = 0xFF;
    lptm->tmDefaultChar = '?';
    lptm->tmBreakChar = ' ';
    lptm->tmItalic = lf.lfItalic;
    lptm->tmUnderlined = lf.lfUnderline;
    lptm->tmStruckOut = lf.lfStrikeOut;
    lptm->tmPitchAndFamily = lf.lfPitchAndFamily;
    lptm->tmCharSet = lf.lfCharSet;
    return TRUE;
}

int WINAPI GetDeviceCaps(HDC hdc, int index) {
    SIM_FAULT("GetDeviceCaps", std::to_string(index), 0);
    if (!G().DcOf(hdc))
        return 0;
    switch (index) {
    case HORZSIZE:
        return 320;
    case VERTSIZE:
        return 240;
    case HORZRES:
        return 1024;
    case VERTRES:
        return 768;
    case BITSPIXEL:
        return 32;
    case PLANES:
        return 1;
    case NUMCOLORS:
        return -1;
    case LOGPIXELSX:
    case LOGPIXELSY:
        return 96;  // "Normal size" fonts
    default:
        return 0;
    }
}

int WINAPI SetBkMode(HDC hdc, int mode) {
    SIM_FAULT("SetBkMode", std::to_string(mode), 0);
    Gdi::DeviceContext* dc = G().MutableDc(hdc);
    if (!dc || (mode != TRANSPARENT && mode != OPAQUE))
        return 0;
    int previous = dc->bkMode;
    dc->bkMode = mode;
    return previous;
}

COLORREF WINAPI SetTextColor(HDC hdc, COLORREF color) {
    SIM_FAULT("SetTextColor", std::to_string(color), 0xFFFFFFFF);
    Gdi::DeviceContext* dc = G().MutableDc(hdc);
    if (!dc)
        return 0xFFFFFFFF;
    COLORREF previous = dc->textColor;
    dc->textColor = color;
    return previous;
}

int WINAPI FillRect(HDC hDC, const RECT* lprc, HBRUSH hbr) {
    SIM_FAULT("FillRect", rsim::HandleText(hbr), 0);
    if (!G().DcOf(hDC) || !lprc)
        return 0;
    // A brush may also be a system colour index plus one.
    uintptr_t value = reinterpret_cast<uintptr_t>(hbr);
    if (value >= 1 && value <= uintptr_t(kSysColorCount))
        return 1;
    const Gdi::Object* o = G().ObjectOf(hbr);
    return o && o->kind == Gdi::Kind::Brush ? 1 : 0;
}

// ---- system metrics and colours ----

int WINAPI GetSystemMetrics(int nIndex) {
    SIM_FAULT("GetSystemMetrics", std::to_string(nIndex), 0);
    switch (nIndex) {
    case SM_CXSCREEN:
    case SM_CXFULLSCREEN:
        return 1024;
    case SM_CYSCREEN:
        return 768;
    case SM_CYFULLSCREEN:
        return 768 - 30 - 19;  // less the taskbar and a caption
    case SM_CXVSCROLL:
    case SM_CYHSCROLL:
        return 16;
    case SM_CYCAPTION:
        return 19;
    case SM_CXBORDER:
    case SM_CYBORDER:
        return 1;
    case SM_CXDLGFRAME:
    case SM_CYDLGFRAME:
        return 3;
    case SM_CXFRAME:
    case SM_CYFRAME:
        return 4;
    case SM_CXICON:
    case SM_CYICON:
    case SM_CXCURSOR:
    case SM_CYCURSOR:
        return 32;
    case SM_CXSMICON:
    case SM_CYSMICON:
        return 16;
    case SM_CYMENU:
        return 19;
    case SM_CXICONSPACING:
    case SM_CYICONSPACING:
        return 75;
    case SM_CXMIN:
        return 112;
    case SM_CYMIN:
        return 27;
    case SM_MOUSEPRESENT:
    case SM_CMONITORS:
        return 1;
    case SM_DBCSENABLED:
        return IsLeadByte(0x81, Current().system.acp) ? 1 : 0;
    default:
        return 0;
    }
}

}  // extern "C"
