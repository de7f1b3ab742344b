// The maker's logo centred on a grey ground: a painted control of the main window.
#pragma once

#include "lfw/graphics/LImageBuffer.h"
#include "lfw/gui/LPaintControl.h"

class LZorLogoBackground {
public:
    // Loads the logo (image resource 335).
    LZorLogoBackground();
    const LImageBuffer& GetImage() const { return fImage; }
    LImageBuffer& GetImage() { return fImage; }

private:
    LImageBuffer fImage;
};

// Fills the rectangle with opaque grey (128, 128, 128) and draws the image centred on it; an
// image larger than the rectangle is not drawn.
template <class Surface>
void DrawZORLogoImageBackgroundOffsetTemplate(
    LPaintContext& context, int x, int y, int w, int h, const LImageBuffer& image);

class LZorLogoBackgroundControl : public LPaintControlPrePaint {
public:
    LZorLogoBackgroundControl() { bDimWhenDisabled = false; }
    ~LZorLogoBackgroundControl() override { DestroyPaintControl(); }
    void Prepaint(LPaintContext& context) override;
    LZorLogoBackground& GetLogo() { return fLogo; }

private:
    LZorLogoBackground fLogo;
};
