#include "app/controls/VTControlAlignment.h"
#include "app/controls/VTControlFontStyle.h"
#include "app/controls/VTControlPaginator.h"
#include "app/controls/VTControlPaperOrientation.h"
#include "app/controls/VTControlTransform.h"

#include "lfw/mac/LControlFlags.h"
#include "lfw/mac/cocoa/LCocoaButtonImpl.h"
#include "lfw/mac/cocoa/LKey.h"

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <cstring>

namespace {

void SetButtonIcon(LWindow& window, int id, int icon)
{
    if (auto* button = dynamic_cast<LCocoaButtonImpl*>(window.GetControlHandle(id)))
        button->setImageWithResourceID(icon);
}

} // namespace

// --- alignment pad -----------------------------------------------------------------------------

namespace {

const char* const kAlignmentToolTips[9] = {
    "Justera till vänster överst",
    "Justera mot övre mitten",
    "Justera till övre högra",
    "Justera mot mitten till vänster",
    "Justera mot mitten",
    "Justera mot mitten till höger",
    "Justera till vänster längst ned",
    "Justera mot nedersta mitten",
    "Justera till nederkant till höger",
};

bool IsUpDownButton(int a)
{
    return a == 1 || a == 7;
}

} // namespace

VTControlAlignment::~VTControlAlignment()
{
    Destroy();
}

void VTControlAlignment::InitDialog()
{
    CoolButtonContainerInit(*this);
    for (int a = 0; a < 9; ++a) {
        AddCoolButtonIconOnly(1000 + a);
        SetButtonIcon(*this, 1000 + a, 376 + a);
        CoolButtonInit(1000 + a, true, false);
        SetControlToolTip(1000 + a, kAlignmentToolTips[a]);
    }
    // Two-state from the start (not only from the first click on).
    ButtonDownAlignment(-1);
}

void VTControlAlignment::DestroyDialog()
{
    CoolButtonContainerDestroy(*this);
}

void VTControlAlignment::LayoutControls(int x, int y, int width, int)
{
    const int b = R(4 * CharW());
    const int g = R(0.25 * CharW()) / 2;
    const int x0 = x + (width - 3 * b - 2 * g) / 2;
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c)
            MoveControlPixels(1000 + 3 * r + c, x0 + c * (b + g), y + r * (b + g), b, b);
}

void VTControlAlignment::Command(int id, int code)
{
    if (id < 1000 || id > 1008) {
        LMacWindow::Command(id, code);
        return;
    }
    const LAlignment a = id - 1000;
    if (bUpDownOnly && !IsUpDownButton(a))
        return;
    ButtonDownAlignment(a);
    NotifyAll(&VTControlAlignmentNotifyee::EvChangeAlignment, *this, a);
}

void VTControlAlignment::ButtonDownAlignment(LAlignment alignment)
{
    for (int a = 0; a < 9; ++a)
        SetCoolButtonDown(1000 + a, a == alignment);
}

void VTControlAlignment::EnableUpDownButtons(bool upDownOnly)
{
    bUpDownOnly = upDownOnly;
    for (int a = 0; a < 9; ++a)
        EnableControl(1000 + a, !upDownOnly || IsUpDownButton(a));
}

// --- transform row -----------------------------------------------------------------------------

namespace {

struct TransformButton {
    int id;
    int icon;
    const char* tip;
};
constexpr TransformButton kTransformButtons[6] = {
    { 1000, 370, "Rotera åt vänster" },
    { 1001, 371, "Rotera åt höger" },
    { 1002, 372, "Vänd vågrätt" },
    { 1003, 373, "Vänd lodrätt" },
    { 1004, 375, "Höj markering" },
    { 1005, 374, "Lägre markering" },
};

// Ctrl+= raises, Ctrl+- lowers.
const LKeyToCommandMap kTransformKeys[] = {
    { LKey(LKey::kCommand | '='), 1004 },
    { LKey(LKey::kCommand | '-'), 1005 },
};

} // namespace

VTControlTransform::VTControlTransform(bool withoutFlipButtons, bool withoutRaiseLowerButtons)
    : bWithoutFlip(withoutFlipButtons)
    , bWithoutRaiseLower(withoutRaiseLowerButtons)
{
}

VTControlTransform::~VTControlTransform()
{
    Destroy();
}

int VTControlTransform::GetButtonCount() const
{
    return 2 + (bWithoutFlip ? 0 : 2) + (bWithoutRaiseLower ? 0 : 2);
}

int VTControlTransform::GetButtonId(int index) const
{
    int n = 0;
    for (const TransformButton& b : kTransformButtons) {
        if (bWithoutFlip && (b.id == 1002 || b.id == 1003))
            continue;
        if (bWithoutRaiseLower && (b.id == 1004 || b.id == 1005))
            continue;
        if (n++ == index)
            return b.id;
    }
    return -1;
}

void VTControlTransform::InitDialog()
{
    LButtonFlags flags;
    flags.checkButton = true; // a two-state push button ...
    flags.imageMode = 1; // ... with an icon
    for (int i = 0; i < GetButtonCount(); ++i) {
        const TransformButton& b = kTransformButtons[GetButtonId(i) - 1000];
        AddButton(b.id, "", flags);
        SetButtonIcon(*this, b.id, b.icon);
    }
    LMacWindow::ToolListItem tools[6];
    unsigned long count = 0;
    for (int i = 0; i < GetButtonCount(); ++i) {
        const TransformButton& b = kTransformButtons[GetButtonId(i) - 1000];
        tools[count++] = { b.id, b.tip };
    }
    AddTools(fToolTip, tools, count, kTransformKeys, std::size(kTransformKeys));
}

void VTControlTransform::LayoutControls(int x, int y, int width, int)
{
    const int n = GetButtonCount();
    const int g = R(1.25 * CharW());
    const int w = std::max(0, (width - (n - 1) * g) / n);
    const int h = 2 * RowHeight();
    for (int i = 0; i < n; ++i)
        MoveControlPixels(GetButtonId(i), x + i * (w + g), y, w, h);
}

void VTControlTransform::Command(int id, int code)
{
    using N = VTControlTransformNotifyee;
    void (N::*event)(VTControlTransform&) = nullptr;
    switch (id) {
    case 1000:
        event = &N::EvRotateLeft;
        break;
    case 1001:
        event = &N::EvRotateRight;
        break;
    case 1002:
        event = bWithoutFlip ? nullptr : &N::EvFlipHorizontal;
        break;
    case 1003:
        event = bWithoutFlip ? nullptr : &N::EvFlipVertical;
        break;
    case 1004:
        event = bWithoutRaiseLower ? nullptr : &N::EvRaise;
        break;
    case 1005:
        event = bWithoutRaiseLower ? nullptr : &N::EvLower;
        break;
    default:
        LMacWindow::Command(id, code);
        return;
    }
    // A button the control was built without goes nowhere.
    if (!event)
        return;
    if (!NotifyAll(event, *this))
        return;
    // The buttons act as plain push buttons.
    SetCheck(id, false);
}

void VTControlTransform::EnableRaiseLowerControls(bool raise, bool lower)
{
    EnableControl(1004, raise);
    EnableControl(1005, lower);
}

// --- paper orientation -------------------------------------------------------------------------

VTControlPaperOrientation::~VTControlPaperOrientation()
{
    Destroy();
}

void VTControlPaperOrientation::InitDialog()
{
    CoolButtonContainerInit(*this);
    AddCoolButtonIconText(1000, "Porträtt");
    SetButtonIcon(*this, 1000, 368);
    CoolButtonInit(1000, true, false);
    SetControlToolTip(1000, "Porträtt");
    AddCoolButtonIconText(1001, "Landskap");
    SetButtonIcon(*this, 1001, 369);
    CoolButtonInit(1001, true, false);
    SetControlToolTip(1001, "Landskap");
    SetCoolButtonDown(1000, false);
    SetCoolButtonDown(1001, false);
}

void VTControlPaperOrientation::DestroyDialog()
{
    CoolButtonContainerDestroy(*this);
}

void VTControlPaperOrientation::LayoutControls(int x, int y, int width, int)
{
    const int gap = R(1.25 * CharW());
    const int w = std::max(0, (width - gap) / 2);
    const int h = int(40 * GetBackingScaleFactor());
    MoveControlPixels(1000, x, y, w, h);
    MoveControlPixels(1001, x + w + gap, y, w, h);
}

void VTControlPaperOrientation::Command(int id, int code)
{
    if (id != 1000 && id != 1001) {
        LMacWindow::Command(id, code);
        return;
    }
    SetCoolButtonDown(1000, id == 1000);
    SetCoolButtonDown(1001, id == 1001);
    NotifyAll(&VTControlPaperOrientationNotifyee::EvPaperOrientationChanged, *this,
        id == 1000 ? LPaperSizeOrientationPortrait : LPaperSizeOrientationLandscape);
}

// --- font style --------------------------------------------------------------------------------

namespace {

constexpr LFontStyleValue kOn = 2, kOff = 1;

} // namespace

VTControlFontStyle::~VTControlFontStyle()
{
    Destroy();
}

void VTControlFontStyle::InitDialog()
{
    AddStatic(1003, "Teckenstil:");
    LButtonFlags flags;
    flags.checkButton = true;
    const char* const titles[3] = { "B", "\u2160", "U" };
    const char* const tips[3] = { "Djärva", "Kursiv", "Understryka" };
    // bold, italic, underline per button (0: as the base font)
    const LFontStyleValue styles[3][3] = {
        { kOn, 0, 0 },
        { kOff, kOn, 0 },
        { kOff, kOff, kOn },
    };
    for (int i = 0; i < 3; ++i) {
        AddButton(1000 + i, titles[i], flags);
        SetControlToolTip(1000 + i, tips[i]);
        LView* view = GetControlHandle(1000 + i);
        fFonts[i].CreateFromDialog(
            view, 2.0f, "Times New Roman", styles[i][0], styles[i][1], styles[i][2], 0);
        SetControlFont(view, fFonts[i]);
    }
}

void VTControlFontStyle::LayoutControls(int, int y, int width, int)
{
    const int b = R(4.5 * CharW());
    const int g = R(1.25 * CharW());
    int left = width - g - b;
    for (int id = 1002; id >= 1000; --id, left -= g + b)
        MoveControlPixels(id, left, y, b, b);
    MoveControlPixels(1003, 0, y + (b - RowHeight()) / 2, 4 * (g + b), b);
}

void VTControlFontStyle::Command(int id, int code)
{
    if (id >= 1000 && id <= 1002) {
        NotifyAll(&VTControlFontStyleNotifyee::EvFontStyleChanged, *this);
        return;
    }
    LMacWindow::Command(id, code);
}

void VTControlFontStyle::EvPullDownListChanged(VTControlPullDownList& list)
{
    char family[kVTControlTextSize] = "";
    list.PDLGetText(1001, family);
    if (family[0])
        UpdateBoldItalicButtonsState(family);
}

void VTControlFontStyle::UpdateBoldItalicButtonsState(const char* family)
{
    if (!family || !IsControlAlive())
        return;
    if (fFamily != family) {
        LFontsInstalledIterator it;
        it.CreateList();
        for (; it.IsValid(); it.Next())
            if (std::strcmp(*it, family) == 0)
                break;
        fFamily = family;
        fFamilyInstalled = it.IsValid();
        fFamilyBold = fFamilyInstalled && it.HasBoldStyle();
        fFamilyItalic = fFamilyInstalled && it.HasItalicStyle();
    }
    if (!fFamilyInstalled)
        return;
    const bool enabled = IsWindowEnabled();
    const bool hasBold = fFamilyBold;
    const bool hasItalic = fFamilyItalic;
    EnableControl(1000, hasBold && enabled);
    if (!hasBold)
        SetCheck(1000, false);
    EnableControl(1001, hasItalic && enabled);
    if (!hasItalic)
        SetCheck(1001, false);
}

// --- paginator ---------------------------------------------------------------------------------

VTControlPaginator::~VTControlPaginator()
{
    Destroy();
}

void VTControlPaginator::InitDialog()
{
    CoolButtonContainerInit(*this);
    AddCoolButtonIconOnly(1000);
    SetButtonIcon(*this, 1000, 379);
    CoolButtonInit(1000, true, false);
    SetControlToolTip(1000, "Föregående sida");
    AddStatic(1001);
    iCurrentPage = 10;
    iPageCount = 10;
    EnableControls();
    AddCoolButtonIconOnly(1002);
    SetButtonIcon(*this, 1002, 381);
    CoolButtonInit(1002, true, false);
    SetControlToolTip(1002, "Nästa sida");
    EnableControl(1002, iCurrentPage < iPageCount);
}

void VTControlPaginator::DestroyDialog()
{
    CoolButtonContainerDestroy(*this);
}

void VTControlPaginator::LayoutControls(int x, int y, int width, int)
{
    const int b = R(4 * CharW());
    const int row = RowHeight();
    MoveControlPixels(1000, x, y, b, row);
    MoveControlPixels(1002, x + width - b, y, b, row);
    const int text = MeasureStaticTextWidthPixels(szShown);
    const int k = b + R(1.25 * CharW());
    MoveControlPixels(1001, x + k + (width - text - 2 * k) / 2, y, text, row);
}

void VTControlPaginator::EnableControls()
{
    if (!IsControlAlive())
        return;
    char shown[kVTControlTextSize];
    std::snprintf(shown, sizeof shown, "Sidan %" PRIu64 " av %" PRIu64, iCurrentPage, iPageCount);
    const bool changed = std::strcmp(shown, szShown) != 0;
    if (changed) {
        std::memcpy(szShown, shown, sizeof shown);
        SetStaticText(1001, szShown);
    }
    EnableControl(1000, iCurrentPage > 1);
    EnableControl(1002, iCurrentPage < iPageCount);
    // The text is as wide as it is: centred again when it changed.
    if (changed && IsInitialised())
        RelayoutWindow();
}

void VTControlPaginator::Command(int id, int code)
{
    if (id == 1000) {
        NotifyAll(&VTControlPaginatorNotifyee::EvControlPaginatorPreviousClicked);
        return;
    }
    if (id == 1002) {
        NotifyAll(&VTControlPaginatorNotifyee::EvControlPaginatorNextClicked);
        return;
    }
    LMacWindow::Command(id, code);
}
