// Code page conversions through iconv, which knows CP1252 and CP932 as Windows defines them.
#include <winsim/codepage.h>

#include <errno.h>
#include <iconv.h>

#include <string>

namespace winsim {

namespace {

std::string CodePageName(unsigned cp) {
    if (cp == 65001)
        return "UTF-8";
    return "CP" + std::to_string(cp);
}

// Converts `in` from one charset to another, replacing what does not convert by `replacement`.
std::string Convert(const char* from, const char* to, const std::string& in, const std::string& replacement,
                    size_t unitSize) {
    iconv_t cd = iconv_open(to, from);
    if (cd == (iconv_t)-1)
        return std::string();
    std::string out;
    char buf[256];
    char* src = const_cast<char*>(in.data());
    size_t left = in.size();
    while (left > 0) {
        char* dst = buf;
        size_t room = sizeof(buf);
        size_t r = iconv(cd, &src, &left, &dst, &room);
        out.append(buf, dst - buf);
        if (r == (size_t)-1 && errno != E2BIG) {
            // Skip one unit of unconvertible input.
            size_t skip = unitSize < left ? unitSize : left;
            src += skip;
            left -= skip;
            out += replacement;
        }
    }
    iconv_close(cd);
    return out;
}

}  // namespace

std::string ToAnsi(const std::u16string& text, unsigned cp) {
    std::string in(reinterpret_cast<const char*>(text.data()), text.size() * 2);
    return Convert("UTF-16LE", CodePageName(cp).c_str(), in, "?", 2);
}

std::u16string FromAnsi(const std::string& text, unsigned cp) {
    std::string q("?\0", 2);
    std::string out = Convert(CodePageName(cp).c_str(), "UTF-16LE", text, q, 1);
    return std::u16string(reinterpret_cast<const char16_t*>(out.data()), out.size() / 2);
}

std::u16string FromUtf8(const std::string& text) {
    return FromAnsi(text, 65001);
}

bool IsLeadByte(unsigned char c, unsigned cp) {
    if (cp == 932)
        return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
    return false;
}

}  // namespace winsim
