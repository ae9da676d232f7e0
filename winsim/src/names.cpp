// The machine's single case-insensitive name form, shared by the registry, files, spooler and modules.
#include <winsim/codepage.h>
#include <winsim/machine.h>

namespace winsim {

std::string NameKey(const std::string& name, unsigned cp) {
    std::string out(name);
    for (size_t i = 0; i < out.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(out[i]);
        if (IsLeadByte(c, cp)) {
            ++i;  // the trail byte belongs to the character, whatever it looks like
            continue;
        }
        if (c >= 'a' && c <= 'z')
            out[i] = static_cast<char>(c - 'a' + 'A');
    }
    return out;
}

std::string NameKey(const std::string& name) {
    return NameKey(name, HasCurrent() ? Current().system.acp : 1252);
}

bool NamesEqual(const std::string& a, const std::string& b) {
    return a.size() == b.size() && NameKey(a) == NameKey(b);
}

}  // namespace winsim
