// Resources of simulated modules: .res files, FindResource/LoadResource, and string tables (LoadStringA/W).
#include "k_internal.h"
#include "r_internal.h"

#include <winsim/codepage.h>

#include <fstream>
#include <iterator>
#include <map>

namespace winsim {

namespace {

uint32_t U32(const std::vector<uint8_t>& b, size_t at) {
    return uint32_t(b[at]) | uint32_t(b[at + 1]) << 8 | uint32_t(b[at + 2]) << 16 | uint32_t(b[at + 3]) << 24;
}

uint16_t U16(const std::vector<uint8_t>& b, size_t at) {
    return uint16_t(b[at] | b[at + 1] << 8);
}

size_t Align4(size_t n) {
    return (n + 3) & ~size_t(3);
}

// Reads a type or name field: 0xFFFF + ordinal, or a NUL-terminated UTF-16 string (kept upper-cased).
bool ReadId(const std::vector<uint8_t>& b, size_t& at, size_t end, WORD& ordinal, std::string& name) {
    if (at + 2 > end)
        return false;
    if (U16(b, at) == 0xFFFF) {
        if (at + 4 > end)
            return false;
        ordinal = U16(b, at + 2);
        at += 4;
        return true;
    }
    std::u16string text;
    while (true) {
        if (at + 2 > end)
            return false;
        char16_t c = U16(b, at);
        at += 2;
        if (!c)
            break;
        text += c;
    }
    name = NameKey(ToAnsi(text, 1252));
    return true;
}

std::shared_ptr<const ResourceSet> ParseRes(const std::string& path, const std::vector<uint8_t>& b) {
    auto set = std::make_shared<ResourceSet>();
    size_t at = 0;
    while (at + 8 <= b.size()) {
        uint32_t dataSize = U32(b, at);
        uint32_t headerSize = U32(b, at + 4);
        if (headerSize < 24 || at + headerSize + size_t(dataSize) > b.size())
            throw SimAbort("malformed resource record at offset " + std::to_string(at) + " in " + path);
        size_t headerEnd = at + headerSize;
        size_t p = at + 8;
        ResourceEntry e;
        if (!ReadId(b, p, headerEnd, e.type, e.typeName) || !ReadId(b, p, headerEnd, e.name, e.nameName))
            throw SimAbort("malformed resource header at offset " + std::to_string(at) + " in " + path);
        p = at + Align4(p - at);
        if (p + 16 > headerEnd)
            throw SimAbort("short resource header at offset " + std::to_string(at) + " in " + path);
        e.language = U16(b, p + 6);
        e.data.assign(b.begin() + headerEnd, b.begin() + headerEnd + dataSize);
        // The first record of every .res file is an empty one that marks the 32-bit format.
        bool marker = dataSize == 0 && e.type == 0 && e.typeName.empty() && e.name == 0 && e.nameName.empty();
        if (!marker)
            set->entries.push_back(std::move(e));
        at = Align4(headerEnd + dataSize);
    }
    return set;
}

bool IdMatches(LPCSTR id, WORD ordinal, const std::string& name) {
    if (IS_INTRESOURCE(id))
        return name.empty() && ordinal == LOWORD(reinterpret_cast<ULONG_PTR>(id));
    if (id[0] == '#') {
        // "#123" names the ordinal 123, as the resource compiler writes it.
        return name.empty() && ordinal == WORD(strtoul(id + 1, nullptr, 10));
    }
    return !name.empty() && name == NameKey(id);
}

}  // namespace

std::shared_ptr<const ResourceSet> LoadResFile(const std::string& path) {
    // .res files do not change while the tests run; every machine of a run shares the parsed copy.
    static std::map<std::string, std::shared_ptr<const ResourceSet>> cache;
    auto it = cache.find(path);
    if (it != cache.end())
        return it->second;
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw SimAbort("cannot read resource file " + path);
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    auto set = ParseRes(path, bytes);
    cache[path] = set;
    return set;
}

namespace rsim {

const ResourceEntry* FindEntry(const ResourceSet* set, LPCSTR type, LPCSTR name, WORD lang, LANGID userLang,
                               DWORD* error) {
    if (!set || set->entries.empty()) {
        *error = ERROR_RESOURCE_DATA_NOT_FOUND;
        return nullptr;
    }
    std::vector<const ResourceEntry*> named;
    bool typeSeen = false;
    for (const ResourceEntry& e : set->entries) {
        if (!IdMatches(type, e.type, e.typeName))
            continue;
        typeSeen = true;
        if (IdMatches(name, e.name, e.nameName))
            named.push_back(&e);
    }
    if (!typeSeen) {
        *error = ERROR_RESOURCE_TYPE_NOT_FOUND;
        return nullptr;
    }
    if (named.empty()) {
        *error = ERROR_RESOURCE_NAME_NOT_FOUND;
        return nullptr;
    }
    auto withLang = [&](WORD l) -> const ResourceEntry* {
        for (const ResourceEntry* e : named)
            if (e->language == l)
                return e;
        return nullptr;
    };
    if (lang != 0) {
        // An explicit language also accepts its language-neutral forms.
        for (WORD l : {lang, WORD(MAKELANGID(PRIMARYLANGID(lang), SUBLANG_NEUTRAL)), WORD(0)})
            if (const ResourceEntry* e = withLang(l))
                return e;
        *error = ERROR_RESOURCE_LANG_NOT_FOUND;
        return nullptr;
    }
    for (WORD l : {WORD(0), userLang, WORD(MAKELANGID(PRIMARYLANGID(userLang), SUBLANG_NEUTRAL)), WORD(0x0409)})
        if (const ResourceEntry* e = withLang(l))
            return e;
    return named.front();
}

FoundResource FindResourceIn(HMODULE module, LPCSTR type, LPCSTR name, WORD lang, const char* api) {
    FoundResource found;
    Modules& modules = Current().modules;
    if (!module)
        module = modules.MainModule();
    switch (modules.Classify(module)) {
    case Modules::HandleKind::Loaded:
    case Modules::HandleKind::DataFile:
        break;
    case Modules::HandleKind::Freed:
    case Modules::HandleKind::FreedDataFile:
        throw SimAbort(std::string(api) + " on module handle " + HandleText(module) + " (" +
                       modules.PathOf(module) + ") after FreeLibrary unloaded it");
    case Modules::HandleKind::Unknown:
        found.error = ERROR_RESOURCE_DATA_NOT_FOUND;
        return found;
    }
    found.module = modules.ImageOf(module);
    LANGID userLang = LANGIDFROMLCID(Current().system.lcid);
    found.entry = FindEntry(found.module->resources.get(), type, name, lang, userLang, &found.error);
    return found;
}

}  // namespace rsim

}  // namespace winsim

using namespace winsim;

namespace {

// Finds string `id` of a module: its UTF-16 text (not NUL-terminated) and length. False when the string
// table block is missing (the last error is then set as FindResource sets it).
bool FindString(HINSTANCE module, UINT id, const char16_t** text, int* length, const char* api) {
    WORD block = WORD((LOWORD(id) >> 4) + 1);
    rsim::FoundResource found = rsim::FindResourceIn(module, RT_STRING, MAKEINTRESOURCEA(block), 0, api);
    if (!found.entry) {
        SetLastError(found.error);
        return false;
    }
    const std::vector<uint8_t>& data = found.entry->data;
    size_t at = 0;
    for (unsigned i = 0;; ++i) {
        if (at + 2 > data.size()) {
            *text = u"";
            *length = 0;
            return true;
        }
        size_t len = size_t(data[at] | data[at + 1] << 8);
        if (i == (id & 0xF)) {
            if (at + 2 + 2 * len > data.size())
                len = (data.size() - at - 2) / 2;
            *text = reinterpret_cast<const char16_t*>(data.data() + at + 2);
            *length = int(len);
            return true;
        }
        at += 2 + 2 * len;
    }
}

}  // namespace

extern "C" {

HRSRC WINAPI FindResourceA(HMODULE hModule, LPCSTR lpName, LPCSTR lpType) {
    SIM_FAULT("FindResourceA", rsim::IdText(lpType) + "/" + rsim::IdText(lpName), nullptr);
    rsim::FoundResource found = rsim::FindResourceIn(hModule, lpType, lpName, 0, "FindResourceA");
    if (!found.entry) {
        SetLastError(found.error);
        return nullptr;
    }
    return reinterpret_cast<HRSRC>(const_cast<ResourceEntry*>(found.entry));
}

HGLOBAL WINAPI LoadResource(HMODULE hModule, HRSRC hResInfo) {
    SIM_FAULT("LoadResource", rsim::HandleText(hResInfo), nullptr);
    const ResourceEntry* e = Current().modules.EntryOf(hResInfo);
    if (!e) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    static const uint8_t empty[4] = {};
    return const_cast<uint8_t*>(e->data.empty() ? empty : e->data.data());
}

LPVOID WINAPI LockResource(HGLOBAL hResData) {
    SIM_FAULT("LockResource", rsim::HandleText(hResData), nullptr);
    return hResData;
}

DWORD WINAPI SizeofResource(HMODULE hModule, HRSRC hResInfo) {
    SIM_FAULT("SizeofResource", rsim::HandleText(hResInfo), 0);
    const ResourceEntry* e = Current().modules.EntryOf(hResInfo);
    if (!e) {
        SetLastError(ERROR_INVALID_HANDLE);
        return 0;
    }
    return DWORD(e->data.size());
}

int WINAPI LoadStringA(HINSTANCE hInstance, UINT uID, LPSTR lpBuffer, int cchBufferMax) {
    SIM_FAULT("LoadStringA", std::to_string(uID), 0);
    // Windows NT and Wine return -1 for a zero-sized buffer and touch nothing (Windows 9x returned 0).
    if (cchBufferMax <= 0)
        return -1;
    if (!lpBuffer)
        return 0;
    const char16_t* text = nullptr;
    int length = 0;
    if (!FindString(hInstance, uID, &text, &length, "LoadStringA")) {
        lpBuffer[0] = 0;
        return 0;
    }
    unsigned cp = Current().system.acp;
    std::string ansi = ToAnsi(std::u16string(text, length), cp);
    // Whole characters only: a double-byte character that does not fit is left out entirely.
    size_t room = size_t(cchBufferMax - 1);
    size_t used = 0;
    while (used < ansi.size()) {
        size_t step = IsLeadByte(static_cast<unsigned char>(ansi[used]), cp) && used + 1 < ansi.size() ? 2 : 1;
        if (used + step > room)
            break;
        used += step;
    }
    memcpy(lpBuffer, ansi.data(), used);
    lpBuffer[used] = 0;
    return int(used);
}

int WINAPI LoadStringW(HINSTANCE hInstance, UINT uID, LPWSTR lpBuffer, int cchBufferMax) {
    if (winsim::StubOn9x())
        return 0;
    SIM_FAULT("LoadStringW", std::to_string(uID), 0);
    if (!lpBuffer)
        return 0;
    const char16_t* text = nullptr;
    int length = 0;
    if (!FindString(hInstance, uID, &text, &length, "LoadStringW"))
        return 0;
    if (cchBufferMax == 0) {
        *reinterpret_cast<LPCWSTR*>(lpBuffer) = text;
        return length;
    }
    int n = length < cchBufferMax - 1 ? length : cchBufferMax - 1;
    if (n > 0) {
        memcpy(lpBuffer, text, size_t(n) * sizeof(WCHAR));
        lpBuffer[n] = 0;
        return n;
    }
    // Wine and Windows leave a one-character buffer as it was.
    if (cchBufferMax > 1)
        lpBuffer[0] = 0;
    return 0;
}

}  // extern "C"
