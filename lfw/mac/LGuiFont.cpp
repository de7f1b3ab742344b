#include "lfw/mac/LGuiFont.h"
#include "lfw/mac/LMacWindow.h"
#include "platform/ui/LUiSystem.h"

#include <cmath>
#include <cstring>

namespace text = platform::text;

namespace {

LGuiFontViewServices gViewServices;

void CopyName(char* out, size_t outSize, const char* in)
{
    if (!out || outSize == 0)
        return;
    size_t n = in ? std::strlen(in) : 0;
    if (n >= outSize)
        n = outSize - 1;
    if (n)
        std::memcpy(out, in, n);
    out[n] = 0;
}

// The view's window's backing scale (the main screen's without a view); a hook installed with
// LGuiFontSetViewServices answers instead when there is one.
double BackingScale(LView* view)
{
    double scale = gViewServices.getBackingScaleFactor ? gViewServices.getBackingScaleFactor(view)
                                                       : LMacWindow::GetBackingScaleFactor(view);
    return scale >= 1.0 ? scale : 1.0;
}

// The control's own font, when the window layer can give one.
bool ControlFont(LView* view, LGuiFont& font)
{
    return view && gViewServices.getControlFont && gViewServices.getControlFont(view, font)
        && font.HasFont();
}

} // namespace

void LGuiFontSetViewServices(const LGuiFontViewServices& services)
{
    gViewServices = services;
}

LFontAttributes::LFontAttributes(const char* family, float pointSize, uint32_t flags)
    : size(pointSize)
    , style(flags)
{
    CopyName(name, sizeof name, family);
}

LGuiFont::LGuiFont(
    int size, bool bold, bool underline, bool italic, const char* name, bool strikeout)
    : mUnderline(underline)
    , mStrikeout(strikeout)
{
    CocoaFontCreate(name, float(size), bold, italic, 0);
}

float LGuiFont::GetSystemFontSize()
{
    return float(text::kSystemFontSize * LUiTextScale());
}

float LGuiFont::WeightTrait(int weight)
{
    if (weight == 0)
        return 0;
    return float(weight - 100) / 800.0f * 2.0f - 1.0f;
}

void LGuiFont::CocoaFontCreate(const char* name, float size, bool bold, bool italic, int weight)
{
    mFont.reset();
    mMissingName.clear();
    if (name && *name) {
        mSystemFont = false;
        text::FontStyle style;
        style.bold = bold;
        style.italic = italic;
        if (weight != 0) {
            // The weight trait (-1..1) back on the 100..900 scale of the platform.
            float trait = WeightTrait(weight);
            style.weight = int(std::lround(100 + (trait + 1.0f) / 2.0f * 800));
        }
        mFont = text::FontFromFamily(name, size, style);
        if (!mFont)
            mFont = text::FontFromFaceName(name, size, style);
        if (mFont)
            return;
        mMissingName = name;
    }
    mSystemFont = true;
    mFont = text::SystemFont(size, bold, false);
    if (italic)
        if (text::FontRef f = text::FontWithItalic(*mFont, true))
            mFont = f;
}

void LGuiFont::CreateFromControl(LView* view, int sizeDelta, bool bold, bool underline)
{
    mUnderline = underline;
    LGuiFont control;
    if (ControlFont(view, control)) {
        char family[260];
        control.GetName(family, sizeof family);
        CocoaFontCreate(family, control.GetSizef() + float(sizeDelta), bold, false, 0);
    } else {
        CocoaFontCreate("", GetSystemFontSize() + float(sizeDelta), bold, false, 0);
    }
}

void LGuiFont::CreateFromControl(LView* view, float sizeFactor, const char* name,
    LFontStyleValue bold, LFontStyleValue italic, LFontStyleValue underline,
    LFontStyleValue strikeout)
{
    LGuiFont base;
    bool hasBase = ControlFont(view, base);
    auto pick = [&](LFontStyleValue v, bool fromBase) {
        if (v == 0)
            return hasBase && fromBase;
        return v == 2;
    };
    bool b = pick(bold, hasBase && base.IsBold());
    bool i = pick(italic, hasBase && base.IsItalic());
    mUnderline = pick(underline, hasBase && base.IsUnderlined());
    mStrikeout = pick(strikeout, hasBase && base.IsStrikeout());
    float size = (hasBase ? base.GetSizef() : GetSystemFontSize()) * sizeFactor;
    CocoaFontCreate(name, size, b, i, 0);
}

void LGuiFont::CreateFromDialog(LView* view, int sizeDelta, bool bold, bool underline)
{
    mUnderline = underline;
    CocoaFontCreate(
        "", float(sizeDelta + BackingScale(view) * GetSystemFontSize()), bold, false, 0);
}

void LGuiFont::CreateFromDialog(LView* view, float sizeFactor, const char* name,
    LFontStyleValue bold, LFontStyleValue italic, LFontStyleValue underline,
    LFontStyleValue strikeout)
{
    CreateFromControl(
        nullptr, float(sizeFactor * BackingScale(view)), name, bold, italic, underline, strikeout);
}

bool LGuiFont::GetName(char* buffer, unsigned long size) const
{
    if (!mFont) {
        CopyName(buffer, size, "");
        return false;
    }
    CopyName(buffer, size, mMissingName.empty() ? mFont->Family().c_str() : mMissingName.c_str());
    return true;
}

void LGuiFont::SetName(const char* family)
{
    if (!family || !*family || !mFont)
        return;
    if (text::FontRef f = text::FontWithFamily(*mFont, family)) {
        mFont = f;
        mMissingName.clear();
    }
}

int LGuiFont::GetSize() const
{
    return mFont ? int(mFont->Size()) : 0;
}

float LGuiFont::GetSizef() const
{
    return mFont ? mFont->Size() : 0.0f;
}

void LGuiFont::SetSizef(float size)
{
    if (mFont)
        mFont = text::FontWithSize(*mFont, std::fabs(size));
}

void LGuiFont::SetBold(bool bold)
{
    if (!mFont || mFont->Bold() == bold)
        return;
    if (text::FontRef f = text::FontWithBold(*mFont, bold))
        mFont = f;
}

void LGuiFont::SetItalic(bool italic)
{
    if (!mFont || mFont->Italic() == italic)
        return;
    if (text::FontRef f = text::FontWithItalic(*mFont, italic))
        mFont = f;
}

bool LGuiFont::IsBold() const
{
    return mFont && mFont->Bold();
}

bool LGuiFont::IsItalic() const
{
    return mFont && mFont->Italic();
}

LGuiFontEx::LGuiFontEx(const LGuiFont& o)
{
    if (o.HasFont()) {
        mFont = o.GetPlatformFont();
        mMissingName = o.GetMissingFaceName();
        mSystemFont = o.IsSystemFont();
        mUnderline = o.IsUnderlined();
        mStrikeout = o.IsStrikeout();
    }
}

LGuiFontEx::LGuiFontEx(const LGuiFontEx& o)
    : LGuiFontEx(static_cast<const LGuiFont&>(o))
{
}

LGuiFontEx& LGuiFontEx::operator=(const LGuiFontEx& o)
{
    if (this == &o || !o.HasFont())
        return *this;
    mFont = o.GetPlatformFont();
    mMissingName = o.GetMissingFaceName();
    mSystemFont = o.IsSystemFont();
    mUnderline = o.IsUnderlined();
    mStrikeout = o.IsStrikeout();
    return *this;
}

bool LGuiFontEx::operator==(const LGuiFontEx& o) const
{
    return o.HasFont() && mFont == o.GetPlatformFont() && mMissingName == o.GetMissingFaceName()
        && mUnderline == o.IsUnderlined() && mStrikeout == o.IsStrikeout()
        && mSystemFont == o.IsSystemFont();
}

bool LListOrder<LFontsInstalledIterator::Node>::SortsAfter(
    const LFontsInstalledIterator::Node& a, const LFontsInstalledIterator::Node& b)
{
    return std::strcmp(a.name, b.name) > 0;
}

LFontsInstalledIterator::LFontsInstalledIterator()
{
    CreateList();
}

LFontsInstalledIterator::~LFontsInstalledIterator() = default;

void LFontsInstalledIterator::CreateList()
{
    mList.Clear();
    mCurrent = nullptr;
    mMembers.clear();
    std::vector<std::string> families = text::InstalledFamilies();
    mMembers.reserve(families.size());
    for (const std::string& family : families) {
        AddFontToList(family.c_str());
        mMembers[family] = text::FamilyMembers(family.c_str());
    }
    mList.Sort();
    mCurrent = mList.GetHead();
}

void LFontsInstalledIterator::AddFontToList(const char* family)
{
    if (!family)
        return;
    char name[260];
    CopyName(name, sizeof name, family);
    for (const Node& n : mList)
        if (std::strcmp(n.name, name) == 0)
            return;
    Node* node = new Node;
    std::memcpy(node->name, name, sizeof name);
    mList.AddHead(node);
}

namespace {

bool MembersHaveTrait(const std::vector<text::FamilyMember>& members, unsigned long trait)
{
    for (const text::FamilyMember& m : members)
        if (((trait & 2) && m.bold) || ((trait & 1) && m.italic))
            return true;
    return false;
}

} // namespace

bool LFontsInstalledIterator::HasBoldStyle() const
{
    if (!mCurrent)
        return false;
    auto it = mMembers.find(mCurrent->name);
    return it != mMembers.end() ? MembersHaveTrait(it->second, 2)
                                : LMacFontFamilyHasTrait(mCurrent->name, 2);
}

bool LFontsInstalledIterator::HasItalicStyle() const
{
    if (!mCurrent)
        return false;
    auto it = mMembers.find(mCurrent->name);
    return it != mMembers.end() ? MembersHaveTrait(it->second, 1)
                                : LMacFontFamilyHasTrait(mCurrent->name, 1);
}

bool LMacFontFamilyHasTrait(const char* family, unsigned long trait)
{
    if (!family || !*family)
        return false;
    return MembersHaveTrait(text::FamilyMembers(family), trait);
}
