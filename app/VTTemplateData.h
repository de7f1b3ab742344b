// The six label formats and their geometry. Every geometry is centred on the origin (x to the
// right, y downwards, lengths in millimetres as floats); the caller moves the origin to the
// template's place and turns it before painting. A geometry knows its size and spine width, its
// clipping outline, and paints its background and outline on a paint context and into a PDF.
// The disc also keeps a printable ring between an outer and an inner diameter, from which a
// band between two further diameters may be cut out.
#pragma once

#include "lfw/mac/LBrushInfo.h"
#include "lfw/mac/LGraphicsPath.h"
#include "lfw/mac/LGuiColor.h"
#include "lfw/mac/LLineStyle.h"
#include "lfw/mac/LPDFWriter.h"
#include "lfw/mac/LPaintContext.h"

#include <cstdint>

// Files store a format as format + 1.
enum VTTemplateFormat : int32_t {
    VTTemplateFormatDisc = 0,
    VTTemplateFormatCaseCDFront = 1,
    VTTemplateFormatCaseCDBack = 2,
    VTTemplateFormatJewelCaseInsert = 3,
    VTTemplateFormatCaseDVD = 4,
    VTTemplateFormatCaseBluRay = 5,
};

inline constexpr int kVTTemplateFormatCount = 6;

class VTTemplateData {
public:
    virtual ~VTTemplateData() = default;

    virtual const char* GetKey() const = 0;
    virtual const char* GetDescriptionShort() const = 0;
    virtual const char* GetDescriptionLong() const = 0;
    virtual void GetDimensions(float& width, float& height) const = 0;
    virtual float GetSpineWidth() const { return spineWidth; }
    // Stored as given.
    virtual void SetSpineWidth(float width) { spineWidth = width; }
    // Fills the full rectangle of the format with the brush (never null); the shape comes from
    // the caller's clip to the clipping path.
    virtual void PaintBackground(LPaintContext& ctx, const LBrushInfo* brush) const;
    virtual void PaintBackground(LPDFWriter& writer, const LBrushInfo* brush) const;
    // Strokes the format's outline and guide lines in the opaque colour.
    virtual void PaintOutline(LPaintContext& ctx, const LGuiColor& color, float lineWidth,
        const LLineStyle* style) const = 0;
    virtual void PaintOutline(
        LPDFWriter& writer, const LGuiColor& color, float lineWidth) const = 0;
    // Appends the printable outline: the full rectangle here.
    virtual void GetClippingPath(LGraphicsPath& path) const;
    // Takes the printable ring of another disc geometry; nothing here.
    virtual void SetPrintableArea(const VTTemplateData& source);

    float spineWidth = 0;

protected:
    VTTemplateData() = default;
    explicit VTTemplateData(float spine)
        : spineWidth(spine)
    {
    }
    VTTemplateData(const VTTemplateData&) = default;
    VTTemplateData& operator=(const VTTemplateData&) = default;

    // The closed rectangle of the whole format.
    void AddFormatRectangle(LGraphicsPath& path) const;
    // Strokes the rectangle of the format and vertical guide lines at the given x positions.
    void StrokeFrameAndLines(LPaintContext& ctx, const LGuiColor& color, float lineWidth,
        const LLineStyle* style, const float* lineX, int lineCount) const;
    void StrokeFrameAndLines(LPDFWriter& writer, const LGuiColor& color, float lineWidth,
        const float* lineX, int lineCount) const;
};

class VTTemplateDataDiscCDDVDStandard : public VTTemplateData {
public:
    static constexpr float kWidth = 120.0f;
    static constexpr float kHeight = 120.0f;
    // The smallest inner diameter and the least distance between neighbouring diameters.
    static constexpr float kMinInnerDiameter = 15.5f;
    static constexpr float kMinGap = 0.5f;

    VTTemplateDataDiscCDDVDStandard() = default;

    const char* GetKey() const override { return "disccddvdstd"; }
    const char* GetDescriptionShort() const override { return "Skiva"; }
    const char* GetDescriptionLong() const override { return "Standardskiva"; }
    void GetDimensions(float& width, float& height) const override
    {
        width = kWidth;
        height = kHeight;
    }
    void PaintOutline(LPaintContext& ctx, const LGuiColor& color, float lineWidth,
        const LLineStyle* style) const override;
    void PaintOutline(LPDFWriter& writer, const LGuiColor& color, float lineWidth) const override;
    // The ring: outer circle, the band's two circles when it is in use, the inner circle, with
    // alternating directions so the band and the hole lie outside under either fill rule.
    void GetClippingPath(LGraphicsPath& path) const override;
    // Copies the ring of a disc source unchanged; a source of another format changes nothing.
    void SetPrintableArea(const VTTemplateData& source) override;

    // Stores the ring, pushing values outwards to keep 15.5 <= inner, inner + 0.5 <= band inner,
    // band inner + 0.5 <= band outer and band outer + 0.5 <= outer.
    virtual void SetDiscPrintableArea(
        float outer, float inner, bool useBand, float bandOuter, float bandInner);
    virtual void GetDiscPrintableArea(
        float& outer, float& inner, bool& useBand, float& bandOuter, float& bandInner) const;
    // max(value, band outer + 0.5).
    virtual void SetOuterDiameter(float value);
    virtual float GetOuterDiameter() const { return outerDiameter; }
    // Kept between 15.5 and band inner - 0.5.
    virtual void SetInnerDiameter(float value);
    virtual float GetInnerDiameter() const { return innerDiameter; }

    float outerDiameter = 118.0f;
    float innerDiameter = 35.0f;
    bool useBand = false;
    float bandOuterDiameter = 37.0f;
    float bandInnerDiameter = 36.0f;
};

class VTTemplateDataCaseCDStandardFront : public VTTemplateData {
public:
    static constexpr float kWidth = 240.0f;
    static constexpr float kHeight = 120.0f;

    const char* GetKey() const override { return "casecdstdfront"; }
    const char* GetDescriptionShort() const override { return "Fodral - Framsida"; }
    const char* GetDescriptionLong() const override { return "Standard-CD-fodral - Fram"; }
    void GetDimensions(float& width, float& height) const override
    {
        width = kWidth;
        height = kHeight;
    }
    void PaintOutline(LPaintContext& ctx, const LGuiColor& color, float lineWidth,
        const LLineStyle* style) const override;
    void PaintOutline(LPDFWriter& writer, const LGuiColor& color, float lineWidth) const override;
};

class VTTemplateDataCaseCDStandardBack : public VTTemplateData {
public:
    static constexpr float kWidth = 150.0f;
    static constexpr float kHeight = 118.0f;
    // The guide lines lie this far inside the left and right edges.
    static constexpr float kGuideInset = 5.0f;

    const char* GetKey() const override { return "casecdstdback"; }
    const char* GetDescriptionShort() const override { return "Mål - Tillbaka"; }
    const char* GetDescriptionLong() const override { return "Standard-CD-fodral - Baksida"; }
    void GetDimensions(float& width, float& height) const override
    {
        width = kWidth;
        height = kHeight;
    }
    void PaintOutline(LPaintContext& ctx, const LGuiColor& color, float lineWidth,
        const LLineStyle* style) const override;
    void PaintOutline(LPDFWriter& writer, const LGuiColor& color, float lineWidth) const override;
};

class VTTemplateDataJewelCaseInsertStandard : public VTTemplateData {
public:
    static constexpr float kWidth = 120.0f;
    static constexpr float kHeight = 120.0f;

    const char* GetKey() const override { return "jewelcaseinsertstd"; }
    const char* GetDescriptionShort() const override { return "Infoga"; }
    const char* GetDescriptionLong() const override { return "Standard Juvelfodral Infoga"; }
    void GetDimensions(float& width, float& height) const override
    {
        width = kWidth;
        height = kHeight;
    }
    void PaintOutline(LPaintContext& ctx, const LGuiColor& color, float lineWidth,
        const LLineStyle* style) const override;
    void PaintOutline(LPDFWriter& writer, const LGuiColor& color, float lineWidth) const override;
};

class VTTemplateDataCaseDVDStandard : public VTTemplateData {
public:
    static constexpr float kWidth = 272.0f;
    static constexpr float kHeight = 184.0f;
    static constexpr float kSpineWidth = 15.0f;

    VTTemplateDataCaseDVDStandard()
        : VTTemplateData(kSpineWidth)
    {
    }
    const char* GetKey() const override { return "casedvdstd"; }
    const char* GetDescriptionShort() const override { return "Fall"; }
    const char* GetDescriptionLong() const override { return "Standard DVD-fodral"; }
    void GetDimensions(float& width, float& height) const override
    {
        width = kWidth;
        height = kHeight;
    }
    // The rectangle and the two edges of the spine strip in the middle.
    void PaintOutline(LPaintContext& ctx, const LGuiColor& color, float lineWidth,
        const LLineStyle* style) const override;
    void PaintOutline(LPDFWriter& writer, const LGuiColor& color, float lineWidth) const override;
};

class VTTemplateDataCaseBluRayStandard : public VTTemplateData {
public:
    static constexpr float kWidth = 276.0f;
    static constexpr float kHeight = 149.86f;
    static constexpr float kSpineWidth = 13.0f;

    VTTemplateDataCaseBluRayStandard()
        : VTTemplateData(kSpineWidth)
    {
    }
    const char* GetKey() const override { return "casebluraystd"; }
    const char* GetDescriptionShort() const override { return "Fall"; }
    const char* GetDescriptionLong() const override { return "Standard BluRay fall"; }
    void GetDimensions(float& width, float& height) const override
    {
        width = kWidth;
        height = kHeight;
    }
    void PaintOutline(LPaintContext& ctx, const LGuiColor& color, float lineWidth,
        const LLineStyle* style) const override;
    void PaintOutline(LPDFWriter& writer, const LGuiColor& color, float lineWidth) const override;
};
