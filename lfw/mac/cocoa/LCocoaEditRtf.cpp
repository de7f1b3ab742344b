// The edit view's RTF: written for exactly its attributes, read back tolerantly.
#include "lfw/mac/cocoa/LCocoaEditViewImpl.h"

#include <glib.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdio>
#include <vector>

namespace LCocoaEditRtf {

namespace {

void AppendEscaped(std::string& out, const std::string& text)
{
    for (const char* p = text.c_str(); *p; p = g_utf8_next_char(p)) {
        gunichar c = g_utf8_get_char_validated(p, -1);
        if (c == gunichar(-1) || c == gunichar(-2)) {
            c = 0xFFFD;
        }
        if (c == '\\' || c == '{' || c == '}') {
            out += '\\';
            out += char(c);
        } else if (c == '\n')
            out += "\\par\n";
        else if (c == '\t')
            out += "\\tab ";
        else if (c < 0x80)
            out += char(c);
        else {
            // \uN takes signed 16-bit units; characters above the BMP as surrogate pairs.
            gunichar2 units[2];
            int n = 1;
            if (c > 0xFFFF) {
                units[0] = gunichar2(0xD800 + ((c - 0x10000) >> 10));
                units[1] = gunichar2(0xDC00 + ((c - 0x10000) & 0x3FF));
                n = 2;
            } else
                units[0] = gunichar2(c);
            for (int i = 0; i < n; ++i) {
                char s[24];
                snprintf(s, sizeof s, "\\u%d?", int(int16_t(units[i])));
                out += s;
            }
        }
    }
}

} // namespace

std::string Write(const std::vector<Run>& runs)
{
    std::vector<std::string> fonts { "Helvetica" };
    std::vector<LTextColor> colors;
    for (const Run& r : runs) {
        if (!r.family.empty() && std::find(fonts.begin(), fonts.end(), r.family) == fonts.end())
            fonts.push_back(r.family);
        if (r.hasColor && std::find(colors.begin(), colors.end(), r.color) == colors.end())
            colors.push_back(r.color);
    }
    std::string out = "{\\rtf1\\ansi\\ansicpg1252\\deff0\n{\\fonttbl";
    for (size_t i = 0; i < fonts.size(); ++i) {
        out += "{\\f" + std::to_string(i) + "\\fnil ";
        std::string name;
        AppendEscaped(name, fonts[i]);
        out += name + ";}";
    }
    out += "}\n{\\colortbl;";
    auto ch
        = [](double v) { return std::to_string(int(std::lround(std::clamp(v, 0.0, 1.0) * 255))); };
    for (const LTextColor& c : colors)
        out += "\\red" + ch(c.red) + "\\green" + ch(c.green) + "\\blue" + ch(c.blue) + ";";
    out += "}\n";
    for (const Run& r : runs) {
        size_t f = r.family.empty()
            ? 0
            : size_t(std::find(fonts.begin(), fonts.end(), r.family) - fonts.begin());
        size_t c = r.hasColor
            ? size_t(std::find(colors.begin(), colors.end(), r.color) - colors.begin()) + 1
            : 0;
        out += "{\\f" + std::to_string(f);
        if (r.size > 0)
            out += "\\fs" + std::to_string(std::lround(std::min(r.size, 10000.0) * 2));
        if (r.bold)
            out += "\\b";
        if (r.italic)
            out += "\\i";
        if (r.underline)
            out += "\\ul";
        if (r.strike)
            out += "\\strike";
        if (c)
            out += "\\cf" + std::to_string(c);
        out += " ";
        AppendEscaped(out, r.text);
        out += "}";
    }
    out += "}\n";
    return out;
}

namespace {

struct State {
    Run attrs;
    int font = -1;
    int color = 0;
    int skipAfterUnicode = 1;
    bool skip = false; // a destination we do not read
    int table = 0; // 1 font table, 2 colour table
};

} // namespace

bool Read(const char* data, size_t length, std::vector<Run>& runs)
{
    runs.clear();
    if (!data || length < 5 || std::string(data, 5) != "{\\rtf")
        return false;
    constexpr int kMaxDepth = 64;
    std::vector<State> stack { State {} };
    std::vector<std::string> fonts;
    std::vector<LTextColor> colors { LTextColor {} };
    LTextColor pending;
    std::string fontName;
    int fontNumber = -1;
    int tooDeep = 0; // groups opened beyond the limit, skipped whole
    int pendingSkip = 0; // characters after \uN still to skip
    auto emit = [&](const std::string& text) {
        State& s = stack.back();
        if (s.skip || tooDeep)
            return;
        if (s.table == 1) {
            fontName += text;
            return;
        }
        if (s.table == 2)
            return;
        Run r = s.attrs;
        if (s.font >= 0 && size_t(s.font) < fonts.size())
            r.family = fonts[size_t(s.font)];
        if (s.color > 0 && size_t(s.color) < colors.size()) {
            r.hasColor = true;
            r.color = colors[size_t(s.color)];
        }
        if (!runs.empty()) {
            Run& last = runs.back();
            if (last.bold == r.bold && last.italic == r.italic && last.underline == r.underline
                && last.strike == r.strike && last.family == r.family && last.size == r.size
                && last.hasColor == r.hasColor && (!r.hasColor || last.color == r.color)) {
                last.text += text;
                return;
            }
        }
        r.text = text;
        runs.push_back(std::move(r));
    };
    gunichar2 highSurrogate = 0;
    auto emitUnit = [&](int unit) {
        gunichar2 u = gunichar2(unit & 0xFFFF);
        gunichar c;
        if (u >= 0xD800 && u < 0xDC00) {
            highSurrogate = u;
            return;
        }
        if (u >= 0xDC00 && u < 0xE000) {
            c = highSurrogate ? 0x10000 + ((gunichar(highSurrogate) - 0xD800) << 10) + (u - 0xDC00)
                              : 0xFFFD;
        } else
            c = u;
        highSurrogate = 0;
        char buf[8];
        int n = g_unichar_to_utf8(c, buf);
        emit(std::string(buf, size_t(n)));
    };
    size_t i = 0;
    while (i < length) {
        char c = data[i];
        if (c == '{') {
            ++i;
            if (tooDeep || int(stack.size()) >= kMaxDepth) {
                ++tooDeep;
                continue;
            }
            stack.push_back(stack.back());
            continue;
        }
        if (c == '}') {
            ++i;
            if (tooDeep) {
                --tooDeep;
                continue;
            }
            stack.pop_back();
            if (stack.empty())
                break;
            continue;
        }
        if (c == '\\') {
            ++i;
            if (i >= length)
                break;
            char d = data[i];
            if (d == '\\' || d == '{' || d == '}') {
                emit(std::string(1, d));
                ++i;
                continue;
            }
            if (d == '\'') {
                // A byte of the code page: Latin-1 here.
                int v = 0;
                ++i;
                for (int k = 0; k < 2 && i < length && g_ascii_isxdigit(data[i]); ++k, ++i)
                    v = v * 16 + g_ascii_xdigit_value(data[i]);
                if (pendingSkip > 0) {
                    --pendingSkip;
                    continue;
                }
                char buf[8];
                int n = g_unichar_to_utf8(gunichar(v & 0xFF), buf);
                emit(std::string(buf, size_t(n)));
                continue;
            }
            if (d == '*') {
                stack.back().skip = true;
                ++i;
                continue;
            }
            if (!g_ascii_isalpha(d)) {
                if (d == '\n' || d == '\r')
                    emit("\n");
                ++i;
                continue;
            }
            std::string word;
            while (i < length && g_ascii_isalpha(data[i]) && word.size() < 32)
                word += data[i++];
            while (i < length && g_ascii_isalpha(data[i]))
                ++i;
            bool hasNumber = false, negative = false;
            long long number = 0;
            if (i < length && data[i] == '-') {
                negative = true;
                ++i;
            }
            while (i < length && g_ascii_isdigit(data[i])) {
                hasNumber = true;
                number = std::min<long long>(number * 10 + (data[i] - '0'), INT_MAX);
                ++i;
            }
            int n = int(negative ? -number : number);
            if (i < length && data[i] == ' ')
                ++i;
            State& s = stack.back();
            if (word == "fonttbl")
                s.table = 1;
            else if (word == "colortbl")
                s.table = 2;
            else if (word == "stylesheet" || word == "info" || word == "pict" || word == "header"
                || word == "footer")
                s.skip = true;
            else if (word == "par" || word == "line")
                emit("\n");
            else if (word == "tab")
                emit("\t");
            else if (word == "b")
                s.attrs.bold = !hasNumber || n != 0;
            else if (word == "i")
                s.attrs.italic = !hasNumber || n != 0;
            else if (word == "ul")
                s.attrs.underline = !hasNumber || n != 0;
            else if (word == "ulnone")
                s.attrs.underline = false;
            else if (word == "strike")
                s.attrs.strike = !hasNumber || n != 0;
            else if (word == "plain") {
                s.attrs = Run {};
                s.font = -1;
                s.color = 0;
            } else if (word == "fs")
                s.attrs.size = n > 0 ? std::min(n, 20000) / 2.0 : 0;
            else if (word == "cf")
                s.color = std::max(0, n);
            else if (word == "f") {
                if (s.table == 1)
                    fontNumber = n;
                else
                    s.font = n;
            } else if (word == "red")
                pending.red = std::clamp(n, 0, 255) / 255.0;
            else if (word == "green")
                pending.green = std::clamp(n, 0, 255) / 255.0;
            else if (word == "blue")
                pending.blue = std::clamp(n, 0, 255) / 255.0;
            else if (word == "uc")
                s.skipAfterUnicode = std::clamp(n, 0, 8);
            else if (word == "u") {
                emitUnit(n);
                pendingSkip = s.skipAfterUnicode;
            }
            continue;
        }
        if (c == '\r' || c == '\n') {
            ++i;
            continue;
        }
        State& s = stack.back();
        if (c == ';' && s.table == 1) {
            if (fontNumber >= 0 && fontNumber < 4096) {
                if (fonts.size() <= size_t(fontNumber))
                    fonts.resize(size_t(fontNumber) + 1);
                while (!fontName.empty() && fontName.back() == ' ')
                    fontName.pop_back();
                fonts[size_t(fontNumber)] = fontName;
            }
            fontName.clear();
            fontNumber = -1;
            ++i;
            continue;
        }
        if (c == ';' && s.table == 2) {
            if (colors.size() < 4096)
                colors.push_back(pending);
            pending = LTextColor {};
            ++i;
            continue;
        }
        if (pendingSkip > 0) {
            --pendingSkip;
            ++i;
            continue;
        }
        // Plain text up to the next control character.
        size_t j = i;
        while (j < length && data[j] != '\\' && data[j] != '{' && data[j] != '}' && data[j] != '\r'
            && data[j] != '\n' && !(data[j] == ';' && s.table))
            ++j;
        std::string text(data + i, j - i);
        // Bytes above 127 in plain text: Latin-1.
        std::string utf8;
        for (unsigned char b : text) {
            char buf[8];
            int n = g_unichar_to_utf8(gunichar(b), buf);
            utf8.append(buf, size_t(n));
        }
        emit(utf8);
        i = j;
    }
    return true;
}

} // namespace LCocoaEditRtf
