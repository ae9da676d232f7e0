// The restore of a backup on the simulated machine: a .reg importer reading as regedit does, and the batch
// commands of restore.cmd.
#include "restore_fixture.h"

#include <windows.h>

#include <winsim/codepage.h>
#include <winsim/machine.h>

#include <algorithm>
#include <map>
#include <vector>

namespace {

// ---- registry files ---------------------------------------------------------------------------------

std::u16string TrimU(const std::u16string& s) {
    size_t b = s.find_first_not_of(u" \t\r");
    size_t e = s.find_last_not_of(u" \t\r");
    return b == std::u16string::npos ? std::u16string() : s.substr(b, e - b + 1);
}

bool StartsWith(const std::u16string& s, const std::u16string& prefix) {
    return s.compare(0, prefix.size(), prefix) == 0;
}

std::string Ansi(const std::u16string& text) {
    return winsim::ToAnsi(text, winsim::Current().system.acp);
}

std::string Narrow(const std::u16string& ascii) {
    return std::string(ascii.begin(), ascii.end());
}

// A quoted text at s[i], read one character at a time: \\ and \" are escapes; i ends after the closing quote.
bool ReadQuoted(const std::u16string& s, size_t& i, std::u16string& out) {
    if (i >= s.size() || s[i] != u'"')
        return false;
    out.clear();
    for (++i; i < s.size(); ++i) {
        if (s[i] == u'\\' && i + 1 < s.size() && (s[i + 1] == u'\\' || s[i + 1] == u'"')) {
            out += s[++i];
        } else if (s[i] == u'"') {
            ++i;
            return true;
        } else {
            out += s[i];
        }
    }
    return false;
}

bool ReadHexBytes(const std::u16string& s, std::string& out) {
    out.clear();
    std::string digits;
    for (char16_t c : s) {
        if (c == u',' || c == u' ') {
            if (!digits.empty()) {
                if (digits.size() != 2)
                    return false;
                out += (char)std::stoul(digits, nullptr, 16);
                digits.clear();
            }
        } else if (c < 128 && isxdigit(c)) {
            digits += (char)c;
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

// One `name=data` line of the key `key`. In the UTF-16 form the bytes of string types are UTF-16, which the
// program's ANSI calls then read in the ANSI code page.
bool ImportValue(winsim::Registry& r, const std::string& key, const std::u16string& line, bool unicode) {
    size_t i = 0;
    std::u16string name;
    if (line[0] == u'@') {
        i = 1;
    } else if (!ReadQuoted(line, i, name)) {
        return false;
    }
    if (i >= line.size() || line[i] != u'=')
        return false;
    const std::u16string data = line.substr(i + 1);
    if (data == u"-") {
        r.DeleteValue(key, Ansi(name));
        return true;
    }
    if (!data.empty() && data[0] == u'"') {
        size_t at = 0;
        std::u16string text;
        if (!ReadQuoted(data, at, text) || at != data.size())
            return false;
        r.SetValue(key, Ansi(name), REG_SZ, Ansi(text) + std::string(1, '\0'));
        return true;
    }
    if (StartsWith(data, u"dword:")) {
        if (data.size() != 14)
            return false;
        r.SetDword(key, Ansi(name), (DWORD)std::stoul(Narrow(data.substr(6)), nullptr, 16));
        return true;
    }
    DWORD type = REG_BINARY;
    std::string bytes;
    size_t colon = data.find(u':');
    if (StartsWith(data, u"hex:")) {
        type = REG_BINARY;
    } else if (StartsWith(data, u"hex(") && colon != std::u16string::npos && data[colon - 1] == u')') {
        type = (DWORD)std::stoul(Narrow(data.substr(4, colon - 5)), nullptr, 16);
    } else {
        return false;
    }
    if (!ReadHexBytes(data.substr(colon + 1), bytes))
        return false;
    if (unicode && (type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ)) {
        if (bytes.size() % 2)
            return false;
        bytes = Ansi(std::u16string(reinterpret_cast<const char16_t*>(bytes.data()), bytes.size() / 2));
    }
    r.SetValue(key, Ansi(name), type, bytes);
    return true;
}

template <class S>
std::vector<S> SplitLines(const S& text) {
    std::vector<S> lines;
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find('\n', start);
        if (end == S::npos)
            end = text.size();
        S line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines.push_back(line);
        start = end + 1;
    }
    return lines;
}

// ---- restore.cmd ------------------------------------------------------------------------------------

std::string Trim(const std::string& s) {
    size_t b = s.find_first_not_of(" \t\r");
    size_t e = s.find_last_not_of(" \t\r");
    return b == std::string::npos ? std::string() : s.substr(b, e - b + 1);
}

std::string Lower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return (char)tolower(c); });
    return s;
}

// The blank-separated words of a command, quotes removed; a final ">nul" dropped.
std::vector<std::string> Words(const std::string& line) {
    std::vector<std::string> words;
    std::string word;
    bool quoted = false, any = false;
    for (char c : line) {
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
    if (!words.empty() && Lower(words.back()) == ">nul")
        words.pop_back();
    return words;
}

// One word at s[i] (quoted or up to a blank), quotes removed; i ends after it and the blanks behind it.
std::string TakeWord(const std::string& s, size_t& i) {
    std::string word;
    bool quoted = false;
    for (; i < s.size(); ++i) {
        if (s[i] == '"')
            quoted = !quoted;
        else if (s[i] == ' ' && !quoted)
            break;
        else
            word += s[i];
    }
    while (i < s.size() && s[i] == ' ')
        ++i;
    return word;
}

// A line of the script with the lines of its parenthesised block.
struct Command {
    std::string text;
    bool hasBlock = false;
    std::vector<Command> block;
};

// What cmd does to a line as it reads it: "%~dp0" becomes the script's folder, "%%" one '%'.
std::string ExpandPercents(const std::string& text, const std::string& folder) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text.compare(i, 5, "%~dp0") == 0) {
            out += folder + "\\";
            i += 4;
        } else if (text.compare(i, 2, "%%") == 0) {
            out += '%';
            i++;
        } else {
            out += text[i];
        }
    }
    return out;
}

std::vector<Command> ParseBlock(const std::vector<std::string>& lines, size_t& n, const std::string& folder) {
    std::vector<Command> out;
    while (n < lines.size()) {
        const std::string line = ExpandPercents(Trim(lines[n++]), folder);
        if (line.empty())
            continue;
        if (line == ")")
            return out;
        Command c;
        if (line.size() >= 2 && line.compare(line.size() - 2, 2, " (") == 0) {
            c.text = line.substr(0, line.size() - 2);
            c.hasBlock = true;
            c.block = ParseBlock(lines, n, folder);
        } else {
            c.text = line;
        }
        out.push_back(c);
    }
    return out;
}

class BatchRun {
public:
    BatchRun() {}
    std::string failed;

    bool Run(const std::vector<Command>& commands) {
        for (const Command& c : commands) {
            if (!Run(c))
                return false;
        }
        return true;
    }

private:
    winsim::Machine& m = winsim::Current();
    std::string m_cwd;
    std::map<char, std::string> m_vars;

    bool Fail(const std::string& line) {
        if (failed.empty())
            failed = line;
        return false;
    }

    // The loops' variables ("%a"), each value put in as it is: cmd expands nothing in it again.
    std::string Substitute(const std::string& text) const {
        std::string out;
        for (size_t i = 0; i < text.size(); ++i) {
            if (text[i] == '%' && i + 1 < text.size() && m_vars.count(text[i + 1])) {
                out += m_vars.at(text[i + 1]);
                i++;
            } else {
                out += text[i];
            }
        }
        return out;
    }

    std::string Resolve(std::string path) const {
        while (path.size() > 3 && path.back() == '\\')
            path.pop_back();
        if ((path.size() >= 2 && path[1] == ':') || path.compare(0, 2, "\\\\") == 0)
            return path;
        return m_cwd + "\\" + path;
    }

    bool Exists(const std::string& path) const {
        return GetFileAttributesA(Resolve(path).c_str()) != INVALID_FILE_ATTRIBUTES;
    }

    // Runs `rest` (an inline command, its variables put in when `substitute`) or, when it is empty, the
    // command's block.
    bool RunRest(const std::string& rest, const Command& c, bool substitute) {
        if (rest.empty())
            return c.hasBlock ? Run(c.block) : Fail(c.text);
        Command inner;
        inner.text = substitute ? Substitute(rest) : rest;
        inner.hasBlock = c.hasBlock;
        inner.block = c.block;
        return RunExpanded(inner);
    }

    bool Run(const Command& c) {
        Command expanded = c;
        expanded.text = Substitute(c.text);
        return RunExpanded(expanded);
    }

    bool RunExpanded(const Command& c) {
        const std::string& line = c.text;
        const std::vector<std::string> w = Words(line);
        const std::string verb = w.empty() ? std::string() : Lower(w[0]);
        if (line == "@echo off" || verb == "rem" || verb == "setlocal")
            return true;
        if (verb == "pushd" && w.size() == 2) {
            m_cwd = Resolve(w[1]);
            return true;
        }
        if (verb == "popd" && w.size() == 1) {
            m_cwd.clear();
            return true;
        }
        if (verb == "for")
            return For(c);
        if (verb == "if")
            return If(c);
        if (verb == "md" && w.size() == 2) {
            m.files.CreateDirectory(Resolve(w[1]));
            return true;
        }
        if (verb == "copy" && w.size() == 4 && Lower(w[1]) == "/y")
            return CopyFileA(Resolve(w[2]).c_str(), Resolve(w[3]).c_str(), FALSE) ? true : Fail(line);
        if (verb == "attrib" && w.size() >= 3)
            return Attrib(std::vector<std::string>(w.begin() + 1, w.end() - 1), Resolve(w.back())) ? true : Fail(line);
        if (verb == "regedit" && w.size() == 3 && Lower(w[1]) == "/s") {
            // A plain regedit on 64-bit Windows runs in the view of whatever started the script.
            if (m.system.wow64)
                return Fail(line);
            return Import(w[2], line);
        }
        if (verb == "reg" && w.size() == 4 && Lower(w[1]) == "import") {
            const bool hasReg = m.system.IsNT() && (m.system.major > 5 || (m.system.major == 5 && m.system.minor >= 1));
            // This program is a 32-bit one: on 64-bit Windows its keys are in the 32-bit view.
            if (!hasReg || !m.system.wow64 || Lower(w[3]) != "/reg:32")
                return Fail(line);
            return Import(w[2], line);
        }
        if (verb == "net" && w.size() == 3 && Lower(w[2]) == "spooler") {
            if (Lower(w[1]) == "stop") {
                m.services.SetState("spooler", SERVICE_STOPPED);
                return true;
            }
            if (Lower(w[1]) == "start") {
                // A spooler that starts again reads its printers and drivers back from the registry.
                m.services.SetState("spooler", SERVICE_RUNNING);
                m.spooler.Reload();
                return true;
            }
        }
        return Fail(line);
    }

    bool Import(const std::string& file, const std::string& line) {
        auto reg = m.files.ReadFile(Resolve(file));
        if (!reg)
            return Fail(line);
        std::string failedLine = ImportRegFile(*reg);
        return failedLine.empty() ? true : Fail(line + ": " + failedLine);
    }

    // "if "a"=="b" ...", "if exist p ...", "if not exist p ...".
    bool If(const Command& c) {
        const std::string& line = c.text;
        size_t i = 3;
        bool negate = false, holds = false;
        if (line.compare(i, 4, "not ") == 0) {
            negate = true;
            i += 4;
        }
        if (line.compare(i, 6, "exist ") == 0) {
            i += 6;
            holds = Exists(TakeWord(line, i));
        } else if (i < line.size() && line[i] == '"') {
            size_t close = line.find('"', i + 1);
            if (close == std::string::npos || line.compare(close + 1, 3, "==\"") != 0)
                return Fail(line);
            size_t end = line.find('"', close + 4);
            if (end == std::string::npos)
                return Fail(line);
            holds = line.substr(i + 1, close - i - 1) == line.substr(close + 4, end - close - 4);
            i = end + 1;
            while (i < line.size() && line[i] == ' ')
                ++i;
        } else {
            return Fail(line);
        }
        if (holds == negate)
            return true;
        return RunRest(line.substr(i), c, false);
    }

    // "for /f "tokens=1-N delims=|" %a in (file) do ...": its variables live for the loop only.
    bool For(const Command& c) {
        const std::string& line = c.text;
        size_t in = line.find(" in (");
        size_t close = in == std::string::npos ? in : line.find(") do", in);
        const size_t var = in == std::string::npos ? in : line.rfind('%', in);
        if (close == std::string::npos || var == std::string::npos || line.compare(0, 7, "for /f ") != 0)
            return Fail(line);
        const std::map<char, std::string> outer = m_vars;
        bool ok = ForFile(c, line, line.substr(in + 5, close - in - 5), Trim(line.substr(close + 4)), line[var + 1]);
        m_vars = outer;
        return ok;
    }

    bool ForFile(const Command& c, const std::string& line, const std::string& set, const std::string& rest,
                 char first) {
        size_t options = line.find("\"tokens=1-");
        if (options == std::string::npos || line.compare(options + 11, 9, " delims=|") != 0)
            return Fail(line);
        const int tokens = line[options + 10] - '0';
        auto text = m.files.ReadFile(Resolve(set));
        if (!text)
            return Fail(line);
        // cmd reads the file in the console's code page: the OEM one.
        const std::string ansi = winsim::ToAnsi(winsim::FromAnsi(*text, m.system.oemcp), m.system.acp);
        for (const std::string& entry : SplitLines(ansi)) {
            if (entry.empty() || entry[0] == ';')
                continue;
            std::vector<std::string> fields;
            size_t at = 0;
            while (at < entry.size()) {
                size_t bar = entry.find('|', at);
                if (bar == std::string::npos)
                    bar = entry.size();
                if (bar > at)
                    fields.push_back(entry.substr(at, bar - at));
                at = bar + 1;
            }
            for (int k = 0; k < tokens; ++k)
                m_vars[(char)(first + k)] = k < (int)fields.size() ? fields[k] : std::string();
            if (!RunRest(rest, c, true))
                return false;
        }
        return true;
    }

    // attrib as Windows' does it: every flag of the call at once, but a hidden or system file only when the
    // call names +/-s or +/-h too ("Not resetting hidden file": nothing changes, and the script goes on).
    bool Attrib(const std::vector<std::string>& flags, const std::string& path) {
        const struct {
            char letter;
            DWORD bit;
        } bits[] = {{'r', FILE_ATTRIBUTE_READONLY}, {'a', FILE_ATTRIBUTE_ARCHIVE}, {'s', FILE_ATTRIBUTE_SYSTEM},
                    {'h', FILE_ATTRIBUTE_HIDDEN}};
        DWORD attributes = GetFileAttributesA(path.c_str());
        if (attributes == INVALID_FILE_ATTRIBUTES)
            return false;
        bool namesHiddenOrSystem = false;
        DWORD set = 0, clear = 0;
        for (const std::string& flag : flags) {
            const std::string f = Lower(flag);
            if (f.size() != 2 || (f[0] != '+' && f[0] != '-'))
                return false;
            bool known = false;
            for (const auto& b : bits) {
                if (f[1] != b.letter)
                    continue;
                known = true;
                (f[0] == '+' ? set : clear) |= b.bit;
                namesHiddenOrSystem = namesHiddenOrSystem || b.letter == 's' || b.letter == 'h';
            }
            if (!known)
                return false;
        }
        if ((attributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)) && !namesHiddenOrSystem)
            return true;
        attributes = (attributes | set) & ~clear;
        return SetFileAttributesA(path.c_str(), attributes & ~(DWORD)FILE_ATTRIBUTE_NORMAL) != FALSE;
    }
};

}  // namespace

std::string ImportRegFile(const std::string& bytes) {
    winsim::Registry& r = winsim::Current().registry;
    const bool unicode = bytes.size() >= 2 && (unsigned char)bytes[0] == 0xFF && (unsigned char)bytes[1] == 0xFE;
    std::u16string text;
    if (unicode) {
        if (bytes.size() % 2)
            return "odd size";
        text.assign(reinterpret_cast<const char16_t*>(bytes.data() + 2), (bytes.size() - 2) / 2);
    } else {
        text = winsim::FromAnsi(bytes, winsim::Current().system.acp);
    }
    std::vector<std::u16string> raw = SplitLines(text);
    const std::u16string header = unicode ? u"Windows Registry Editor Version 5.00" : u"REGEDIT4";
    if (raw.empty() || raw[0] != header)
        return "header: " + (raw.empty() ? std::string() : Ansi(raw[0]));
    std::string key;
    for (size_t n = 1; n < raw.size(); ++n) {
        std::u16string line = TrimU(raw[n]);
        // A value's data goes on over lines that end with a backslash.
        while (!line.empty() && line[0] != u'[' && line.back() == u'\\') {
            if (++n >= raw.size())
                return Ansi(line);
            line = line.substr(0, line.size() - 1) + TrimU(raw[n]);
        }
        if (line.empty() || line[0] == u';')
            continue;
        if (line[0] == u'[') {
            if (line.back() != u']')
                return Ansi(line);
            key = Ansi(line.substr(1, line.size() - 2));
            if (!key.empty() && key[0] == '-') {
                r.DeleteTree(key.substr(1));
                key.clear();
            } else {
                r.CreateKey(key);
            }
            continue;
        }
        if (key.empty() || !ImportValue(r, key, line, unicode))
            return Ansi(line);
    }
    return "";
}

std::string RunRestoreScript(const std::string& folder) {
    auto script = winsim::Current().files.ReadFile(folder + "\\restore.cmd");
    if (!script)
        return "no restore.cmd";
    std::vector<std::string> lines = SplitLines(*script);
    size_t n = 0;
    std::vector<Command> commands = ParseBlock(lines, n, folder);
    BatchRun run;
    run.Run(commands);
    return run.failed;
}
