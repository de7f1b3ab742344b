// The small modal dialogs of the application: the welcome choice at start, the choice of a
// template format to add, and the printable rings of a disc label.
#pragma once

#include "app/VTTemplateData.h"
#include "lfw/gui/LSmallControls.h"
#include "lfw/mac/LDialog.h"

class LView;
class VTLabelLayoutTemplate;

// The welcome dialog's rows.
enum : int {
    kVTWelcomeGettingStarted = 2000,
    kVTWelcomeNewProject = 2001,
    kVTWelcomeOpenProject = 2002,
};

// The chosen row's id, or -1 when closed without a choice. "Settings"/"WelcomeDialogShow"
// follows the show-again check box whatever was chosen.
int VTWelcomeDialogOpen(LView* parent);
// True with the format set when one of the six formats was chosen.
bool VTAddTemplateDialogOpen(LView* parent, VTTemplateFormat& format);
// Edits the disc printable area of the template's geometry; false for a null template or when
// cancelled.
bool VTDiscDimensionsDialogOpen(LView* parent, VTLabelLayoutTemplate* t);

// The disc rings in millimetres.
struct VTDiscDimensions {
    float outer = 119.5f;
    float inner = 15.5f;
    bool band = false;
    float bandOuter = 37.0f;
    float bandInner = 36.0f;
};
// Whether the rings are in order: inner at least 15.5 mm and each diameter at least 0.5 mm
// larger than the next one inwards.
bool VTDiscDimensionsValid(const VTDiscDimensions& d);

class VTWelcomeDialog : public LDialogMenu {
public:
    explicit VTWelcomeDialog(LView* parent);
    // The chosen id or -1; stores the show-again setting.
    int Open();
};

class VTAddTemplateDialog : public LDialog {
public:
    bool Open(LView* parent, VTTemplateFormat& format);
    void InitDialog() override;
    void Command(int id, int code) override;
    void EnableControls() override;
    bool CmOk() override;
    void CmHelp() override;

    VTTemplateFormat* format = nullptr; // the caller's variable
};

class VTDiscDimensionsDialog : public LDialog {
public:
    bool Open(LView* parent, VTLabelLayoutTemplate* t);
    void InitDialog() override;
    // The template's controls and the button row take their places at the new text size.
    void EvTextSizeChanged() override;
    void Command(int id, int code) override;
    void EnableControls() override;
    bool CmOk() override;
    void CmHelp() override;

    // Shows the values (millimetres) in the current unit.
    void ShowValues(const VTDiscDimensions& d);
    // The four inputs and the band box, in millimetres.
    VTDiscDimensions ReadValues();

    VTDiscDimensions values; // in, and on acceptance out
    LDecimalInputControl outerInput, bandOuterInput, bandInnerInput, innerInput;
    int unit = 0;

private:
    void PlaceButtonRow();
};
