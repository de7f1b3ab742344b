#include "lfw/gui/LToolBar.h"

#include "lfw/gen/LString.h"
#include "lfw/gen/LUserSettings.h"
#include "lfw/mac/LMacWindow.h"
#include "platform/ui/LNativeWindow.h"
#include "platform/ui/LView.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace {

constexpr int kKindLeftOut = 2;

// The first row of the map for the command; null when none.
const LKeyToCommandMap* FindKey(const LKeyToCommandMap* keys, size_t count, int command)
{
    for (size_t i = 0; keys && i < count; ++i)
        if (keys[i].command == command)
            return &keys[i];
    return nullptr;
}

} // namespace

LToolBar::~LToolBar()
{
    Clear();
}

void LToolBar::Clear()
{
    fNative.reset();
    for (auto& row : fRows)
        if (row->tooltipOwned)
            delete[] row->tooltip;
    fRows.clear();
    fNativeRows.clear();
}

void LToolBar::SetToolBarName(const char* name)
{
    utf8strlcpy(szName, name ? name : "", sizeof szName);
    char identifier[600];
    snprintf(identifier, sizeof identifier, "%s.%s", LSettingGetApplicationDomain(), szName);
    utf8strlcpy(szIdentifier, identifier, sizeof szIdentifier);
}

void LToolBar::SetToolBar(LWindow& window, const ToolBarItem* rows, size_t count,
    const LKeyToCommandMap* keys, size_t keyCount)
{
    if (count == 0 || !rows)
        return;
    Clear();
    pWindow = &window;
    fNative = std::make_unique<LCocoaToolbarImpl>(&window, szIdentifier);
    AddToolBarItems(rows, count, keys, keyCount);
    UpdateToolBar();
}

void LToolBar::AddToolBarItems(
    const ToolBarItem* rows, size_t count, const LKeyToCommandMap* keys, size_t keyCount)
{
    for (size_t i = 0; rows && i < count; ++i) {
        auto copy = std::make_unique<ToolBarItem>(rows[i]);
        copy->tooltipOwned = false;
        const LKeyToCommandMap* key = FindKey(keys, keyCount, rows[i].command);
        if (rows[i].tooltip && *rows[i].tooltip && key) {
            char description[260] = "";
            key->key.GetDescription(description);
            if (*description) {
                std::string text = rows[i].tooltip;
                text = text.substr(0, std::min<size_t>(text.size(), 259));
                text += std::string(" (") + description + ")";
                char* owned = new char[260];
                utf8strlcpy(owned, text.c_str(), 260);
                copy->tooltip = owned;
                copy->tooltipOwned = true;
            }
        }
        auto native = std::make_unique<LCocoaToolbarRow>();
        native->type = copy->type;
        native->commandID = copy->command;
        native->imageID = copy->image;
        native->name = copy->label;
        native->label = copy->paletteLabel ? copy->paletteLabel : copy->label;
        native->toolTip = copy->tooltip;
        fRows.push_back(std::move(copy));
        fNativeRows.push_back(std::move(native));
    }
    if (fNative) {
        std::vector<const LCocoaToolbarRow*> all;
        for (const auto& row : fNativeRows)
            all.push_back(row.get());
        fNative->setItems(all);
    }
}

std::string LToolBar::GetKnownItemList() const
{
    std::string list;
    for (const auto& row : fRows) {
        if ((row->type & 0xFF) == kKindLeftOut)
            continue;
        if (!list.empty())
            list += ' ';
        list += row->label ? row->label : "";
    }
    return list;
}

void LToolBar::UpdateToolBar()
{
    if (!fNative)
        return;
    const std::string known = GetKnownItemList();
    LStringLongTemplate<char> stored;
    _LUserSettingGetString("ToolBar", szName, "", stored);
    fNative->resetItems();
    if (known != stored.c_str())
        ++iResets; // the user's arrangement gives way to the default items
    LUserSettingSetString("ToolBar", szName, known.c_str());
    fNative->createItems();
}

void LToolBar::AddHelp()
{
    static const LKeyToCommandMap kHelpKey[] = {
        { LKey(LKey::kCommand | LKey::kShift | '/'), LFourCC("ahlp") },
    };
    ToolBarItem rows[2];
    rows[0].type = kLToolbarFlexibleSpace;
    rows[1].type = 0;
    rows[1].command = LFourCC("ahlp");
    rows[1].image = 302;
    rows[1].label = "Hjälp";
    rows[1].paletteLabel = "Hjälp";
    rows[1].tooltip = "Visa manualen";
    AddToolBarItems(rows, 2, kHelpKey, 1);
    UpdateToolBar();
}

void LToolBar::EnableToolBarItem(int commandId, bool enabled)
{
    if (commandId == 0 || !fNative)
        return;
    fNative->enableItem(commandId, enabled);
}

int LToolBar::GetToolBarHeight(LView* view)
{
    LNativeWindow* window = view ? view->Window() : nullptr;
    if (!window || window->ContentView() != view || !window->Toolbar()
        || !window->IsToolbarVisible())
        return 0;
    return LMacWindow::GetToolbarHeightPixels(view);
}
