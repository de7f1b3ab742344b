#include "lfw/mac/LPaintSurface.h"
#include "lfw/mac/cocoa/LCocoaTextManagerImpl.h"
#include "support/DrawCanvas.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

namespace {

const LDrawTextFormat kTopLeft(
    LAlignmentXLeft, LAlignmentYTop, LTextWrappingWord, LTextTrimmingNone);

void UseFont(LPaintContext& ctx, float size, uint32_t style = 0)
{
    ctx.SetFont(LFontAttributes("DejaVu Sans", size, style));
}

float Width(const LPaintContext& ctx, const char* text)
{
    float w, h;
    LPaintSurface::MeasureText(ctx, w, h, text, LBoundingBox2T<float>(0, 0, 0, 0), kTopLeft);
    return w;
}

// The number of dark pixels in a row between two columns.
int DarkRun(DrawCanvas& c, int y, int x0, int x1)
{
    int n = 0;
    for (int x = x0; x <= x1; ++x)
        n += c.Ink(x, y) > 128;
    return n;
}

} // namespace

TEST(Text, MeasuringSizes)
{
    LPaintContext ctx;
    UseFont(ctx, 20);
    float w, h;
    LPaintSurface::MeasureText(ctx, w, h, "", LBoundingBox2T<float>(0, 0, 100, 100), kTopLeft);
    EXPECT_EQ(w, 0);
    EXPECT_EQ(h, 0);
    LPaintSurface::MeasureText(ctx, w, h, nullptr, LBoundingBox2T<float>(0, 0, 100, 100), kTopLeft);
    EXPECT_EQ(w, 0);

    float one = Width(ctx, "W");
    EXPECT_GT(one, 10);
    EXPECT_LT(one, 30);
    EXPECT_NEAR(Width(ctx, "WWW"), 3 * one, 0.01);
    // Linear in the font size (no hinting of metrics).
    UseFont(ctx, 40);
    EXPECT_NEAR(Width(ctx, "WWW"), 6 * one, 0.02);

    // A left-aligned, non-wrapping text in a zero-size box stays on one line.
    UseFont(ctx, 20);
    const char* longText = "one two three four five six seven eight nine ten eleven twelve";
    LDrawTextFormat noWrap(LAlignmentXLeft, LAlignmentYTop, LTextWrappingNone, LTextTrimmingNone);
    float lw, lh;
    LPaintSurface::MeasureText(ctx, lw, lh, "W", LBoundingBox2T<float>(0, 0, 0, 0), noWrap);
    float lineHeight = lh;
    LPaintSurface::MeasureText(ctx, lw, lh, longText, LBoundingBox2T<float>(0, 0, 0, 0), noWrap);
    EXPECT_GT(lw, 500);
    EXPECT_FLOAT_EQ(lh, lineHeight);

    // Wrapping at words in a box: narrower, more lines.
    LPaintSurface::MeasureText(
        ctx, w, h, longText, LBoundingBox2T<float>(0, 0, 150, 1000), kTopLeft);
    EXPECT_LE(w, 150);
    EXPECT_GT(h, 3 * lineHeight);
    // Lines that do not fit the box's height are not laid out; the first always is.
    LPaintSurface::MeasureText(
        ctx, w, h, longText, LBoundingBox2T<float>(0, 0, 150, 2.5f * lineHeight), kTopLeft);
    EXPECT_FLOAT_EQ(h, 2 * lineHeight);
    LPaintSurface::MeasureText(ctx, w, h, longText, LBoundingBox2T<float>(0, 0, 150, 5), kTopLeft);
    EXPECT_FLOAT_EQ(h, lineHeight);

    // Character breaking splits a long word; the ellipsis keeps one line within the box.
    const char* word = "abcdefghijklmnopqrstuvwxyzabcdefghijklmnopqrstuvwxyz";
    LDrawTextFormat chars(
        LAlignmentXLeft, LAlignmentYTop, LTextWrappingWord, LTextTrimmingCharacter);
    LPaintSurface::MeasureText(ctx, w, h, word, LBoundingBox2T<float>(0, 0, 100, 1000), chars);
    EXPECT_LE(w, 100);
    EXPECT_GT(h, 3 * lineHeight);
    LDrawTextFormat ellipsis(
        LAlignmentXLeft, LAlignmentYTop, LTextWrappingNone, LTextTrimmingEllipsis);
    LPaintSurface::MeasureText(
        ctx, w, h, longText, LBoundingBox2T<float>(0, 0, 100, lineHeight + 2), ellipsis);
    EXPECT_LE(w, 100);
    EXPECT_GT(w, 60);
    EXPECT_FLOAT_EQ(h, lineHeight);

    // Fonts below one unit still measure a height.
    ctx.SetFont(LFontAttributes("DejaVu Sans", 0.5f, 0));
    LPaintSurface::MeasureText(ctx, w, h, "Tiny text", LBoundingBox2T<float>(0, 0, 0, 0), kTopLeft);
    EXPECT_GT(h, 0);
    EXPECT_GT(w, 0);
}

TEST(Text, MeasuringIgnoresTheTransform)
{
    DrawCanvas c(10, 10);
    UseFont(c.ctx(), 11);
    float plain = Width(c.ctx(), "Vorantel etikett");
    LPaintSurface::Transform(c.ctx(), LMatrix<float>::Scaling(11.8f, 11.8f));
    EXPECT_FLOAT_EQ(Width(c.ctx(), "Vorantel etikett"), plain);
}

TEST(Text, HorizontalAlignment)
{
    for (int align : { 0, 1, 2 }) {
        DrawCanvas c(300, 40);
        UseFont(c.ctx(), 20);
        LPaintSurface::DrawText(c.ctx(), "Hello", 50, 0, 200, 40, LAlignmentX(align),
            LAlignmentYTop, LTextWrappingNone, LTextTrimmingNone);
        int l, t, r, b;
        ASSERT_TRUE(c.InkBox(l, t, r, b));
        if (align == 0)
            EXPECT_NEAR(l, 52, 3);
        else if (align == 1)
            EXPECT_NEAR((l + r) / 2.0, 150, 3);
        else
            EXPECT_NEAR(r, 248, 3);
        EXPECT_LT(t, 20);
    }
}

TEST(Text, VerticalAlignment)
{
    LCocoaTextManagerImpl& shared = LCocoaTextManagerImpl::sharedTextManager();
    LCocoaTextPaintData pd;
    pd.font = platform::text::FontFromFamily("DejaVu Sans", 20, platform::text::FontStyle());
    double w, h;
    LDrawTextFormat centre(
        LAlignmentXLeft, LAlignmentYCenter, LTextWrappingWord, LTextTrimmingNone);
    shared.measureText("Text", &pd, centre, LBoundingBox2T<float>(0, 0, 200, 100), w, h);
    EXPECT_GT(h, 20);
    EXPECT_DOUBLE_EQ(shared.GetVerticalOffset(), (100 - h) / 2);
    LDrawTextFormat bottom(
        LAlignmentXLeft, LAlignmentYBottom, LTextWrappingWord, LTextTrimmingNone);
    shared.measureText("Text", &pd, bottom, LBoundingBox2T<float>(0, 0, 200, 10), w, h);
    EXPECT_LT(shared.GetVerticalOffset(), 0); // the text ends at the box's bottom

    // Drawn: bottom alignment puts the glyphs against the bottom edge.
    DrawCanvas c(200, 100);
    UseFont(c.ctx(), 20);
    LPaintSurface::DrawText(c.ctx(), "Text", 0, 0, 200, 100, LAlignmentXLeft, LAlignmentYBottom,
        LTextWrappingNone, LTextTrimmingNone);
    int l, t, r, b;
    ASSERT_TRUE(c.InkBox(l, t, r, b));
    EXPECT_GT(t, 70);
    EXPECT_LT(b, 100);
}

TEST(Text, NothingForEmptyTextOrBox)
{
    DrawCanvas c(100, 50);
    UseFont(c.ctx(), 20);
    LPaintSurface::DrawText(c.ctx(), "Text", 0, 0, 0, 50, LAlignmentXLeft, LAlignmentYTop,
        LTextWrappingNone, LTextTrimmingNone);
    LPaintSurface::DrawText(c.ctx(), "Text", 0.0f, 0.0f, 100.0f, -1.0f, LAlignmentXLeft,
        LAlignmentYTop, LTextWrappingNone, LTextTrimmingNone);
    LPaintSurface::DrawText(c.ctx(), "", 0, 0, 100, 50, LAlignmentXLeft, LAlignmentYTop,
        LTextWrappingNone, LTextTrimmingNone);
    int l, t, r, b;
    EXPECT_FALSE(c.InkBox(l, t, r, b, 0));
    // Bytes that are not UTF-8 are drawn as replacement characters, not refused.
    LPaintSurface::DrawText(c.ctx(), "a\xff\xfe", 0, 0, 100, 50, LAlignmentXLeft, LAlignmentYTop,
        LTextWrappingNone, LTextTrimmingNone);
    EXPECT_TRUE(c.InkBox(l, t, r, b));
}

TEST(Text, ColoursUnderlineStrikeoutAndOutline)
{
    DrawCanvas plain(200, 60), under(200, 60), strike(200, 60);
    UseFont(plain.ctx(), 30);
    UseFont(under.ctx(), 30, LFontStyleUnderline);
    UseFont(strike.ctx(), 30, LFontStyleStrikeout);
    for (DrawCanvas* c : { &plain, &under, &strike })
        LPaintSurface::DrawText(c->ctx(), "xxxx", 0, 0, 200, 60, LAlignmentXLeft, LAlignmentYTop,
            LTextWrappingNone, LTextTrimmingNone);
    int l, t, r, b;
    ASSERT_TRUE(plain.InkBox(l, t, r, b));
    // A line through (or under) the whole width that the plain text lacks.
    auto hasRule = [&](DrawCanvas& c, int y0, int y1) {
        for (int y = y0; y <= y1; ++y)
            if (DarkRun(c, y, l, r) > (r - l) * 9 / 10 && DarkRun(plain, y, l, r) < (r - l) / 2)
                return true;
        return false;
    };
    EXPECT_TRUE(hasRule(under, b, 59));
    EXPECT_TRUE(hasRule(strike, t, b));
    EXPECT_FALSE(hasRule(strike, b + 1, 59));

    // The text colour with its alpha, and the brush form leaving its colour set.
    DrawCanvas red(200, 60);
    UseFont(red.ctx(), 40);
    LPaintSurface::DrawText(red.ctx(), "I", LBoundingBox2T<float>(10, 0, 190, 60), kTopLeft,
        LGuiSolidBrush(LGuiColor::FromRGB8(255, 0, 0), 255));
    EXPECT_EQ(red.ctx().mTextColor.GetRed8(), 255);
    ASSERT_TRUE(red.InkBox(l, t, r, b, 30));
    DrawPixel p = red.At((l + r) / 2, (t + b) / 2);
    EXPECT_EQ(p.r, 255);
    EXPECT_LT(p.g, 10);

    // Outlined: glyphs filled in the text colour and stroked in the outline colour.
    DrawCanvas outlined(200, 80);
    UseFont(outlined.ctx(), 60);
    outlined.ctx().mTextOutline = true;
    outlined.ctx().mTextOutlineWidth = 3; // percent of the font size: 1.8 units
    outlined.ctx().mTextOutlineColor = LGuiColorAlpha(LGuiColor::FromRGB8(0, 0, 255), 255);
    LPaintSurface::DrawText(outlined.ctx(), "H", 10, 0, 180, 80, LAlignmentXLeft, LAlignmentYTop,
        LTextWrappingNone, LTextTrimmingNone);
    int blue = 0, black = 0;
    for (int y = 0; y < 80; ++y)
        for (int x = 0; x < 200; ++x) {
            DrawPixel q = outlined.At(x, y);
            blue += q.b > 200 && q.r < 60;
            black += q.b < 40 && q.r < 40;
        }
    EXPECT_GT(blue, 50);
    EXPECT_GT(black, 20);
}

TEST(Text, WorkerThreadsMeasureAndDrawAlike)
{
    const std::vector<const char*> texts = { "Vorantel", "Etikett för skivan", "Åäö ÅÄÖ 123",
        "A much longer line of text to measure" };
    std::vector<float> main, worker(texts.size());
    LPaintContext ctx;
    UseFont(ctx, 17);
    for (const char* t : texts)
        main.push_back(Width(ctx, t));
    std::thread th([&] {
        LPaintContext wctx;
        UseFont(wctx, 17);
        for (size_t i = 0; i < texts.size(); ++i)
            worker[i] = Width(wctx, texts[i]);
    });
    th.join();
    for (size_t i = 0; i < texts.size(); ++i)
        EXPECT_FLOAT_EQ(main[i], worker[i]) << texts[i];

    DrawCanvas a(200, 40), b(200, 40);
    UseFont(a.ctx(), 17);
    LPaintSurface::DrawText(a.ctx(), texts[2], 5, 5, 190, 30, LAlignmentXCenter, LAlignmentYCenter,
        LTextWrappingWord, LTextTrimmingNone);
    std::thread draw([&] {
        UseFont(b.ctx(), 17);
        LPaintSurface::DrawText(b.ctx(), texts[2], 5, 5, 190, 30, LAlignmentXCenter,
            LAlignmentYCenter, LTextWrappingWord, LTextTrimmingNone);
    });
    draw.join();
    EXPECT_TRUE(a.SameAs(b));
}

// Sizes measured before answer later measurements of the same text, also in another box the text
// fits in as it stands; they must be what laying the text out again gives.
TEST(Text, RememberedSizesAreThoseOfAFreshLayout)
{
    const char* texts[] = { "Ny", "Lägg till bilder", "one two three four five six seven",
        "first line\nsecond, longer line\nthird", "Unbreakableveryveryverylongword here",
        "שלום עולם and more" };
    const LDrawTextFormat formats[] = {
        kTopLeft,
        LDrawTextFormat(LAlignmentXLeft, LAlignmentYTop, LTextWrappingNone, LTextTrimmingNone),
        LDrawTextFormat(LAlignmentXCenter, LAlignmentYCenter, LTextWrappingWord, LTextTrimmingNone),
        LDrawTextFormat(
            LAlignmentXRight, LAlignmentYBottom, LTextWrappingWord, LTextTrimmingCharacter),
        LDrawTextFormat(LAlignmentXLeft, LAlignmentYTop, LTextWrappingWord, LTextTrimmingEllipsis),
    };
    const LBoundingBox2T<float> boxes[]
        = { LBoundingBox2T<float>(0, 0, 0, 0), LBoundingBox2T<float>(0, 0, 1000, 1000),
              LBoundingBox2T<float>(5, 5, 125, 2e9f), LBoundingBox2T<float>(0, 0, 60, 30),
              LBoundingBox2T<float>(0, 0, 400, 14), LBoundingBox2T<float>(0, 0, 2000, 0) };
    LPaintContext ctx;
    int checked = 0;
    for (float size : { 9.0f, 13.0f, 0.5f })
        for (uint32_t style : { 0u, uint32_t(LFontStyleBold) }) {
            UseFont(ctx, size, style);
            LCocoaTextPaintData pd;
            pd.font = ctx.GetFont().GetPlatformFont();
            for (const char* text : texts)
                for (const LDrawTextFormat& format : formats)
                    // Every box twice, narrow ones first and then in the other order, so that
                    // each is answered from memory, and wrapped sizes are there before the
                    // others are asked for.
                    for (int pass = 0; pass < 2; ++pass)
                        for (int i = 0; i < 6; ++i) {
                            static const int kOrder[6] = { 3, 2, 4, 0, 1, 5 };
                            const LBoundingBox2T<float>& box = boxes[kOrder[pass ? 5 - i : i]];
                            float w = 0, h = 0;
                            LPaintSurface::MeasureText(ctx, w, h, text, box, format);
                            LCocoaTextManagerImpl fresh(&pd);
                            fresh.setText(text);
                            fresh.setBoundingRect(box);
                            fresh.setFormat(format);
                            double fw = 0, fh = 0;
                            fresh.measure(fw, fh);
                            EXPECT_EQ(w, float(fw)) << text << " size " << size << " box " << i;
                            EXPECT_EQ(h, float(fh)) << text << " size " << size << " box " << i;
                            ++checked;
                        }
        }
    EXPECT_EQ(checked, 3 * 2 * 6 * 5 * 12);

    // Measured again, and in a box it fits in, a label is not laid out again.
    UseFont(ctx, 11);
    float w = 0, h = 0;
    LPaintSurface::MeasureText(ctx, w, h, "Kopiera CD-information",
        LBoundingBox2T<float>(0, 0, 0, 0),
        LDrawTextFormat(LAlignmentXLeft, LAlignmentYTop, LTextWrappingNone, LTextTrimmingNone));
    platform::text::TextLayout& shared = LCocoaTextManagerImpl::sharedTextManager().GetTextLayout();
    const unsigned changes = shared.Changes();
    float w2 = 0, h2 = 0;
    LPaintSurface::MeasureText(
        ctx, w2, h2, "Kopiera CD-information", LBoundingBox2T<float>(0, 0, w + 20, 2e9f), kTopLeft);
    EXPECT_EQ(shared.Changes(), changes);
    EXPECT_EQ(w2, w);
    EXPECT_EQ(h2, h);
    // Too narrow a box lays it out again, on two lines.
    LPaintSurface::MeasureText(ctx, w2, h2, "Kopiera CD-information",
        LBoundingBox2T<float>(0, 0, w * 0.6f, 2e9f), kTopLeft);
    EXPECT_NE(shared.Changes(), changes);
    EXPECT_GT(h2, 1.5f * h);

    // A long text (a design's, not a label) is not kept: measured again after another, it is
    // laid out again, and measures the same.
    std::string longText;
    for (int i = 0; i < 120; ++i)
        longText += "word" + std::to_string(i) + " ";
    const LBoundingBox2T<float> page(0, 0, 300, 2e9f);
    float lw = 0, lh = 0;
    LPaintSurface::MeasureText(ctx, lw, lh, longText.c_str(), page, kTopLeft);
    // Another text in between, laid out on the same layout.
    LPaintSurface::MeasureText(ctx, w2, h2, "Mellan två mätningar", page, kTopLeft);
    const unsigned beforeLong = shared.Changes();
    float lw2 = 0, lh2 = 0;
    LPaintSurface::MeasureText(ctx, lw2, lh2, longText.c_str(), page, kTopLeft);
    EXPECT_NE(shared.Changes(), beforeLong);
    EXPECT_EQ(lw2, lw);
    EXPECT_EQ(lh2, lh);
    EXPECT_GT(lh, 2 * h);
}
