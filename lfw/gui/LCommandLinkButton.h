// The command-link button of choice dialogs and the installer: a large flat button with an arrow,
// a title in a larger font and a note below it in a smaller one. It highlights under the pointer
// and posts its control id to its window as a command when clicked (or when Return or Space is
// pressed while it has the focus). It is a stop of the Tab key and of the arrow keys, and shows
// the focus with a frame in the focus colour. Its host view owns it.
#pragma once

#include "lfw/gui/LPaintControl.h"
#include "lfw/mac/LGuiImage.h"
#include "lfw/mac/cocoa/LCocoaPaintControlImpl.h"

#include <memory>

class LCommandLinkButton;

// The host view of a command-link button; it owns the button.
class LCocoaCommandLinkButton : public LCocoaPaintControlImpl {
public:
    LCocoaCommandLinkButton(const LUiRect& frame, int cid, LCocoaWindow* window);

    void setCmdLinkBtn(LCommandLinkButton* button);
    LCommandLinkButton* cmdLinkBtn() const { return fButton.get(); }

protected:
    ~LCocoaCommandLinkButton() override;

private:
    std::unique_ptr<LCommandLinkButton> fButton;
};

class LCommandLinkButton : public LPaintControl {
public:
    LCommandLinkButton();
    ~LCommandLinkButton() override;

    // Adds a button under the id to the window's content view; the dialog then moves and sizes
    // it. Returns the host view.
    static LView* AddCommandLink(LWindow& window, int id, const char* title, const char* note);
    // 0, 0 unless the window's view under the id is a command-link button.
    static void MeasureCommandLinkButtonSizePixels(
        const LWindow& window, int id, int& width, int& height);

    // Binds to the window's view under the id (nothing without one); "&" marks are dropped.
    void Init(LWindow& window, int id, const char* title, const char* note);
    // The size the button needs in pixels; 0, 0 when unbound.
    void MeasureCommandLinkButtonSizePixels(int& width, int& height) const;

    const char* GetTitle() const { return szTitle; }
    const char* GetNote() const { return szNote; }
    bool IsHovered() const { return bHover; }
    bool IsPressed() const { return bPressed; }
    // Whether its view has the keyboard focus.
    bool IsFocused() const;

    void Paint(LPaintContext& context) override;
    void EvMouseIn() override;
    void EvMouseOut() override;
    void EvLButtonDown(int x, int y) override;
    void EvLButtonUp(int x, int y) override;
    bool EvKeyDown(LKey key) override;

private:
    struct Metrics {
        int q, a, i, b, n, limit;
    };
    Metrics GetMetrics() const;
    // Title width and height, note column and note height, measured in the context.
    void MeasureTexts(LPaintContext& context, int& tw, int& th, int& nc, int& nh) const;
    void PostClick();

    bool bHover = false;
    bool bPressed = false;
    char szTitle[260] = "";
    char szNote[260] = "";
    LGuiIcon fArrow;
};

// Choice dialogs show their choices as command-link buttons from now on.
void LCommandLinkButtonInstallHooks();
