#include "lfw/gen/LJSON.h"

#include "lfw/gen/LCharSet.h"

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <locale.h>
#include <memory>
#include <string_view>
#include <unordered_map>

// ---------------------------------------------------------------------------------------------
// Values

LJSONValueTemplate<char>::LJSONValueTemplate(LJSONValueTemplate&& o) noexcept
{
    MoveFrom(o);
}

LJSONValueTemplate<char>& LJSONValueTemplate<char>::operator=(LJSONValueTemplate&& o) noexcept
{
    if (this != &o) {
        Clear();
        MoveFrom(o);
    }
    return *this;
}

LJSONValueTemplate<char>::~LJSONValueTemplate()
{
    Clear();
}

void LJSONValueTemplate<char>::MoveFrom(LJSONValueTemplate& o) noexcept
{
    m_type = o.m_type;
    m_scalar = o.m_scalar;
    m_text = std::move(o.m_text);
    m_members = o.m_members;
    m_elements = o.m_elements;
    m_count = o.m_count;
    m_capacity = o.m_capacity;
    o.m_type = LJSONTypeEmpty;
    o.m_scalar = {};
    o.m_members = nullptr;
    o.m_elements = nullptr;
    o.m_count = o.m_capacity = 0;
}

void LJSONValueTemplate<char>::Clear()
{
    // Members one by one, so that a long list does not recurse through its links.
    while (Named* m = m_members) {
        m_members = m->m_next;
        m->m_next = nullptr;
        delete m;
    }
    delete[] m_elements;
    m_elements = nullptr;
    m_count = m_capacity = 0;
    m_text.Free();
    m_scalar = {};
    m_type = LJSONTypeEmpty;
}

void LJSONValueTemplate<char>::SetNull()
{
    Clear();
    m_type = LJSONTypeNull;
}

void LJSONValueTemplate<char>::SetNumber(double value)
{
    Clear();
    m_type = LJSONTypeNumber;
    m_scalar.number = value;
}

void LJSONValueTemplate<char>::SetBool(bool value)
{
    Clear();
    m_type = LJSONTypeBool;
    m_scalar.boolean = value;
}

void LJSONValueTemplate<char>::SetString(const char* text)
{
    Clear();
    m_type = LJSONTypeString;
    m_text = text;
}

const LJSONValueNamedTemplate<char>* LJSONValueTemplate<char>::FindMember(const char* name) const
{
    for (const Named* m = m_members; m; m = m->m_next)
        if (std::strcmp(m->m_name, name ? name : "") == 0)
            return m;
    return nullptr;
}

LJSONValueNamedTemplate<char>* LJSONValueTemplate<char>::FindMember(const char* name)
{
    return const_cast<Named*>(static_cast<const LJSONValueTemplate*>(this)->FindMember(name));
}

size_t LJSONValueTemplate<char>::GetMemberCount() const
{
    size_t n = 0;
    for (const Named* m = m_members; m; m = m->m_next)
        ++n;
    return n;
}

void LJSONValueTemplate<char>::Reserve(size_t count)
{
    if (count <= m_capacity)
        return;
    size_t capacity = m_capacity ? m_capacity * 2 : 4;
    if (capacity < count)
        capacity = count;
    auto* elements = new LJSONValueTemplate[capacity];
    for (size_t i = 0; i < m_count; ++i)
        elements[i].MoveFrom(m_elements[i]);
    delete[] m_elements;
    m_elements = elements;
    m_capacity = capacity;
}

LJSONValueTemplate<char>* LJSONValueTemplate<char>::AddChild()
{
    Reserve(m_count + 1);
    return &m_elements[m_count++];
}

LJSONValueTemplate<char>* LJSONValueTemplate<char>::AddChild(LJSONValueTemplate& v)
{
    LJSONValueTemplate* e = AddChild();
    e->MoveFrom(v);
    return e;
}

LJSONValueNamedTemplate<char>* LJSONValueTemplate<char>::AddMember(const char* name)
{
    auto* m = new Named;
    m->SetName(name);
    Named** link = &m_members;
    while (*link)
        link = &(*link)->m_next;
    *link = m;
    return m;
}

LJSONValueTemplate<char>* LJSONValueTemplate<char>::DetachChild(int index)
{
    if (index < 0 || size_t(index) >= m_count)
        return nullptr;
    auto* v = new LJSONValueTemplate;
    v->MoveFrom(m_elements[index]);
    for (size_t i = size_t(index); i + 1 < m_count; ++i)
        m_elements[i].MoveFrom(m_elements[i + 1]);
    --m_count;
    return v;
}

void LJSONValueTemplate<char>::Assign(LJSONValueTemplate& from)
{
    if (&from == this)
        return;
    // from may live inside this value (an element or member of it): take it out first.
    LJSONValueTemplate taken(std::move(from));
    Clear();
    MoveFrom(taken);
}

void LJSONValueNamedTemplate<char>::SetName(const char* name)
{
    utf8strlcpy(m_name, name ? name : "", kLStringShortSize);
}

// ---------------------------------------------------------------------------------------------
// Reader

namespace {

constexpr char kErrorOneRoot[] = "Måste vara exakt ett rotvärde.";
constexpr char kErrorUnterminated[] = "Strängen avgränsas inte med dubbel citattecken.";
constexpr char kErrorNotQuoted[] = "Texten är inte bunden av dubbla citattecken.";
constexpr char kErrorNumber[] = "Det gick inte att tolka värdet.";
constexpr char kErrorHexDigit[] = "Tecknet är inte i intervallet [0; F]";
constexpr char kErrorMissingValue[] = "Ett värde saknas.";
constexpr char kErrorTooDeep[] = "Värdena är nästlade i för många nivåer (högst %d).";

// The bytes that end an unquoted token, and the rest of a line after a quoted one.
inline bool IsDelimiter(unsigned char c)
{
    return c == ',' || c == ']' || c == '}' || c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

inline int HexValue(unsigned char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// Four hexadecimal digits at p (within end): the unit, or -1.
int ReadUnit(const char* p, const char* end)
{
    if (end - p < 4)
        return -1;
    int unit = 0;
    for (int i = 0; i < 4; ++i) {
        const int d = HexValue(static_cast<unsigned char>(p[i]));
        if (d < 0)
            return -1;
        unit = unit * 16 + d;
    }
    return unit;
}

void AppendUtf8(LStringLongTemplate<char>& out, uint32_t cp)
{
    char b[4];
    out.Append(b, size_t(LEncodeUTF8(cp, b)));
}

// The "C" locale, so that numbers read the same whatever the process's locale is.
locale_t CLocale()
{
    static const locale_t c = newlocale(LC_ALL_MASK, "C", locale_t(0));
    return c;
}

// Reads a number the way sscanf("%lf") does in the C locale: a prefix of the token in any form
// strtod accepts (signs, exponents, hexadecimal, inf, nan). False when no number starts it.
bool ReadNumber(const char* token, double& value)
{
    const char* p = token;
    if (*p == '+' || *p == '-')
        ++p;
    // "0x" without hexadecimal digits after it reads as nothing (strtod would take the 0).
    if (p[0] == '0' && (p[1] == 'x' || p[1] == 'X')) {
        const unsigned char c = static_cast<unsigned char>(p[2]);
        const unsigned char d = static_cast<unsigned char>(p[3]);
        if (HexValue(c) < 0 && !(c == '.' && HexValue(d) >= 0))
            return false;
    }
    char* end = nullptr;
    const double v = strtod_l(token, &end, CLocale());
    if (end == token)
        return false;
    value = v;
    return true;
}

// An index of an object's members by name, made once an object has many members so that reading
// stays linear.
struct MemberIndex {
    std::unordered_map<std::string_view, LJSONValueNamedTemplate<char>*> byName;
};

} // namespace

void LJSONValueReaderTemplate<char>::SetErrorText(const char* text)
{
    if (m_error[0] == 0)
        std::snprintf(m_error, sizeof m_error, "%s", text);
}

void LJSONValueReaderTemplate<char>::SkipBlanks()
{
    while (*m_cursor != 0 && static_cast<unsigned char>(*m_cursor) < 33)
        ++m_cursor;
}

void LJSONValueReaderTemplate<char>::SkipBlanksAndComma()
{
    SkipBlanks();
    if (*m_cursor == ',')
        ++m_cursor;
}

LProcessResult LJSONValueReaderTemplate<char>::Read(
    LProcessInterface& pi, LJSONValueNamedTemplate<char>& root, const char* text)
{
    m_text = m_cursor = text ? text : "";
    m_error[0] = 0;
    m_depth = 0;
    m_hasName = false;
    m_name[0] = 0;
    root.Clear();
    root.m_name[0] = 0;

    LProcessResult result = ReadRecursive(pi, root, false);
    if (result == LProcessResultSuccess) {
        const size_t children = root.GetMemberCount() + root.m_count;
        if (children == 1 && root.m_count == 1) {
            LJSONValueTemplate<char> top(std::move(root.m_elements[0]));
            root.Assign(top);
            root.m_name[0] = 0;
            return LProcessResultSuccess;
        }
        // No value, more than one, or a lone member name with its value outside any braces.
        SetErrorText(kErrorOneRoot);
        result = LProcessResultError;
    }

    // Line from 1 and column from 0 of the cursor; CR, LF and CR LF each end a line.
    int line = 1, column = 0;
    for (const char* p = m_text; p < m_cursor; ++p) {
        if (*p == '\r') {
            if (p + 1 < m_cursor && p[1] == '\n')
                ++p;
            ++line;
            column = 0;
        } else if (*p == '\n') {
            ++line;
            column = 0;
        } else {
            ++column;
        }
    }
    char report[520];
    std::snprintf(report, sizeof report, "Error near(%d:%d): %s", line, column, m_error);
    pi.SetError(report);
    return LProcessResultError;
}

bool LJSONValueReaderTemplate<char>::ScanQuoted(const char*& begin, const char*& end)
{
    const char* p = m_cursor + 1;
    for (;;) {
        const char c = *p;
        if (c == 0) {
            m_cursor = p;
            SetErrorText(kErrorUnterminated);
            return false;
        }
        if (c == '"')
            break;
        if (c == '\\') {
            if (p[1] == 0) {
                m_cursor = p + 1;
                SetErrorText(kErrorUnterminated);
                return false;
            }
            p += 2;
            continue;
        }
        ++p;
    }
    begin = m_cursor + 1;
    end = p;
    m_cursor = p + 1;
    return true;
}

bool LJSONValueReaderTemplate<char>::Unescape(
    const char* begin, const char* end, LStringLongTemplate<char>& out)
{
    const char* p = begin;
    while (p < end) {
        // Copy the run up to the next backslash with one append.
        const char* q = static_cast<const char*>(std::memchr(p, '\\', size_t(end - p)));
        if (!q) {
            out.Append(p, size_t(end - p));
            break;
        }
        if (q > p)
            out.Append(p, size_t(q - p));
        if (q + 1 >= end) { // a lone backslash at the very end
            p = end;
            break;
        }
        const char e = q[1];
        p = q + 2;
        switch (e) {
        case '"':
            out.Append('"');
            break;
        case '\\':
            out.Append('\\');
            break;
        case '/':
            out.Append('/');
            break;
        case 'b':
            out.Append('\b');
            break;
        case 'f':
            out.Append('\f');
            break;
        case 'n':
            out.Append('\n');
            break;
        case 'r':
            out.Append('\r');
            break;
        case 't':
            out.Append('\t');
            break;
        case 'u': {
            const int unit = ReadUnit(p, end);
            if (unit < 0) {
                SetErrorText(kErrorHexDigit);
                return false;
            }
            p += 4;
            uint32_t cp = uint32_t(unit);
            if (cp >= 0xD800 && cp <= 0xDBFF) {
                // A high surrogate: with a low one right after it, the two make one character.
                const int low
                    = (end - p >= 6 && p[0] == '\\' && p[1] == 'u') ? ReadUnit(p + 2, end) : -1;
                if (low >= 0xDC00 && low <= 0xDFFF) {
                    cp = 0x10000 + ((cp - 0xD800) << 10) + (uint32_t(low) - 0xDC00);
                    p += 6;
                } else {
                    cp = 0xFFFD;
                }
            } else if (cp >= 0xDC00 && cp <= 0xDFFF) {
                cp = 0xFFFD; // a low surrogate without its high half
            }
            AppendUtf8(out, cp);
            break;
        }
        default:
            break; // an unknown escape: both bytes are dropped
        }
    }
    return true;
}

bool LJSONValueReaderTemplate<char>::UnescapeString(LStringLongTemplate<char>& s)
{
    LStringLongTemplate<char> out;
    out.GrowToSize(s.GetLength() + 1);
    const char* begin = s.c_str();
    if (!Unescape(begin, begin + s.GetLength(), out))
        return false;
    s = std::move(out);
    return true;
}

bool LJSONValueReaderTemplate<char>::ParseValue(const char* token, LJSONValueTemplate<char>& value)
{
    return ParseValue(token, token ? std::strlen(token) : 0, value);
}

bool LJSONValueReaderTemplate<char>::ParseValue(
    const char* token, size_t length, LJSONValueTemplate<char>& value)
{
    if (length > 0 && token[0] == '"') {
        if (length >= 2 && token[length - 1] != '"') {
            SetErrorText(kErrorNotQuoted);
            return false;
        }
        value.Clear();
        value.m_type = LJSONTypeString;
        value.m_text.GrowToSize(length);
        if (length > 2)
            value.m_text.Append(token + 1, length - 2);
        return true;
    }
    if (length >= 4 && std::memcmp(token, "true", 4) == 0) {
        value.SetBool(true);
        return true;
    }
    if (length >= 5 && std::memcmp(token, "false", 5) == 0) {
        value.SetBool(false);
        return true;
    }
    if (length >= 4 && std::memcmp(token, "null", 4) == 0) {
        value.SetNull();
        return true;
    }
    char buffer[kLStringShortSize];
    const size_t n = length < sizeof buffer - 1 ? length : sizeof buffer - 1;
    std::memcpy(buffer, token, n);
    buffer[n] = 0;
    double number = 0;
    if (!ReadNumber(buffer, number)) {
        SetErrorText(kErrorNumber);
        return false;
    }
    value.SetNumber(number);
    return true;
}

bool LJSONValueReaderTemplate<char>::ReadScalar(LJSONValueTemplate<char>& target)
{
    target.Clear();
    if (*m_cursor == '"') {
        const char *begin, *end;
        if (!ScanQuoted(begin, end))
            return false;
        target.m_type = LJSONTypeString;
        target.m_text.GrowToSize(size_t(end - begin) + 1);
        if (!Unescape(begin, end, target.m_text))
            return false;
        while (*m_cursor != 0 && !IsDelimiter(static_cast<unsigned char>(*m_cursor)))
            ++m_cursor;
    } else {
        const char* start = m_cursor;
        while (*m_cursor != 0 && !IsDelimiter(static_cast<unsigned char>(*m_cursor)))
            ++m_cursor;
        if (m_cursor == start) {
            SetErrorText(kErrorMissingValue);
            return false;
        }
        // At most 259 bytes of the token are kept.
        size_t length = size_t(m_cursor - start);
        if (length > kLStringShortSize - 1)
            length = kLStringShortSize - 1;
        if (!ParseValue(start, length, target))
            return false;
    }
    SkipBlanksAndComma();
    return true;
}

LProcessResult LJSONValueReaderTemplate<char>::ReadRecursive(
    LProcessInterface& pi, LJSONValueTemplate<char>& value, bool arrayMode)
{
    (void)arrayMode; // names are told from strings by the container's type and the ":" after them
    if (m_depth > kMaxDepth) { // the root frame is not a container
        char text[kLStringShortSize];
        std::snprintf(text, sizeof text, kErrorTooDeep, kMaxDepth);
        SetErrorText(text);
        return LProcessResultError;
    }
    struct DepthGuard {
        int& depth;
        explicit DepthGuard(int& d)
            : depth(d)
        {
            ++depth;
        }
        ~DepthGuard() { --depth; }
    } guard(m_depth);

    // The last member (new ones are appended there) and, for large objects, an index by name.
    LJSONValueNamedTemplate<char>* tail = value.m_members;
    size_t memberCount = 0;
    if (tail) {
        ++memberCount;
        while (tail->m_next) {
            tail = tail->m_next;
            ++memberCount;
        }
    }
    std::unique_ptr<MemberIndex> index;

    // The member of the pending name: found, or appended. An empty name gives an element.
    auto takeTarget = [&]() -> LJSONValueTemplate<char>* {
        const bool named = m_hasName && m_name[0] != 0;
        m_hasName = false;
        if (!named)
            return value.AddChild();
        LJSONValueNamedTemplate<char>* found = nullptr;
        if (index) {
            auto it = index->byName.find(std::string_view(m_name));
            if (it != index->byName.end())
                found = it->second;
        } else {
            for (LJSONValueNamedTemplate<char>* m = value.m_members; m; m = m->m_next)
                if (std::strcmp(m->m_name, m_name) == 0) {
                    found = m;
                    break;
                }
        }
        if (found)
            return found;
        auto* m = new LJSONValueNamedTemplate<char>;
        std::memcpy(m->m_name, m_name, std::strlen(m_name) + 1);
        if (tail)
            tail->m_next = m;
        else
            value.m_members = m;
        tail = m;
        ++memberCount;
        if (index) {
            index->byName.emplace(std::string_view(m->m_name), m);
        } else if (memberCount > 16) {
            index = std::make_unique<MemberIndex>();
            for (LJSONValueNamedTemplate<char>* n = value.m_members; n; n = n->m_next)
                index->byName.emplace(std::string_view(n->m_name), n);
        }
        return m;
    };

    for (;;) {
        SkipBlanks();
        const char c = *m_cursor;
        if (c == 0)
            return LProcessResultSuccess;
        if (c == '}' || c == ']') {
            ++m_cursor;
            SkipBlanksAndComma();
            return LProcessResultSuccess;
        }
        if (c == '[' || c == '{') {
            ++m_cursor;
            LJSONValueTemplate<char>* child = takeTarget();
            child->Clear();
            child->m_type = c == '[' ? LJSONTypeArray : LJSONTypeObject;
            const LProcessResult r = ReadRecursive(pi, *child, c == '[');
            if (r != LProcessResultSuccess)
                return r;
            continue;
        }
        if (m_hasName) {
            if (!ReadScalar(*takeTarget()))
                return LProcessResultError;
            continue;
        }
        if (c == '"') {
            const char* quote = m_cursor;
            const char *begin, *end;
            if (!ScanQuoted(begin, end))
                return LProcessResultError;
            SkipBlanks();
            if (value.m_type == LJSONTypeObject || *m_cursor == ':') {
                // A member name; its value follows the ":".
                LStringLongTemplate<char> name;
                if (!Unescape(begin, end, name))
                    return LProcessResultError;
                utf8strlcpy(m_name, name.c_str(), sizeof m_name);
                m_hasName = true;
                if (*m_cursor == ':')
                    ++m_cursor;
                continue;
            }
            // A string element: read it again as a value.
            m_cursor = quote;
            if (!ReadScalar(*value.AddChild()))
                return LProcessResultError;
            continue;
        }
        if (!ReadScalar(*value.AddChild()))
            return LProcessResultError;
    }
}
