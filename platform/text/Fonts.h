// Fonts matched through fontconfig and described for Pango. See Text.h.
#pragma once

#include <memory>
#include <string>
#include <vector>

typedef struct _PangoFontDescription PangoFontDescription;

namespace platform::text {

// An immutable font: a family, a size in user units and a style. Shared between threads.
class Font {
public:
    ~Font();
    Font(const Font&) = delete;
    Font& operator=(const Font&) = delete;

    // The family name the font answers: the installed family's own spelling, or the name a
    // document gave when that name resolves through an alias.
    const std::string& Family() const { return family_; }
    float Size() const { return size_; }
    bool Bold() const { return bold_; }
    bool Italic() const { return italic_; }
    // Pango weight, 100 (thin) to 900 (black); 400 regular, 700 bold.
    int Weight() const { return weight_; }
    // The description the layout uses (owned by the font).
    const PangoFontDescription* Description() const { return description_; }

private:
    friend class FontFactory;
    Font() = default;
    std::string family_;
    std::string pangoFamily_; // the family list handed to Pango
    std::string installed_; // the installed family that stands in (for its members)
    float size_ = 0;
    bool bold_ = false;
    bool italic_ = false;
    int weight_ = 400;
    PangoFontDescription* description_ = nullptr;
};

using FontRef = std::shared_ptr<const Font>;

// The style asked for. weight 0 means "from bold"; otherwise a Pango weight 100..900.
struct FontStyle {
    bool bold = false;
    bool italic = false;
    int weight = 0;
};

// The size a font gets when none (0) is given.
inline constexpr float kDefaultFontSize = 12.0f;
// The size of the system font.
inline constexpr float kSystemFontSize = 13.0f;

// A font of the family named (compared without regard to case and blanks, as fontconfig does),
// or of a family name that fontconfig or the table of desktop family names maps onto an
// installed face; null when the name is no family. Bold and italic are granted only when the
// family has such a member. A negative size counts as positive, 0 as the default size.
FontRef FontFromFamily(const char* family, float size, const FontStyle& style);
// A font of the face whose full or PostScript name is given ("DejaVu Sans Bold",
// "DejaVuSans-Bold"), with that face's own weight and slant; null when no face has the name.
FontRef FontFromFaceName(const char* faceName, float size, const FontStyle& style);
// The system font (the desktop's sans-serif family), bold and italic as asked.
FontRef SystemFont(float size, bool bold, bool italic);

// The same font with another size, family (null when the family is unknown) or style.
FontRef FontWithSize(const Font& font, float size);
FontRef FontWithFamily(const Font& font, const char* family);
// Null when the family has no member with (or without) the trait.
FontRef FontWithBold(const Font& font, bool bold);
FontRef FontWithItalic(const Font& font, bool italic);

// The installed families in fontconfig's order, each once.
std::vector<std::string> InstalledFamilies();

struct FamilyMember {
    std::string style; // the face's style name ("Bold Oblique")
    bool bold = false;
    bool italic = false; // italic or oblique
};
// The installed faces of a family (empty when it is not installed).
std::vector<FamilyMember> FamilyMembers(const char* family);
// True when the face named (full name, e.g. "DejaVu Sans Bold") is bold (trait 2) or italic
// (trait 1).
bool FaceHasTrait(const char* faceName, unsigned long trait);

} // namespace platform::text
