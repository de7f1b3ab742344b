// A window's native toolbar built from a table of rows: the rows' tooltips name their keyboard
// shortcuts, a setting per toolbar remembers the set of items (a changed set resets what the
// user arranged), items are enabled by command id, and the window layer asks for its height.
#pragma once

#include "lfw/mac/cocoa/LCocoaToolbarImpl.h"
#include "lfw/mac/cocoa/LKey.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class LMacWindow;
using LWindow = LMacWindow;
class LView;

class LToolBar {
public:
    // One row of a caller's table. The texts stay the caller's; a copy may own its tooltip.
    // The tabbed toolbar reads the type's low byte, the command, the image (its absolute value;
    // 0 for none), paletteLabel as the caption under the image and the tooltip.
    struct ToolBarItem {
        int type = 0; // kind: 0 a command button; kind 2 is left out of the known items
        int32_t command = 0;
        int32_t image = 0; // bitmap resource id
        const char* label = nullptr;
        const char* paletteLabel = nullptr;
        const char* tooltip = nullptr;
        uint8_t flags = 0;
        bool tooltipOwned = false;
    };

    LToolBar() = default;
    virtual ~LToolBar();
    LToolBar(const LToolBar&) = delete;
    LToolBar& operator=(const LToolBar&) = delete;

    // The name (at most 259 bytes) and the identifier "<application domain>.<name>".
    void SetToolBarName(const char* name);
    const char* GetToolBarName() const { return szName; }
    const char* GetToolBarIdentifier() const { return szIdentifier; }

    // Replaces the native toolbar by one made of the rows (nothing for count 0).
    virtual void SetToolBar(LWindow& window, const ToolBarItem* rows, size_t count,
        const LKeyToCommandMap* keys, size_t keyCount);
    void SetToolBar(LWindow& window, const ToolBarItem* rows, size_t count,
        const LKeyToCommandMap* keys, size_t keyCount, int, int)
    {
        SetToolBar(window, rows, count, keys, keyCount);
    }
    // Appends copies of the rows (tooltips with "%s (%s)" of the shortcut) and hands them on.
    void AddToolBarItems(
        const ToolBarItem* rows, size_t count, const LKeyToCommandMap* keys, size_t keyCount);
    // The known items are compared with ToolBar/<name>; a change resets the arrangement once.
    void UpdateToolBar();
    // A flexible space and "Hjälp" (command "ahlp", image 302, its shortcut in the tooltip).
    void AddHelp();
    void EnableToolBarItem(int commandId, bool enabled);
    // The labels of every row but kind 2, joined by single spaces.
    std::string GetKnownItemList() const;
    // Height in backing pixels of the visible toolbar of the content view's window; else 0.
    static int GetToolBarHeight(LView* view);

    size_t GetRowCount() const { return fRows.size(); }
    const ToolBarItem& GetRow(size_t i) const { return *fRows[i]; }
    LCocoaToolbarImpl* GetNativeToolbar() const { return fNative.get(); }
    // How often the arrangement was reset (each time the known items changed).
    int GetCustomisationResets() const { return iResets; }

private:
    void Clear();

    LWindow* pWindow = nullptr;
    std::vector<std::unique_ptr<ToolBarItem>> fRows;
    std::vector<std::unique_ptr<LCocoaToolbarRow>> fNativeRows;
    char szName[260] = "";
    char szIdentifier[260] = "";
    std::unique_ptr<LCocoaToolbarImpl> fNative;
    int iResets = 0;
};
