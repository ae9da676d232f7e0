// Builds DLGTEMPLATE bytes for the window manager's tests, as windres lays them out for a DIALOG statement.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace wtest {

class DialogTemplate {
public:
    explicit DialogTemplate(const std::u16string& caption,
                            DWORD style = DS_MODALFRAME | DS_SETFONT | WS_POPUP | WS_CAPTION | WS_SYSMENU)
        : m_caption(caption), m_style(style) {}

    DialogTemplate& Style(DWORD style) {
        m_style = style;
        return *this;
    }
    DialogTemplate& Font(WORD points, const std::u16string& face) {
        m_points = points;
        m_face = face;
        return *this;
    }
    // A control of a built-in class (0x80 button, 0x82 static, 0x83 list box...).
    DialogTemplate& Control(WORD atom, WORD id, const std::u16string& text, DWORD style, short x, short y, short cx,
                            short cy) {
        m_items.push_back(Item{atom, id, text, style | WS_CHILD | WS_VISIBLE, x, y, cx, cy});
        return *this;
    }
    DialogTemplate& Button(WORD id, const std::u16string& text, DWORD style = BS_PUSHBUTTON | WS_TABSTOP) {
        return Control(0x80, id, text, style, short(150), short(7 + 18 * m_buttons++), 50, 14);
    }
    DialogTemplate& List(WORD id, DWORD style) {
        return Control(0x83, id, u"", style | WS_BORDER | WS_VSCROLL | WS_TABSTOP, 7, 7, 130, 60);
    }
    DialogTemplate& Text(WORD id, const std::u16string& text) {
        return Control(0x82, id, text, SS_LEFT, 7, 70, 130, 8);
    }

    std::vector<uint8_t> Bytes() const {
        std::vector<uint8_t> b;
        Put32(b, m_style | (m_face.empty() ? 0 : DS_SETFONT));
        Put32(b, 0);
        Put16(b, uint16_t(m_items.size()));
        Put16(b, 0);
        Put16(b, 0);
        Put16(b, 210);
        Put16(b, 120);
        Put16(b, 0);  // no menu
        Put16(b, 0);  // the dialog class
        PutString(b, m_caption);
        if (!m_face.empty() || (m_style & DS_SETFONT)) {
            Put16(b, m_points);
            PutString(b, m_face.empty() ? u"MS Shell Dlg" : m_face);
        }
        for (const Item& i : m_items) {
            while (b.size() % 4)
                b.push_back(0);
            Put32(b, i.style);
            Put32(b, 0);
            Put16(b, uint16_t(i.x));
            Put16(b, uint16_t(i.y));
            Put16(b, uint16_t(i.cx));
            Put16(b, uint16_t(i.cy));
            Put16(b, i.id);
            Put16(b, 0xFFFF);
            Put16(b, i.atom);
            PutString(b, i.text);
            Put16(b, 0);  // no creation data
        }
        return b;
    }

private:
    struct Item {
        WORD atom;
        WORD id;
        std::u16string text;
        DWORD style;
        short x, y, cx, cy;
    };
    static void Put16(std::vector<uint8_t>& b, uint16_t v) {
        b.push_back(uint8_t(v));
        b.push_back(uint8_t(v >> 8));
    }
    static void Put32(std::vector<uint8_t>& b, uint32_t v) {
        Put16(b, uint16_t(v));
        Put16(b, uint16_t(v >> 16));
    }
    static void PutString(std::vector<uint8_t>& b, const std::u16string& s) {
        for (char16_t c : s)
            Put16(b, uint16_t(c));
        Put16(b, 0);
    }

    std::u16string m_caption;
    DWORD m_style;
    WORD m_points = 8;
    std::u16string m_face = u"MS Shell Dlg";
    std::vector<Item> m_items;
    int m_buttons = 0;
};

}  // namespace wtest
