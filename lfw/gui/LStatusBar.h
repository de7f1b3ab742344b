// The two painted bars along the bottom of a main window. The status bar (control 800) shows up
// to eight parts side by side, each with a text, an optional icon, tooltip and command. The info
// bar (control 9599) is a notice strip above it with a message, up to three buttons and a close
// button; showing it grows the window by its height, and any of its buttons hides it again.
#pragma once

#include "lfw/gui/LPaintControl.h"
#include "lfw/mac/LGuiFont.h"
#include "lfw/mac/LGuiImage.h"

class LStatusBar;

enum : int {
    kLStatusBarControlId = 800,
    kLInfoBarControlId = 9599,
};

class LStatusBarPainter : public LPaintControl {
public:
    explicit LStatusBarPainter(LStatusBar& owner)
        : pOwner(&owner)
    {
    }
    void PainterInit(LWindow& window);
    void Paint(LPaintContext& context) override;
    void EvMouseMove(int x, int y) override;
    void EvMouseOut() override;
    void EvLButtonUp(int x, int y) override;

    LGuiFont fFont;
    float fPointSize = 0;

private:
    LStatusBar* pOwner;
};

class LStatusBar {
public:
    static constexpr int kMaxParts = 8;
    struct Part {
        char text[260] = "";
        char tooltip[260] = "";
        int width = 2000;
        LGuiImage image;
        int command = -1;
    };

    LStatusBar();
    virtual ~LStatusBar();
    LStatusBar(const LStatusBar&) = delete;
    LStatusBar& operator=(const LStatusBar&) = delete;

    void StatusBarInit(LView* contentView, int);
    // Right edges in pixels (-1: the rest); the count is limited to 0-8.
    void StatusBarSetParts(int count, const int* rightEdges);
    void StatusBarSetText(const char* text, int part);
    // A part's tooltip, icon (image resource id, 0 none) and command (-1 none).
    void StatusBarSetTip(int part, const char* text);
    void StatusBarSetIcon(int part, int resourceId);
    void StatusBarSetCommand(int part, int command);
    // Places control 800 at the bottom of the client area and takes its height from height.
    static void StatusBarLayout(LView* contentView, int& width, int& height);

    int GetPartCount() const { return iPartCount; }
    const Part& GetPart(int i) const { return fParts[i]; }
    // The part whose cumulative right edge first exceeds x, or -1.
    int GetPartUnderPoint(int x) const;
    LStatusBarPainter& GetPainter() { return fPainter; }
    // The tooltip the bar set on its host ("" when none).
    const char* GetCurrentTip() const;

    // Mouse, from the painter.
    void EvStatusBarMouseMove(int x);
    void EvStatusBarMouseOut();
    void EvStatusBarLButtonUp(int x);

private:
    friend class LStatusBarPainter;
    LStatusBarPainter fPainter;
    LView* pContentView = nullptr;
    Part fParts[kMaxParts];
    int iPartCount = 1;
    bool bTooltipSet = false;
    int iPartUnderMouse = -1;
};

// The info bar's common part; LInfoBar<T> binds it to its window class.
class LInfoBarBase : public LPaintControlPrePaint {
public:
    struct LInfoBarButton {
        char text[260] = "";
        int command = -1;
        bool style = true;
        LRectangle rect;
    };
    struct LInfoBarCloseButton {
        int command = 0;
        LRectangle rect;
    };

    explicit LInfoBarBase(LWindow& window);
    ~LInfoBarBase() override;

    void Init();
    void Show(const char* message, const char* button1, int id1, const char* button2, int id2,
        const char* button3, int id3, int closeButtonId);
    void Hide();
    void Layout(int& x, int& y, int& width, int& height);
    int GetWindowHeightAjustment() const;
    bool IsVisible() const { return bVisible; }

    void Prepaint(LPaintContext& context) override;
    void EvMouseMove(int x, int y) override;
    void EvLButtonDown(int x, int y) override;
    void EvLButtonUp(int x, int y) override;
    void EvMouseOut() override { iHotId = -1; }

    const LInfoBarButton& GetButton(int i) const { return fButtons[i]; }
    const LInfoBarCloseButton& GetCloseButton() const { return fClose; }
    const char* GetMessage() const { return szMessage; }
    // How much the last Show grew the window (what Hide gives back).
    int GetGrownBy() const { return iGrownBy; }

private:
    int BarHeight() const;
    // The id of the button under the point, or -1.
    int HitId(int x, int y) const;
    void DrawCloseButton(LPaintContext& context, int width, int height);
    void DrawButton(LPaintContext& context, LInfoBarButton& button, int x, int w, int height);
    void RelayoutWindow();

    LWindow* pWindow;
    bool bVisible = false;
    char szMessage[260] = "";
    LInfoBarButton fButtons[3];
    LInfoBarCloseButton fClose;
    int iHotId = -1;
    int iPressedId = -1;
    bool bBorderDashed = false;
    LGuiColor fBorderColor = LGuiColor::FromRGB8(145, 145, 145);
    int iBorderWidth = 1;
    LGuiFont fFont;
    bool bFontMade = false;
    int iGrownBy = 0;
};

template <class T> class LInfoBar : public LInfoBarBase {
public:
    explicit LInfoBar(T& owner)
        : LInfoBarBase(owner)
    {
    }
};
