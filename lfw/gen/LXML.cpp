#include "lfw/gen/LXML.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <strings.h>
#include <sys/stat.h>
#include <utility>
#include <vector>

#include "lfw/gen/LCharSet.h"
#include "lfw/gen/LFile.h"

namespace {

constexpr char kErrorSemicolon[]
    = "Strängar som börjar med ett et-tecken (&) måste sluta med ett semikolon (;). Antingen "
      "ersätter du '&' med 'amp;' eller lägger till ett ';' i slutet av kontrollsträngen.";
constexpr char kErrorNoClose[] = "Taggen <%s> har ingen stängning '>'";
constexpr char kErrorEof[] = "(EOF) Element <%s> should be terminated with </%s>. Check you have "
                             "terminated your element properly.";
constexpr char kErrorMismatch[]
    = "Element <%s> should be terminated with </%s>, was with %s. Check "
      "you have terminated your element properly.";
constexpr char kErrorMisplacedEnd[] = "Misplaced </%s> which does not match a <%s>.";
constexpr char kErrorMisplacedLt[]
    = "Felplacerad < utan namn. Använd &lt; i stället för < om det är lämpligt.";
constexpr char kErrorTooDeep[] = "Elementen är nästlade i för många nivåer (högst %d).";

constexpr size_t kNameLimit = kLStringShortSize - 1; // tag and attribute names keep 259 bytes
constexpr size_t kStopCheckBytes = 512;
constexpr size_t kProgressBytes = 64 * 1024;

char* Duplicate(const char* text, size_t length)
{
    char* copy = new char[length + 1];
    if (length)
        std::memcpy(copy, text, length);
    copy[length] = 0;
    return copy;
}

inline bool IsNameDelimiter(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '/' || c == '=' || c == '>';
}

// What may follow "<" to start a child element.
inline bool IsNameStart(char c)
{
    const unsigned char u = static_cast<unsigned char>(c);
    return (u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z') || u == '_' || u == ':' || u == '!'
        || u == '?' || u >= 0x80;
}

// Bytes that need no care inside element content.
inline bool IsPlain(char c)
{
    return c != '<' && c != '&' && c != '\r' && c != '\n' && c != 0;
}

// Follows the quoting of names and attribute values: a double or single quote opens a quoted
// run and the same character closes it. True when c opened or closed one (it is then no part
// of the text).
inline bool FollowQuote(char c, char& quote)
{
    if (quote ? c != quote : c != '"' && c != '\'')
        return false;
    quote = quote ? 0 : c;
    return true;
}

inline bool IsXmlBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

void AppendCodePoint(LStringLongTemplate<char>& out, uint32_t cp)
{
    // NUL, surrogate halves and values past U+10FFFF are no characters.
    if (cp == 0 || (cp >= 0xD800 && cp <= 0xDFFF) || cp > 0x10FFFF)
        cp = 0xFFFD;
    char b[4];
    out.Append(b, size_t(LEncodeUTF8(cp, b)));
}

bool EndsWith(const LStringLongTemplate<char>& s, const char* tail)
{
    const size_t n = std::strlen(tail);
    return s.GetLength() >= n && std::memcmp(s.c_str() + s.GetLength() - n, tail, n) == 0;
}

void AppendTabs(LStringLongTemplate<char>& out, int indent)
{
    for (int i = 0; i < indent; ++i)
        out.Append('\t');
}

} // namespace

// ---------------------------------------------------------------------------------------------
// The loader

LXMLLoaderTemplate<char>::LXMLLoaderTemplate(const char* text, char* error, LProcessInterface* pi)
    : m_text(text ? text : "")
    , m_pos(m_text)
    , m_error(error)
    , m_pi(pi)
    , m_stopPacing(pi)
    , m_lastCheck(m_text)
    , m_end(pi ? m_text + std::strlen(m_text) : m_text)
    , m_lastProgress(m_text)
{
    if (m_error)
        m_error[0] = 0;
}

char LXMLLoaderTemplate<char>::GetChar()
{
    const char c = *m_pos;
    if (c == 0)
        return 0;
    ++m_pos;
    if (c == '\r' || c == '\n') {
        if (*m_pos == (c == '\r' ? '\n' : '\r'))
            ++m_pos;
        ++m_line;
        m_column = 1;
        return '\n';
    }
    ++m_column;
    return c;
}

void LXMLLoaderTemplate<char>::TakePlainRun(LStringLongTemplate<char>& out, char stop)
{
    const char* p = m_pos;
    while (*p != stop && IsPlain(*p))
        ++p;
    if (p != m_pos) {
        out.Append(m_pos, size_t(p - m_pos));
        m_column += int(p - m_pos);
        m_pos = p;
    }
}

bool LXMLLoaderTemplate<char>::CheckStop()
{
    if (m_aborted)
        return true;
    if (size_t(m_pos - m_lastCheck) < kStopCheckBytes)
        return false;
    m_lastCheck = m_pos;
    if (m_pi && size_t(m_pos - m_lastProgress) >= kProgressBytes && m_end > m_text) {
        m_lastProgress = m_pos;
        m_pi->SetProgress(double(m_pos - m_text) / double(m_end - m_text));
    }
    if (m_stopPacing.IsToStop())
        m_aborted = true;
    return m_aborted;
}

void LXMLLoaderTemplate<char>::Error(const char* format, ...)
{
    if (!m_error || m_error[0] != 0)
        return;
    char message[kLStringShortSize * 4];
    va_list args;
    va_start(args, format);
    std::vsnprintf(message, sizeof message, format, args);
    va_end(args);
    char line[sizeof message + 64];
    std::snprintf(line, sizeof line, "Ln %d, Col %d: %s", m_line, m_column, message);
    utf8strlcpy(m_error, line, kLStringShortSize);
}

void LXMLLoaderTemplate<char>::XMLAmpChar(LStringLongTemplate<char>& out)
{
    char name[24];
    size_t n = 0;
    for (;;) {
        const char c = *m_pos;
        if (c == ';') {
            GetChar();
            break;
        }
        if (c == 0 || c == ' ' || c == '\t' || c == '\r' || c == '\n' || n >= 23) {
            Error("%s", kErrorSemicolon);
            return;
        }
        name[n++] = GetChar();
    }
    name[n] = 0;

    if (std::strcmp(name, "amp") == 0)
        out.Append('&');
    else if (std::strcmp(name, "gt") == 0)
        out.Append('>');
    else if (std::strcmp(name, "lt") == 0)
        out.Append('<');
    else if (std::strcmp(name, "quot") == 0)
        out.Append('"');
    else if (std::strcmp(name, "apos") == 0)
        out.Append('\'');
    else if (name[0] == '#') {
        // A character reference; bytes that are no digits are passed over. The whole code point
        // is kept (values past U+10FFFF become the replacement character).
        uint32_t value = 0;
        if (name[1] == 'x' || name[1] == 'X') {
            for (const char* p = name + 2; *p; ++p) {
                const char c = *p;
                int d = -1;
                if (c >= '0' && c <= '9')
                    d = c - '0';
                else if (c >= 'a' && c <= 'f')
                    d = c - 'a' + 10;
                else if (c >= 'A' && c <= 'F')
                    d = c - 'A' + 10;
                if (d >= 0 && value <= 0x10FFFF)
                    value = value * 16 + uint32_t(d);
            }
        } else {
            for (const char* p = name + 1; *p; ++p)
                if (*p >= '0' && *p <= '9' && value <= 0x10FFFF)
                    value = value * 10 + uint32_t(*p - '0');
        }
        AppendCodePoint(out, value);
    } else {
        out.Append('&'); // an unknown entity: the name is dropped
    }
}

char LXMLLoaderTemplate<char>::XMLLoadTag(LStringLongTemplate<char>& name, bool skipLeadingBlanks)
{
    name.Clear();
    if (skipLeadingBlanks)
        while (IsXmlBlank(*m_pos))
            GetChar();
    char quote = 0;
    for (;;) {
        const char c = GetChar();
        if (c == 0)
            return 0;
        if (!quote && IsNameDelimiter(c))
            return c;
        if (FollowQuote(c, quote))
            continue;
        if (c == '&') {
            const size_t before = name.GetLength();
            XMLAmpChar(name);
            if (name.GetLength() > kNameLimit) {
                // Keep whole characters within the limit.
                size_t cut = kNameLimit;
                while (cut > before && (static_cast<unsigned char>(name[cut]) & 0xC0) == 0x80)
                    --cut;
                name.SetLength(cut);
            }
        } else if (name.GetLength() < kNameLimit) {
            name.Append(c);
        }
        // Comments, DOCTYPE and CDATA sections end their name after the opening token.
        const size_t length = name.GetLength();
        if (length == 3 && std::memcmp(name.c_str(), "!--", 3) == 0)
            return ' ';
        if (length == 8
            && (std::memcmp(name.c_str(), "!DOCTYPE", 8) == 0
                || std::memcmp(name.c_str(), "![CDATA[", 8) == 0))
            return ' ';
    }
}

char LXMLLoaderTemplate<char>::XMLLoadAttribute(LStringLongTemplate<char>& value)
{
    value.Clear();
    if (*m_pos == ' ')
        GetChar();
    char quote = 0;
    for (;;) {
        // Inside quotes the ordinary bytes up to the closing quote are taken all at once.
        if (quote)
            TakePlainRun(value, quote);
        const char c = GetChar();
        if (c == 0)
            return 0;
        if (!quote && IsNameDelimiter(c))
            return c;
        if (FollowQuote(c, quote))
            continue;
        // "?>" ends a declaration: the "?" is no part of the value.
        if (!quote && c == '?' && m_pos[0] == '>')
            continue;
        if (c == '&')
            XMLAmpChar(value);
        else
            value.Append(c);
    }
}

// ---------------------------------------------------------------------------------------------
// Elements

LXMLElement::LXMLElement() = default;

LXMLElement::LXMLElement(const char* name)
    : m_name(Duplicate(name ? name : "", name ? std::strlen(name) : 0))
{
}

LXMLElement* LXMLElement::CreateText(const char* text, size_t length)
{
    auto* node = new LXMLElement;
    node->m_text = Duplicate(text ? text : "", text ? length : 0);
    return node;
}

LXMLElement* LXMLElement::CreateText(const char* text)
{
    return CreateText(text, text ? std::strlen(text) : 0);
}

LXMLElement::~LXMLElement()
{
    ClearChildren();
    delete[] m_name;
    delete[] m_text;
}

void LXMLElement::ClearChildren()
{
    // Siblings one by one, so that a long child list does not recurse through its links.
    while (LXMLElement* child = m_firstChild) {
        m_firstChild = child->m_next;
        child->m_next = nullptr;
        delete child;
    }
}

LXMLElement* LXMLElement::AddChild(LXMLElement* child)
{
    if (!child)
        return nullptr;
    LXMLElement** link = &m_firstChild;
    while (*link)
        link = &(*link)->m_next;
    *link = child;
    child->m_next = nullptr;
    return child;
}

LXMLElement* LXMLElement::AddElement(const char* name)
{
    return AddChild(new LXMLElement(name));
}

const LXMLElement* LXMLElement::GetElement(const char* name) const
{
    for (const LXMLElement* c = m_firstChild; c; c = c->m_next)
        if (c->m_name && name && std::strcmp(c->m_name, name) == 0)
            return c;
    return nullptr;
}

LXMLElement* LXMLElement::GetElement(const char* name)
{
    return const_cast<LXMLElement*>(static_cast<const LXMLElement*>(this)->GetElement(name));
}

LXMLElement::ConstNamedElementIterator::ConstNamedElementIterator(
    const LXMLElement& parent, const char* name)
    : m_current(parent.GetElement(name))
    , m_name(name)
{
}

bool LXMLElement::ConstNamedElementIterator::Next()
{
    if (!m_current)
        return false;
    for (m_current = m_current->m_next; m_current; m_current = m_current->m_next)
        if (m_current->m_name && std::strcmp(m_current->m_name, m_name) == 0)
            return true;
    return false;
}

LXMLElement::LXMLElement(
    const char* name, char delimiter, LXMLLoaderTemplate<char>& loader, bool preserveWhitespace)
    : m_preserveWhitespace(preserveWhitespace)
    , m_name(Duplicate(name, std::strlen(name)))
{
    if (m_name[0] == '!') {
        ReadSpecialSection(loader);
        return;
    }

    // The loader's scratch strings: both are stored before any content (and so any child) is read.
    LStringLongTemplate<char>& attribute = loader.m_attribute;
    LStringLongTemplate<char>& value = loader.m_value;
    bool empty = false;
    char d = delimiter;
    for (;;) {
        if (d == '/') {
            empty = true;
            d = loader.GetChar();
            continue;
        }
        if (d == 0) {
            loader.Error(kErrorNoClose, m_name);
            return;
        }
        if (d == '>') {
            // The attributes are read: their block takes no more than they need.
            m_attributes.shrink_to_fit();
            if (!empty && m_name[0] != '?')
                LoadData(loader);
            return;
        }
        d = loader.XMLLoadTag(attribute, true);
        bool hasValue = d == '=';
        if (!hasValue && d == ' ' && loader.PeekChar() == '=') {
            loader.GetChar();
            hasValue = true;
        }
        value.Clear();
        if (hasValue)
            d = loader.XMLLoadAttribute(value);
        if (attribute.IsEmpty())
            continue; // blanks before ">" or "/"
        if (m_name[0] == '?' && d == '>' && std::strcmp(attribute.c_str(), "?") == 0)
            continue; // the "?" of "?>" after a blank
        if (strcasecmp(attribute.c_str(), "xml:space") == 0)
            m_preserveWhitespace = true;
        else
            AppendAttribute(attribute.c_str(), value.c_str());
    }
}

const char* LXMLElement::GetAttribute(const char* name, const char* def) const
{
    const char* wanted = name ? name : "";
    const char* found = nullptr;
    const char* p = m_attributes.data();
    const char* end = p + m_attributes.size();
    while (p < end) {
        const char* value = p + std::strlen(p) + 1;
        if (std::strcmp(p, wanted) == 0)
            found = value;
        p = value + std::strlen(value) + 1;
    }
    return found ? found : def;
}

void LXMLElement::AppendAttribute(const char* name, const char* value)
{
    m_attributes.append(name ? name : "").push_back('\0');
    m_attributes.append(value ? value : "").push_back('\0');
}

void LXMLElement::SetAttribute(const char* name, const char* value)
{
    const char* wanted = name ? name : "";
    std::string kept;
    const char* p = m_attributes.data();
    const char* end = p + m_attributes.size();
    while (p < end) {
        const char* next = p + std::strlen(p) + 1;
        next += std::strlen(next) + 1;
        if (std::strcmp(p, wanted) != 0)
            kept.append(p, size_t(next - p));
        p = next;
    }
    m_attributes.swap(kept);
    AppendAttribute(wanted, value);
}

void LXMLElement::ReadSpecialSection(LXMLLoaderTemplate<char>& loader)
{
    const bool comment = std::strcmp(m_name, "!--") == 0;
    const bool cdata = std::strcmp(m_name, "![CDATA[") == 0;
    const bool doctype = std::strcmp(m_name, "!DOCTYPE") == 0;
    LStringLongTemplate<char>& text = loader.m_pending;
    text.Clear();
    int brackets = 0;
    for (;;) {
        const char c = loader.GetChar();
        if (c == 0) {
            loader.Error(kErrorEof, m_name, m_name);
            break;
        }
        if (c == '>') {
            if ((comment && EndsWith(text, "--")) || (cdata && EndsWith(text, "]]"))) {
                text.SetLength(text.GetLength() - 2);
                break;
            }
            if (doctype && brackets == 0)
                break;
        }
        if (doctype) {
            if (c == '[')
                ++brackets;
            else if (c == ']' && brackets > 0)
                --brackets;
        }
        text.Append(c);
    }
    LXMLElement* node = CreateText(text.c_str(), text.GetLength());
    node->m_preserveWhitespace = m_preserveWhitespace;
    m_firstChild = node;
    text.Clear();
}

void LXMLElement::EndPendingText(LXMLLoaderTemplate<char>& loader, LXMLElement*& last)
{
    LStringLongTemplate<char>& text = loader.m_pending;
    const char* begin = text.c_str();
    const char* end = begin + text.GetLength();
    if (!m_preserveWhitespace) {
        // Control bytes go at both ends; blanks stay.
        while (begin < end && static_cast<unsigned char>(*begin) < 32)
            ++begin;
        while (end > begin && static_cast<unsigned char>(end[-1]) < 32)
            --end;
    }
    if (end > begin) {
        LXMLElement* node = CreateText(begin, size_t(end - begin));
        node->m_preserveWhitespace = m_preserveWhitespace;
        if (last)
            last->m_next = node;
        else
            m_firstChild = node;
        last = node;
    }
    text.Clear();
}

void LXMLElement::LoadData(LXMLLoaderTemplate<char>& loader)
{
    ClearChildren();
    if (loader.m_depth > LXMLLoaderTemplate<char>::kMaxDepth) {
        loader.Error(kErrorTooDeep, LXMLLoaderTemplate<char>::kMaxDepth);
        loader.m_aborted = true;
        return;
    }
    ++loader.m_depth;

    LXMLElement* last = nullptr;
    LStringLongTemplate<char>& text = loader.m_pending;
    text.Clear();
    LStringLongTemplate<char>& tag = loader.m_tag; // a child copies its name before reading on
    for (;;) {
        if (loader.CheckStop())
            break;
        loader.TakePlainRun(text);
        const char c = loader.GetChar();
        if (c == 0) {
            if (m_name)
                loader.Error(kErrorEof, m_name, m_name);
            break;
        }
        if (c == '&') {
            loader.XMLAmpChar(text);
            continue;
        }
        if (c != '<') {
            text.Append(c);
            continue;
        }

        const char next = loader.PeekChar();
        if (next == '/') {
            loader.GetChar();
            const char d = loader.XMLLoadTag(tag);
            if (m_name) {
                if (std::strcmp(m_name, tag.c_str()) != 0)
                    loader.Error(kErrorMismatch, m_name, m_name, tag.c_str());
            } else {
                loader.Error(kErrorMisplacedEnd, tag.c_str(), tag.c_str());
            }
            char s = d;
            while (s != '>' && s != 0)
                s = loader.GetChar();
            // An end tag the file ends inside leaves the document not well-formed.
            if (s == 0)
                loader.Error(kErrorNoClose, tag.c_str());
            break;
        }
        if (!IsNameStart(next)) {
            loader.Error("%s", kErrorMisplacedLt);
            break;
        }

        EndPendingText(loader, last);
        const char d = loader.XMLLoadTag(tag);
        LXMLElement* child = new LXMLElement(tag.c_str(), d, loader, m_preserveWhitespace);
        if (last)
            last->m_next = child;
        else
            m_firstChild = child;
        last = child;
        text.Clear();
    }
    EndPendingText(loader, last);
    --loader.m_depth;
}

// ---------------------------------------------------------------------------------------------
// Writing

void LHTMLEncodeToWriterSimple(LStringLongTemplate<char>& writer, const char* text, size_t length)
{
    const char* run = text;
    const char* end = text + length;
    for (const char* p = text; p < end; ++p) {
        const char* entity;
        switch (*p) {
        case '<':
            entity = "&lt;";
            break;
        case '>':
            entity = "&gt;";
            break;
        case '"':
            entity = "&quot;";
            break;
        case '&':
            entity = "&amp;";
            break;
        default:
            continue;
        }
        if (p > run)
            writer.Append(run, size_t(p - run));
        writer.Append(entity);
        run = p + 1;
    }
    if (end > run)
        writer.Append(run, size_t(end - run));
}

void LHTMLEncodeToWriterSimple(LStringLongTemplate<char>& writer, const char* text)
{
    if (text)
        LHTMLEncodeToWriterSimple(writer, text, std::strlen(text));
}

void LXMLElement::WriteTextNode(LStringLongTemplate<char>& out, bool& wrote) const
{
    const char* text = m_text ? m_text : (m_firstChild ? m_firstChild->m_text : nullptr);
    wrote = false;
    if (!text)
        return;
    const char* p = text;
    while (IsXmlBlank(*p))
        ++p;
    if (*p == 0)
        return;
    // Line by line; every line end (CR, LF, CR LF, LF CR) becomes "\n".
    p = text;
    while (*p) {
        const char* e = p;
        while (*e && *e != '\r' && *e != '\n')
            ++e;
        LHTMLEncodeToWriterSimple(out, p, size_t(e - p));
        if (*e == 0)
            break;
        out.Append('\n');
        if ((e[0] == '\r' && e[1] == '\n') || (e[0] == '\n' && e[1] == '\r'))
            ++e;
        p = e + 1;
    }
    wrote = true;
}

bool LXMLElement::SaveToBuffer(LStringLongTemplate<char>& out, int indent) const
{
    if (!m_name) {
        bool wrote;
        WriteTextNode(out, wrote);
        return wrote;
    }

    AppendTabs(out, indent);
    out.Append('<');
    out.Append(m_name);

    if (m_name[0] == '!') {
        for (const LXMLElement* c = m_firstChild; c; c = c->m_next)
            if (c->m_text)
                out.Append(c->m_text);
        if (std::strcmp(m_name, "!--") == 0)
            out.Append("-->");
        else if (strcasecmp(m_name, "![CDATA[") == 0)
            out.Append("]]>");
        else
            out.Append('>');
        if (indent >= 0)
            out.Append('\n');
        return true;
    }

    const bool declaration = std::strcmp(m_name, "?xml") == 0;
    const char* version = declaration ? GetAttribute("version", "") : "";
    if (version[0]) {
        out.Append(" version=\"");
        LHTMLEncodeToWriterSimple(out, version);
        out.Append('"');
    }
    // In the order of their names; of two of one name the later read.
    std::vector<std::pair<const char*, const char*>> attributes;
    for (const char *p = m_attributes.data(), *end = p + m_attributes.size(); p < end;) {
        const char* value = p + std::strlen(p) + 1;
        attributes.emplace_back(p, value);
        p = value + std::strlen(value) + 1;
    }
    std::stable_sort(attributes.begin(), attributes.end(),
        [](const auto& a, const auto& b) { return std::strcmp(a.first, b.first) < 0; });
    for (size_t i = 0; i < attributes.size(); ++i) {
        const auto& [key, value] = attributes[i];
        if (i + 1 < attributes.size() && std::strcmp(attributes[i + 1].first, key) == 0)
            continue;
        if (version[0] && std::strcmp(key, "version") == 0)
            continue;
        out.Append(' ');
        out.Append(key);
        out.Append("=\"");
        LHTMLEncodeToWriterSimple(out, value, std::strlen(value));
        out.Append('"');
    }

    bool hasElement = false, hasText = false;
    for (const LXMLElement* c = m_firstChild; c; c = c->m_next) {
        if (c->m_name) {
            hasElement = true;
            break;
        }
        const char* t
            = c->m_text ? c->m_text : (c->m_firstChild ? c->m_firstChild->m_text : nullptr);
        if (t) {
            while (IsXmlBlank(*t))
                ++t;
            if (*t)
                hasText = true;
        }
    }

    if (hasElement) {
        out.Append('>');
        if (indent >= 0)
            out.Append('\n');
        for (const LXMLElement* c = m_firstChild; c; c = c->m_next)
            c->SaveToBuffer(out, indent >= 0 ? indent + 1 : -1);
        if (indent >= 1)
            AppendTabs(out, indent);
        out.Append("</");
        out.Append(m_name);
        out.Append(">\n");
    } else if (hasText) {
        out.Append('>');
        for (const LXMLElement* c = m_firstChild; c; c = c->m_next)
            c->SaveToBuffer(out, indent);
        out.Append("</");
        out.Append(m_name);
        out.Append(">\n");
    } else {
        out.Append(m_name[0] == '?' ? "?>" : "/>");
        if (indent >= 0)
            out.Append('\n');
    }
    return true;
}

// ---------------------------------------------------------------------------------------------
// Documents

LXMLDocument::LXMLDocument()
{
    SetPreserveWhitespace(true);
}

bool LXMLDocument::SaveToBuffer(LStringLongTemplate<char>& out, int) const
{
    for (const LXMLElement* c = GetFirstChild(); c; c = c->GetNext())
        c->SaveToBuffer(out, 0);
    return true;
}

LProcessResult LXMLDocument::LoadFromText(LProcessInterface* pi, const char* text, char* error)
{
    LXMLLoaderTemplate<char> loader(text, error, pi);
    LoadData(loader);
    return pi && pi->IsToStop() ? LProcessResultStopped : LProcessResultSuccess;
}

LProcessResult LXMLDocument::LoadFromFile(LProcessInterface& pi, const char* path, char* error)
{
    error[0] = 0;
    auto fail = [&](const char* format) {
        char text[kLStringShortSize * 2];
        std::snprintf(text, sizeof text, format, path ? path : "");
        utf8strlcpy(error, text, kLStringShortSize);
        return LProcessResultError;
    };
    struct stat st;
    if (!path || !LFile::TestFileExists(path) || stat(path, &st) != 0)
        return fail("Filen finns inte: %s");
    if (S_ISDIR(st.st_mode))
        return fail("Det går inte att öppna xml-filen: %s");
    const uint64_t size = uint64_t(st.st_size);
    const uint64_t free = LMemoryGetFreeHeapSize();
    if (size > UINT64_MAX / 20 || size * 20 >= free)
        return fail("Det finns inte tillräckligt med ledigt minne för att läsa in %s");
    if (pi.IsToStop())
        return LProcessResultStopped;

    LStringLongTemplate<char> text;
    if (!LLoadTextAutoChar(path, text))
        return fail("Det går inte att öppna xml-filen: %s");
    if (pi.IsToStop())
        return LProcessResultStopped;

    LXMLLoaderTemplate<char> loader(text.c_str(), error, &pi);
    LoadData(loader);
    return pi.IsToStop() ? LProcessResultStopped : LProcessResultSuccess;
}
