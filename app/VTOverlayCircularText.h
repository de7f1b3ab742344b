// A single line of text set along an arc of a circle about the design's origin. Alignment 1
// puts it on the upper side of the circle, 7 on the lower side (the geometry mirrored about the
// x axis, the characters upright and read left to right). Angles are degrees from +x towards +y
// (downwards), so 270 is the top of the circle.
//
// The characters are set one by one in the order the straight line shows them. A text with
// right-to-left characters is first shaped as one line (ordered by the bidirectional algorithm,
// Arabic letters joined) and set cluster by cluster, so a Hebrew word reads from right to left
// along the arc as it does on a line; a left-to-right text sets each character as it stands.
#pragma once

#include "app/VTOverlayText.h"
#include "lfw/graphics/LGeometry.h"
#include "lfw/mac/LGraphicsPath.h"

#include <memory>
#include <string>
#include <vector>

namespace platform::text {
class ShapedLine;
}

class VTOverlayCircularText : public VTOverlayText {
public:
    // A converted straight text keeps at least this radius.
    static constexpr float kMinRadius = 30.0f;

    // All arc values 0, alignment 1 (the upper side).
    VTOverlayCircularText();
    VTOverlayCircularText(const char* text, const LGuiFontEx& font);

    int GetType() const override { return VTOverlayTypeCircularText; }
    // Old XML projects hold no circular texts: nothing is read, the result is 0.
    LProcessResult SerialiseFromXML(LProcessInterface&, const LXMLElement&) override
    {
        return LProcessResultSuccess;
    }
    // Fits the circle to the larger side of the box; nothing when the text would not fit.
    void SetToBoundingBox(LBoundingBox2T<float>& box) override;
    // True for a point on the text's band (between the inner and outer radius, within the arc).
    bool HitTest(float x, float y) override;
    void Paint(LPaintContext& ctx) override;
    void Paint(LPDFWriter& writer) override;
    VTOverlay* Clone() const override;
    VTOverlay* CloneLight() const override { return Clone(); }
    // Nothing unless the other overlay is a circular text.
    void SwapContent(VTOverlay* other) override;

    // Derives the band and the arc from the measured text.
    void ComputeControlPoints(float textWidth, float textHeight);
    // Appends the outline of the text band.
    void ComputeGraphicsPath(LGraphicsPath& path) const;
    // Whether an angle (0 to 360) lies on the text's arc.
    bool IsInArcAngle(float angle) const;
    // Places and draws the characters; the float is the text height. The character widths are
    // measured here; painting measures them once and uses the overloads below.
    void DrawCircularText(LPaintContext& ctx, float textHeight) const;
    void DrawCircularText(LPDFWriter& writer, float textHeight) const;
    // Copies the character at a character index of the UTF-8 text into out (at least 7 bytes);
    // an index at or past the end gives "".
    void GetCharFromString(char* out, const char* utf8, unsigned int index) const;
    // True when the text's height fits the circle.
    bool CheckTextHeight() const;
    // A new straight text (the caller owns it) at the middle of the arc.
    VTOverlayText* ConvertToOverlayText() const;
    // Copies this kind's content: as the straight text, the alignment unturned, then the centre
    // angle (brought into 0..360 by one step either way) and the outer radius.
    void CopyFrom(const VTOverlayCircularText& other);

    float centreAngle = 0.0f;
    float outerRadius = 0.0f;
    float startAngle = 0.0f;
    float endAngle = 0.0f;
    float halfSpanAngle = 0.0f;
    float innerRadius = 0.0f;
    float bandThickness = 0.0f;
    // P0 inner, P1 outer, P2 middle at the start; P3, P4, P5 at the end; P6, P7, P8 at the centre
    // angle.
    LPointTemplate<float> controlPoints[9];

    // A cluster as it is set on the arc: its characters, its glyphs (their ids in their fonts,
    // left to right), the angle and the point of its centre, its width.
    struct ArcCluster {
        std::string text;
        std::vector<unsigned> glyphs;
        float angle = 0, x = 0, y = 0, width = 0;
    };
    // Lays the text out on the arc in the context's drawing as Paint does (the arc follows the
    // text) and answers the clusters from the start of the reading to its end.
    std::vector<ArcCluster> LayOutOnArc(LPaintContext& ctx);

    // The text as one line: line ends shown as spaces, "Text" when empty.
    void GetWorkingText(LStringLongTemplate<char>& out) const;
    // The characters of a UTF-8 text as a reader sees them (a letter with its combining marks),
    // each as its own string.
    static void SplitCharacters(const char* utf8, std::vector<std::string>& out);

private:
    struct Glyphs {
        std::vector<std::string> chars;
        std::vector<float> widths;
        float width = 0; // the sum of the widths
        float height = 0; // the largest height
        // A text with right-to-left characters shaped as one line: chars and widths are its
        // clusters, in the order they are shown.
        std::unique_ptr<platform::text::ShapedLine> line;
    };
    // Shapes the working text as one line when it has right-to-left characters; false (nothing
    // done) for a left-to-right text. Whole units: the height rounded up, as the PDF sets it.
    bool ShapeGlyphs(LPaintContext& ctx, Glyphs& glyphs, bool wholeUnits) const;
    // Splits the working text into characters and measures each distinct one once with
    // measure(character), which gives its width and height.
    template <class Measure> void MeasureGlyphsWith(Glyphs& glyphs, Measure measure) const;
    void MeasureGlyphs(LPaintContext& ctx, Glyphs& glyphs) const;
    void MeasureGlyphs(LPDFWriter& writer, Glyphs& glyphs) const;
    // Steps along the middle of the band: place(index, angle, x, y) for each character, with the
    // angle and the point of its centre.
    template <class Place> void PlaceGlyphs(const Glyphs& glyphs, Place place) const;
    void DrawGlyphs(LPaintContext& ctx, const Glyphs& glyphs, float textHeight) const;
    void DrawGlyphs(LPDFWriter& writer, const Glyphs& glyphs, float textHeight) const;
    // The underline's path, or false when it has none.
    void UnderlinePath(LGraphicsPath& path, bool fullCircle) const;
};
