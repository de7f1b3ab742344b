// The dialog classes on the window object: the modal LDialog (from a generated template record
// or blank at a size), the floating LModelessDialog with its optional auto-close when the focus
// leaves, the resizable dialog (LMacKeyDialog<LDialog> with the relayout mixin LResizable), and
// the choice dialog LDialogMenu, which offers a list of command links.
#pragma once

#include "lfw/mac/LMacKeyDialog.h"
#include "lfw/mac/LMacWindow.h"
#include "lfw/mac/cocoa/LCocoaBridges.h"

// The window object of a view: the one associated with it, else its native window's.
LWindow* LDialogWindowOfView(LView* view);

class LDialog : public LMacWindow {
public:
    // The generated template record.
    struct OpenGenData {
        int width; // client size in points
        int height;
        char title[260];
        bool closable;
        void (*generator)(LDialog& dialog, int x0, int y0, bool addButtons);
    };

    LDialog() { fPanel = false; }
    ~LDialog() override;

    virtual bool Run(LWindow* parent, LCocoaDialogCenterMode mode);

    // Builds the window from the record and runs it centred on the screen; true when closed
    // with OK. A dialog that is open already is only brought forward (false).
    bool Open(LView* parent, const OpenGenData& data);
    void CreateFromLXA(const OpenGenData& data);
    // A window of round(widthChars x cw) x round(heightChars x ch) pixels, run over the parent.
    bool OpenBlankNonResizable(LView* parent, float widthChars, float heightChars);
    // The same in units of two points.
    bool OpenBlankNonResizable(LView* parent, int width, int height);

    // Whether the window is there and not closing.
    bool IsOpen() const;
    void SetPanelFlag(bool panel) { fPanel = panel; }

    // A dialog made from a template takes the size the template gives at the new text size, its
    // controls their places in it.
    void EvTextSizeChanged() override;

protected:
    void CreateBlank(int widthPixels, int heightPixels, unsigned long style);

private:
    // The template's client size in points at the default text size (0: not from a template).
    int fTemplateWidth = 0;
    int fTemplateHeight = 0;
};

class LModelessDialog : public LDialog {
public:
    ~LModelessDialog() override;

    bool Run(LWindow* parent, LCocoaDialogCenterMode mode) override;
    // Closes the dialog with Cancel when its parent window closes or another window takes the
    // focus; it then also works while another window runs modally.
    void SetAutoCloseOnFocusLost(bool on);
    bool AutoCloseOnFocusLost() const { return fAutoClose; }
    void SetShowFlag(bool show) { fShow = show; }
    void EvDeactivate() override;
    void Close() override { Close(kLCmdCancel); }
    void Close(int code) override;

private:
    static void ParentDestroyed(LNativeWindow* window, void* data);
    void StopObserving();

    bool fAutoClose = false;
    bool fShow = true;
    LNativeWindow* fObservedParent = nullptr;
};

// Lays a window's controls out again after the user resized it.
class LResizable : public LCocoaResizableBridge {
public:
    virtual ~LResizable() = default;
    virtual void LayoutControls(int width, int height) = 0;
    virtual void EvBoundsChanged() { }

    void RelayoutControls(LCocoaWindow& window) override;
    void EvWindowWillMiniaturize(LNativeWindow& window) override;
    bool EvWindowShouldZoom(LNativeWindow& window) override;
    void EvWindowDidResize(LNativeWindow& window, const LUiRect& previousFrame) override;

    // Hooks the mixin to the window (its manager calls it from now on).
    void ResizableHook(LWindow& window);

    LWindow* window = nullptr;
    int lastWidth = 0;
    int lastHeight = 0;
    int zoomCommand = -1;
    int unzoomCommand = -1;
    int miniaturizeCommand = -1;

    // The edge a resize moved: 1 left, 2 right, 3 top, 6 bottom, 4 top left, 5 top right,
    // 7 bottom left, 8 bottom right, 0 otherwise (frames in screen points, y down).
    static int EdgeCode(const LUiRect& oldFrame, const LUiRect& newFrame);

private:
    bool IsOwnLiveWindow(LNativeWindow& w) const;
};

class LResizableDialog : public LMacKeyDialog<LDialog>, public LResizable {
public:
    ~LResizableDialog() override;
    // Sizes in character units; false when the dialog was open already (it is then shown).
    bool Open(LView* parent, const char* section, int width, int height, int minWidth,
        int minHeight, int, int);
    void Close() override { Close(IsPanel() ? kLCmdOk : kLCmdCancel); }
    // Stores the size and place under the settings section, then closes.
    void Close(int code) override;
    const char* Section() const { return fSection; }
    // Stores the size and place under the settings section.
    void DestroyDialog() override;
    // The smallest size, in characters, takes the new character cell.
    void EvTextSizeChanged() override;

private:
    const char* fSection = nullptr;
    int fMinWidthChars = 0;
    int fMinHeightChars = 0;
};

struct LDialogMenuItem {
    int id; // 0 or less ends the list
    const char* text;
    const char* note;
};

// The command links of the choice dialog: the layers above install the painted command-link
// button; without it a flat button stands in.
struct LDialogMenuHooks {
    LView* (*addCommandLink)(LWindow& window, int id, const char* title, const char* note)
        = nullptr;
    void (*measureCommandLink)(const LWindow& window, int id, int& width, int& height) = nullptr;
};
LDialogMenuHooks& LDialogMenuHooksGet();

class LDialogMenu : public LDialog {
public:
    LDialogMenu(LView* parent, const char* title, const char* heading, const char* subText,
        const LDialogMenuItem* items, int defaultId, bool closable);

    // The chosen item's id, or -1.
    int Run();
    using LDialog::Run;
    void SetShowAgainCheckBoxLabel(const char* label);

    void InitDialog() override;
    void Command(int id, int code) override;
    bool CmOk() override;
    bool CmCancel() override;
    // Return from the check box chooses the default link.
    bool EvDefaultKey() override;

    bool bCancelAllowed = true;
    bool bShowCancel = true;
    bool bShowAgainShown = false;
    bool bShowAgain = true;
    int iChosenId = -1;

    // The links, texts and buttons take their places at the new text size.
    void EvTextSizeChanged() override;

private:
    void RememberCheckBox();
    // Places the controls for the present character cell and sizes the dialog to them.
    void PlaceControls();

    LView* pLine = nullptr; // the line above the check box and button
    LView* pParent;
    const char* szTitle;
    const char* szHeading;
    const char* szSubText;
    int iCount = 0;
    const LDialogMenuItem* pItems;
    int iDefaultId;
    char szShowAgainLabel[260];
    bool bClosable;
};
