// The list box control: lines, sorting, single and multiple selection, scrolling and notifications.
#include "w_internal.h"

#include <algorithm>

namespace winsim {
namespace wm {

namespace {

bool IsMulti(const Wnd* w) {
    return (w->style & (LBS_MULTIPLESEL | LBS_EXTENDEDSEL)) && !(w->style & LBS_NOSEL);
}

bool HasStrings(const Wnd* w) {
    return !(w->style & (LBS_OWNERDRAWFIXED | LBS_OWNERDRAWVARIABLE)) || (w->style & LBS_HASSTRINGS);
}

int Count(const Wnd* w) {
    return int(w->lines.size());
}

// Sorted list boxes compare lines as CompareStringW(NORM_IGNORECASE) does (the word sort):
// '-' and '\'' count only to break ties, symbols come before digits, digits before letters, case is
// ignored and accents count after the letters themselves.
struct SortWeight {
    int primary = 0;    // 0: skipped by the word sort
    int secondary = 0;  // accent
};

SortWeight WeightOf(char16_t c) {
    static const char16_t kSymbols[] = u" !\"#$%&()*,./:;?@[\\]^_`{|}~+<=>";
    SortWeight w;
    if (c == u'-' || c == u'\'')
        return w;
    if (c >= u'0' && c <= u'9') {
        w.primary = 2000 + (c - u'0');
        return w;
    }
    char16_t lower = (c >= u'A' && c <= u'Z') ? char16_t(c + 32) : c;
    // Latin-1 letters: the base letter first, the accent as a second-level difference.
    static const char kBase[] = "aaaaaaaceeeeiiiidnooooo/ouuuuyty";
    if (lower >= 0xC0 && lower <= 0xFE && lower != 0xD7 && lower != 0xF7) {
        char16_t folded = lower >= 0xE0 ? lower : char16_t(lower + 0x20);
        char base = kBase[folded - 0xE0];
        w.primary = 3000 + (base - 'a');
        w.secondary = 1 + (folded - 0xE0);
        return w;
    }
    if (lower >= u'a' && lower <= u'z') {
        w.primary = 3000 + (lower - u'a');
        return w;
    }
    for (size_t i = 0; kSymbols[i]; ++i)
        if (kSymbols[i] == c) {
            w.primary = 1000 + int(i);
            return w;
        }
    // Other characters (kana, kanji...) after the Latin letters, in code point order.
    w.primary = c < 0x80 ? 1500 + c : 4000 + c;
    return w;
}

int CompareLines(const std::u16string& a, const std::u16string& b) {
    std::vector<SortWeight> wa, wb;
    int skippedA = 0, skippedB = 0;
    for (char16_t c : a) {
        SortWeight w = WeightOf(c);
        if (w.primary)
            wa.push_back(w);
        else
            skippedA++;
    }
    for (char16_t c : b) {
        SortWeight w = WeightOf(c);
        if (w.primary)
            wb.push_back(w);
        else
            skippedB++;
    }
    size_t n = std::min(wa.size(), wb.size());
    for (size_t i = 0; i < n; ++i)
        if (wa[i].primary != wb[i].primary)
            return wa[i].primary < wb[i].primary ? -1 : 1;
    if (wa.size() != wb.size())
        return wa.size() < wb.size() ? -1 : 1;
    for (size_t i = 0; i < n; ++i)
        if (wa[i].secondary != wb[i].secondary)
            return wa[i].secondary < wb[i].secondary ? -1 : 1;
    if (skippedA != skippedB)
        return skippedA < skippedB ? -1 : 1;
    return 0;
}

void Notify(Wnd* w, int code) {
    if (w->parent)
        Send(w->parent, WM_COMMAND, MAKEWPARAM(LOWORD(w->id), WORD(code)), reinterpret_cast<LPARAM>(w->handle));
}

int ClientHeight(const Wnd* w) {
    return int(ClientRectOf(w).bottom);
}

int PageSize(const Wnd* w) {
    int page = w->itemHeight > 0 ? ClientHeight(w) / w->itemHeight : 1;
    return std::max(page, 1);
}

// Scroll bars a list box asked for are shown only while needed, unless LBS_DISABLENOSCROLL keeps them.
void UpdateScroll(Wnd* w) {
    bool keep = (w->style & LBS_DISABLENOSCROLL) != 0;
    if (w->wantVScroll) {
        bool need = Count(w) > PageSize(w);
        if (need || keep)
            w->style |= WS_VSCROLL;
        else
            w->style &= ~WS_VSCROLL;
    }
    if (w->wantHScroll) {
        bool need = w->horzExtent > int(ClientRectOf(w).right);
        if (need || keep)
            w->style |= WS_HSCROLL;
        else
            w->style &= ~WS_HSCROLL;
    }
}

// Binary search for where `text` goes in a sorted list; an equal line's index, or -1 when `exact`.
int FindStringPos(Wnd* w, const std::u16string& text, bool exact) {
    if (w->lines.empty() || !(w->style & LBS_SORT))
        return -1;
    int lo = 0, hi = Count(w) - 1;
    while (lo <= hi) {
        int mid = (lo + hi) / 2;
        int r = CompareLines(w->lines[size_t(mid)].text, text);
        if (r == 0)
            return mid;
        if (r > 0)
            hi = mid - 1;
        else
            lo = mid + 1;
    }
    return exact ? -1 : lo;
}

int FindString(Wnd* w, int start, const std::u16string& text, bool exact) {
    if (text.empty() || w->lines.empty())
        return LB_ERR;
    int n = Count(w);
    start = start + 1;
    if (start >= n || start < 0)
        start = 0;
    for (int i = 0, at = start; i < n; ++i, ++at) {
        if (at == n)
            at = 0;
        const std::u16string& line = w->lines[size_t(at)].text;
        if (exact) {
            if (CompareLines(line, text) == 0)
                return at;
        } else if (line.size() >= text.size() && CompareLines(line.substr(0, text.size()), text) == 0) {
            return at;
        }
    }
    return LB_ERR;
}

bool IsSelected(const Wnd* w, int index) {
    if (index < 0 || index >= Count(w))
        return false;
    if (w->style & (LBS_MULTIPLESEL | LBS_EXTENDEDSEL))
        return w->lines[size_t(index)].selected;
    return index == w->selected;
}

void SetTop(Wnd* w, int index) {
    int max = std::max(Count(w) - PageSize(w), 0);
    index = std::min(std::max(index, 0), max);
    if (w->top != index) {
        w->top = index;
        Invalidate(w->handle, false);
    }
    UpdateScroll(w);
}

void MakeVisible(Wnd* w, int index) {
    if (index < w->top)
        SetTop(w, index);
    else if (index >= w->top + PageSize(w))
        SetTop(w, index - PageSize(w) + 1);
}

int SetCaret(Wnd* w, int index) {
    if ((w->style & LBS_NOSEL) || index < 0 || index >= Count(w))
        return LB_ERR;
    w->caret = index;
    MakeVisible(w, index);
    return LB_OKAY;
}

int SelectRange(Wnd* w, int first, int last, bool on) {
    if ((w->style & LBS_NOSEL) || !(w->style & LBS_MULTIPLESEL))
        return LB_ERR;
    if (w->lines.empty())
        return LB_OKAY;
    if (last == -1 || last >= Count(w))
        last = Count(w) - 1;
    first = std::max(first, 0);
    for (int i = first; i <= last; ++i)
        w->lines[size_t(i)].selected = on;
    Invalidate(w->handle, false);
    return LB_OKAY;
}

// Single selection: selects `index` (-1 clears). LBS_NOSEL boxes take the index from the program,
// as Windows does (the user cannot select in them).
int SetSelection(Wnd* w, int index, bool on, bool notify) {
    if (index < -1 || index >= Count(w))
        return LB_ERR;
    if (w->style & (LBS_MULTIPLESEL | LBS_EXTENDEDSEL)) {
        if (w->style & LBS_NOSEL)
            return LB_ERR;
        return index == -1 ? SelectRange(w, 0, -1, on) : SelectRange(w, index, index, on);
    }
    if (index == w->selected)
        return LB_OKAY;
    w->selected = index;
    Invalidate(w->handle, false);
    if (notify && !w->lines.empty())
        Notify(w, index != -1 ? LBN_SELCHANGE : LBN_SELCANCEL);
    return LB_OKAY;
}

int Insert(Wnd* w, int index, const std::u16string& text, ULONG_PTR data) {
    if (index == -1)
        index = Count(w);
    if (index < 0 || index > Count(w))
        return LB_ERR;
    ListLine line;
    if (HasStrings(w))
        line.text = text;
    else
        line.data = data;
    w->lines.insert(w->lines.begin() + index, line);
    UpdateScroll(w);
    Invalidate(w->handle, false);
    if (Count(w) == 1) {
        SetCaret(w, 0);
    } else if (!IsMulti(w) && index <= w->selected) {
        // The selected line keeps its selection as it moves down.
        w->selected++;
    }
    return index;
}

void ResetContent(Wnd* w) {
    w->lines.clear();
    w->top = 0;
    w->selected = -1;
    w->caret = 0;
    w->anchor = -1;
    UpdateScroll(w);
    Invalidate(w->handle, false);
}

int Remove(Wnd* w, int index) {
    if (index < 0 || index >= Count(w))
        return LB_ERR;
    Invalidate(w->handle, false);
    if (Count(w) == 1) {
        Send(w->handle, LB_RESETCONTENT, 0, 0);
        return LB_OKAY;
    }
    w->lines.erase(w->lines.begin() + index);
    if (w->anchor == Count(w))
        w->anchor--;
    UpdateScroll(w);
    if (Count(w) == PageSize(w))
        SetTop(w, 0);
    if (!IsMulti(w)) {
        if (index == w->selected)
            w->selected = -1;
        else if (index < w->selected)
            w->selected--;
    }
    if (w->caret >= Count(w))
        w->caret = std::max(Count(w) - 1, 0);
    return LB_OKAY;
}

// Keeps the client height a whole number of lines unless LBS_NOINTEGRALHEIGHT.
void UpdateSize(Wnd* w) {
    if (!(w->style & (LBS_NOINTEGRALHEIGHT | LBS_OWNERDRAWVARIABLE)) && w->itemHeight > 0) {
        int height = ClientHeight(w);
        int remaining = height % w->itemHeight;
        if (height > w->itemHeight && remaining) {
            Move(w, 0, 0, int(w->rect.right - w->rect.left), int(w->rect.bottom - w->rect.top) - remaining, false, true);
            return;
        }
    }
    SetTop(w, w->top);
}

int ItemHeightOf(HFONT font) {
    const LOGFONTA* lf = font ? Current().gdi.FontOf(font) : nullptr;
    if (!lf)
        return 16;  // the system font's cell
    return MetricsOf(*lf).height;
}

int ItemFromPoint(const Wnd* w, int y) {
    if (w->itemHeight <= 0)
        return -1;
    int index = w->top + y / w->itemHeight;
    if (y < 0)
        return w->lines.empty() ? -1 : std::max(w->top - 1, 0);
    return index < Count(w) ? index : -1;
}

std::u16string ArgText(Wnd* w, LPARAM lParam) {
    if (!HasStrings(w))
        return std::u16string();
    return FromA(reinterpret_cast<const char*>(lParam));
}

void MoveCaret(Wnd* w, int index) {
    if (index < 0 || index >= Count(w))
        return;
    if (!(w->style & (LBS_MULTIPLESEL | LBS_EXTENDEDSEL)))
        SetSelection(w, index, true, false);
    w->caret = index;
    MakeVisible(w, index);
}

}  // namespace

int ListLineY(HWND list, int index) {
    Wnd* w = Get(list);
    if (!w)
        return 0;
    MakeVisible(w, index);
    return (index - w->top) * w->itemHeight + w->itemHeight / 2;
}

LRESULT CALLBACK ListBoxProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    Wnd* w = Get(hwnd);
    if (!w)
        return 0;
    int index = int(wParam);
    switch (msg) {
    case WM_CREATE:
        w->wantVScroll = (w->style & WS_VSCROLL) != 0;
        w->wantHScroll = (w->style & WS_HSCROLL) != 0;
        w->caretOn = !(w->style & LBS_NOSEL);
        w->itemHeight = ItemHeightOf(nullptr);
        UpdateScroll(w);
        return 0;
    case LB_RESETCONTENT:
        ResetContent(w);
        return 0;
    case LB_ADDSTRING: {
        std::u16string text = ArgText(w, lParam);
        int pos = FindStringPos(w, text, false);
        return Insert(w, pos, text, ULONG_PTR(lParam));
    }
    case LB_INSERTSTRING:
        return Insert(w, index, ArgText(w, lParam), ULONG_PTR(lParam));
    case LB_DELETESTRING:
        if (Remove(w, index) == LB_ERR) {
            SetError(ERROR_INVALID_INDEX);
            return LB_ERR;
        }
        return Count(Get(hwnd));
    case LB_GETCOUNT:
        return Count(w);
    case LB_GETTEXT: {
        if (index < 0 || index >= Count(w)) {
            SetError(ERROR_INVALID_INDEX);
            return LB_ERR;
        }
        if (!HasStrings(w)) {
            if (lParam)
                *reinterpret_cast<ULONG_PTR*>(lParam) = w->lines[size_t(index)].data;
            return sizeof(ULONG_PTR);
        }
        // The buffer must hold the line: LB_GETTEXTLEN tells how big it has to be.
        std::string text = ToA(w->lines[size_t(index)].text);
        if (lParam) {
            char* out = reinterpret_cast<char*>(lParam);
            memcpy(out, text.c_str(), text.size() + 1);
        }
        return LRESULT(text.size());
    }
    case LB_GETTEXTLEN:
        if (index < 0 || index >= Count(w)) {
            SetError(ERROR_INVALID_INDEX);
            return LB_ERR;
        }
        if (!HasStrings(w))
            return sizeof(ULONG_PTR);
        return LRESULT(ToA(w->lines[size_t(index)].text).size());
    case LB_GETITEMDATA:
        if (index < 0 || index >= Count(w)) {
            SetError(ERROR_INVALID_INDEX);
            return LB_ERR;
        }
        return LRESULT(w->lines[size_t(index)].data);
    case LB_SETITEMDATA:
        if (index < 0 || index >= Count(w)) {
            SetError(ERROR_INVALID_INDEX);
            return LB_ERR;
        }
        w->lines[size_t(index)].data = ULONG_PTR(lParam);
        return TRUE;
    case LB_GETCURSEL:
        if (w->lines.empty())
            return LB_ERR;
        if (!IsMulti(w) || w->selected != -1)
            return w->selected;
        return w->caret;
    case LB_SETCURSEL: {
        if (IsMulti(w))
            return LB_ERR;
        SetCaret(w, index);
        int r = SetSelection(w, index, true, false);
        return r == LB_ERR ? LB_ERR : w->selected;
    }
    case LB_GETSEL:
        if (index < 0 || index >= Count(w))
            return LB_ERR;
        return IsSelected(w, index) ? 1 : 0;
    case LB_SETSEL: {
        int r = SetSelection(w, int(lParam), wParam != 0, false);
        if (r != LB_ERR && wParam)
            w->anchor = int(lParam);
        return r;
    }
    case LB_GETSELCOUNT: {
        if (!(w->style & LBS_MULTIPLESEL) || (w->style & LBS_NOSEL))
            return LB_ERR;
        int n = 0;
        for (const ListLine& l : w->lines)
            n += l.selected;
        return n;
    }
    case LB_GETSELITEMS: {
        if (!(w->style & LBS_MULTIPLESEL))
            return LB_ERR;
        int n = 0;
        int* out = reinterpret_cast<int*>(lParam);
        for (int i = 0; i < Count(w) && n < index; ++i)
            if (w->lines[size_t(i)].selected)
                out[n++] = i;
        return n;
    }
    case LB_SELECTSTRING: {
        int found = FindString(w, index, ArgText(w, lParam), false);
        if (found != LB_ERR) {
            MoveCaret(w, found);
            SetSelection(w, found, true, false);
        }
        return found;
    }
    case LB_FINDSTRING:
        return FindString(w, index, ArgText(w, lParam), false);
    case LB_FINDSTRINGEXACT:
        return FindString(w, index, ArgText(w, lParam), true);
    case LB_GETTOPINDEX:
        return w->top;
    case LB_SETTOPINDEX:
        SetTop(w, index);
        return LB_OKAY;
    case LB_GETCARETINDEX:
        return w->caret;
    case LB_SETCARETINDEX:
        if (!IsMulti(w) && w->selected != -1)
            return LB_ERR;
        return SetCaret(w, index) == LB_ERR ? LB_ERR : LB_OKAY;
    case LB_GETHORIZONTALEXTENT:
        return w->horzExtent;
    case LB_SETHORIZONTALEXTENT:
        if (!(w->style & LBS_MULTICOLUMN)) {
            w->horzExtent = index;
            UpdateScroll(w);
        }
        return LB_OKAY;
    case LB_GETITEMHEIGHT:
        return w->itemHeight;
    case LB_SETITEMHEIGHT: {
        int height = int(LOWORD(lParam));
        if (height > 255)
            return -1;
        if (!height)
            height = 1;
        if (height != w->itemHeight) {
            w->itemHeight = height;
            SetTop(w, w->top);
            Invalidate(hwnd, false);
        }
        return LB_OKAY;
    }
    case LB_GETITEMRECT: {
        if ((index < 0 || index >= Count(w)) && (index != 0 || Count(w)))
            return LB_ERR;
        RECT* r = reinterpret_cast<RECT*>(lParam);
        RECT c = ClientRectOf(w);
        r->left = 0;
        r->right = std::max<LONG>(c.right, w->horzExtent);
        r->top = (index - w->top) * w->itemHeight;
        r->bottom = r->top + w->itemHeight;
        return (r->bottom > 0 && r->top < c.bottom) ? 1 : 0;
    }
    case LB_ITEMFROMPOINT: {
        if (w->lines.empty())
            return 0x1FFFF;
        short y = short(HIWORD(lParam));
        short x = short(LOWORD(lParam));
        RECT c = ClientRectOf(w);
        bool hit = x >= 0 && x < c.right && y >= 0 && y < c.bottom;
        y = short(std::min<LONG>(std::max<LONG>(y, 0), c.bottom - 1));
        int at = ItemFromPoint(w, y);
        if (at == -1) {
            at = Count(w) - 1;
            hit = false;
        }
        return MAKELONG(at, hit ? 0 : 1);
    }
    case WM_GETDLGCODE:
        return DLGC_WANTARROWS | DLGC_WANTCHARS;
    case WM_SETFONT:
        w->font = reinterpret_cast<HFONT>(wParam);
        w->itemHeight = ItemHeightOf(w->font);
        UpdateSize(w);
        if (lParam && Get(hwnd))
            Invalidate(hwnd, false);
        return 0;
    case WM_GETFONT:
        return reinterpret_cast<LRESULT>(w->font);
    case WM_SIZE:
        UpdateSize(w);
        return 0;
    case WM_ENABLE:
        Invalidate(hwnd, false);
        return 0;
    case WM_SETFOCUS:
        w->inFocus = true;
        w->caretOn = true;
        Notify(w, LBN_SETFOCUS);
        return 0;
    case WM_KILLFOCUS:
        if (w->captured) {
            w->captured = false;
            if (S().capture == hwnd)
                CaptureMouse(nullptr);
        }
        if ((w = Get(hwnd))) {
            w->inFocus = false;
            Notify(w, LBN_KILLFOCUS);
        }
        return 0;
    case WM_LBUTTONDOWN: {
        int y = short(HIWORD(lParam));
        int at = ItemFromPoint(w, y);
        if (!w->caretOn && w->inFocus)
            return 0;
        if (!w->inFocus) {
            SetFocusTo(hwnd);
            if (!(w = Get(hwnd)))
                return 0;
        }
        // Lines of an LBS_NOSEL box can be looked at, not selected.
        if (at == -1 || (w->style & LBS_NOSEL))
            return 0;
        w->captured = true;
        CaptureMouse(hwnd);
        if (!(w = Get(hwnd)))
            return 0;
        if (w->style & (LBS_MULTIPLESEL | LBS_EXTENDEDSEL)) {
            w->anchor = at;
            w->caret = at;
            SetSelection(w, at, !IsSelected(w, at), (w->style & LBS_NOTIFY) != 0);
        } else {
            w->anchor = at;
            MoveCaret(w, at);
            SetSelection(w, at, true, (w->style & LBS_NOTIFY) != 0);
        }
        return 0;
    }
    case WM_LBUTTONUP:
        // The click's LBN_SELCHANGE comes with the button going up, even for the line already selected.
        if (w->captured) {
            w->captured = false;
            if (S().capture == hwnd)
                CaptureMouse(nullptr);
            if ((w = Get(hwnd)) && (w->style & LBS_NOTIFY) && !w->lines.empty())
                Notify(w, LBN_SELCHANGE);
        }
        return 0;
    case WM_LBUTTONDBLCLK:
        if (w->style & LBS_NOTIFY)
            Notify(w, LBN_DBLCLK);
        return 0;
    case WM_KEYDOWN: {
        if (w->lines.empty() || (w->style & LBS_NOSEL))
            return 0;
        int caret = -1;
        switch (wParam) {
        case VK_UP:
        case VK_LEFT:
            caret = std::max(w->caret - 1, 0);
            break;
        case VK_DOWN:
        case VK_RIGHT:
            caret = std::min(w->caret + 1, Count(w) - 1);
            break;
        case VK_PRIOR:
            caret = std::max(w->caret - PageSize(w) + 1, 0);
            break;
        case VK_NEXT:
            caret = std::min(w->caret + PageSize(w) - 1, Count(w) - 1);
            break;
        case VK_HOME:
            caret = 0;
            break;
        case VK_END:
            caret = Count(w) - 1;
            break;
        }
        if (caret >= 0) {
            w->anchor = caret;
            MoveCaret(w, caret);
            if (w->style & LBS_NOTIFY)
                Notify(w, LBN_SELCHANGE);
        }
        return 0;
    }
    case WM_CHAR: {
        if (w->style & LBS_NOSEL)
            return 0;
        char c[2] = {char(wParam), 0};
        int found = FindString(w, w->caret, FromA(c), false);
        if (found != LB_ERR) {
            MoveCaret(w, found);
            if ((w->style & LBS_NOTIFY) && !w->lines.empty())
                Notify(w, LBN_SELCHANGE);
        }
        return 0;
    }
    case WM_VSCROLL:
        switch (LOWORD(wParam)) {
        case SB_LINEUP:
            SetTop(w, w->top - 1);
            break;
        case SB_LINEDOWN:
            SetTop(w, w->top + 1);
            break;
        case SB_PAGEUP:
            SetTop(w, w->top - PageSize(w));
            break;
        case SB_PAGEDOWN:
            SetTop(w, w->top + PageSize(w));
            break;
        case SB_THUMBPOSITION:
        case SB_THUMBTRACK:
            SetTop(w, HIWORD(wParam));
            break;
        case SB_TOP:
            SetTop(w, 0);
            break;
        case SB_BOTTOM:
            SetTop(w, Count(w));
            break;
        }
        return 0;
    case WM_DESTROY:
        ResetContent(w);
        return 0;
    case WM_PAINT:
        w->needsPaint = false;
        return 0;
    }
    return DefWindow(hwnd, msg, wParam, lParam);
}

}  // namespace wm
}  // namespace winsim
