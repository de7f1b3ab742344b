// The options dialog "Vorantel Inställningar": a property sheet with the general page (welcome
// dialog at start, measurement unit, default paper size and the paper-margin guides) and the
// background page (whether background images keep their proportions). Everything is stored in
// the user settings, section "Settings".
#pragma once

#include "lfw/gui/LSmallControls.h"
#include "lfw/mac/LPropertySheet.h"

class LView;

inline constexpr const char* kVTSettingWelcomeDialogShow = "WelcomeDialogShow";
inline constexpr const char* kVTSettingPaperMarginWidth = "PaperMarginWidth";
inline constexpr const char* kVTSettingPaperMarginHeight = "PaperMarginHeight";
inline constexpr const char* kVTSettingBackgroundAspectRatio = "BacgroundAspectRatio";

// True when the dialog was accepted.
bool VTOptionsDialogOpen(LView* parent);

// A length in millimetres in the unit (0 millimetres, 1 inches), and back.
double VTLengthToUnit(double mm, int unit);
double VTLengthFromUnit(double value, int unit);
// A margin setting in millimetres: a missing, negative or unreadable value is 0.
double VTPaperMarginSettingGet(const char* key);
// "%f" of the value with a decimal point whatever the locale ("12.700000").
void VTFormatSettingNumber(char* out, size_t size, double value);
// Whether a "Settings" flag is on: anything but a value starting with "0" (missing is on).
bool VTSettingFlagGet(const char* key);

class VTOptionsPageGeneral : public LPropertyPage {
public:
    void InitDialog() override;
    void Command(int id, int code) override;
    bool CmOk() override;
    bool CmCancel() override;
    void CmHelp() override;

    void SetPaperMarginControlMaxValues();
    void SetPaperMarginControlLabels();

    LDecimalInputControl marginWidthInput;
    LDecimalInputControl marginHeightInput;
    double marginWidth = 0; // mm
    double marginHeight = 0;
    int initialUnit = 0;
    bool initialising = false;

private:
    int SelectedUnit();
    void ShowMargins();
};

class VTOptionsPageBackground : public LPropertyPage {
public:
    void InitDialog() override;
    bool CmOk() override;
    void CmHelp() override;
};

// The sheet with its two pages; it hands Cancel to its pages, so that they can put back what
// they stored at once.
class VTOptionsDialog : public LPropertySheet {
public:
    VTOptionsDialog();
    bool Open(LView* parent);
    bool CmCancel() override;

    VTOptionsPageGeneral general;
    VTOptionsPageBackground background;
};
