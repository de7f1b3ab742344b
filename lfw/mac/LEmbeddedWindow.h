// An embedded pane: a window object whose content view sits inside another window (a property
// page, a wizard page). It is built from a generated template or at a pixel size, lays its
// controls out for its client size, and is torn down with Destroy.
#pragma once

#include "lfw/mac/LDialog.h"
#include "lfw/mac/LScrollView.h"

class LEmbeddedWindow : public LDialog {
public:
    ~LEmbeddedWindow() override;

    // Builds the pane inside the parent from the template (size in points), then InitDialog,
    // the ready flag and EnableControls. Nothing when it exists already.
    void Init(LWindow& parent, const LDialog::OpenGenData& data);
    // The same at a size in backing pixels, without template.
    void Init(LWindow& parent, int width, int height);
    // Closing flag, DestroyDialog, its painted controls, its view.
    void Destroy();
    // Client size in backing pixels.
    int GetClientAreaWidth() const;
    int GetClientAreaHeight() const;
    // Lays the controls out for the current client size (nothing before the pane is ready).
    void RelayoutWindow() override;
    virtual void LayoutControls(int width, int height)
    {
        (void)width;
        (void)height;
    }

protected:
    LScrollView fPageScrollView; // the host scroll view the pane answers to

private:
    void InitCommonEmbedded(
        LWindow& parent, double widthPoints, double heightPoints, const LDialog::OpenGenData* data);
};
