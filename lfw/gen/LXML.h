// A small, forgiving XML reader and writer: an element tree with string attributes.
//
// There is no validation, namespace handling or DTD processing: a declaration, comment, CDATA
// section or DOCTYPE becomes an element whose name begins with "!" or "?" and whose content is one
// text node. Parse errors do not stop the reader: the first one is kept as a message with its line
// and column, and reading goes on, so the tree holds what could be read.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "lfw/gen/LProcess.h"
#include "lfw/gen/LString.h"

template <class T> class LXMLLoaderTemplate;
class LXMLElement;

// The character-level reader: keeps the line and column for its messages.
template <> class LXMLLoaderTemplate<char> {
public:
    // Elements may nest this deep; deeper text ends the reading with an error.
    static constexpr int kMaxDepth = 256;

    // text: the whole NUL-terminated UTF-8 text. error: a 260-byte buffer, emptied here, that
    // receives the first error. pi may be null (no stop requests).
    LXMLLoaderTemplate(const char* text, char* error, LProcessInterface* pi);

    // The next byte, with CR, LF, CR LF and LF CR read as one "\n"; 0 at the end (which it does
    // not pass).
    char GetChar();
    char PeekChar() const { return *m_pos; }

    // Reads a tag or attribute name into name (259 bytes kept) up to an unquoted blank, tab, line
    // end, "/", "=", ">" or the end; returns that delimiter (0 at the end).
    char XMLLoadTag(LStringLongTemplate<char>& name, bool skipLeadingBlanks = false);
    // Reads an attribute value after "=" (no length limit): one blank is skipped, then the rules
    // of names. Returns the delimiter.
    char XMLLoadAttribute(LStringLongTemplate<char>& value);
    // Decodes the entity after "&" and appends its bytes to out (nothing on an error).
    void XMLAmpChar(LStringLongTemplate<char>& out);

    // Records "Ln %d, Col %d: message" unless an error was recorded already.
    void Error(const char* format, ...) __attribute__((format(printf, 2, 3)));

    int GetLine() const { return m_line; }
    int GetColumn() const { return m_column; }
    size_t GetPosition() const { return size_t(m_pos - m_text); }
    // True once a stop was requested or the nesting limit was passed: every open element ends.
    bool IsAborted() const { return m_aborted; }

private:
    friend class LXMLElement;

    // Asks for a stop at most every few milliseconds (looking at the clock once per 512 bytes
    // read), and tells the share of the text read at most once per 64 KiB.
    bool CheckStop();
    // Appends the run of bytes that need no special care (not "<", "&", CR, LF or NUL), ending
    // also before the byte stop.
    void TakePlainRun(LStringLongTemplate<char>& out, char stop = 0);

    const char* m_text;
    const char* m_pos;
    char* m_error;
    LProcessInterface* m_pi;
    LProcessStopPacing m_stopPacing;
    int m_line = 1;
    int m_column = 1;
    int m_depth = 0;
    bool m_aborted = false;
    const char* m_lastCheck;
    const char* m_end; // the text's end (its start when there is no process to tell)
    const char* m_lastProgress;
    LStringLongTemplate<char> m_pending; // text of the element being read
    LStringLongTemplate<char> m_tag; // scratch: element names
    LStringLongTemplate<char> m_attribute; // scratch: attribute names
    LStringLongTemplate<char> m_value; // scratch: attribute values
};

// One node of the tree: an element (with a name) or a text node (without).
class LXMLElement {
public:
    // An element without name: the base of a document.
    LXMLElement();
    // A new element of that name.
    explicit LXMLElement(const char* name);
    // Reads an element whose name (with the delimiter that ended it) was just read: its
    // attributes and, unless it is empty or special, its content.
    LXMLElement(const char* name, char delimiter, LXMLLoaderTemplate<char>& loader,
        bool preserveWhitespace);
    LXMLElement(const LXMLElement&) = delete;
    LXMLElement& operator=(const LXMLElement&) = delete;
    virtual ~LXMLElement();

    // A new text node (the caller appends it with AddChild).
    static LXMLElement* CreateText(const char* text, size_t length);
    static LXMLElement* CreateText(const char* text);

    // The name (with a leading "!" or "?" for declarations); null for a text node.
    const char* GetName() const { return m_name; }
    // The text of a text node; null for an element.
    const char* GetText() const { return m_text; }
    bool IsText() const { return m_name == nullptr; }

    LXMLElement* GetFirstChild() { return m_firstChild; }
    const LXMLElement* GetFirstChild() const { return m_firstChild; }
    LXMLElement* GetNext() { return m_next; }
    const LXMLElement* GetNext() const { return m_next; }

    bool GetPreserveWhitespace() const { return m_preserveWhitespace; }
    void SetPreserveWhitespace(bool preserve) { m_preserveWhitespace = preserve; }

    // The value of the attribute of that name, or def when there is none. The text stays valid
    // until an attribute of the element is set.
    const char* GetAttribute(const char* name, const char* def = nullptr) const;
    // Gives the attribute that value (adding it, or replacing its value).
    void SetAttribute(const char* name, const char* value);

    // The first child element of that name (exact comparison); null when none.
    LXMLElement* GetElement(const char* name);
    const LXMLElement* GetElement(const char* name) const;

    // Appends child (which this element then owns) after the last child; returns it.
    LXMLElement* AddChild(LXMLElement* child);
    // Appends a new element of that name and returns it.
    LXMLElement* AddElement(const char* name);
    // Deletes every child.
    void ClearChildren();

    // Appends the text form of the node. indent is the number of tabs before the element's own
    // line; a negative indent writes no tabs and no line breaks after opening tags. True for
    // every element and for a text node that wrote something.
    virtual bool SaveToBuffer(LStringLongTemplate<char>& out, int indent) const;

    // Reads the element's content up to its end tag.
    void LoadData(LXMLLoaderTemplate<char>& loader);

    // Walks the child elements of one name.
    class ConstNamedElementIterator {
    public:
        ConstNamedElementIterator(const LXMLElement& parent, const char* name);
        // Moves to the next child of that name; false at the end.
        bool Next();
        const LXMLElement* Get() const { return m_current; }
        const LXMLElement* operator->() const { return m_current; }
        const LXMLElement& operator*() const { return *m_current; }
        explicit operator bool() const { return m_current != nullptr; }

    private:
        const LXMLElement* m_current;
        const char* m_name;
    };

private:
    void ReadSpecialSection(LXMLLoaderTemplate<char>& loader);
    void EndPendingText(LXMLLoaderTemplate<char>& loader, LXMLElement*& last);
    void WriteTextNode(LStringLongTemplate<char>& out, bool& wrote) const;

    // Appends an attribute read from a file: one read later of the same name stands.
    void AppendAttribute(const char* name, const char* value);

    LXMLElement* m_next = nullptr;
    bool m_preserveWhitespace = false;
    // The attributes in one block, each its name and its value ended by NUL, in the order read or
    // set (a file's element of many attributes costs one allocation, not several for each).
    std::string m_attributes;
    LXMLElement* m_firstChild = nullptr;
    char* m_name = nullptr;
    char* m_text = nullptr;
};

// A whole file: an element without name whose children are the top-level nodes.
class LXMLDocument : public LXMLElement {
public:
    LXMLDocument();

    // Reads the file into the tree (steps and messages below). error is a 260-byte buffer that is
    // empty after a clean read. 2: the file is missing, too large for the free memory, or cannot
    // be read (error set). 1: stopped. 0: read, also when the text had errors (error set).
    LProcessResult LoadFromFile(LProcessInterface& pi, const char* path, char* error);
    // Reads a text held in memory the same way; pi may be null.
    LProcessResult LoadFromText(LProcessInterface* pi, const char* text, char* error);

    // Writes every top-level node with indent 0.
    bool SaveToBuffer(LStringLongTemplate<char>& out, int indent = 0) const override;
};

// Appends text with "<", ">", the double quote and "&" written as entities; every other byte
// (the apostrophe too) unchanged.
void LHTMLEncodeToWriterSimple(LStringLongTemplate<char>& writer, const char* text);
void LHTMLEncodeToWriterSimple(LStringLongTemplate<char>& writer, const char* text, size_t length);
