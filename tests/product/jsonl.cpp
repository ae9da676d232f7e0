// A small strict reader of JSON objects for the run log's tests.
#include "jsonl.h"

namespace {

struct Reader {
    const std::string& s;
    size_t i = 0;
    bool ok = true;

    void Blanks() {
        while (i < s.size() && (s[i] == ' ' || s[i] == '\t'))
            i++;
    }
    bool Eat(char c) {
        Blanks();
        if (i < s.size() && s[i] == c) {
            i++;
            return true;
        }
        return false;
    }
    void Utf8(unsigned code, std::string& out) {
        if (code < 0x80) {
            out += (char)code;
        } else if (code < 0x800) {
            out += (char)(0xC0 | code >> 6);
            out += (char)(0x80 | (code & 0x3F));
        } else {
            out += (char)(0xE0 | code >> 12);
            out += (char)(0x80 | (code >> 6 & 0x3F));
            out += (char)(0x80 | (code & 0x3F));
        }
    }
    std::string String() {
        std::string out;
        if (!Eat('"')) {
            ok = false;
            return out;
        }
        while (i < s.size() && s[i] != '"') {
            unsigned char c = (unsigned char)s[i++];
            if (c < 0x20) {
                ok = false;  // control characters must be escaped
                return out;
            }
            if (c != '\\') {
                out += (char)c;
                continue;
            }
            if (i >= s.size()) {
                ok = false;
                return out;
            }
            char e = s[i++];
            switch (e) {
            case '"': out += '"'; break;
            case '\\': out += '\\'; break;
            case '/': out += '/'; break;
            case 'n': out += '\n'; break;
            case 'r': out += '\r'; break;
            case 't': out += '\t'; break;
            case 'b': out += '\b'; break;
            case 'f': out += '\f'; break;
            case 'u':
                if (i + 4 > s.size()) {
                    ok = false;
                    return out;
                }
                Utf8((unsigned)std::stoul(s.substr(i, 4), nullptr, 16), out);
                i += 4;
                break;
            default: ok = false; return out;
            }
        }
        if (i >= s.size())
            ok = false;
        else
            i++;
        return out;
    }
    // Skips any value and returns its text.
    std::string Value() {
        Blanks();
        size_t start = i;
        if (i < s.size() && s[i] == '"') {
            return String();
        }
        if (i < s.size() && (s[i] == '[' || s[i] == '{')) {
            int depth = 0;
            while (i < s.size()) {
                if (s[i] == '"') {
                    String();
                    continue;
                }
                if (s[i] == '[' || s[i] == '{')
                    depth++;
                if (s[i] == ']' || s[i] == '}')
                    depth--;
                i++;
                if (depth == 0)
                    return s.substr(start, i - start);
            }
            ok = false;
            return "";
        }
        while (i < s.size() && s[i] != ',' && s[i] != '}' && s[i] != ']')
            i++;
        std::string word = s.substr(start, i - start);
        if (word.empty())
            ok = false;
        return word;
    }
};

}  // namespace

std::map<std::string, std::string> ParseJsonObject(const std::string& line) {
    std::map<std::string, std::string> fields;
    Reader r{line};
    if (!r.Eat('{'))
        return {};
    if (!r.Eat('}')) {
        do {
            std::string key = r.String();
            if (!r.ok || !r.Eat(':'))
                return {};
            fields[key] = r.Value();
            if (!r.ok)
                return {};
        } while (r.Eat(','));
        if (!r.Eat('}'))
            return {};
    }
    r.Blanks();
    if (r.i != line.size())
        return {};
    return fields;
}

std::vector<std::map<std::string, std::string>> ParseJsonLines(const std::string& text, bool* ok) {
    std::vector<std::map<std::string, std::string>> lines;
    *ok = true;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) {
            *ok = false;  // every line ends with a line feed
            end = text.size();
        }
        auto fields = ParseJsonObject(text.substr(start, end - start));
        if (fields.empty())
            *ok = false;
        lines.push_back(fields);
        start = end + 1;
    }
    return lines;
}

std::vector<std::string> ParseJsonStrings(const std::string& array) {
    std::vector<std::string> out;
    Reader r{array};
    if (!r.Eat('['))
        return out;
    if (r.Eat(']'))
        return out;
    do {
        out.push_back(r.String());
    } while (r.ok && r.Eat(','));
    return out;
}

std::vector<std::map<std::string, std::string>> ParseJsonObjects(const std::string& array) {
    std::vector<std::map<std::string, std::string>> out;
    Reader r{array};
    if (!r.Eat('[') || r.Eat(']'))
        return out;
    do {
        r.Blanks();
        out.push_back(ParseJsonObject(r.Value()));
    } while (r.ok && r.Eat(','));
    return out;
}
