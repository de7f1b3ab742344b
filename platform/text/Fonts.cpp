// Fonts through fontconfig; descriptions for Pango. See Text.h.

#include "platform/text/Fonts.h"

#include <fontconfig/fontconfig.h>
#include <pango/pango.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>
#include <mutex>
#include <string_view>
#include <tuple>
#include <unordered_map>
#include <unordered_set>

namespace platform::text {

namespace {

// Family names of the desktop the documents were made on, and the generic family that stands in.
struct DesktopFamily {
    const char* name;
    const char* generic;
};
constexpr DesktopFamily kDesktopFamilies[] = {
    { "Lucida Grande", "sans-serif" },
    { "Helvetica", "sans-serif" },
    { "Helvetica Neue", "sans-serif" },
    { "Geneva", "sans-serif" },
    { "Arial", "sans-serif" },
    { "Verdana", "sans-serif" },
    { "Tahoma", "sans-serif" },
    { "Times", "serif" },
    { "Times New Roman", "serif" },
    { "Georgia", "serif" },
    { "Palatino", "serif" },
    { "Courier", "monospace" },
    { "Courier New", "monospace" },
    { "Monaco", "monospace" },
    { "Menlo", "monospace" },
};

struct Resolution {
    bool found = false;
    std::string family; // the name the font answers
    std::string pangoFamily; // handed to Pango
    std::string installed; // the installed family standing in
};

// The names resolved, with their lock. Like every table of fonts here, never destroyed: a thread
// that makes fonts while the program ends (a print's) still finds it.
std::mutex& ResolveMutex()
{
    static auto* mutex = new std::mutex;
    return *mutex;
}
std::unordered_map<std::string, Resolution>& Cache()
{
    static auto* cache = new std::unordered_map<std::string, Resolution>;
    return *cache;
}

// Family names compare as fontconfig compares them: blanks and ASCII case do not count.
bool EqualIgnoringBlanksAndCase(const char* a, const char* b)
{
    auto lower = [](unsigned char c) { return c >= 'A' && c <= 'Z' ? c + 32 : c; };
    for (;;) {
        while (*a == ' ')
            ++a;
        while (*b == ' ')
            ++b;
        if (lower(*a) != lower(*b))
            return false;
        if (!*a)
            return true;
        ++a;
        ++b;
    }
}

// The families fontconfig's rules put behind a name, without the name itself.
std::vector<std::string> SubstitutedFamilies(const char* name)
{
    std::vector<std::string> out;
    FcPattern* p = FcPatternCreate();
    FcPatternAddString(p, FC_FAMILY, reinterpret_cast<const FcChar8*>(name));
    FcConfigSubstitute(nullptr, p, FcMatchPattern);
    FcChar8* s = nullptr;
    for (int i = 1; FcPatternGetString(p, FC_FAMILY, i, &s) == FcResultMatch; ++i)
        out.emplace_back(reinterpret_cast<const char*>(s));
    FcPatternDestroy(p);
    return out;
}

// The family of the installed face fontconfig picks for a family name.
std::string MatchedFamily(const char* name)
{
    std::string family;
    FcPattern* p = FcPatternCreate();
    FcPatternAddString(p, FC_FAMILY, reinterpret_cast<const FcChar8*>(name));
    FcConfigSubstitute(nullptr, p, FcMatchPattern);
    FcDefaultSubstitute(p);
    FcResult result = FcResultNoMatch;
    FcPattern* m = FcFontMatch(nullptr, p, &result);
    FcChar8* s = nullptr;
    if (m && FcPatternGetString(m, FC_FAMILY, 0, &s) == FcResultMatch)
        family = reinterpret_cast<const char*>(s);
    if (m)
        FcPatternDestroy(m);
    FcPatternDestroy(p);
    return family;
}

Resolution ResolveUncached(const char* name)
{
    Resolution r;
    // 1. An installed family.
    FcPattern* p = FcPatternCreate();
    FcPatternAddString(p, FC_FAMILY, reinterpret_cast<const FcChar8*>(name));
    FcObjectSet* os = FcObjectSetBuild(FC_FAMILY, nullptr);
    FcFontSet* set = FcFontList(nullptr, p, os);
    for (int i = 0; set && i < set->nfont && !r.found; ++i) {
        FcChar8* s = nullptr;
        for (int k = 0; FcPatternGetString(set->fonts[i], FC_FAMILY, k, &s) == FcResultMatch; ++k) {
            if (EqualIgnoringBlanksAndCase(reinterpret_cast<const char*>(s), name)) {
                r.found = true;
                r.family = r.pangoFamily = r.installed = reinterpret_cast<const char*>(s);
                break;
            }
        }
    }
    if (set)
        FcFontSetDestroy(set);
    FcObjectSetDestroy(os);
    FcPatternDestroy(p);
    if (r.found)
        return r;

    // 2. A family name of the desktop the documents come from.
    for (const DesktopFamily& d : kDesktopFamilies) {
        if (EqualIgnoringBlanksAndCase(d.name, name)) {
            r.found = true;
            r.family = name;
            r.pangoFamily = std::string(name) + "," + d.generic;
            r.installed = MatchedFamily(d.generic);
            return r;
        }
    }

    // 3. A name fontconfig's own alias rules know (their substitutes differ from the ones an
    // unknown name gets).
    static const auto* unknown
        = new std::vector<std::string>(SubstitutedFamilies("\x01vt-unknown-family"));
    if (SubstitutedFamilies(name) != *unknown) {
        r.found = true;
        r.family = r.pangoFamily = name;
        r.installed = MatchedFamily(name);
    }
    return r;
}

// The entries stay until the program ends, so a reference to one stays good.
const Resolution& Resolve(const char* name)
{
    std::lock_guard<std::mutex> lock(ResolveMutex());
    auto it = Cache().find(name);
    if (it == Cache().end())
        it = Cache().emplace(name, ResolveUncached(name)).first;
    return it->second;
}

bool IsBoldWeight(int fcWeight)
{
    return fcWeight >= FC_WEIGHT_BOLD;
}
bool IsItalicSlant(int fcSlant)
{
    return fcSlant >= FC_SLANT_ITALIC;
}

// The faces of an installed family with their style name for that family.
std::vector<FamilyMember> Members(const char* family)
{
    std::vector<FamilyMember> out;
    if (!family || !*family)
        return out;
    FcPattern* p = FcPatternCreate();
    FcPatternAddString(p, FC_FAMILY, reinterpret_cast<const FcChar8*>(family));
    FcObjectSet* os = FcObjectSetBuild(FC_FAMILY, FC_STYLE, FC_WEIGHT, FC_SLANT, nullptr);
    FcFontSet* set = FcFontList(nullptr, p, os);
    for (int i = 0; set && i < set->nfont; ++i) {
        FcPattern* f = set->fonts[i];
        FamilyMember m;
        int index = 0;
        FcChar8* s = nullptr;
        for (int k = 0; FcPatternGetString(f, FC_FAMILY, k, &s) == FcResultMatch; ++k) {
            if (EqualIgnoringBlanksAndCase(reinterpret_cast<const char*>(s), family)) {
                index = k;
                break;
            }
        }
        if (FcPatternGetString(f, FC_STYLE, index, &s) == FcResultMatch
            || FcPatternGetString(f, FC_STYLE, 0, &s) == FcResultMatch)
            m.style = reinterpret_cast<const char*>(s);
        int weight = FC_WEIGHT_REGULAR, slant = FC_SLANT_ROMAN;
        FcPatternGetInteger(f, FC_WEIGHT, 0, &weight);
        FcPatternGetInteger(f, FC_SLANT, 0, &slant);
        m.bold = IsBoldWeight(weight);
        m.italic = IsItalicSlant(slant);
        out.push_back(std::move(m));
    }
    if (set)
        FcFontSetDestroy(set);
    FcObjectSetDestroy(os);
    FcPatternDestroy(p);
    return out;
}

// The members of an installed family, looked up once: fonts are made often, families change
// never while the program runs. The entries stay until the program ends.
const std::vector<FamilyMember>& CachedMembers(const std::string& installed)
{
    static auto* mutex = new std::mutex;
    static auto* cache = new std::unordered_map<std::string, std::vector<FamilyMember>>;
    {
        std::lock_guard<std::mutex> lock(*mutex);
        auto it = cache->find(installed);
        if (it != cache->end())
            return it->second;
    }
    std::vector<FamilyMember> members = Members(installed.c_str());
    std::lock_guard<std::mutex> lock(*mutex);
    return cache->emplace(installed, std::move(members)).first->second;
}

bool FamilyHas(const std::string& installed, bool bold, bool italic)
{
    for (const FamilyMember& m : CachedMembers(installed))
        if ((!bold || m.bold) && (!italic || m.italic))
            return true;
    return false;
}

float NormalSize(float size)
{
    size = std::fabs(size);
    if (size == 0 || !std::isfinite(size))
        return kDefaultFontSize;
    return size;
}

} // namespace

namespace {

// What makes two fonts the same, seen in the strings of a font or of a request.
struct FontKey {
    std::string_view family, pangoFamily, installed;
    float size;
    bool bold, italic;
    int weight;

    bool operator<(const FontKey& o) const
    {
        return std::tie(family, pangoFamily, installed, size, bold, italic, weight)
            < std::tie(o.family, o.pangoFamily, o.installed, o.size, o.bold, o.italic, o.weight);
    }
};

// Fonts are immutable, so one object serves every request for the same font: the many texts of a
// document share theirs instead of holding a copy each. A font leaves the table when the last
// holder lets it go (its key looks into the font's own strings).
struct SharedFont {
    std::weak_ptr<const Font> font;
    const Font* object;
};
// Both live until the program ends: fonts held by static objects go after them.
std::mutex& SharedMutex()
{
    static auto* mutex = new std::mutex;
    return *mutex;
}
std::map<FontKey, SharedFont>& SharedFonts()
{
    static auto* fonts = new std::map<FontKey, SharedFont>;
    return *fonts;
}

} // namespace

class FontFactory {
public:
    static FontRef Make(const Resolution& r, float size, bool bold, bool italic, int weight)
    {
        size = NormalSize(size);
        weight = weight ? weight : (bold ? 700 : 400);
        std::lock_guard<std::mutex> lock(SharedMutex());
        auto& fonts = SharedFonts();
        auto it = fonts.find(
            FontKey { r.family, r.pangoFamily, r.installed, size, bold, italic, weight });
        if (it != fonts.end()) {
            if (FontRef shared = it->second.font.lock())
                return shared;
            // Going: its destructor finds the entry no longer its own.
            fonts.erase(it);
        }
        std::shared_ptr<Font> f(new Font());
        f->family_ = r.family;
        f->pangoFamily_ = r.pangoFamily;
        f->installed_ = r.installed;
        f->size_ = size;
        f->bold_ = bold;
        f->italic_ = italic;
        f->weight_ = weight;
        PangoFontDescription* d = pango_font_description_new();
        pango_font_description_set_family(d, f->pangoFamily_.c_str());
        pango_font_description_set_weight(d, static_cast<PangoWeight>(f->weight_));
        pango_font_description_set_style(d, italic ? PANGO_STYLE_ITALIC : PANGO_STYLE_NORMAL);
        int units = static_cast<int>(std::lround(double(f->size_) * PANGO_SCALE));
        pango_font_description_set_absolute_size(d, std::max(units, 1));
        f->description_ = d;
        fonts.emplace(Key(*f), SharedFont { f, f.get() });
        return f;
    }
    static FontKey Key(const Font& f)
    {
        return FontKey { f.family_, f.pangoFamily_, f.installed_, f.size_, f.bold_, f.italic_,
            f.weight_ };
    }
    static Resolution Of(const Font& f)
    {
        Resolution r;
        r.found = true;
        r.family = f.family_;
        r.pangoFamily = f.pangoFamily_;
        r.installed = f.installed_;
        return r;
    }
    static const std::string& Installed(const Font& f) { return f.installed_; }
};

Font::~Font()
{
    {
        std::lock_guard<std::mutex> lock(SharedMutex());
        auto& fonts = SharedFonts();
        auto it = fonts.find(FontFactory::Key(*this));
        if (it != fonts.end() && it->second.object == this)
            fonts.erase(it);
    }
    if (description_)
        pango_font_description_free(description_);
}

FontRef FontFromFamily(const char* family, float size, const FontStyle& style)
{
    if (!family || !*family)
        return nullptr;
    const Resolution& r = Resolve(family);
    if (!r.found)
        return nullptr;
    bool bold = style.weight ? style.weight >= 600 : style.bold;
    bool italic = style.italic;
    if (bold && !FamilyHas(r.installed, true, false))
        bold = false;
    if (italic && !FamilyHas(r.installed, false, true))
        italic = false;
    int weight = style.weight ? std::clamp(style.weight, 100, 1000) : 0;
    return FontFactory::Make(r, size, bold, italic, weight);
}

FontRef FontFromFaceName(const char* faceName, float size, const FontStyle&)
{
    if (!faceName || !*faceName)
        return nullptr;
    FcObjectSet* os = FcObjectSetBuild(FC_FAMILY, FC_FULLNAME, FC_WEIGHT, FC_SLANT, nullptr);
    FontRef font;
    for (const char* key : { FC_FULLNAME, FC_POSTSCRIPT_NAME }) {
        FcPattern* p = FcPatternCreate();
        FcPatternAddString(p, key, reinterpret_cast<const FcChar8*>(faceName));
        FcFontSet* set = FcFontList(nullptr, p, os);
        if (set && set->nfont > 0) {
            FcPattern* f = set->fonts[0];
            FcChar8* s = nullptr;
            std::string fullName;
            if (FcPatternGetString(f, FC_FULLNAME, 0, &s) == FcResultMatch)
                fullName = reinterpret_cast<const char*>(s);
            // The family: the longest family name that begins the full name, else the first.
            std::string family, first;
            for (int k = 0; FcPatternGetString(f, FC_FAMILY, k, &s) == FcResultMatch; ++k) {
                std::string name = reinterpret_cast<const char*>(s);
                if (k == 0)
                    first = name;
                if (fullName.compare(0, name.size(), name) == 0 && name.size() > family.size())
                    family = name;
            }
            if (family.empty())
                family = first;
            int weight = FC_WEIGHT_REGULAR, slant = FC_SLANT_ROMAN;
            FcPatternGetInteger(f, FC_WEIGHT, 0, &weight);
            FcPatternGetInteger(f, FC_SLANT, 0, &slant);
            Resolution r;
            r.found = true;
            r.family = r.pangoFamily = r.installed = family;
            int css = static_cast<int>(FcWeightToOpenType(weight));
            font = FontFactory::Make(
                r, size, IsBoldWeight(weight), IsItalicSlant(slant), std::clamp(css, 100, 1000));
        }
        if (set)
            FcFontSetDestroy(set);
        FcPatternDestroy(p);
        if (font)
            break;
    }
    FcObjectSetDestroy(os);
    return font;
}

FontRef SystemFont(float size, bool bold, bool italic)
{
    static const Resolution& system = *[] {
        auto* r = new Resolution;
        r->found = true;
        std::string family = MatchedFamily("sans-serif");
        if (family.empty())
            family = "Sans";
        r->family = r->pangoFamily = r->installed = family;
        return r;
    }();
    return FontFactory::Make(system, size, bold, italic, 0);
}

FontRef FontWithSize(const Font& font, float size)
{
    return FontFactory::Make(
        FontFactory::Of(font), std::fabs(size), font.Bold(), font.Italic(), font.Weight());
}

FontRef FontWithFamily(const Font& font, const char* family)
{
    FontStyle style;
    style.bold = font.Bold();
    style.italic = font.Italic();
    return FontFromFamily(family, font.Size(), style);
}

FontRef FontWithBold(const Font& font, bool bold)
{
    const std::string& installed = FontFactory::Installed(font);
    bool found = false;
    for (const FamilyMember& m : CachedMembers(installed))
        if (m.bold == bold && (!font.Italic() || m.italic))
            found = true;
    if (!found)
        return nullptr;
    return FontFactory::Make(
        FontFactory::Of(font), font.Size(), bold, font.Italic(), bold ? 700 : 400);
}

FontRef FontWithItalic(const Font& font, bool italic)
{
    const std::string& installed = FontFactory::Installed(font);
    bool found = false;
    for (const FamilyMember& m : CachedMembers(installed))
        if (m.italic == italic && (!font.Bold() || m.bold))
            found = true;
    if (!found)
        return nullptr;
    return FontFactory::Make(
        FontFactory::Of(font), font.Size(), font.Bold(), italic, font.Weight());
}

std::vector<std::string> InstalledFamilies()
{
    std::vector<std::string> out;
    std::unordered_set<std::string> seen;
    FcPattern* p = FcPatternCreate();
    FcObjectSet* os = FcObjectSetBuild(FC_FAMILY, nullptr);
    FcFontSet* set = FcFontList(nullptr, p, os);
    for (int i = 0; set && i < set->nfont; ++i) {
        FcChar8* s = nullptr;
        for (int k = 0; FcPatternGetString(set->fonts[i], FC_FAMILY, k, &s) == FcResultMatch; ++k) {
            std::string name = reinterpret_cast<const char*>(s);
            if (seen.insert(name).second)
                out.push_back(std::move(name));
        }
    }
    if (set)
        FcFontSetDestroy(set);
    FcObjectSetDestroy(os);
    FcPatternDestroy(p);
    return out;
}

std::vector<FamilyMember> FamilyMembers(const char* family)
{
    return Members(family);
}

bool FaceHasTrait(const char* faceName, unsigned long trait)
{
    FontRef f = FontFromFaceName(faceName, kDefaultFontSize, FontStyle());
    if (!f)
        return false;
    return ((trait & 2) && f->Bold()) || ((trait & 1) && f->Italic());
}

} // namespace platform::text
