// The dialog manager: templates, dialog creation, the modal loop, keyboard navigation and the default dialog procedure.
#include "r_internal.h"
#include "w_internal.h"

#include <algorithm>
#include <cstdio>

namespace winsim {
namespace wm {

namespace {

// Reads a DLGTEMPLATE or DLGTEMPLATEEX as windres writes it: WORDs, DWORDs, UTF-16 strings, ordinals.
class TemplateReader {
public:
    TemplateReader(const uint8_t* data, size_t size) : m_p(data), m_end(data + size) {}
    bool Ok() const { return m_ok; }
    const uint8_t* Pos() const { return m_p; }
    WORD Word() {
        if (m_end - m_p < 2) {
            m_ok = false;
            m_p = m_end;
            return 0;
        }
        WORD v = WORD(m_p[0] | m_p[1] << 8);
        m_p += 2;
        return v;
    }
    DWORD Dword() {
        DWORD lo = Word();
        return lo | DWORD(Word()) << 16;
    }
    std::u16string String() {
        std::u16string s;
        for (WORD c; (c = Word()) != 0 && m_ok;)
            s.push_back(char16_t(c));
        return s;
    }
    // A string, or 0xFFFF followed by an ordinal.
    void NameOrOrdinal(std::u16string* name, WORD* ordinal, bool* isOrdinal) {
        WORD first = Word();
        *isOrdinal = false;
        *ordinal = 0;
        name->clear();
        if (first == 0xFFFF) {
            *isOrdinal = true;
            *ordinal = Word();
        } else if (first != 0) {
            name->push_back(char16_t(first));
            *name += String();
        }
    }
    void Skip(size_t bytes) {
        if (size_t(m_end - m_p) < bytes) {
            m_ok = false;
            m_p = m_end;
        } else {
            m_p += bytes;
        }
    }
    void AlignDword() {
        uintptr_t a = reinterpret_cast<uintptr_t>(m_p);
        size_t pad = size_t((4 - (a & 3)) & 3);
        if (size_t(m_end - m_p) < pad)
            m_p = m_end;
        else
            m_p += pad;
    }

private:
    const uint8_t* m_p;
    const uint8_t* m_end;
    bool m_ok = true;
};

struct ItemTemplate {
    DWORD style = 0, exStyle = 0, helpId = 0;
    short x = 0, y = 0, cx = 0, cy = 0;
    DWORD id = 0;
    bool classIsOrdinal = false;
    WORD classOrdinal = 0;
    std::u16string className;
    bool titleIsOrdinal = false;
    WORD titleOrdinal = 0;
    std::u16string title;
    const void* data = nullptr;
};

struct DialogTemplate {
    bool ex = false;
    DWORD style = 0, exStyle = 0, helpId = 0;
    WORD count = 0;
    short x = 0, y = 0, cx = 0, cy = 0;
    bool menuIsOrdinal = false;
    WORD menuOrdinal = 0;
    std::u16string menu;
    bool classIsOrdinal = false;
    WORD classOrdinal = 0;
    std::u16string className;
    std::u16string caption;
    WORD pointSize = 0;
    WORD weight = 0;
    BYTE italic = 0;
    std::u16string face;
    std::vector<ItemTemplate> items;
};

bool ParseTemplate(const uint8_t* data, size_t size, DialogTemplate* t) {
    TemplateReader r(data, size);
    WORD version = r.Word();
    WORD signature = r.Word();
    if (version == 1 && signature == 0xFFFF) {
        t->ex = true;
        t->helpId = r.Dword();
        t->exStyle = r.Dword();
        t->style = r.Dword();
    } else {
        t->style = DWORD(version) | DWORD(signature) << 16;
        t->exStyle = r.Dword();
    }
    t->count = r.Word();
    t->x = short(r.Word());
    t->y = short(r.Word());
    t->cx = short(r.Word());
    t->cy = short(r.Word());
    r.NameOrOrdinal(&t->menu, &t->menuOrdinal, &t->menuIsOrdinal);
    r.NameOrOrdinal(&t->className, &t->classOrdinal, &t->classIsOrdinal);
    t->caption = r.String();
    if (t->style & DS_SETFONT) {
        t->pointSize = r.Word();
        // 0x7FFF asks for the message box font and carries no face.
        if (t->pointSize != 0x7FFF) {
            if (t->ex) {
                t->weight = r.Word();
                WORD italicCharset = r.Word();
                t->italic = LOBYTE(italicCharset);
            }
            t->face = r.String();
        }
    }
    for (WORD i = 0; i < t->count && r.Ok(); ++i) {
        r.AlignDword();
        ItemTemplate item;
        if (t->ex) {
            item.helpId = r.Dword();
            item.exStyle = r.Dword();
            item.style = r.Dword();
        } else {
            item.style = r.Dword();
            item.exStyle = r.Dword();
        }
        item.x = short(r.Word());
        item.y = short(r.Word());
        item.cx = short(r.Word());
        item.cy = short(r.Word());
        item.id = t->ex ? r.Dword() : r.Word();
        r.NameOrOrdinal(&item.className, &item.classOrdinal, &item.classIsOrdinal);
        r.NameOrOrdinal(&item.title, &item.titleOrdinal, &item.titleIsOrdinal);
        // Creation data: a WORD byte count; the control gets a pointer to that count.
        const uint8_t* extra = r.Pos();
        WORD extraBytes = r.Word();
        if (extraBytes) {
            item.data = extra;
            r.Skip(extraBytes);
        }
        t->items.push_back(item);
    }
    return r.Ok();
}

int DlgMulDiv(int value, int numerator, int denominator) {
    long long v = (long long)value * numerator;
    // MulDiv rounds halves away from zero.
    long long q = (v >= 0 ? v + denominator / 2 : v - denominator / 2) / denominator;
    return int(q);
}

const char* BuiltInClass(WORD ordinal) {
    static const char* const names[] = {"Button", "Edit", "Static", "ListBox", "ScrollBar", "ComboBox"};
    // Windows takes 0-5 the same as 0x80-0x85.
    if (ordinal >= 0x80 && ordinal <= 0x85)
        ordinal -= 0x80;
    return ordinal <= 5 ? names[ordinal] : nullptr;
}

DialogData* DataOf(HWND hwnd) {
    Wnd* w = Get(hwnd);
    return w ? w->dialog.get() : nullptr;
}

void SaveFocus(HWND dlg) {
    HWND focus = S().focus;
    DialogData* d = DataOf(dlg);
    if (!focus || !d || !IsDescendant(dlg, focus))
        return;
    d->savedFocus = focus;
}

// Focus to a control the way the dialog manager does: an edit control gets its text selected.
void DialogSetFocus(HWND ctrl) {
    if (Send(ctrl, WM_GETDLGCODE, 0, 0) & DLGC_HASSETSEL)
        Send(ctrl, EM_SETSEL, 0, -1);
    SetFocusTo(ctrl);
}

void RestoreFocus(HWND dlg, bool justActivate) {
    Wnd* w = Get(dlg);
    DialogData* d = DataOf(dlg);
    if (!w || !d || (w->style & WS_MINIMIZE) || d->ended)
        return;
    if (!Get(d->savedFocus) || d->savedFocus == dlg) {
        if (justActivate)
            return;
        d->savedFocus = NextTabItem(dlg, nullptr, false);
        if (!d->savedFocus)
            d->savedFocus = NextGroupItem(dlg, nullptr, false);
        if (!Get(d->savedFocus))
            return;
    }
    HWND target = d->savedFocus;
    d->savedFocus = nullptr;
    if (justActivate)
        SetFocusTo(target);
    else
        DialogSetFocus(target);
}

HWND FindDefButton(HWND dlg) {
    Wnd* w = Get(dlg);
    if (!w)
        return nullptr;
    std::vector<HWND> children = w->children;
    for (HWND c : children)
        if (Get(c) && (Send(c, WM_GETDLGCODE, 0, 0) & DLGC_DEFPUSHBUTTON))
            return c;
    return nullptr;
}

void SetDefId(HWND dlg, DialogData* d, WPARAM id) {
    HWND newButton = FindChildById(dlg, int(id));
    INT_PTR oldId = d->idResult;
    d->idResult = INT_PTR(id);
    LRESULT code = 0;
    if (newButton && !((code = Send(newButton, WM_GETDLGCODE, 0, 0)) & (DLGC_UNDEFPUSHBUTTON | DLGC_BUTTON)))
        return;
    HWND oldButton = FindChildById(dlg, int(oldId));
    if (!oldButton || !(Send(oldButton, WM_GETDLGCODE, 0, 0) & DLGC_DEFPUSHBUTTON))
        oldButton = FindDefButton(dlg);
    if (oldButton && oldButton != newButton)
        Send(oldButton, BM_SETSTYLE, BS_PUSHBUTTON, TRUE);
    if (newButton && (code & DLGC_UNDEFPUSHBUTTON))
        Send(newButton, BM_SETSTYLE, BS_DEFPUSHBUTTON, TRUE);
}

// After the focus moved to `newButton`: a push button with the focus is the default one, otherwise
// the default id's button is.
void SetDefButton(HWND dlg, DialogData* d, HWND newButton) {
    HWND oldButton = FindChildById(dlg, int(d->idResult));
    LRESULT code = 0;
    if (newButton && !((code = Send(newButton, WM_GETDLGCODE, 0, 0)) & (DLGC_UNDEFPUSHBUTTON | DLGC_DEFPUSHBUTTON))) {
        newButton = oldButton;
        code = newButton ? Send(newButton, WM_GETDLGCODE, 0, 0) : 0;
    }
    if (!oldButton || !(Send(oldButton, WM_GETDLGCODE, 0, 0) & DLGC_DEFPUSHBUTTON))
        oldButton = FindDefButton(dlg);
    if (oldButton && oldButton != newButton)
        Send(oldButton, BM_SETSTYLE, BS_PUSHBUTTON, TRUE);
    if (newButton && (code & DLGC_UNDEFPUSHBUTTON))
        Send(newButton, BM_SETSTYLE, BS_DEFPUSHBUTTON, TRUE);
}

// GetDlgItem that also looks inside child windows.
HWND IdToHwnd(HWND parent, int id) {
    Wnd* w = Get(parent);
    if (!w)
        return nullptr;
    for (HWND c : w->children) {
        Wnd* cw = Get(c);
        if (!cw)
            continue;
        if (LONG(cw->id) == LONG(id))
            return c;
        if (HWND h = IdToHwnd(c, id))
            return h;
    }
    return nullptr;
}

LRESULT DefDlgOwn(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, DialogData* d) {
    switch (msg) {
    case WM_ERASEBKGND:
        return 1;
    case WM_NCDESTROY:
        if (d && d->font) {
            Current().gdi.DestroySystemFont(d->font);
            d->font = nullptr;
        }
        return DefWindow(hwnd, msg, wParam, lParam);
    case WM_SHOWWINDOW:
        if (!wParam)
            SaveFocus(hwnd);
        return DefWindow(hwnd, msg, wParam, lParam);
    case WM_ACTIVATE:
        if (wParam)
            RestoreFocus(hwnd, true);
        else
            SaveFocus(hwnd);
        return 0;
    case WM_SETFOCUS:
        RestoreFocus(hwnd, false);
        return 0;
    case DM_SETDEFID:
        if (d && !d->ended)
            SetDefId(hwnd, d, wParam);
        return 1;
    case DM_GETDEFID:
        if (d && !d->ended) {
            if (d->idResult)
                return MAKELONG(d->idResult, DC_HASDEFID);
            if (HWND def = FindDefButton(hwnd))
                return MAKELONG(Get(def)->id, DC_HASDEFID);
        }
        return 0;
    case WM_NEXTDLGCTL:
        if (d) {
            HWND dest = reinterpret_cast<HWND>(wParam);
            if (!lParam)
                dest = NextTabItem(hwnd, S().focus, wParam != 0);
            if (dest)
                DialogSetFocus(dest);
            SetDefButton(hwnd, d, dest);
        }
        return 0;
    case WM_GETFONT:
        return d ? reinterpret_cast<LRESULT>(d->font) : 0;
    case WM_CLOSE: {
        // IDCANCEL's BN_CLICKED is posted, but a disabled IDCANCEL control makes the close box only beep.
        HWND cancel = FindChildById(hwnd, IDCANCEL);
        if (cancel && (Get(cancel)->style & WS_DISABLED)) {
            S().beeps.push_back(0);
            return 0;
        }
        Post(hwnd, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), reinterpret_cast<LPARAM>(cancel));
        return 0;
    }
    }
    return DefWindow(hwnd, msg, wParam, lParam);
}

}  // namespace

bool GetExtra(const Wnd* w, int offset, LONG_PTR* value, size_t size) {
    if (offset < 0 || size_t(offset) + size > w->extra.size())
        return false;
    LONG_PTR v = 0;
    memcpy(&v, w->extra.data() + offset, size);
    if (size == sizeof(LONG))
        v = LONG_PTR(LONG(v));
    *value = v;
    return true;
}

bool SetExtra(Wnd* w, int offset, LONG_PTR value, size_t size) {
    if (offset < 0 || size_t(offset) + size > w->extra.size())
        return false;
    memcpy(w->extra.data() + offset, &value, size);
    return true;
}

DLGPROC DialogProcOf(const Wnd* w) {
    LONG_PTR v = 0;
    if (!w->dialog || !GetExtra(w, DWLP_DLGPROC, &v))
        return nullptr;
    return reinterpret_cast<DLGPROC>(v);
}

HICON LoadModuleIcon(HINSTANCE instance, LPCSTR name) {
    rsim::FoundResource group = rsim::FindResourceIn(instance, RT_GROUP_ICON, name, 0, "LoadIconA");
    if (!group.entry)
        return nullptr;
    Gdi::IconObject icon;
    icon.modulePath = group.module->path;
    icon.resource = rsim::IdText(name);
    return Current().gdi.SharedIcon(icon);
}

// ---- keyboard navigation ----

HWND NextTabItem(HWND dlg, HWND ctrl, bool previous) {
    if (ctrl == dlg)
        ctrl = nullptr;
    if (!ctrl && previous)
        return nullptr;
    Wnd* d = Get(dlg);
    if (!d)
        return nullptr;
    std::vector<HWND> kids;
    for (HWND h : d->children)
        if (Get(h))
            kids.push_back(h);
    auto eligible = [](HWND h) {
        Wnd* c = Get(h);
        return c && (c->style & WS_TABSTOP) && (c->style & WS_VISIBLE) && !(c->style & WS_DISABLED);
    };
    int n = int(kids.size());
    if (!ctrl) {
        for (HWND h : kids)
            if (eligible(h))
                return h;
        return nullptr;
    }
    // A control deeper down counts as the dialog's child that holds it.
    HWND holder = ctrl;
    while (Get(holder) && Get(holder)->parent && Get(holder)->parent != dlg)
        holder = Get(holder)->parent;
    int at = int(std::find(kids.begin(), kids.end(), holder) - kids.begin());
    if (at >= n)
        return ctrl;
    for (int step = 1; step <= n; ++step) {
        int j = previous ? ((at - step) % n + n) % n : (at + step) % n;
        if (eligible(kids[size_t(j)]))
            return kids[size_t(j)];
    }
    return ctrl;
}

HWND NextGroupItem(HWND dlg, HWND ctrl, bool previous) {
    if (ctrl == dlg)
        ctrl = nullptr;
    if (!ctrl && previous)
        return nullptr;
    Wnd* d = Get(dlg);
    if (!d)
        return nullptr;
    std::vector<HWND> kids;
    for (HWND h : d->children)
        if (Get(h))
            kids.push_back(h);
    if (kids.empty())
        return nullptr;
    auto usable = [](HWND h) {
        Wnd* c = Get(h);
        return c && (c->style & WS_VISIBLE) && !(c->style & WS_DISABLED);
    };
    if (!ctrl) {
        if (usable(kids[0]))
            return kids[0];
        ctrl = kids[0];
    }
    int n = int(kids.size());
    int at = int(std::find(kids.begin(), kids.end(), ctrl) - kids.begin());
    if (at >= n)
        return nullptr;
    int start = at;
    while (start > 0 && !(Get(kids[size_t(start)])->style & WS_GROUP))
        --start;
    int end = at + 1;
    while (end < n && !(Get(kids[size_t(end)])->style & WS_GROUP))
        ++end;
    int size = end - start;
    for (int step = 1; step < size; ++step) {
        int j = start + (previous ? ((at - start - step) % size + size) % size : (at - start + step) % size);
        if (usable(kids[size_t(j)]))
            return kids[size_t(j)];
    }
    return ctrl;
}

// ---- creation ----

const std::vector<uint8_t>* FindTemplate(HINSTANCE instance, LPCSTR name, DWORD* error) {
    rsim::FoundResource found = rsim::FindResourceIn(instance, RT_DIALOG, name, 0, "DialogBoxParamA");
    if (!found.entry) {
        *error = found.error;
        return nullptr;
    }
    return &found.entry->data;
}

HWND CreateDialogFrom(HINSTANCE instance, const uint8_t* data, size_t size, HWND owner, DLGPROC proc, LPARAM param,
                      bool modal, const std::string& name, int templateId) {
    UiState& s = S();
    DialogTemplate t;
    if (!data || !ParseTemplate(data, size, &t)) {
        SetError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    Gdi& gdi = Current().gdi;
    HFONT font = nullptr;
    int xBase = 8, yBase = 16;  // GetDialogBaseUnits: the system font
    if ((t.style & DS_SETFONT) && t.pointSize != 0x7FFF) {
        std::string face = ToA(t.face);
        LOGFONTA lf{};
        lf.lfHeight = -DlgMulDiv(short(t.pointSize), 96, 72);
        lf.lfWeight = t.weight;
        lf.lfItalic = t.italic;
        lf.lfCharSet = DEFAULT_CHARSET;
        lf.lfQuality = PROOF_QUALITY;
        lf.lfPitchAndFamily = FF_DONTCARE;
        snprintf(lf.lfFaceName, sizeof(lf.lfFaceName), "%s", face.c_str());
        font = gdi.CreateSystemFont(lf);
        int cx = 0, cy = 0;
        DialogBaseUnits(face, short(t.pointSize), cx, cy);
        if (cx > 0 && cy > 0) {
            xBase = cx;
            yBase = cy;
        }
    }

    DWORD style = t.style;
    DWORD exStyle = t.exStyle;
    if (style & DS_CONTROL)
        style &= ~(WS_CAPTION | WS_SYSMENU);
    style |= DS_3DLOOK;
    if (style & DS_MODALFRAME)
        exStyle |= WS_EX_DLGMODALFRAME;
    if ((style & DS_CONTROL) || !(style & WS_CHILD))
        exStyle |= WS_EX_CONTROLPARENT;
    RECT in = Insets(style, exStyle);
    int width = DlgMulDiv(t.cx, xBase, 4) + in.left + in.right;
    int height = DlgMulDiv(t.cy, yBase, 8) + in.top + in.bottom;
    POINT pos{-in.left, -in.top};
    if (t.x == short(0x8000)) {
        pos = POINT{0, 0};
    } else {
        RECT work{0, 0, 1024, 768};
        if (style & DS_CENTER) {
            pos.x = (work.left + work.right - width) / 2;
            pos.y = (work.top + work.bottom - height) / 2;
        } else {
            pos.x += DlgMulDiv(t.x, xBase, 4);
            pos.y += DlgMulDiv(t.y, yBase, 8);
            if (!(style & (WS_CHILD | DS_ABSALIGN)) && Get(owner)) {
                POINT o = ClientOrigin(Get(owner));
                pos.x += o.x;
                pos.y += o.y;
            }
        }
        if (!(style & WS_CHILD)) {
            // Keep the dialog on the screen.
            if (pos.x + width + 3 - work.right > 0)
                pos.x -= pos.x + width + 3 - work.right;
            if (pos.y + height + 3 - work.bottom > 0)
                pos.y -= pos.y + height + 3 - work.bottom;
            pos.x = std::max<LONG>(pos.x, work.left);
            pos.y = std::max<LONG>(pos.y, work.top);
        }
    }

    HWND disabledOwner = nullptr;
    if (modal && owner) {
        owner = TopLevelOf(owner);
        if (Wnd* o = Get(owner); o && !(o->style & WS_DISABLED)) {
            disabledOwner = owner;
            EnableWin(owner, false);
        }
    }

    std::string caption = ToA(t.caption);
    CreateParams cp;
    cp.exStyle = exStyle;
    if (t.classIsOrdinal)
        cp.classAtom = t.classOrdinal;
    else if (t.className.empty())
        cp.className = "#32770";
    else
        cp.className = ToA(t.className);
    cp.name = caption.c_str();
    cp.style = style & ~WS_VISIBLE;
    cp.x = pos.x;
    cp.y = pos.y;
    cp.cx = width;
    cp.cy = height;
    cp.parent = owner;
    cp.instance = instance;
    HWND hwnd = Create(cp);
    Wnd* w = Get(hwnd);
    if (!w || !w->dialog) {
        if (font)
            gdi.DestroySystemFont(font);
        if (disabledOwner)
            EnableWin(disabledOwner, true);
        if (w)
            Destroy(hwnd);
        return nullptr;
    }
    DialogData* d = w->dialog.get();
    d->font = font;
    d->xBase = xBase;
    d->yBase = yBase;
    d->modal = modal;
    DialogRecord record;
    record.hwnd = hwnd;
    record.templateId = templateId;
    record.templateName = name;
    record.caption = caption;
    record.modal = modal;
    s.dialogs.push_back(record);
    d->record = int(s.dialogs.size() - 1);
    SetExtra(w, DWLP_DLGPROC, reinterpret_cast<LONG_PTR>(proc));

    if (proc && font)
        Send(hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(font), 0);

    HWND defButton = nullptr;
    for (const ItemTemplate& item : t.items) {
        if (!Get(hwnd))
            return nullptr;
        DWORD itemStyle = (item.style & ~WS_POPUP) | WS_CHILD;
        DWORD itemEx = item.exStyle;
        if (itemStyle & WS_BORDER) {
            itemStyle &= ~WS_BORDER;
            itemEx |= WS_EX_CLIENTEDGE;
        }
        CreateParams ci;
        ci.exStyle = itemEx | WS_EX_NOPARENTNOTIFY;
        if (item.classIsOrdinal) {
            const char* builtIn = BuiltInClass(item.classOrdinal);
            ci.className = builtIn ? builtIn : "";
        } else {
            ci.className = ToA(item.className);
        }
        std::string title;
        if (item.titleIsOrdinal) {
            // The A functions pass a resource id as "\xff" and the id's two bytes.
            title.push_back(char(0xFF));
            title.push_back(char(LOBYTE(item.titleOrdinal)));
            title.push_back(char(HIBYTE(item.titleOrdinal)));
        } else {
            title = ToA(item.title);
        }
        ci.name = title.c_str();
        ci.style = itemStyle;
        ci.x = DlgMulDiv(item.x, xBase, 4);
        ci.y = DlgMulDiv(item.y, yBase, 8);
        ci.cx = DlgMulDiv(item.cx, xBase, 4);
        ci.cy = DlgMulDiv(item.cy, yBase, 8);
        ci.parent = hwnd;
        ci.idOrMenu = LONG_PTR(item.id);
        ci.instance = instance;
        ci.param = const_cast<void*>(item.data);
        HWND ctrl = Create(ci);
        if (!ctrl) {
            if (t.style & DS_NOFAILCREATE)
                continue;
            if (disabledOwner)
                EnableWin(disabledOwner, true);
            Destroy(hwnd);
            SetError(0);
            return nullptr;
        }
        if (font)
            Send(ctrl, WM_SETFONT, reinterpret_cast<WPARAM>(font), 0);
        if (Send(ctrl, WM_GETDLGCODE, 0, 0) & DLGC_DEFPUSHBUTTON) {
            // Only one default push button: an earlier one becomes a plain push button.
            if (defButton)
                Send(defButton, BM_SETSTYLE, BS_PUSHBUTTON, FALSE);
            defButton = ctrl;
            d->idResult = INT_PTR(item.id);
        }
    }

    if (proc) {
        HWND focus = NextTabItem(hwnd, nullptr, false);
        if (!focus)
            focus = NextGroupItem(hwnd, nullptr, false);
        if (Send(hwnd, WM_INITDIALOG, reinterpret_cast<WPARAM>(focus), param) && Get(hwnd) &&
            (!(t.style & DS_CONTROL) || (t.style & WS_VISIBLE))) {
            // TRUE asks for the default focus; WM_INITDIALOG may have changed the tab order.
            focus = NextTabItem(hwnd, nullptr, false);
            if (!focus)
                focus = NextGroupItem(hwnd, nullptr, false);
            if (focus)
                DialogSetFocus(focus);
            else if (!(t.style & WS_CHILD))
                SetFocusTo(hwnd);
        }
    }
    if (Get(hwnd) && (t.style & WS_VISIBLE) && !(Get(hwnd)->style & WS_VISIBLE))
        Show(hwnd, SW_SHOWNORMAL);
    return hwnd;
}

// ---- the modal loop ----

INT_PTR RunModal(HWND hwnd, HWND owner) {
    Wnd* w = Get(hwnd);
    if (!w || !w->dialog)
        return -1;
    DialogData* d = w->dialog.get();
    bool firstEmpty = true;
    if (!d->ended) {
        for (;;) {
            MSG msg;
            if (!Peek(&msg, nullptr, 0, 0, PM_REMOVE)) {
                // The dialog shows when its queue first runs dry, even one hidden during WM_INITDIALOG.
                if (firstEmpty) {
                    Show(hwnd, SW_SHOWNORMAL);
                    firstEmpty = false;
                }
                if (Get(hwnd) && !(Get(hwnd)->style & DS_NOIDLEMSG))
                    Send(owner, WM_ENTERIDLE, MSGF_DIALOGBOX, reinterpret_cast<LPARAM>(hwnd));
                GetBlocking(&msg, nullptr, 0, 0);
            }
            if (msg.message == WM_QUIT) {
                // The quit request belongs to the program's main loop: put it back.
                S().quitPending = true;
                S().quitCode = int(msg.wParam);
                if (!Get(hwnd))
                    return 0;
                break;
            }
            if (!Get(hwnd))
                return 0;
            if (!d->ended && !DialogMessage(hwnd, &msg)) {
                Translate(&msg);
                Dispatch(&msg);
            }
            if (!Get(hwnd))
                return 0;
            if (d->ended)
                break;
            if (firstEmpty && msg.message == WM_TIMER) {
                Show(hwnd, SW_SHOWNORMAL);
                firstEmpty = false;
            }
        }
    }
    INT_PTR result = d->idResult;
    Destroy(hwnd);
    return result;
}

BOOL EndDialogInternal(HWND hwnd, INT_PTR result) {
    Wnd* w = Get(hwnd);
    if (!w || !w->dialog)
        return FALSE;
    UiState& s = S();
    DialogData* d = w->dialog.get();
    d->idResult = result;
    d->ended = true;
    if (d->record >= 0) {
        s.dialogs[size_t(d->record)].ended = true;
        s.dialogs[size_t(d->record)].result = result;
    }
    HWND owner = w->owner;
    if (owner)
        EnableWin(owner, true);
    // Windows puts the focus on the dialog itself, then hides it without WM_SHOWWINDOW.
    if (IsDescendant(hwnd, s.focus))
        SetFocusTo(hwnd);
    if (Wnd* ww = Get(hwnd))
        SetVisible(ww, false);
    if (hwnd == s.active) {
        if (owner && Get(owner))
            Activate(owner);
        else
            ActivateOther(hwnd);
    }
    // Wakes the modal loop.
    Post(hwnd, WM_NULL, 0, 0);
    return TRUE;
}

bool DialogMessage(HWND dlg, MSG* msg) {
    if (!Get(dlg))
        return false;
    if (dlg != msg->hwnd && !IsDescendant(dlg, msg->hwnd))
        return false;
    switch (msg->message) {
    case WM_KEYDOWN: {
        LRESULT code = Send(msg->hwnd, WM_GETDLGCODE, msg->wParam, reinterpret_cast<LPARAM>(msg));
        if (code & DLGC_WANTMESSAGE)
            break;
        switch (msg->wParam) {
        case VK_TAB:
            if (!(code & DLGC_WANTTAB)) {
                Send(dlg, WM_NEXTDLGCTL, 0, 0);
                return true;
            }
            break;
        case VK_RIGHT:
        case VK_DOWN:
        case VK_LEFT:
        case VK_UP:
            if (!(code & DLGC_WANTARROWS)) {
                bool previous = msg->wParam == VK_LEFT || msg->wParam == VK_UP;
                HWND next = NextGroupItem(dlg, msg->hwnd, previous);
                if (next && Send(next, WM_GETDLGCODE, msg->wParam, reinterpret_cast<LPARAM>(msg)) ==
                                (DLGC_BUTTON | DLGC_RADIOBUTTON)) {
                    SetFocusTo(next);
                    Wnd* nw = Get(next);
                    if (nw && (nw->style & BS_TYPEMASK) == BS_AUTORADIOBUTTON &&
                        Send(next, BM_GETCHECK, 0, 0) != BST_CHECKED)
                        Send(next, BM_CLICK, 1, 0);
                } else {
                    Send(dlg, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(next), 1);
                }
                return true;
            }
            break;
        case VK_CANCEL:
        case VK_ESCAPE: {
            // Like the Cancel button: a disabled IDCANCEL control makes Esc only beep.
            HWND cancel = FindChildById(dlg, IDCANCEL);
            if (cancel && (Get(cancel)->style & WS_DISABLED))
                S().beeps.push_back(0);
            else
                Send(dlg, WM_COMMAND, IDCANCEL, reinterpret_cast<LPARAM>(cancel));
            return true;
        }
        case VK_EXECUTE:
        case VK_RETURN: {
            HWND focus = S().focus;
            DWORD defId;
            if (IsDescendant(dlg, focus) && (Send(focus, WM_GETDLGCODE, 0, 0) & DLGC_DEFPUSHBUTTON)) {
                Send(dlg, WM_COMMAND, MAKEWPARAM(Get(focus)->id, BN_CLICKED), reinterpret_cast<LPARAM>(focus));
            } else if (HIWORD(defId = DWORD(Send(dlg, DM_GETDEFID, 0, 0))) == DC_HASDEFID) {
                HWND def = IdToHwnd(dlg, LOWORD(defId));
                if (!def || !(Get(def)->style & WS_DISABLED))
                    Send(dlg, WM_COMMAND, MAKEWPARAM(LOWORD(defId), BN_CLICKED), reinterpret_cast<LPARAM>(def));
            } else {
                Send(dlg, WM_COMMAND, IDOK, reinterpret_cast<LPARAM>(FindChildById(dlg, IDOK)));
            }
            return true;
        }
        }
        break;
    }
    case WM_CHAR: {
        LRESULT code = Send(msg->hwnd, WM_GETDLGCODE, msg->wParam, reinterpret_cast<LPARAM>(msg));
        if (code & (DLGC_WANTCHARS | DLGC_WANTMESSAGE))
            break;
        if (msg->wParam == '\t' && (code & DLGC_WANTTAB))
            break;
        break;
    }
    }
    Translate(msg);
    Dispatch(msg);
    return true;
}

// ---- the dialog's window procedure ----

LRESULT DefDlg(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    Wnd* w = Get(hwnd);
    if (!w)
        return 0;
    DialogData* d = w->dialog.get();
    SetExtra(w, DWLP_MSGRESULT, 0);
    LRESULT result = 0;
    if (DLGPROC proc = DialogProcOf(w))
        result = proc(hwnd, msg, wParam, lParam);
    if (!result && Get(hwnd)) {
        switch (msg) {
        case WM_ERASEBKGND:
        case WM_SHOWWINDOW:
        case WM_ACTIVATE:
        case WM_SETFOCUS:
        case DM_SETDEFID:
        case DM_GETDEFID:
        case WM_NEXTDLGCTL:
        case WM_GETFONT:
        case WM_CLOSE:
        case WM_NCDESTROY:
        case WM_ENTERMENULOOP:
        case WM_LBUTTONDOWN:
        case WM_NCLBUTTONDOWN:
            return DefDlgOwn(hwnd, msg, wParam, lParam, d);
        case WM_INITDIALOG:
        case WM_VKEYTOITEM:
        case WM_COMPAREITEM:
        case WM_CHARTOITEM:
            break;
        default:
            return DefWindow(hwnd, msg, wParam, lParam);
        }
    }
    if ((msg >= WM_CTLCOLORMSGBOX && msg <= WM_CTLCOLORSTATIC) || msg == WM_COMPAREITEM || msg == WM_VKEYTOITEM ||
        msg == WM_CHARTOITEM || msg == WM_QUERYDRAGICON || msg == WM_INITDIALOG)
        return result;
    w = Get(hwnd);
    LONG_PTR stored = 0;
    if (w)
        GetExtra(w, DWLP_MSGRESULT, &stored);
    return stored;
}

LRESULT CALLBACK DialogWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    return DefDlg(hwnd, msg, wParam, lParam);
}

}  // namespace wm
}  // namespace winsim
