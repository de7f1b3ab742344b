#include "lfw/mac/LGuiFont.h"
#include "lfw/mac/LPaintContext.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

std::string Name(const LGuiFont& f)
{
    char buf[260];
    f.GetName(buf, sizeof buf);
    return buf;
}

std::string SystemFamily()
{
    LGuiFont f(12, false, false, false, "", false);
    return Name(f);
}

} // namespace

TEST(Fonts, SystemFontWhenNoNameOrNoMatch)
{
    LGuiFont bold(12, true, false, false, "", false);
    EXPECT_TRUE(bold.IsSystemFont());
    EXPECT_TRUE(bold.IsBold());
    EXPECT_FALSE(bold.IsItalic());
    EXPECT_EQ(bold.GetSize(), 12);
    EXPECT_FALSE(SystemFamily().empty());

    LGuiFont unknown(14, false, true, true, "No Such Font Family Xyz", true);
    EXPECT_TRUE(unknown.IsSystemFont());
    // Drawn with the system font, but the name asked for is kept: a document that names a face
    // this machine lacks saves that name again instead of the stand-in's.
    EXPECT_EQ(Name(unknown), "No Such Font Family Xyz");
    EXPECT_EQ(unknown.GetMissingFaceName(), "No Such Font Family Xyz");
    LGuiFontEx copy(unknown);
    EXPECT_EQ(Name(copy), "No Such Font Family Xyz");
    EXPECT_TRUE(copy == LGuiFontEx(unknown));
    LGuiFontEx installed(LGuiFont(14, false, true, true, "", true));
    EXPECT_FALSE(copy == installed);
    EXPECT_TRUE(unknown.IsItalic()); // converted to italic
    EXPECT_TRUE(unknown.IsUnderlined());
    EXPECT_TRUE(unknown.IsStrikeout());

    LGuiFont none;
    EXPECT_FALSE(none.HasFont());
    EXPECT_TRUE(none.IsSystemFont());
    char buf[8] = "x";
    EXPECT_FALSE(none.GetName(buf, sizeof buf));
    EXPECT_STREQ(buf, "");
    EXPECT_EQ(none.GetSize(), 0);
    EXPECT_FALSE(none.IsBold());
}

TEST(Fonts, MatchedByFamilyThenByFaceName)
{
    LGuiFont serif(20, false, false, false, "dejavu serif", false);
    EXPECT_FALSE(serif.IsSystemFont());
    EXPECT_EQ(Name(serif), "DejaVu Serif");

    LGuiFont face(20, false, false, false, "DejaVu Sans Bold", false);
    EXPECT_FALSE(face.IsSystemFont());
    EXPECT_EQ(Name(face), "DejaVu Sans");
    EXPECT_TRUE(face.IsBold());

    // Family names documents carry resolve to an installed face and keep their name.
    for (const char* name : { "Lucida Grande", "Helvetica" }) {
        LGuiFont f(12, false, false, false, name, false);
        EXPECT_FALSE(f.IsSystemFont()) << name;
        EXPECT_EQ(Name(f), name);
        EXPECT_TRUE(f.GetPlatformFont() != nullptr);
    }
}

TEST(Fonts, SizesAndStyles)
{
    LGuiFont f(12, false, false, false, "DejaVu Sans", false);
    f.SetSizef(-10);
    EXPECT_EQ(f.GetSize(), 10);
    f.SetSizef(12.7f);
    EXPECT_EQ(f.GetSize(), 12);
    EXPECT_FLOAT_EQ(f.GetSizef(), 12.7f);
    f.SetSize(14);
    EXPECT_EQ(f.GetSize(), 14);
    LGuiFont negative(-9, false, false, false, "DejaVu Sans", false);
    EXPECT_EQ(negative.GetSize(), 9);

    f.SetBold(true);
    EXPECT_TRUE(f.IsBold());
    f.SetItalic(true);
    EXPECT_TRUE(f.IsItalic());
    f.SetBold(false);
    EXPECT_FALSE(f.IsBold());
    EXPECT_TRUE(f.IsItalic());
    f.SetName("DejaVu Sans Mono");
    EXPECT_EQ(Name(f), "DejaVu Sans Mono");
    EXPECT_TRUE(f.IsItalic());
    f.SetName("No Such Family Xyz"); // unchanged
    EXPECT_EQ(Name(f), "DejaVu Sans Mono");
    f.SetName("");
    EXPECT_EQ(Name(f), "DejaVu Sans Mono");

    // A family without a bold member keeps its regular face.
    LGuiFont math(12, false, false, false, "DejaVu Math TeX Gyre", false);
    ASSERT_EQ(Name(math), "DejaVu Math TeX Gyre");
    math.SetBold(true);
    EXPECT_FALSE(math.IsBold());

    EXPECT_FLOAT_EQ(LGuiFont::WeightTrait(400), -0.25f);
    EXPECT_FLOAT_EQ(LGuiFont::WeightTrait(900), 1.0f);
    EXPECT_FLOAT_EQ(LGuiFont::WeightTrait(0), 0.0f);
    LGuiFont heavy;
    heavy.CocoaFontCreate("DejaVu Sans", 12, false, false, 700);
    EXPECT_TRUE(heavy.IsBold());
    EXPECT_EQ(heavy.GetPlatformFont()->Weight(), 700);
}

TEST(Fonts, ValueSemanticsOfTheDocumentFont)
{
    LGuiFont base(12, false, true, false, "DejaVu Serif", false);
    LGuiFontEx a(base);
    LGuiFontEx b(a);
    EXPECT_TRUE(a == b);
    EXPECT_TRUE(b.IsUnderlined());
    // The platform shares one font object among all requests for the same font.
    LGuiFontEx same(LGuiFont(12, false, true, false, "DejaVu Serif", false));
    EXPECT_TRUE(a == same);
    LGuiFontEx separate(LGuiFont(13, false, true, false, "DejaVu Serif", false));
    EXPECT_FALSE(a == separate); // another platform font object
    separate = a;
    EXPECT_TRUE(separate == a);
    LGuiFontEx empty { LGuiFont() };
    EXPECT_FALSE(empty == empty); // no font: never equal
    separate = empty; // from a font-less one: unchanged
    EXPECT_TRUE(separate == a);
    LGuiFontEx strike(a);
    strike.SetStrikeout(true);
    EXPECT_FALSE(strike == a);
    EXPECT_TRUE(strike.IsStrikeout());
}

TEST(Fonts, FromControlsAndDialogs)
{
    LGuiFont f;
    f.CreateFromControl(nullptr, 1.5f, "DejaVu Serif", 0, 2, 0, 1);
    EXPECT_FALSE(f.IsBold());
    EXPECT_TRUE(f.IsItalic());
    EXPECT_FALSE(f.IsUnderlined());
    EXPECT_FALSE(f.IsStrikeout()); // 1 is off, only 2 is on
    EXPECT_FLOAT_EQ(f.GetSizef(), 13 * 1.5f);

    LGuiFontViewServices services;
    services.getControlFont = [](LView*, LGuiFont& font) {
        font = LGuiFont(10, true, true, false, "DejaVu Sans", false);
        return true;
    };
    services.getBackingScaleFactor = [](LView*) { return 2.0; };
    LGuiFontSetViewServices(services);
    LView* view = reinterpret_cast<LView*>(&f);

    LGuiFont g;
    g.CreateFromControl(view, 1.5f, "DejaVu Serif", 0, 2, 0, 1);
    EXPECT_TRUE(g.IsBold()); // from the control font
    EXPECT_TRUE(g.IsItalic()); // forced
    EXPECT_TRUE(g.IsUnderlined()); // from the control font
    EXPECT_FALSE(g.IsStrikeout());
    EXPECT_FLOAT_EQ(g.GetSizef(), 15);
    EXPECT_EQ(Name(g), "DejaVu Serif");

    LGuiFont h;
    h.CreateFromControl(view, 2, false, true);
    EXPECT_EQ(Name(h), "DejaVu Sans");
    EXPECT_EQ(h.GetSize(), 12);
    EXPECT_FALSE(h.IsBold());
    EXPECT_TRUE(h.IsUnderlined());

    LGuiFont d;
    d.CreateFromDialog(view, 2, true, false);
    EXPECT_TRUE(d.IsSystemFont());
    EXPECT_EQ(d.GetSize(), 28); // 2 + 2 x 13
    EXPECT_TRUE(d.IsBold());

    LGuiFont e;
    e.CreateFromDialog(view, 1.0f, "", 2, 0, 0, 0);
    EXPECT_FLOAT_EQ(e.GetSizef(), 26);
    EXPECT_TRUE(e.IsBold());
    LGuiFontSetViewServices(LGuiFontViewServices());
}

TEST(Fonts, ContextKeepsThePreviousFont)
{
    LPaintContext ctx;
    ctx.SetFont(LFontAttributes("DejaVu Serif", 20, LFontStyleBold));
    ctx.SetFont(LFontAttributes("DejaVu Sans Mono", 9, LFontStyleUnderline | LFontStyleStrikeout));
    EXPECT_EQ(Name(ctx.GetPreviousFont()), "DejaVu Serif");
    EXPECT_TRUE(ctx.GetPreviousFont().IsBold());
    EXPECT_EQ(Name(ctx.GetFont()), "DejaVu Sans Mono");
    EXPECT_TRUE(ctx.GetFont().IsUnderlined());
    EXPECT_TRUE(ctx.GetFont().IsStrikeout());
    EXPECT_FALSE(ctx.GetFont().IsBold());
}

TEST(Fonts, InstalledFamiliesSorted)
{
    LFontsInstalledIterator it;
    std::string previous;
    int count = 0;
    bool sans = false, math = false;
    for (; it.IsValid(); it.Next()) {
        std::string name = *it;
        if (count > 0) {
            EXPECT_LT(std::strcmp(previous.c_str(), name.c_str()), 0);
        }
        previous = name;
        ++count;
        if (name == "DejaVu Sans") {
            sans = true;
            EXPECT_TRUE(it.HasBoldStyle());
            EXPECT_TRUE(it.HasItalicStyle());
        }
        if (name == "DejaVu Math TeX Gyre") {
            math = true;
            EXPECT_FALSE(it.HasBoldStyle());
        }
    }
    EXPECT_TRUE(sans);
    EXPECT_TRUE(math);
    it.Next(); // past the end: nothing
    EXPECT_FALSE(it.IsValid());
    EXPECT_TRUE(LMacFontFamilyHasTrait("DejaVu Serif", 1));
    EXPECT_FALSE(LMacFontFamilyHasTrait("No Such Family Xyz", 2));

    // A rebuilt list is the same; adding a name already there changes nothing.
    int again = 0;
    for (it.CreateList(); it.IsValid(); it.Next())
        ++again;
    EXPECT_EQ(again, count);
    it.CreateList();
    it.AddFontToList("DejaVu Sans");
    again = 0;
    for (; it.IsValid(); it.Next())
        ++again;
    EXPECT_EQ(again, count);
    // Upper case sorts before lower case.
    LList<LFontsInstalledIterator::Node> names;
    for (const char* s : { "zeta", "Zeta", "alpha", "Alpha" }) {
        auto* n = new LFontsInstalledIterator::Node;
        std::strcpy(n->name, s);
        names.AddHead(n);
    }
    names.Sort();
    std::string order;
    for (const auto& n : names)
        order += std::string(n.name) + ",";
    EXPECT_EQ(order, "Alpha,Zeta,alpha,zeta,");
}
