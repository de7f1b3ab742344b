// The text service over the platform text layout.

#include "lfw/mac/cocoa/LCocoaTextManagerImpl.h"

#include <cairo.h>

#include <cmath>
#include <cstring>
#include <pango/pango.h>
#include <string>
#include <sys/syscall.h>
#include <unistd.h>
#include <unordered_map>
#include <vector>

using platform::text::Align;
using platform::text::TextPaint;
using platform::text::TextSize;
using platform::text::Wrap;

bool LIsMainThread()
{
    return static_cast<pid_t>(syscall(SYS_gettid)) == getpid();
}

LCocoaTextManagerImpl& LCocoaTextManagerImpl::sharedTextManager()
{
    // Made once (thread-safe) and kept for the life of the process.
    static LCocoaTextManagerImpl* shared = new LCocoaTextManagerImpl(nullptr);
    return *shared;
}

LCocoaTextManagerImpl::LCocoaTextManagerImpl(const LCocoaTextPaintData* paintData)
    : ppd(paintData)
{
}

void LCocoaTextManagerImpl::setText(const char* text)
{
    layoutManager.SetText(text);
}

void LCocoaTextManagerImpl::setBoundingRect(const LBoundingBox2T<float>& rect)
{
    nsSizeContainer.width = double(rect.right) - double(rect.left);
    nsSizeContainer.height = double(rect.bottom) - double(rect.top);
    originPoint.x = rect.left;
    originPoint.y = rect.top;
}

void LCocoaTextManagerImpl::updateFont()
{
    if (!ppd) {
        layoutManager.SetFont(nullptr, false, false);
        return;
    }
    layoutManager.SetFont(ppd->font, ppd->underline, ppd->strikeout);
}

void LCocoaTextManagerImpl::setFormat(const LDrawTextFormat& format)
{
    // Every call starts from word wrapping, so one call's mode never leaks into the next.
    Wrap wrap = Wrap::Word;
    Align align;
    switch (format.alignX) {
    case LAlignmentXLeft:
        align = Align::Left;
        break;
    case LAlignmentXCenter:
        align = Align::Center;
        break;
    case LAlignmentXRight:
        align = Align::Right;
        break;
    default:
        align = Align::Natural;
        break;
    }
    // A box without a size (or with a negative one) limits nothing in that direction.
    double width = nsSizeContainer.width > 0 ? nsSizeContainer.width : 0;
    double height = nsSizeContainer.height > 0 ? nsSizeContainer.height : 0;
    if (format.wrapping != LTextWrappingWord && width == 0 && height == 0 && align == Align::Left) {
        // Left-aligned text in a box of zero size: one unbounded line.
        width = height = 10000;
        nsSizeContainer.width = nsSizeContainer.height = 10000;
    }
    layoutManager.SetAlignment(align);
    layoutManager.SetWidth(width);
    layoutManager.SetHeight(height);
    layoutManager.SetEllipsizeEnd(false);
    switch (format.trimming) {
    case LTextTrimmingCharacter:
        wrap = Wrap::Char;
        break;
    case LTextTrimmingWord:
        wrap = Wrap::Word;
        break;
    case LTextTrimmingEllipsis:
        layoutManager.SetEllipsizeEnd(true);
        break;
    default:
        break;
    }
    layoutManager.SetWrap(wrap);

    // The vertical offset of the text in the box.
    double w = 0, h = 0;
    measure(w, h);
    dOriginPointOffset = 0;
    if (format.alignY == LAlignmentYBottom)
        dOriginPointOffset += nsSizeContainer.height - h;
    else if (format.alignY == LAlignmentYCenter)
        dOriginPointOffset += (nsSizeContainer.height - h) * 0.5;
}

void LCocoaTextManagerImpl::measure(double& width, double& height)
{
    updateFont();
    TextSize size = layoutManager.Measure();
    width = size.width;
    height = size.height;
    // Fonts below one unit (millimetre-scaled contexts): the height from the line count.
    double pointSize = ppd && ppd->font ? ppd->font->Size() : 13.0;
    if (pointSize < 1.0 && height < 1.0 && size.glyphs) {
        double n = size.lines;
        height = n * pointSize + (n + 1) * std::floor(pointSize / 3);
    }
}

void LCocoaTextManagerImpl::draw()
{
    updateFont();
    if (!ppd || !ppd->cr)
        return;
    cairo_t* cr = ppd->cr;
    TextPaint paint;
    for (int i = 0; i < 3; ++i) {
        paint.fill[i] = ppd->textColor[i] / 255.0;
        paint.stroke[i] = ppd->outlineColor[i] / 255.0;
    }
    paint.fill[3] = ppd->textColor[3] / 255.0;
    paint.stroke[3] = ppd->outlineColor[3] / 255.0;
    if (ppd->outline) {
        // The outline width is a percentage of the font size; glyphs are filled and stroked.
        double size = ppd->font ? ppd->font->Size() : 13.0;
        paint.outline = true;
        paint.strokeWidth = std::fabs(ppd->outlineWidth) * size / 100.0;
    }
    cairo_save(cr);
    cairo_set_antialias(cr, CAIRO_ANTIALIAS_DEFAULT);
    // The glyph background: the text carries no background colour, so there is none to draw
    // whatever the transparent-background flag says.
    layoutManager.Draw(cr, originPoint.x, originPoint.y + dOriginPointOffset, paint);
    cairo_restore(cr);
}

namespace {

// Sizes measured before, per thread (each thread lays text out with its own font map). A label
// is measured again at every layout and paint, often first unbounded and then in its box: the
// size of a text laid out as it stands (no line broken, nothing ellipsized or left out) is the
// same in every box it fits, so such a measurement also answers those.
class MeasuredSizes {
public:
    static constexpr size_t kMaxTextBytes = 512;
    struct Limits {
        double width = 0, height = 0; // what the layout is given (0: no limit)
    };
    struct Size {
        double width = 0, height = 0;
    };

    static std::string Key(
        const char* text, const LCocoaTextPaintData* pd, const LDrawTextFormat& f)
    {
        std::string key;
        if (pd && pd->font) {
            char* description = pango_font_description_to_string(pd->font->Description());
            key = description ? description : "";
            g_free(description);
        }
        key += '\x1f';
        key += char('0' + (pd && pd->underline));
        key += char('0' + (pd && pd->strikeout));
        key += std::to_string(int(f.alignX)) + ':' + std::to_string(int(f.trimming));
        key += '\x1f';
        key += text;
        return key;
    }

    bool Find(const std::string& key, const Limits& limits, Size& size) const
    {
        const auto it = fSizes.find(key);
        if (it == fSizes.end())
            return false;
        // A margin of two Pango units keeps clear of rounding the limits.
        constexpr double kMargin = 2.0 / 1024;
        for (const Entry& e : it->second) {
            const bool same = e.limits.width == limits.width && e.limits.height == limits.height;
            const bool fits = e.asItStands
                && (limits.width <= 0 || e.size.width + kMargin <= limits.width)
                && (limits.height <= 0 || e.laidOutHeight + kMargin <= limits.height);
            if (same || fits) {
                size = e.size;
                return true;
            }
        }
        return false;
    }

    void Add(std::string key, const Limits& limits, const Size& size, double laidOutHeight,
        bool asItStands)
    {
        if (fSizes.size() >= kMaxTexts)
            fSizes.clear();
        std::vector<Entry>& entries = fSizes[std::move(key)];
        if (entries.size() >= kMaxBoxes)
            entries.erase(entries.begin());
        entries.push_back(Entry { limits, size, laidOutHeight, asItStands });
    }

private:
    static constexpr size_t kMaxTexts = 2048;
    static constexpr size_t kMaxBoxes = 8;
    struct Entry {
        Limits limits;
        Size size;
        double laidOutHeight = 0;
        bool asItStands = false;
    };
    std::unordered_map<std::string, std::vector<Entry>> fSizes;
};

thread_local MeasuredSizes tMeasuredSizes;

} // namespace

void LCocoaTextManagerImpl::measureText(const char* text, const LCocoaTextPaintData* paintData,
    const LDrawTextFormat& format, const LBoundingBox2T<float>& rect, double& width, double& height)
{
    setPaintData(paintData);
    setBoundingRect(rect);
    // The limits setFormat gives the layout.
    MeasuredSizes::Limits limits;
    limits.width = nsSizeContainer.width > 0 ? nsSizeContainer.width : 0;
    limits.height = nsSizeContainer.height > 0 ? nsSizeContainer.height : 0;
    if (format.wrapping != LTextWrappingWord && limits.width == 0 && limits.height == 0
        && format.alignX == LAlignmentXLeft)
        limits.width = limits.height = 10000;
    // Labels are what is measured again and again; a long text (a design's) is not kept, so the
    // memory stays small whatever is measured.
    if (!text || std::strlen(text) > MeasuredSizes::kMaxTextBytes) {
        setText(text);
        setFormat(format);
        measure(width, height);
        ppd = nullptr;
        return;
    }
    std::string key = MeasuredSizes::Key(text, paintData, format);
    MeasuredSizes::Size size;
    if (tMeasuredSizes.Find(key, limits, size)) {
        width = size.width;
        height = size.height;
        ppd = nullptr;
        return;
    }
    setText(text);
    setFormat(format);
    measure(width, height);
    // The height of the lines laid out, before measure's adjustment for tiny fonts: what a
    // height limit is compared with.
    const double laidOutHeight = layoutManager.Measure().height;
    tMeasuredSizes.Add(std::move(key), limits, MeasuredSizes::Size { width, height }, laidOutHeight,
        layoutManager.MeasuredAsItStands());
    ppd = nullptr; // the caller's record does not outlive the call
}

void LCocoaTextManagerImpl::drawText(const char* text, const LCocoaTextPaintData* paintData,
    const LDrawTextFormat& format, const LBoundingBox2T<float>& rect, bool transparentBackground)
{
    setPaintData(paintData);
    setText(text);
    setBoundingRect(rect);
    setFormat(format);
    setTransparentBackground(transparentBackground);
    draw();
    ppd = nullptr;
}
