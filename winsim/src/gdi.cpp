// The simulated GDI model: object and DC tables, stock objects, shared icons and cursors, the text-measuring rule.
#include "r_internal.h"

#include <string.h>

namespace winsim {

namespace {

int RoundDiv(int num, int den) {
    return (num + den / 2) / den;
}

// The stock fonts as an English (1252) or Japanese (932) Windows XP reports them.
LOGFONTA StockFont(int index, unsigned acp) {
    LOGFONTA lf{};
    bool japanese = acp == 932;
    lf.lfCharSet = japanese ? SHIFTJIS_CHARSET : ANSI_CHARSET;
    lf.lfWeight = FW_NORMAL;
    const char* face = "System";
    switch (index) {
    case SYSTEM_FONT:
    case DEVICE_DEFAULT_FONT:
        lf.lfHeight = 16;
        lf.lfWidth = 8;
        lf.lfWeight = FW_BOLD;
        lf.lfPitchAndFamily = VARIABLE_PITCH | FF_SWISS;
        break;
    case SYSTEM_FIXED_FONT:
        lf.lfHeight = 16;
        lf.lfWidth = 8;
        lf.lfPitchAndFamily = FIXED_PITCH | FF_MODERN;
        face = "Fixedsys";
        break;
    case OEM_FIXED_FONT:
        lf.lfHeight = 12;
        lf.lfWidth = 8;
        lf.lfCharSet = OEM_CHARSET;
        lf.lfPitchAndFamily = FIXED_PITCH | FF_MODERN;
        face = "Terminal";
        break;
    case ANSI_FIXED_FONT:
        lf.lfHeight = 12;
        lf.lfWidth = 9;
        lf.lfPitchAndFamily = FIXED_PITCH | FF_MODERN;
        face = "Courier";
        break;
    case ANSI_VAR_FONT:
        lf.lfHeight = 12;
        lf.lfWidth = 9;
        lf.lfPitchAndFamily = VARIABLE_PITCH | FF_SWISS;
        face = "MS Sans Serif";
        break;
    default:  // DEFAULT_GUI_FONT
        lf.lfHeight = japanese ? -12 : -11;
        lf.lfPitchAndFamily = VARIABLE_PITCH | FF_SWISS;
        face = "MS Shell Dlg";
        break;
    }
    strncpy(lf.lfFaceName, face, LF_FACESIZE - 1);
    return lf;
}

}  // namespace

FontMetrics MetricsOf(const LOGFONTA& font) {
    FontMetrics m;
    if (font.lfHeight < 0) {
        m.em = -font.lfHeight;
        m.height = RoundDiv(m.em * 6, 5);
    } else if (font.lfHeight > 0) {
        m.height = font.lfHeight;
        m.em = RoundDiv(font.lfHeight * 5, 6);
    } else {
        m.em = 13;
        m.height = 16;
    }
    m.advance = font.lfWidth > 0 ? font.lfWidth : RoundDiv(m.em, 2);
    if (m.advance < 1)
        m.advance = 1;
    return m;
}

SIZE TextExtent(const LOGFONTA& font, const std::string& text) {
    SIZE size{0, 0};
    if (text.empty())
        return size;
    FontMetrics m = MetricsOf(font);
    size.cx = LONG(m.advance * int(text.size()));
    size.cy = m.height;
    return size;
}

void DialogBaseUnits(const std::string& face, int pointSize, int& cx, int& cy) {
    LOGFONTA lf{};
    if (face.empty() || pointSize <= 0) {
        lf = StockFont(SYSTEM_FONT, 1252);
    } else {
        lf.lfHeight = -RoundDiv(pointSize * 96, 72);
    }
    FontMetrics m = MetricsOf(lf);
    cx = m.advance;
    cy = m.height;
}

// ---- Gdi ----------------------------------------------------------------------------------------

Gdi::Gdi() {
    // Stock objects exist from the start at fixed handles, as in every Windows process.
    for (int i = WHITE_BRUSH; i <= DEFAULT_GUI_FONT; ++i) {
        if (i == 9)
            continue;  // no stock object 9
        Object o;
        o.stock = i;
        if (i <= NULL_BRUSH) {
            o.kind = Kind::Brush;
            static const COLORREF colors[] = {0xFFFFFF, 0xC0C0C0, 0x808080, 0x404040, 0x000000, 0};
            o.brush.lbStyle = i == NULL_BRUSH ? BS_NULL : BS_SOLID;
            o.brush.lbColor = colors[i];
        } else if (i <= NULL_PEN) {
            o.kind = Kind::Pen;
        } else if (i == DEFAULT_PALETTE) {
            o.kind = Kind::Palette;
        } else {
            o.kind = Kind::Font;
            o.font = StockFont(i, 1252);
        }
        uintptr_t h = 0x00800000 + uintptr_t(i) * 0x10;
        m_objects[h] = o;
        m_stock[i] = h;
    }
}

uintptr_t Gdi::NextHandle() {
    uintptr_t h = m_next;
    m_next += 4;
    return h;
}

Gdi::Object* Gdi::ObjectOf(HGDIOBJ handle) {
    return const_cast<Object*>(static_cast<const Gdi*>(this)->ObjectOf(handle));
}

const Gdi::Object* Gdi::ObjectOf(HGDIOBJ handle) const {
    auto it = m_objects.find(reinterpret_cast<uintptr_t>(handle));
    if (it == m_objects.end())
        return nullptr;
    Object& o = it->second;
    if (o.stock >= 0 && o.kind == Kind::Font && HasCurrent())
        o.font = StockFont(o.stock, Current().system.acp);
    return &o;
}

HGDIOBJ Gdi::Stock(int index) const {
    auto it = m_stock.find(index);
    return it == m_stock.end() ? nullptr : reinterpret_cast<HGDIOBJ>(it->second);
}

HGDIOBJ Gdi::AddObject(const Object& object) {
    uintptr_t h = NextHandle();
    m_objects[h] = object;
    if (object.kind == Kind::Font && object.stock < 0 && !object.systemOwned)
        m_fontsCreated++;
    return reinterpret_cast<HGDIOBJ>(h);
}

bool Gdi::Delete(HGDIOBJ handle) {
    auto it = m_objects.find(reinterpret_cast<uintptr_t>(handle));
    if (it == m_objects.end() || it->second.stock >= 0 || it->second.deletePending)
        return false;
    for (const auto& dc : m_dcs) {
        if (reinterpret_cast<uintptr_t>(dc.second.font) == it->first ||
            reinterpret_cast<uintptr_t>(dc.second.brush) == it->first) {
            it->second.deletePending = true;
            return true;
        }
    }
    m_objects.erase(it);
    return true;
}

void Gdi::Deselected(HGDIOBJ handle) {
    auto it = m_objects.find(reinterpret_cast<uintptr_t>(handle));
    if (it == m_objects.end() || !it->second.deletePending)
        return;
    for (const auto& dc : m_dcs)
        if (reinterpret_cast<uintptr_t>(dc.second.font) == it->first ||
            reinterpret_cast<uintptr_t>(dc.second.brush) == it->first)
            return;
    m_objects.erase(it);
}

const LOGFONTA* Gdi::FontOf(HFONT font) const {
    const Object* o = ObjectOf(font);
    return o && o->kind == Kind::Font ? &o->font : nullptr;
}

int Gdi::LiveFonts() const {
    return int(LiveFontHandles().size());
}

std::vector<HFONT> Gdi::LiveFontHandles() const {
    std::vector<HFONT> fonts;
    for (const auto& kv : m_objects)
        if (kv.second.kind == Kind::Font && kv.second.stock < 0 && !kv.second.systemOwned &&
            !kv.second.deletePending)
            fonts.push_back(reinterpret_cast<HFONT>(kv.first));
    return fonts;
}

int Gdi::LiveBrushes() const {
    int n = 0;
    for (const auto& kv : m_objects)
        if (kv.second.kind == Kind::Brush && kv.second.stock < 0 && !kv.second.deletePending)
            n++;
    return n;
}

HFONT Gdi::CreateSystemFont(const LOGFONTA& font) {
    Object o;
    o.kind = Kind::Font;
    o.systemOwned = true;
    o.font = font;
    o.font.lfFaceName[LF_FACESIZE - 1] = 0;
    return reinterpret_cast<HFONT>(AddObject(o));
}

void Gdi::DestroySystemFont(HFONT font) {
    auto it = m_objects.find(reinterpret_cast<uintptr_t>(font));
    if (it != m_objects.end() && it->second.systemOwned)
        Delete(font);
}

HDC Gdi::AddDc(const DeviceContext& dc) {
    uintptr_t h = NextHandle();
    m_dcs[h] = dc;
    return reinterpret_cast<HDC>(h);
}

Gdi::DeviceContext* Gdi::MutableDc(HDC dc) {
    auto it = m_dcs.find(reinterpret_cast<uintptr_t>(dc));
    return it == m_dcs.end() ? nullptr : &it->second;
}

const Gdi::DeviceContext* Gdi::DcOf(HDC dc) const {
    auto it = m_dcs.find(reinterpret_cast<uintptr_t>(dc));
    return it == m_dcs.end() ? nullptr : &it->second;
}

HWND Gdi::WindowOf(HDC dc) const {
    const DeviceContext* d = DcOf(dc);
    return d ? d->window : nullptr;
}

HFONT Gdi::SelectedFont(HDC dc) const {
    const DeviceContext* d = DcOf(dc);
    return d ? d->font : nullptr;
}

bool Gdi::ReleaseDc(HDC dc) {
    auto it = m_dcs.find(reinterpret_cast<uintptr_t>(dc));
    if (it == m_dcs.end())
        return false;
    HGDIOBJ font = it->second.font, brush = it->second.brush;
    m_dcs.erase(it);
    Deselected(font);
    Deselected(brush);
    return true;
}

int Gdi::PaintCount(HWND window) const {
    auto it = m_paints.find(window);
    return it == m_paints.end() ? 0 : it->second;
}

HICON Gdi::SharedIcon(const IconObject& icon) {
    std::string key = std::string(icon.cursor ? "C|" : "I|") + icon.systemName + "|" +
                      NameKey(icon.modulePath) + "|" + icon.resource;
    auto it = m_sharedIcons.find(key);
    if (it != m_sharedIcons.end())
        return reinterpret_cast<HICON>(it->second);
    uintptr_t h = NextHandle();
    m_icons[h] = icon;
    m_sharedIcons[key] = h;
    return reinterpret_cast<HICON>(h);
}

const Gdi::IconObject* Gdi::IconOf(HICON icon) const {
    auto it = m_icons.find(reinterpret_cast<uintptr_t>(icon));
    return it == m_icons.end() ? nullptr : &it->second;
}

namespace {

std::string NameOf(const Gdi::IconObject* o, bool cursor) {
    if (!o || o->cursor != cursor)
        return std::string();
    if (!o->systemName.empty())
        return o->systemName;
    return rsim::FileNamePart(o->modulePath) + o->resource;
}

}  // namespace

std::string Gdi::CursorName(HCURSOR cursor) const {
    return NameOf(IconOf(cursor), true);
}

std::string Gdi::IconName(HICON icon) const {
    return NameOf(IconOf(icon), false);
}

}  // namespace winsim
