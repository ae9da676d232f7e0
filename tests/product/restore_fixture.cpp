// The restore of a backup on the simulated machine: .reg import and the batch commands of restore.cmd.
#include "restore_fixture.h"

#include <windows.h>

#include <winsim/machine.h>

#include <vector>

namespace {

std::string Trim(const std::string& s) {
    size_t b = s.find_first_not_of(" \t\r");
    size_t e = s.find_last_not_of(" \t\r");
    return b == std::string::npos ? std::string() : s.substr(b, e - b + 1);
}

// A quoted registry text at s[i]: \\ and \" are escapes; i ends after the closing quote.
bool ReadQuoted(const std::string& s, size_t& i, std::string& out) {
    if (i >= s.size() || s[i] != '"')
        return false;
    out.clear();
    for (++i; i < s.size(); ++i) {
        if (s[i] == '\\' && i + 1 < s.size() && (s[i + 1] == '\\' || s[i + 1] == '"')) {
            out += s[++i];
        } else if (s[i] == '"') {
            ++i;
            return true;
        } else {
            out += s[i];
        }
    }
    return false;
}

bool ReadHexBytes(const std::string& s, std::string& out) {
    out.clear();
    std::string digits;
    for (char c : s) {
        if (c == ',' || c == ' ') {
            if (!digits.empty()) {
                if (digits.size() != 2)
                    return false;
                out += (char)std::stoul(digits, nullptr, 16);
                digits.clear();
            }
        } else if (isxdigit((unsigned char)c)) {
            digits += c;
        } else {
            return false;
        }
    }
    if (!digits.empty()) {
        if (digits.size() != 2)
            return false;
        out += (char)std::stoul(digits, nullptr, 16);
    }
    return true;
}

// One `name=data` line of the key `key`.
bool ImportValue(winsim::Registry& r, const std::string& key, const std::string& line) {
    size_t i = 0;
    std::string name;
    if (line[0] == '@') {
        i = 1;
    } else if (!ReadQuoted(line, i, name)) {
        return false;
    }
    if (i >= line.size() || line[i] != '=')
        return false;
    const std::string data = line.substr(i + 1);
    if (data == "-") {
        r.DeleteValue(key, name);
        return true;
    }
    if (!data.empty() && data[0] == '"') {
        size_t at = 0;
        std::string text;
        if (!ReadQuoted(data, at, text) || at != data.size())
            return false;
        r.SetValue(key, name, REG_SZ, text + std::string(1, '\0'));
        return true;
    }
    if (data.rfind("dword:", 0) == 0) {
        if (data.size() != 14)
            return false;
        r.SetDword(key, name, (DWORD)std::stoul(data.substr(6), nullptr, 16));
        return true;
    }
    DWORD type = REG_BINARY;
    std::string bytes;
    size_t colon = data.find(':');
    if (data.rfind("hex:", 0) == 0) {
        type = REG_BINARY;
    } else if (data.rfind("hex(", 0) == 0 && colon != std::string::npos && data[colon - 1] == ')') {
        type = (DWORD)std::stoul(data.substr(4, colon - 5), nullptr, 16);
    } else {
        return false;
    }
    if (!ReadHexBytes(data.substr(colon + 1), bytes))
        return false;
    r.SetValue(key, name, type, bytes);
    return true;
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        std::string line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines.push_back(line);
        start = end + 1;
    }
    return lines;
}

// The quoted or blank-separated words of a batch line, "%~dp0" replaced by the script's folder and "%%" by "%".
std::vector<std::string> Words(const std::string& line, const std::string& folder) {
    std::string expanded;
    for (size_t i = 0; i < line.size(); ++i) {
        if (line.compare(i, 5, "%~dp0") == 0) {
            expanded += folder + "\\";
            i += 4;
        } else if (line.compare(i, 2, "%%") == 0) {
            expanded += '%';
            i++;
        } else {
            expanded += line[i];
        }
    }
    std::vector<std::string> words;
    std::string word;
    bool quoted = false, any = false;
    for (char c : expanded) {
        if (c == '"') {
            quoted = !quoted;
            any = true;
        } else if (c == ' ' && !quoted) {
            if (any)
                words.push_back(word);
            word.clear();
            any = false;
        } else {
            word += c;
            any = true;
        }
    }
    if (any)
        words.push_back(word);
    return words;
}

// "attrib <flag> <path>" with one flag of +r -r +a -a +s -s +h -h, as Windows' attrib sets it.
bool Attrib(const std::string& flag, const std::string& path) {
    const struct {
        char letter;
        DWORD bit;
    } bits[] = {{'r', FILE_ATTRIBUTE_READONLY}, {'a', FILE_ATTRIBUTE_ARCHIVE}, {'s', FILE_ATTRIBUTE_SYSTEM},
                {'h', FILE_ATTRIBUTE_HIDDEN}};
    DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || flag.size() != 2 || (flag[0] != '+' && flag[0] != '-'))
        return false;
    for (const auto& b : bits) {
        if (flag[1] != b.letter)
            continue;
        attributes = flag[0] == '+' ? attributes | b.bit : attributes & ~b.bit;
        return SetFileAttributesA(path.c_str(), attributes & ~(DWORD)FILE_ATTRIBUTE_NORMAL) != FALSE;
    }
    return false;
}

}  // namespace

std::string ImportRegFile(const std::string& text) {
    winsim::Registry& r = winsim::Current().registry;
    std::vector<std::string> raw = Lines(text);
    if (raw.empty() || (raw[0] != "REGEDIT4" && raw[0] != "Windows Registry Editor Version 5.00"))
        return "header: " + (raw.empty() ? std::string() : raw[0]);
    std::string key;
    for (size_t n = 1; n < raw.size(); ++n) {
        std::string line = Trim(raw[n]);
        // A value's data goes on over lines that end with a backslash.
        while (!line.empty() && line[0] != '[' && line.back() == '\\') {
            if (++n >= raw.size())
                return line;
            line = line.substr(0, line.size() - 1) + Trim(raw[n]);
        }
        if (line.empty() || line[0] == ';')
            continue;
        if (line[0] == '[') {
            if (line.back() != ']')
                return line;
            key = line.substr(1, line.size() - 2);
            if (!key.empty() && key[0] == '-') {
                r.DeleteTree(key.substr(1));
                key.clear();
            } else {
                r.CreateKey(key);
            }
            continue;
        }
        if (key.empty() || !ImportValue(r, key, line))
            return line;
    }
    return "";
}

std::string RunRestoreScript(const std::string& folder) {
    winsim::Machine& m = winsim::Current();
    auto script = m.files.ReadFile(folder + "\\restore.cmd");
    if (!script)
        return "no restore.cmd";
    for (const std::string& raw : Lines(*script)) {
        const std::string line = Trim(raw);
        std::vector<std::string> w = Words(line, folder);
        if (w.empty() || line == "@echo off" || w[0] == "rem")
            continue;
        if (w.size() == 3 && w[0] == "regedit" && w[1] == "/s") {
            auto reg = m.files.ReadFile(w[2]);
            if (!reg)
                return line;
            std::string failed = ImportRegFile(*reg);
            if (!failed.empty())
                return line + ": " + failed;
        } else if (w.size() == 6 && w[0] == "if" && w[1] == "not" && w[2] == "exist" && w[4] == "md") {
            if (!m.files.Exists(w[5]))
                m.files.CreateDirectory(w[5]);
        } else if (w.size() == 6 && w[0] == "if" && w[1] == "exist" && w[3] == "attrib" && w[2] == w[5]) {
            if (GetFileAttributesA(w[2].c_str()) != INVALID_FILE_ATTRIBUTES && !Attrib(w[4], w[5]))
                return line;
        } else if (w.size() >= 3 && w[0] == "attrib") {
            for (size_t i = 1; i + 1 < w.size(); ++i) {
                if (!Attrib(w[i], w.back()))
                    return line;
            }
        } else if (w.size() >= 4 && w[0] == "copy" && w[1] == "/y" && (w.size() == 4 || w[4] == ">nul")) {
            if (!CopyFileA(w[2].c_str(), w[3].c_str(), FALSE))
                return line;
        } else if (w.size() == 3 && w[0] == "net" && w[1] == "stop" && w[2] == "spooler") {
            continue;
        } else if (w.size() == 3 && w[0] == "net" && w[1] == "start" && w[2] == "spooler") {
            // A spooler that starts again reads its printers and drivers back from the registry.
            m.spooler.Reload();
        } else {
            return line;
        }
    }
    return "";
}
