// The JSON value tree and reader.
//
// A text held in memory is read whole into a tree of values: objects hold their members as named
// values (a singly linked list in the order of first appearance), arrays their elements as
// unnamed values. A name that occurs twice in one object denotes the same member: the later value
// replaces the earlier one in place. Errors are reported in Swedish through the job interface with
// the line and column where reading stopped. There is no writer.
#pragma once

#include <cstddef>
#include <cstdint>

#include "lfw/gen/LProcess.h"
#include "lfw/gen/LString.h"

template <class T> class LJSONValueTemplate;
template <class T> class LJSONValueNamedTemplate;
template <class T> class LJSONValueReaderTemplate;

// Value types.
enum LJSONType : int32_t {
    LJSONTypeEmpty = 0, // moved from
    LJSONTypeNull = 1,
    LJSONTypeNumber = 2,
    LJSONTypeString = 3,
    LJSONTypeBool = 4,
    LJSONTypeArray = 5,
    LJSONTypeObject = 6,
};

template <> class LJSONValueTemplate<char> {
public:
    using Named = LJSONValueNamedTemplate<char>;

    LJSONValueTemplate() = default;
    // Moves everything from o, which is left empty (type 0).
    LJSONValueTemplate(LJSONValueTemplate&& o) noexcept;
    LJSONValueTemplate& operator=(LJSONValueTemplate&& o) noexcept;
    LJSONValueTemplate(const LJSONValueTemplate&) = delete;
    LJSONValueTemplate& operator=(const LJSONValueTemplate&) = delete;
    ~LJSONValueTemplate();

    int32_t GetType() const { return m_type; }
    void SetType(int32_t type) { m_type = type; }
    bool IsNull() const { return m_type == LJSONTypeNull; }
    bool IsNumber() const { return m_type == LJSONTypeNumber; }
    bool IsString() const { return m_type == LJSONTypeString; }
    bool IsBool() const { return m_type == LJSONTypeBool; }
    bool IsArray() const { return m_type == LJSONTypeArray; }
    bool IsObject() const { return m_type == LJSONTypeObject; }

    // The scalar: a number (type 2) or a bool (type 4); 0 and false for other types.
    double GetNumber() const { return m_type == LJSONTypeNumber ? m_scalar.number : 0.0; }
    bool GetBool() const { return m_type == LJSONTypeBool && m_scalar.boolean; }
    // The string (type 3), without quotes and with its escapes resolved; "" for other types.
    const char* GetString() const { return m_text.c_str(); }
    const LStringLongTemplate<char>& GetText() const { return m_text; }
    LStringLongTemplate<char>& GetText() { return m_text; }

    void SetNull();
    void SetNumber(double value);
    void SetBool(bool value);
    void SetString(const char* text);

    // Named children (object members), in order of first appearance.
    const Named* GetFirstMember() const { return m_members; }
    Named* GetFirstMember() { return m_members; }
    // The member of that name (exact comparison), or null.
    const Named* FindMember(const char* name) const;
    Named* FindMember(const char* name);
    size_t GetMemberCount() const;

    // Unnamed children (array elements).
    size_t GetElementCount() const { return m_count; }
    const LJSONValueTemplate* GetElement(size_t index) const
    {
        return index < m_count ? &m_elements[index] : nullptr;
    }
    LJSONValueTemplate* GetElement(size_t index)
    {
        return index < m_count ? &m_elements[index] : nullptr;
    }

    // Appends an element and moves v into it (v is left empty); returns the new element.
    LJSONValueTemplate* AddChild(LJSONValueTemplate& v);
    // Appends an empty element (type 0) and returns it.
    LJSONValueTemplate* AddChild();
    // Appends a member of that name (cut to 259 bytes) with an empty value and returns it.
    Named* AddMember(const char* name);
    // Removes element index (later elements move down one) and returns it as a new heap value
    // that the caller owns; null for an index out of range.
    LJSONValueTemplate* DetachChild(int index);
    // Moves type, scalar, text, members and elements from `from` into this value, destroying what
    // this value held; from is left empty (type 0).
    void Assign(LJSONValueTemplate& from);
    // Frees everything this value holds: type 0.
    void Clear();

private:
    friend class LJSONValueReaderTemplate<char>;

    void MoveFrom(LJSONValueTemplate& o) noexcept;
    void Reserve(size_t count);

    int32_t m_type = LJSONTypeEmpty;
    union {
        double number;
        bool boolean;
        unsigned char bytes[8];
    } m_scalar {};
    LStringLongTemplate<char> m_text;
    Named* m_members = nullptr;
    LJSONValueTemplate* m_elements = nullptr;
    size_t m_count = 0;
    size_t m_capacity = 0;
};

// A member of an object: a value with its name.
template <> class LJSONValueNamedTemplate<char> : public LJSONValueTemplate<char> {
public:
    LJSONValueNamedTemplate() { m_name[0] = 0; }

    const char* GetName() const { return m_name; }
    // Stores the name, cut to 259 bytes at a character boundary.
    void SetName(const char* name);
    const LJSONValueNamedTemplate* GetNext() const { return m_next; }
    LJSONValueNamedTemplate* GetNext() { return m_next; }

private:
    friend class LJSONValueTemplate<char>;
    friend class LJSONValueReaderTemplate<char>;

    LJSONValueNamedTemplate* m_next = nullptr;
    char m_name[kLStringShortSize];
};

template <> class LJSONValueReaderTemplate<char> {
public:
    // Containers may nest this deep; deeper text is refused (the text may come from the network).
    static constexpr int kMaxDepth = 512;

    LJSONValueReaderTemplate() { m_error[0] = 0; }

    // Reads text, which must be exactly one JSON value, into root (its name cleared): 0. On an
    // error the interface's SetError gets "Error near(line:column): text" and the result is 2;
    // what was read so far stays in root's children.
    LProcessResult Read(
        LProcessInterface& pi, LJSONValueNamedTemplate<char>& root, const char* text);

    // Reads the content of one object (arrayMode false) or array (true) into value's children,
    // up to and including its closing bracket: 0, or 2 on an error.
    LProcessResult ReadRecursive(
        LProcessInterface& pi, LJSONValueTemplate<char>& value, bool arrayMode);
    // Turns one token of length bytes into a scalar: a quoted string, true, false, null or a
    // number (read the same under every locale).
    bool ParseValue(const char* token, size_t length, LJSONValueTemplate<char>& value);
    bool ParseValue(const char* token, LJSONValueTemplate<char>& value);
    // Resolves the backslash escapes of a quoted token in place.
    bool UnescapeString(LStringLongTemplate<char>& s);

    // The error text of the last failed read ("" after a clean read).
    const char* GetError() const { return m_error; }

private:
    void SetErrorText(const char* text);
    // Finds the closing quote of the string starting at the cursor (a double quote); the cursor
    // ends just after it. False at the end of the text.
    bool ScanQuoted(const char*& begin, const char*& end);
    // Appends the unescaped bytes of [begin, end) to out.
    bool Unescape(const char* begin, const char* end, LStringLongTemplate<char>& out);
    bool ReadScalar(LJSONValueTemplate<char>& target);
    void SkipBlanks();
    void SkipBlanksAndComma();

    const char* m_text = nullptr;
    const char* m_cursor = nullptr;
    int m_depth = 0;
    bool m_hasName = false;
    char m_name[kLStringShortSize];
    char m_error[kLStringShortSize];
};

using LJSONValue = LJSONValueTemplate<char>;
using LJSONValueNamed = LJSONValueNamedTemplate<char>;
using LJSONValueReader = LJSONValueReaderTemplate<char>;
