// The product-suite window "ZOR-programpaket": the maker's other programs by task. A row of
// category tabs, the scrolling list of the chosen category's programs (a button on each starts an
// installed program or opens the page of one that is not), a few featured tasks, a search field
// for the maker's site and links to its software index and newsletter. Usage is counted in the
// settings section "SuiteUsage".
#pragma once

#include "lfw/gui/LPaintControl.h"
#include "lfw/gui/LPaintControlScrollable.h"
#include "lfw/ios/LIOSEventHandler.h"
#include "lfw/mac/LDialog.h"
#include "lfw/mac/LGuiImage.h"
#include "lfw/zor/LZORSuiteTables.h"
#include "lfw/zor/LZorLogoBackground.h"

#include <chrono>
#include <memory>
#include <string>
#include <vector>

class LZORSuiteDialog;
struct TopicData;

// One task under a program.
struct SubTopicData {
    TopicData* link = nullptr; // the program it belongs to
    const TopicTableEntry* topic = nullptr; // null: the program itself
    const ProgTableEntry* program = nullptr;
    int top = 0, bottom = 0, left = 0, right = 0; // its line in the featured list (pixels)
};

// One program listed in a window.
struct TopicData {
    const ProgTableEntry* program = nullptr;
    int top = 0, bottom = 0, left = 0, right = 0; // the item, content pixels
    int buttonTop = 0, buttonBottom = 0, buttonLeft = 0, buttonRight = 0;
    bool pressed = false;
    bool installed = false; // taken when the item was made
    std::vector<std::unique_ptr<SubTopicData>> tasks;
    SubTopicData self; // a click on the program rather than on one of its tasks
};

// What both lists share: the programs in order, their fonts and the hovered item.
class LTopicWindowBase {
public:
    virtual ~LTopicWindowBase() = default;
    void Init(LZORSuiteDialog& dialog, int controlId);
    void Clear();
    // The program's item, made and put in order when it is not there yet.
    TopicData& FindOrInsert(const ProgTableEntry& program);
    const std::vector<std::unique_ptr<TopicData>>& Items() const { return fItems; }

    // Fonts in device pixels of a scale: the dialog font plus delta points.
    LFontAttributes Font(double scale, int delta, bool bold, bool underline) const;

protected:
    std::vector<std::unique_ptr<TopicData>> fItems;
    LGuiIcon fBullet;
    LGuiColor fFrameColor { 0x8900, 0x8C00, 0x9500 };
    TopicData* pHovered = nullptr;
    bool bOverLink = false;
    int iControlId = 0;
    LZORSuiteDialog* pDialog = nullptr;
};

class LProductsWindow : public LTopicWindowBase,
                        public LPaintControlScrollableTemplate<LPaintControlPrePaint> {
public:
    ~LProductsWindow() override;
    void Init(LZORSuiteDialog& dialog, int controlId);
    void PaintScrolled(LPaintContext& context, int& width, int& height, bool measureOnly) override;
    void EvMouseMove(int x, int y) override;
    void EvMouseOut() override;
    void EvLButtonDown(int x, int y) override;
    void EvLButtonUp(int x, int y) override;
    void EvRButtonDown(int x, int y) override;
    void EvRButtonUp(int x, int y) override;
    // A stop of Tab: Up, Down, Home and End choose a program, Return and Space press its
    // button; the chosen one is framed while the list has the focus.
    bool EvKeyDown(LKey key) override;
    bool EvKeyRepeat(LKey key) override { return EvKeyDown(key); }
    // The programs the list shows, in their order, and the one the keyboard is on.
    std::vector<TopicData*> ShownItems() const;
    size_t CurrentItem() const { return iCurrent; }

    TopicData* Hovered() const { return pHovered; }
    void ClearHover() { pHovered = nullptr; }
    // The tip the pointer shows now ("" for none).
    const std::string& CurrentTip() const { return fTip; }

private:
    TopicData* ItemAt(int x, int y, bool& onButton) const;
    void SetTip(const std::string& tip);

    LGuiIcon fIcon2;
    std::string fTip;
    std::shared_ptr<bool> fAlive = std::make_shared<bool>(true);
    bool bRemeasurePosted = false;
    size_t iCurrent = 0;
};

class LPopularTopicsWindow : public LTopicWindowBase, public LPaintControlPrePaint {
public:
    ~LPopularTopicsWindow() override;
    void Init(LZORSuiteDialog& dialog, int controlId);
    void Prepaint(LPaintContext& context) override;
    void EvMouseMove(int x, int y) override;
    void EvMouseOut() override;
    void EvLButtonDown(int x, int y) override;
    void EvRButtonDown(int x, int y) override;
    // A stop of Tab: Up, Down, Home and End choose a task, Return and Space open it; the chosen
    // one is framed while the list has the focus.
    bool EvKeyDown(LKey key) override;
    bool EvKeyRepeat(LKey key) override { return EvKeyDown(key); }
    size_t CurrentTask() const { return iCurrent; }

    SubTopicData* HoveredTask() const { return pHoveredTask; }
    void ClearHover() { pHoveredTask = nullptr; }
    // The featured tasks in their order.
    std::vector<SubTopicData*> Tasks() const;
    const std::string& CurrentTip() const { return fTip; }

private:
    SubTopicData* TaskAt(int x, int y) const;

    SubTopicData* pHoveredTask = nullptr;
    std::string fTip;
    size_t iCurrent = 0;
};

// The line between the featured tasks and the search row.
class LSuiteDividerControl : public LPaintControl {
public:
    ~LSuiteDividerControl() override;
    void Paint(LPaintContext& context) override;
};

// The maker's logo (the main window's logo picture): a click opens the maker's home page, the
// pointer over it shows a tip.
class LSuiteLogoControl : public LPaintControl {
public:
    ~LSuiteLogoControl() override;
    void Paint(LPaintContext& context) override;
    void EvMouseIn() override;
    void EvMouseOut() override;
    void EvLButtonDown(int x, int y) override;

private:
    LZorLogoBackground fLogo;
};

class LZORSuiteDialog : public LDialog, public LInterWinMessageHandler {
public:
    static const char* const szDefaultTabName; // "Grafik"
    // 0: the featured tasks are chosen by a generator seeded from the clock; another value seeds
    // it with that value (tests).
    static unsigned uRandomSeed;

    explicit LZORSuiteDialog(const char* tab);
    ~LZORSuiteDialog() override;

    void InitDialog() override;
    void DestroyDialog() override;
    bool CmOk() override;
    void CmHelp() override;
    void Command(int id, int code) override;
    void EvInterWinMessage(int message, long data1, long data2) override;

    void InitTabs();
    void InitCurrentTab();
    // Adds the topic row to the window; false when its program is unknown or is this program.
    bool AddTopic(LTopicWindowBase* window, size_t topicRow);
    void LaunchProgram(const SubTopicData& item);
    bool RunProgram(const char* applicationPath);
    void OpenProgramWebPage(const ProgTableEntry& program);
    void EvRightClick();

    // The current tab's name ("" without tabs).
    std::string CurrentTabName() const;
    LProductsWindow& Products() { return fProducts; }
    LPopularTopicsWindow& PopularTopics() { return fPopular; }
    bool IsClosing() const { return bClosing; }

private:
    LPopularTopicsWindow fPopular;
    LSuiteDividerControl fDivider;
    LProductsWindow fProducts;
    LSuiteLogoControl fLogo;
    bool bClosing = false;
    std::chrono::steady_clock::time_point fOpened;
    char szTabName[260] = "";
    const SubTopicData* pContextItem = nullptr;
};

// Counts the opening and runs the dialog over the parent (a view of the window it is opened
// from, or null).
void LZORSuiteLaunch(LView* parent, const char* tab);
// Counts a click on a program: "ar" (installed) or "ai", and the record of the program, tab and
// task in "SuiteUsage\Links".
void LSuiteUsageAppLinkClickCountIncrement(
    const char* key, const char* tab, const char* task, bool installed);
// The open dialog (null when none); for tests and the main window.
LZORSuiteDialog* LZORSuiteGetOpenDialog();
// The search text as sent: trimmed, percent-encoded (letters, digits and "!-._~" kept), at most
// 259 bytes and never cut inside an escape or a character.
std::string LZORSuiteEncodeSearch(const char* text);
// Adds one to a counter setting: a value that is not a number counts as 0, and the count stops
// at INT_MAX.
void LZORSuiteCountAdd(const char* section, const char* key, long add);
