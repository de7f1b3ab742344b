#include "lfw/zor/LZORSuiteDialog.h"

#include "lfw/gen/LFile.h"
#include "lfw/gen/LFormat.h"
#include "lfw/gen/LString.h"
#include "lfw/gen/LUserSettings.h"
#include "lfw/mac/LControlFlags.h"
#include "lfw/mac/LMenu.h"
#include "lfw/mac/LProgressDialog.h"
#include "lfw/mac/cocoa/LCocoaPaintControlImpl.h"
#include "lfw/mac/cocoa/LCocoaSimpleControls.h"
#include "lfw/mac/cocoa/LCocoaTabViewImpl.h"
#include "lfw/net/LHTTP.h"
#include "lfw/net/LOnlineHosts.h"
#include "lfw/unix/LUnixApplication.h"
#include "lfw/zor/LHelp.h"
#include "lfw/zor/LLaunch.h"
#include "platform/prefs/Prefs.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <map>
#include <strings.h>

const char* const LZORSuiteDialog::szDefaultTabName = "Grafik";
unsigned LZORSuiteDialog::uRandomSeed = 0;

namespace {

enum : int {
    kTabs = 101,
    kProducts = 102,
    kPopular = 103,
    kSearchIcon = 104,
    kSearchInput = 105,
    kSearchButton = 106,
    kIndexBitmap = 107,
    kIndexLink = 108,
    kNewsBitmap = 109,
    kNewsLink = 110,
    kDivider = 111,
    kLogo = 113,
    kCmdLaunchChosen = 1001,
    kCmdRightClick = 5011,
    kCmdTabChanged = 5012,
    kCmdLogoClick = 5020,
    kCmdLogoEnter = 5021,
};

constexpr const char* kLinksSection = "SuiteUsage\\Links";

LZORSuiteDialog* gOpenDialog = nullptr;

int R(double v)
{
    return int(std::lround(v));
}

// One program run under the progress dialog "Köra externt program".
struct LSuiteRunProgram {
    std::string path;
};

} // namespace

LProcessResult Process(LProcessInterface& job, const LSuiteRunProgram& data)
{
    return LLaunchApplicationWithCocoa(job, data.path.c_str(), "", false);
}

namespace {

LCocoaTabViewImpl* TabView(const LMacWindow& window)
{
    return dynamic_cast<LCocoaTabViewImpl*>(window.GetControlHandle(kTabs));
}

std::string Trim(const char* text)
{
    std::string s = text ? text : "";
    size_t a = 0, b = s.size();
    while (a < b && static_cast<unsigned char>(s[a]) <= ' ')
        ++a;
    while (b > a && static_cast<unsigned char>(s[b - 1]) <= ' ')
        --b;
    return s.substr(a, b - a);
}

// The length of the UTF-8 character at p (1 for a byte that begins none).
size_t CharLength(const unsigned char* p, size_t left)
{
    size_t n = *p < 0x80 ? 1 : (*p >> 5) == 6 ? 2 : (*p >> 4) == 14 ? 3 : (*p >> 3) == 30 ? 4 : 1;
    if (n > left)
        return 1;
    for (size_t i = 1; i < n; ++i)
        if ((p[i] & 0xC0) != 0x80)
            return 1;
    return n;
}

bool IsKept(unsigned char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '!'
        || c == '-' || c == '.' || c == '_' || c == '~';
}

std::string Domain()
{
    return LSettingGetApplicationDomain();
}

std::string FullKey(const char* section, const char* key)
{
    char full[kLSettingKeySize];
    _LSettingGetFullKeyName(full, section, key);
    return full;
}

// The mail account for pre-filled forms, percent-encoded; "" when none is known.
std::string EncodedMailAccount()
{
    char host[kLPathSize];
    char account[kLPathSize];
    LEmailGetDefaultSettingsAppleMail(host, account);
    return account[0] ? LZORSuiteEncodeSearch(account) : std::string();
}

} // namespace

// --- counting ----------------------------------------------------------------------------------

void LZORSuiteCountAdd(const char* section, const char* key, long add)
{
    char text[kLPathSize];
    _LUserSettingGetString(section, key, "0", text);
    errno = 0;
    char* end = nullptr;
    long value = std::strtol(text, &end, 10);
    if (end == text || *end || errno == ERANGE || value < 0 || value > INT_MAX)
        value = 0; // not a number this program wrote: counted afresh
    long sum = add > 0 && value > INT_MAX - add ? INT_MAX : value + add;
    if (sum < 0)
        sum = 0;
    char out[32];
    LStringFormat(out, sizeof out, "%d", int(sum));
    LUserSettingSetString(section, key, out);
}

void LSuiteUsageAppLinkClickCountIncrement(
    const char* key, const char* tab, const char* task, bool installed)
{
    LZORSuiteCountAdd("SuiteUsage", installed ? "ar" : "ai", 1);
    key = key ? key : "";
    tab = tab ? tab : "";
    task = task ? task : "";
    // One pass over the store: records are "SuiteUsage\Links/<n>/<field>".
    const std::string domain = Domain();
    const std::string prefix = FullKey(kLinksSection, "");
    struct Record {
        std::string lk, lt, lf, lc;
        bool hasKey = false, hasTab = false, hasTask = false;
    };
    std::map<long, Record> records;
    long highest = 0;
    for (const std::string& full : platform::prefs::GetKeys(domain)) {
        if (full.compare(0, prefix.size(), prefix) != 0)
            continue;
        const std::string rest = full.substr(prefix.size());
        const size_t slash = rest.find('/');
        if (slash == std::string::npos || slash == 0)
            continue;
        char* end = nullptr;
        const long n = std::strtol(rest.c_str(), &end, 10);
        if (end != rest.c_str() + slash || n <= 0)
            continue;
        highest = std::max(highest, n);
        const std::string field = rest.substr(slash + 1);
        Record& r = records[n];
        std::string value;
        if (field == "lk" && platform::prefs::GetValue(domain, full, value)) {
            r.lk = value;
            r.hasKey = true;
        } else if (field == "lt" && platform::prefs::GetValue(domain, full, value)) {
            r.lt = value;
            r.hasTab = true;
        } else if (field == "lf" && platform::prefs::GetValue(domain, full, value)) {
            r.lf = value;
            r.hasTask = true;
        } else if (field == "lc" && platform::prefs::GetValue(domain, full, value)) {
            r.lc = value;
        }
    }
    for (auto& [n, r] : records) {
        if (!r.hasKey || !r.hasTab || !r.hasTask || r.lk != key || r.lt != tab || r.lf != task)
            continue;
        char path[kLSettingKeySize];
        LStringFormat(path, sizeof path, "%s/%ld/", kLinksSection, n);
        LZORSuiteCountAdd(path, "lc", 1);
        return;
    }
    if (highest >= INT_MAX)
        return; // no number left for a new record
    char path[kLSettingKeySize];
    LStringFormat(path, sizeof path, "%s/%ld/", kLinksSection, highest + 1);
    _LSettingMakeParentKeyPath(kLSettingsCurrentUser, path);
    const char* keys[] = { "lk", "lt", "lf", "lc" };
    const char* values[] = { key, tab, task, "1" };
    LUserSettingSetStrings(path, keys, values, 4);
}

std::string LZORSuiteEncodeSearch(const char* text)
{
    static const char kHex[] = "0123456789ABCDEF";
    const std::string trimmed = Trim(text);
    const auto* p = reinterpret_cast<const unsigned char*>(trimmed.data());
    const size_t size = trimmed.size();
    std::string out;
    for (size_t i = 0; i < size;) {
        const size_t n = CharLength(p + i, size - i);
        std::string piece;
        for (size_t k = 0; k < n; ++k) {
            const unsigned char c = p[i + k];
            if (IsKept(c)) {
                piece += char(c);
            } else {
                piece += '%';
                piece += kHex[c >> 4];
                piece += kHex[c & 15];
            }
        }
        if (out.size() + piece.size() > 259)
            break; // a whole character or nothing
        out += piece;
        i += n;
    }
    return out;
}

// --- the dialog --------------------------------------------------------------------------------

LZORSuiteDialog::LZORSuiteDialog(const char* tab)
{
    LStringFormat(szTabName, sizeof szTabName, "%s", tab ? tab : "");
    gOpenDialog = this;
}

LZORSuiteDialog::~LZORSuiteDialog()
{
    if (gOpenDialog == this)
        gOpenDialog = nullptr;
}

LZORSuiteDialog* LZORSuiteGetOpenDialog()
{
    return gOpenDialog;
}

void LZORSuiteDialog::InitDialog()
{
    fOpened = std::chrono::steady_clock::now();
    SetCaption("ZOR-programpaket");
    const double cw = CharWidthPixels(), ch = CharHeightPixels();
    const int m = R(1.25 * cw), v = R(0.59 * ch), b = R(1.23 * ch), s = R(4 * cw);
    int W = R(85 * cw);
    // The rows from the top: the tabs over the program list, the popular programs, the search
    // field, two links beside the logo; and the dialog's height.
    struct Rows {
        int y1, y2, inputTop, y3, row, last, height;
    };
    auto rowsFor = [&](int list) {
        Rows r {};
        r.y1 = b + 4 * v + list + 2 * v;
        r.y2 = r.y1 + R(5 * ch) + v;
        r.inputTop = r.y2 + (s - b) / 2;
        r.y3 = r.inputTop + b + 2 * v;
        r.row = v / 2 + b;
        r.last = std::max(r.y3 + r.row + std::max(s, b), r.y3 + 3 * (v + b));
        r.height = r.last + b + 2 * v;
        return r;
    };
    // On a screen too low for the whole dialog the list (which scrolls) gives up what is
    // missing, down to four rows.
    int listHeight = R(16 * ch);
    int largestWidth = 0, largestHeight = 0;
    GetLargestClientSizePixels(largestWidth, largestHeight);
    // On a narrow screen the dialog is as wide as it holds (the tabs scroll, the list's rows and
    // the links take the width there is), down to 50 characters.
    if (largestWidth > 0)
        W = std::max(std::min(W, largestWidth), R(50 * cw));
    if (const int over = rowsFor(listHeight).height - largestHeight; largestHeight > 0 && over > 0)
        listHeight = std::max(R(4 * ch), listHeight - over);
    const Rows rows = rowsFor(listHeight);

    auto* tabs
        = new LCocoaTabViewImpl(LUiRect { double(m), double(v), 100, double(b) }, kTabs, this);
    if (LView* content = GetContentView())
        content->AddSubview(tabs);
    tabs->Release();
    tabs->setSelectedCmd(kCmdTabChanged);
    MoveControlPixels(kTabs, m, v, W - 2 * m, b);

    // The program list lies over the tab control's page.
    fProducts.LScrollView::Init(*this, kProducts, 0, 0);
    fProducts.EmbedSubControl(0);
    if (LCustomCocoaScrollView* scroll = fProducts.GetScrollView())
        scroll->setScrollers(false, true);
    fProducts.MoveScrollViewPixels(2 * m, 3 * v + b, W - 4 * m, listHeight);
    MoveControlPixels(kTabs, m, v, W - 2 * m, R(1.23 * ch) + 4 * v + listHeight);

    const int y1 = rows.y1;
    AddPaintControl(kPopular, m, y1, W - 2 * m, R(5 * ch));
    AddPaintControl(kDivider, m, y1 + R(5 * ch) + v / 2, W - 2 * m, 1);

    const int y2 = rows.y2;
    AddIcon(kSearchIcon, 315, m, y2, s, s);
    LButtonFlags searchFlags;
    searchFlags.defaultButton = true;
    AddButton(kSearchButton, "Sök", searchFlags);
    _SetButtonStyleOk(kSearchButton); // Return searches
    const int bw = MeasureButtonWidthPixels("Sök");
    const int inputTop = rows.inputTop;
    MoveControlPixels(kSearchButton, W - m - bw, inputTop, bw, b);
    LInputFlags inputFlags;
    AddInput(kSearchInput, inputFlags, 2 * m + s, inputTop, W - m - bw - v - (2 * m + s));
    MoveControlPixels(kSearchInput, 2 * m + s, inputTop, W - m - bw - v - (2 * m + s), b);
    TextPromptSet(kSearchInput, "Sök efter mer program");

    const int y3 = rows.y3;
    const int row = rows.row;
    struct LinkRow {
        int bitmap, image, link;
        const char* text;
        const char* tip;
    };
    const LinkRow links[] = {
        { kIndexBitmap, 317, kIndexLink, "Visa mer av vår mjukvara",
            "Se hela listan över produkter tillverkade av ZOR Software" },
        { kNewsBitmap, 319, kNewsLink, "Prenumerera på vårt nyhetsbrev",
            "Prenumerera på vårt nyhetsbrev som presenterar nya och uppdaterade produkter" },
    };
    int y = y3;
    for (const LinkRow& l : links) {
        AddIcon(l.bitmap, l.image, m, y, s, s);
        const int lw = W - R(12 * cw) - 2 * m - (2 * m + s);
        if (LCocoaHyperLinkImpl* link
            = AddHyperLink(l.link, l.text, "", 2 * m + s, y + (s - b) / 2, lw, b)) {
            link->setColor(0, 0x32 / 255.0, 0xC6 / 255.0);
            link->SetToolTipText(l.tip);
        }
        y += row;
    }
    AddPaintControl(kLogo, W - m - R(12 * cw), y3, R(12 * cw), 3 * (v + b));
    SizeDialogPixelsMac(W, rows.height, false);

    HandleInterWinMessage(*this, 0);
    fProducts.Init(*this, kProducts);
    fPopular.Init(*this, kPopular);
    fDivider.Init(*this, kDivider);
    fLogo.Init(*this, kLogo);
    InitTabs();
    SetFocus(kSearchInput);
    CenterDialog();
}

void LZORSuiteDialog::DestroyDialog()
{
    bClosing = true;
    InterWinMessageHandlerDestroy();
    const std::string tab = CurrentTabName();
    if (!tab.empty())
        LUserSettingSetString("Settings", "SelectedTab", tab.c_str());
    // A monotonic clock: setting the system clock back meanwhile takes no time away.
    const double seconds
        = std::chrono::duration<double>(std::chrono::steady_clock::now() - fOpened).count();
    LZORSuiteCountAdd("SuiteUsage", "os", std::lround(std::max(seconds, 0.0)));
    fProducts.DestroyPaintControl();
    fPopular.DestroyPaintControl();
    fDivider.DestroyPaintControl();
    fLogo.DestroyPaintControl();
    LDialog::DestroyDialog();
}

bool LZORSuiteDialog::CmOk()
{
    if (IsControlFocus(kSearchInput))
        PostCommand(kSearchButton);
    return false; // Return searches; the dialog stays
}

void LZORSuiteDialog::CmHelp()
{
    LOpenHelpPage(GetContentView(), "lzorsuitedialoglxa");
}

std::string LZORSuiteDialog::CurrentTabName() const
{
    LCocoaTabViewImpl* tabs = TabView(*this);
    if (!tabs)
        return {};
    const char* label = tabs->getTabLabel(tabs->getCurrentTab());
    return label ? label : "";
}

void LZORSuiteDialog::InitTabs()
{
    LCocoaTabViewImpl* tabs = TabView(*this);
    if (!tabs)
        return;
    while (tabs->count() > 0)
        tabs->removeTab(tabs->count() - 1);
    char wanted[kLPathSize];
    if (szTabName[0])
        LStringFormat(wanted, sizeof wanted, "%s", szTabName);
    else
        _LUserSettingGetString("Settings", "SelectedTab", szDefaultTabName, wanted);
    const LZORSuiteTables& t = LZORSuiteGetTables();
    std::vector<std::string> names;
    for (size_t i = 0; i < t.topicCount; ++i) {
        const char* category = t.topics[i].category;
        if (!category || !*category)
            continue;
        bool seen = false;
        for (const std::string& n : names)
            seen = seen || strcasecmp(n.c_str(), category) == 0;
        if (!seen)
            names.emplace_back(category);
    }
    int select = wanted[0] ? -1 : 0;
    for (size_t i = 0; i < names.size(); ++i) {
        tabs->addTab(names[i].c_str());
        if (select < 0 && strcasecmp(names[i].c_str(), wanted) == 0)
            select = int(i);
    }
    // An unknown name leaves the control's own choice: its first tab.
    if (select >= 0)
        tabs->selectTab(select);
    InitCurrentTab();
}

void LZORSuiteDialog::InitCurrentTab()
{
    const std::string tab = CurrentTabName();
    fProducts.Clear();
    fPopular.Clear();
    fProducts.SetScrollOffsetY(0);
    std::vector<size_t> rows;
    const LZORSuiteTables& t = LZORSuiteGetTables();
    for (size_t i = 0; i < t.topicCount; ++i)
        if (t.topics[i].category && strcasecmp(t.topics[i].category, tab.c_str()) == 0
            && AddTopic(&fProducts, i))
            rows.push_back(i);
    if (uRandomSeed)
        srand(uRandomSeed);
    else
        randomize();
    std::vector<size_t> chosen;
    const size_t wanted = std::min<size_t>(3, rows.size());
    while (chosen.size() < wanted) {
        const size_t row = rows[size_t(rand()) % rows.size()];
        if (std::find(chosen.begin(), chosen.end(), row) == chosen.end())
            chosen.push_back(row);
    }
    for (size_t row : chosen)
        AddTopic(&fPopular, row);
    fProducts.SetScrollOffsetY(0);
    fProducts.Update();
    fPopular.Update();
}

bool LZORSuiteDialog::AddTopic(LTopicWindowBase* window, size_t topicRow)
{
    const LZORSuiteTables& t = LZORSuiteGetTables();
    if (!window || topicRow >= t.topicCount)
        return false;
    const TopicTableEntry& topic = t.topics[topicRow];
    const ProgTableEntry* program = LZORSuiteFindProgram(topic.buildKey);
    if (!program || !program->title || strcasecmp(program->buildKey, "Vorantel") == 0)
        return false; // an unknown program, or this one
    TopicData& item = window->FindOrInsert(*program);
    auto task = std::make_unique<SubTopicData>();
    task->link = &item;
    task->topic = &topic;
    task->program = program;
    item.tasks.push_back(std::move(task));
    return true;
}

void LZORSuiteDialog::EvInterWinMessage(int message, long data1, long)
{
    if (bClosing || !data1)
        return;
    if (message == 1)
        LaunchProgram(*reinterpret_cast<const SubTopicData*>(data1));
    else
        OpenProgramWebPage(*reinterpret_cast<const ProgTableEntry*>(data1));
}

void LZORSuiteDialog::LaunchProgram(const SubTopicData& item)
{
    if (!item.program)
        return;
    const ProgTableEntry program = *item.program;
    const std::string task = item.topic && item.topic->task ? item.topic->task : "";
    const std::string path = LLaunchGetApplicationPath(program.buildKey);
    const bool installed = !path.empty();
    LSuiteUsageAppLinkClickCountIncrement(
        program.buildKey, CurrentTabName().c_str(), task.c_str(), installed);
    if (!installed) {
        // Programs come from packages here: the page tells where to get it.
        OpenProgramWebPage(program);
        return;
    }
    _LSettingForApplicationSetString(
        kLSettingsCurrentUser, program.buildKey, "Settings", "RelatedProgramsInstalled", "1");
    RunProgram(path.c_str());
}

bool LZORSuiteDialog::RunProgram(const char* applicationPath)
{
    LSuiteRunProgram data { applicationPath ? applicationPath : "" };
    LProcessDialog<LSuiteRunProgram> dialog("Köra externt program", data);
    dialog.result = LProcessResultError;
    dialog.Open(GetContentView());
    return dialog.result == LProcessResultSuccess;
}

void LZORSuiteDialog::OpenProgramWebPage(const ProgTableEntry& program)
{
    char url[kLPathSize];
    LZORSuiteGetProgramPageURL(url, program);
    LOpenWebPageForUser(url, GetContentView());
}

void LZORSuiteDialog::EvRightClick()
{
    pContextItem = nullptr;
    if (SubTopicData* task = fPopular.HoveredTask())
        pContextItem = task;
    else if (TopicData* item = fProducts.Hovered())
        pContextItem = &item->self;
    if (!pContextItem)
        return;
    LPopupMenu menu(*this);
    menu.AppendMenuItem(kCmdLaunchChosen, "Starta...");
    DisplayPopupMenu(menu, false); // at the pointer
}

void LZORSuiteDialog::Command(int id, int code)
{
    switch (id) {
    case kSearchButton: {
        char text[4096];
        GetText(kSearchInput, text, sizeof text);
        if (Trim(text).empty()) {
            BubbleTipShow(
                GetBubbleTip(), kSearchButton, "Ange nyckelord för att söka efter", 0, nullptr);
            return;
        }
        char site[kLPathSize];
        LOnlineGetHost(kLOnlineWebSite, site);
        std::string url = std::string("https://") + site
            + "/search/sv?q=" + LZORSuiteEncodeSearch(text) + "&site=" + site;
        const std::string mail = EncodedMailAccount();
        if (!mail.empty())
            url += "&email=" + mail;
        LOpenWebPageForUser(url.c_str(), GetContentView());
        return;
    }
    case kIndexLink:
    case kNewsLink: {
        char site[kLPathSize];
        LOnlineGetHost(kLOnlineWebSite2, site);
        std::string url = std::string("https://") + site
            + (id == kIndexLink ? "/software/index.html" : "/software/newsletter.html");
        if (id == kNewsLink) {
            const std::string mail = EncodedMailAccount();
            if (!mail.empty())
                url += "?email=" + mail;
        }
        LOpenWebPageForUser(url.c_str(), GetContentView());
        return;
    }
    case kLogo:
    case kCmdLogoClick: {
        char url[kLPathSize];
        LGetZORWebPageURL(url, "+sv/index");
        LOpenWebPageForUser(url, GetContentView());
        return;
    }
    case kCmdLaunchChosen:
        if (const SubTopicData* item = pContextItem) {
            pContextItem = nullptr;
            LaunchProgram(*item);
        }
        return;
    case kCmdRightClick:
        EvRightClick();
        return;
    case kCmdTabChanged:
        InitCurrentTab();
        return;
    case kCmdLogoEnter:
        BubbleTipShow(GetBubbleTip(), kLogo, "Klicka för att besöka vår hemsida", 0, nullptr);
        return;
    default:
        LDialog::Command(id, code);
    }
}

void LZORSuiteLaunch(LView* parent, const char* tab)
{
    LZORSuiteCountAdd("SuiteUsage", parent ? "oi" : "oe", 1);
    LZORSuiteDialog dialog(tab);
    dialog.OpenBlankNonResizable(parent, 200, 200);
}
