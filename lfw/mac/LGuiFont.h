// Fonts of the drawing code: a platform font with the underline and strikeout flags it does not
// carry itself, and a flag telling whether the system font stands in. Matching tries a name as
// a family name, then as a face's own name; the system font is the fallback.
#pragma once

#include "lfw/gen/LList.h"
#include "platform/text/Fonts.h"

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

class LView; // a view of the window layer

// Font style settings of the control-based constructors: 0 take the style from the base font,
// 2 on, any other value off.
using LFontStyleValue = uint32_t;

// Style flags of LFontAttributes.
enum : uint32_t {
    LFontStyleBold = 1,
    LFontStyleItalic = 2,
    LFontStyleUnderline = 4,
    LFontStyleStrikeout = 8,
};

// How painting code asks a paint context for a font.
struct LFontAttributes {
    char name[260] = {}; // UTF-8; empty for the system font
    float size = 0; // points in the context's units
    uint32_t style = 0; // LFontStyle* flags

    LFontAttributes() = default;
    LFontAttributes(const char* family, float pointSize, uint32_t flags);
};

class LGuiFont {
public:
    LGuiFont() = default;
    // Note the order: size, bold, underline, italic, name, strikeout.
    LGuiFont(int size, bool bold, bool underline, bool italic, const char* name, bool strikeout);
    virtual ~LGuiFont() = default;
    LGuiFont(LGuiFont&&) noexcept = default;
    LGuiFont& operator=(LGuiFont&&) noexcept = default;

    // Makes the font: the name as a family, then as a face name, else the system font (bold
    // when asked; turned italic when asked). weight 100..900 asks for that weight, 0 for none.
    void CocoaFontCreate(const char* name, float size, bool bold, bool italic, int weight);
    // The control's font (or the system font without one) at its size + sizeDelta.
    void CreateFromControl(LView* view, int sizeDelta, bool bold, bool underline);
    void CreateFromControl(LView* view, float sizeFactor, const char* name, LFontStyleValue bold,
        LFontStyleValue italic, LFontStyleValue underline, LFontStyleValue strikeout);
    // The system font at sizeDelta + backing scale * the system font size.
    void CreateFromDialog(LView* view, int sizeDelta, bool bold, bool underline);
    void CreateFromDialog(LView* view, float sizeFactor, const char* name, LFontStyleValue bold,
        LFontStyleValue italic, LFontStyleValue underline, LFontStyleValue strikeout);

    // The family name into the buffer (at most size bytes); false and "" without a font.
    bool GetName(char* buffer, unsigned long size) const;
    void SetName(const char* family);
    int GetSize() const;
    float GetSizef() const;
    void SetSizef(float size);
    void SetSize(int size) { SetSizef(float(size)); }
    void SetBold(bool bold);
    void SetItalic(bool italic);
    void SetUnderline(bool on) { mUnderline = on; }
    void SetStrikeout(bool on) { mStrikeout = on; }
    bool IsBold() const;
    bool IsItalic() const;
    bool IsUnderlined() const { return mUnderline; }
    bool IsStrikeout() const { return mStrikeout; }
    bool IsSystemFont() const { return mSystemFont; }
    // The face name asked for when that face is not installed ("" otherwise); GetName gives it.
    const std::string& GetMissingFaceName() const { return mMissingName; }
    bool HasFont() const { return mFont != nullptr; }
    const platform::text::FontRef& GetPlatformFont() const { return mFont; }

    // The size of the system font: the interface's text at the desktop's text size (the
    // default size made larger by LUiTextScale).
    static float GetSystemFontSize();
    // The weight trait asked for by a weight of 100..900 (-1..1); weight 0 asks for none.
    static float WeightTrait(int weight);

protected:
    LGuiFont(const LGuiFont&) = default;
    LGuiFont& operator=(const LGuiFont&) = default;

    platform::text::FontRef mFont;
    // The face asked for when it is not installed: drawing falls back to the system font, but
    // the font keeps the name, so a document read on this machine saves it unchanged.
    std::string mMissingName;
    bool mSystemFont = true;
    bool mUnderline = false;
    bool mStrikeout = false;
};

// A font with value semantics, as documents keep them.
class LGuiFontEx : public LGuiFont {
public:
    LGuiFontEx() = default;
    LGuiFontEx(const LGuiFont& o);
    LGuiFontEx(const LGuiFontEx& o);
    // Nothing when the source has no font.
    LGuiFontEx& operator=(const LGuiFontEx& o);
    // Same platform font object and the same three flags.
    bool operator==(const LGuiFontEx& o) const;
};

// What the window layer gives the fonts: a control's own font (without it a view has no font of
// its own) and, in place of LMacWindow::GetBackingScaleFactor, a view's backing scale.
struct LGuiFontViewServices {
    bool (*getControlFont)(LView* view, LGuiFont& font) = nullptr;
    double (*getBackingScaleFactor)(LView* view) = nullptr;
};
void LGuiFontSetViewServices(const LGuiFontViewServices& services);

// The installed font families, sorted byte-wise (upper-case names before lower-case ones).
class LFontsInstalledIterator {
public:
    LFontsInstalledIterator();
    ~LFontsInstalledIterator();
    LFontsInstalledIterator(const LFontsInstalledIterator&) = delete;
    LFontsInstalledIterator& operator=(const LFontsInstalledIterator&) = delete;

    void CreateList();
    // Adds a name not yet in the list (cut to 259 bytes) at the head.
    void AddFontToList(const char* family);
    bool IsValid() const { return mCurrent != nullptr; }
    void Next()
    {
        if (mCurrent)
            mCurrent = mCurrent->GetNext();
    }
    const char* operator*() const { return mCurrent ? mCurrent->name : ""; }
    bool HasBoldStyle() const;
    bool HasItalicStyle() const;

    struct Node : LListable<Node> {
        char name[260] = {};
    };

private:
    LList<Node> mList;
    Node* mCurrent = nullptr;
    std::unordered_map<std::string, std::vector<platform::text::FamilyMember>> mMembers;
};

template <> struct LListOrder<LFontsInstalledIterator::Node> {
    static bool SortsAfter(
        const LFontsInstalledIterator::Node& a, const LFontsInstalledIterator::Node& b);
};

// True when a member of the family has the trait (2 bold, 1 italic).
bool LMacFontFamilyHasTrait(const char* family, unsigned long trait);
