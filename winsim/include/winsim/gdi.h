// The simulated GDI: fonts and other GDI objects, device contexts, cursors, icons, and the text-measuring rule.
#pragma once
#include <winsim/wintypes.h>
#include <winsim/api_gdi.h>

#include <map>
#include <string>
#include <vector>

namespace winsim {

// ---- the text-measuring rule --------------------------------------------------------------------
// Simulated fonts have no glyphs; every byte of text advances by the same width, so a double-byte
// character is twice as wide as a single-byte one.
//   em height     lfHeight < 0: -lfHeight; lfHeight > 0: round(lfHeight / 1.2); lfHeight 0: 13
//   cell height   lfHeight < 0: round(em * 1.2); lfHeight > 0: lfHeight; lfHeight 0: 16
//   advance       lfWidth when positive, else round(em / 2) (halves round up)
// GetTextExtentPoint32A gives (advance * bytes) x cell height, and 0 x 0 for an empty string. The stock
// system font is 8 x 16 (lfHeight 16, lfWidth 8). GetTextMetricsA reports the same cell height and
// advance (tmAveCharWidth), tmInternalLeading = cell - em.
struct FontMetrics {
    int em = 13;
    int height = 16;
    int advance = 7;
};
FontMetrics MetricsOf(const LOGFONTA& font);
SIZE TextExtent(const LOGFONTA& font, const std::string& text);

// Dialog base units of a DS_SETFONT font: the advance and cell height of the font with lfHeight =
// -MulDiv(pointSize, 96, 72), e.g. 8 pt gives 6 x 13 as on Windows; an empty face or pointSize <= 0 gives
// the system font's 8 x 16.
void DialogBaseUnits(const std::string& face, int pointSize, int& cx, int& cy);

struct DrawnIcon {
    HDC dc;
    int x, y;
    HICON icon;
};

class Gdi {
public:
    Gdi();
    Gdi(const Gdi&) = delete;
    Gdi& operator=(const Gdi&) = delete;

    // ---- fonts ----
    // The LOGFONTA of a created font not yet deleted, or of a stock font; null otherwise.
    const LOGFONTA* FontOf(HFONT font) const;
    // Fonts the program created with CreateFont(Indirect)A and has not deleted yet (leak checks).
    int LiveFonts() const;
    std::vector<HFONT> LiveFontHandles() const;
    int FontsCreated() const { return m_fontsCreated; }
    // Other GDI objects the program created (brushes) and has not deleted yet.
    int LiveBrushes() const;

    // Fonts the window manager makes for dialogs (DS_SETFONT): not counted as the program's, never
    // failed by fault injection. Destroy them with the dialog.
    HFONT CreateSystemFont(const LOGFONTA& font);
    void DestroySystemFont(HFONT font);

    // ---- device contexts ----
    struct DeviceContext {
        HWND window = nullptr;
        HFONT font = nullptr;
        HBRUSH brush = nullptr;
        HGDIOBJ pen = nullptr;
        bool fromPaint = false;  // BeginPaint's, released by EndPaint
        int bkMode = 2;          // OPAQUE
        COLORREF textColor = 0;
    };
    // A DC not yet released, or null.
    const DeviceContext* DcOf(HDC dc) const;
    HWND WindowOf(HDC dc) const;
    HFONT SelectedFont(HDC dc) const;
    int LiveDCs() const { return int(m_dcs.size()); }
    // BeginPaint calls made for the window.
    int PaintCount(HWND window) const;
    void NotePaint(HWND window) { m_paints[window]++; }

    // ---- cursors and icons ----
    // The cursor SetCursor made current (NULL before the first call) and every SetCursor argument in order.
    HCURSOR currentCursor = nullptr;
    std::vector<HCURSOR> cursorHistory;
    // "IDC_ARROW" for the system cursors; "<module base name>#<id>" (or "#NAME") for a module's
    // cursors; empty for anything else.
    std::string CursorName(HCURSOR cursor) const;
    // "IDI_APPLICATION" for the system icons; "<module base name>#<id>" for a module's icons.
    std::string IconName(HICON icon) const;
    std::vector<DrawnIcon> drawnIcons;

    // ---- for the Win32 layer ----
    enum class Kind { Font, Brush, Pen, Palette };
    struct Object {
        Kind kind = Kind::Font;
        int stock = -1;  // GetStockObject index, or -1
        bool systemOwned = false;
        bool deletePending = false;  // DeleteObject while selected: gone once deselected
        LOGFONTA font{};
        LOGBRUSH brush{};
    };
    Object* ObjectOf(HGDIOBJ handle);
    const Object* ObjectOf(HGDIOBJ handle) const;
    HGDIOBJ Stock(int index) const;
    HGDIOBJ AddObject(const Object& object);
    // Deletes now, or once deselected when a DC still holds it; false for unknown or stock handles.
    bool Delete(HGDIOBJ handle);
    HDC AddDc(const DeviceContext& dc);
    DeviceContext* MutableDc(HDC dc);
    bool ReleaseDc(HDC dc);
    void Deselected(HGDIOBJ handle);

    struct IconObject {
        bool cursor = false;
        std::string systemName;  // IDI_*/IDC_* for the system's
        std::string modulePath;  // else the module it came from
        std::string resource;    // "#1" or the resource name
    };
    // The shared handle of an icon or cursor, made on first use.
    HICON SharedIcon(const IconObject& icon);
    const IconObject* IconOf(HICON icon) const;

private:
    uintptr_t NextHandle();

    // Mutable: stock fonts follow the machine's code page, which tests set after construction.
    mutable std::map<uintptr_t, Object> m_objects;
    std::map<uintptr_t, DeviceContext> m_dcs;
    std::map<uintptr_t, IconObject> m_icons;
    std::map<std::string, uintptr_t> m_sharedIcons;
    std::map<int, uintptr_t> m_stock;
    std::map<HWND, int> m_paints;
    int m_fontsCreated = 0;
    uintptr_t m_next = 0x00010000;
};

}  // namespace winsim
