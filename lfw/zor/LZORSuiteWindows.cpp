// The painted parts of the product-suite window: the program list, the featured tasks, the
// divider and the logo.
#include "lfw/gen/LFormat.h"
#include "lfw/mac/LGuiCursor.h"
#include "lfw/mac/LMacWindow.h"
#include "lfw/mac/LPaintSurface.h"
#include "lfw/mac/cocoa/LCocoaPaintControlImpl.h"
#include "lfw/zor/LLaunch.h"
#include "lfw/zor/LZORSuiteDialog.h"
#include "platform/ui/LRunLoop.h"
#include "platform/ui/LUiTooltipArea.h"
#include "platform/ui/LView.h"

#include <algorithm>
#include <cstring>
#include <strings.h>

namespace {

int R(double v)
{
    return int(v + 0.5);
}

constexpr float kUnbounded = 1.0e7f;

bool IsOwnProgram(const ProgTableEntry* program)
{
    return program && program->buildKey && strcasecmp(program->buildKey, "Vorantel") == 0;
}

// Whether the new program goes before the one listed: programs not installed first, then those
// with a rank (higher first), then by title without regard to case; a new one after equal ones.
bool GoesBefore(const TopicData& added, const TopicData& listed)
{
    if (added.installed != listed.installed)
        return !added.installed;
    const int a = added.program->rank, b = listed.program->rank;
    if ((a > 0) != (b > 0))
        return a > 0;
    if (a > 0)
        return a > b;
    return strcasecmp(added.program->title, listed.program->title) < 0;
}

void TextHeight(
    LPaintContext& context, const char* text, float width, bool wrap, float& w, float& h)
{
    LDrawTextFormat format(LAlignmentXLeft, LAlignmentYTop,
        wrap ? LTextWrappingWord : LTextWrappingNone, LTextTrimmingNone);
    LPaintSurface::MeasureText(
        context, w, h, text, LBoundingBox2T<float>(0, 0, width, kUnbounded), format);
}

void DrawTextAt(LPaintContext& context, const char* text, int x, int y, int w, int h, bool wrap,
    const LGuiColor& color)
{
    context.mTextColor = LGuiColorAlpha(color);
    LPaintSurface::DrawText(context, text, x, y, w, h, LAlignmentXLeft, LAlignmentYTop,
        wrap ? LTextWrappingWord : LTextWrappingNone, LTextTrimmingNone);
}

LUiRect PointsRect(int left, int top, int right, int bottom, double s)
{
    return LUiRect { left / s, top / s, (right - left) / s, (bottom - top) / s };
}

// What a key does in a list the keyboard goes through.
enum class ListKey { kNone, kMoved, kPressed };

// Up, Down, Home and End move current among count entries (kMoved, also at either end); Return
// and Space press it; other keys and keys with modifiers do nothing.
ListKey ListKeyDown(LKey key, size_t count, size_t& current)
{
    if (count == 0 || (key.code & LKey::kModifierMask))
        return ListKey::kNone;
    current = std::min(current, count - 1);
    constexpr unsigned kHome = 115, kEnd = 119, kDown = 125, kUp = 126;
    switch (key.KeyCode()) {
    case kUp:
        current = current > 0 ? current - 1 : 0;
        return ListKey::kMoved;
    case kDown:
        current = std::min(current + 1, count - 1);
        return ListKey::kMoved;
    case kHome:
        current = 0;
        return ListKey::kMoved;
    case kEnd:
        current = count - 1;
        return ListKey::kMoved;
    case LKey::kReturn:
    case LKey::kKeypadEnter:
    case LKey::kSpace:
        return ListKey::kPressed;
    default:
        return key.code == uint32_t(' ') ? ListKey::kPressed : ListKey::kNone;
    }
}

// The keyboard's frame around an entry of a list (device pixels).
void DrawKeyboardFrame(
    LPaintContext& context, double scale, int left, int top, int right, int bottom)
{
    const float line = float(2 * std::max(1.0, scale));
    LPaintSurface::DrawFrameAA(context, LPaintSurface::GetFocusIndicatorColor(),
        float(left) + line / 2, float(top) + line / 2, float(right - left) - line,
        float(bottom - top) - line, line);
}

} // namespace

// --- shared ------------------------------------------------------------------------------------

void LTopicWindowBase::Init(LZORSuiteDialog& dialog, int controlId)
{
    pDialog = &dialog;
    iControlId = controlId;
    fBullet.LoadFromResource(320);
}

void LTopicWindowBase::Clear()
{
    pHovered = nullptr;
    bOverLink = false;
    fItems.clear();
}

TopicData& LTopicWindowBase::FindOrInsert(const ProgTableEntry& program)
{
    for (auto& item : fItems)
        if (item->program == &program)
            return *item;
    auto item = std::make_unique<TopicData>();
    item->program = &program;
    item->installed = LIsProgramInstalled(program.buildKey);
    item->self.link = item.get();
    item->self.program = &program;
    size_t at = 0;
    while (at < fItems.size() && !GoesBefore(*item, *fItems[at]))
        ++at;
    fItems.insert(fItems.begin() + long(at), std::move(item));
    return *fItems[at];
}

LFontAttributes LTopicWindowBase::Font(double scale, int delta, bool bold, bool underline) const
{
    uint32_t style = (bold ? LFontStyleBold : 0u) | (underline ? LFontStyleUnderline : 0u);
    return LFontAttributes("", float(scale * (LGuiFont::GetSystemFontSize() + delta)), style);
}

// --- program list ------------------------------------------------------------------------------

LProductsWindow::~LProductsWindow()
{
    DestroyPaintControl();
}

void LProductsWindow::Init(LZORSuiteDialog& dialog, int controlId)
{
    LTopicWindowBase::Init(dialog, controlId);
    fIcon2.LoadFromResource(321);
    LPaintControlScrollableTemplate<LPaintControlPrePaint>::Init(dialog, controlId);
    SetKeyboardReachable();
}

std::vector<TopicData*> LProductsWindow::ShownItems() const
{
    std::vector<TopicData*> items;
    for (const auto& item : fItems)
        if (!IsOwnProgram(item->program))
            items.push_back(item.get());
    return items;
}

bool LProductsWindow::EvKeyDown(LKey key)
{
    const std::vector<TopicData*> items = ShownItems();
    const ListKey what = ListKeyDown(key, items.size(), iCurrent);
    if (what == ListKey::kNone || !pDialog)
        return false;
    TopicData& item = *items[iCurrent];
    if (what == ListKey::kPressed) {
        // What a click on its button does.
        LIOSEventHandler::Send(pDialog->GetContentView(), 1, long(&item.self), 0);
        return true;
    }
    // The chosen program scrolled into view (its place is known once it has been painted).
    if (item.bottom > item.top) {
        LCustomCocoaScrollView* scroll = GetScrollView();
        const int visible
            = scroll ? int(scroll->contentSize().height * GetBackingScale()) : GetHeight();
        const int offset = GetScrollOffsetY();
        if (item.top < offset)
            SetScrollOffsetY(item.top);
        else if (item.bottom > offset + visible)
            SetScrollOffsetY(item.bottom - visible);
    }
    Update();
    return true;
}

void LProductsWindow::PaintScrolled(
    LPaintContext& context, int& width, int& height, bool measureOnly)
{
    if (!pDialog)
        return;
    const double s = GetBackingScale();
    // The window's character size is in device pixels already.
    const double cw = pDialog->CharWidthPixels(), ch = pDialog->CharHeightPixels();
    const int W = measureOnly ? std::max(GetWidthPixels(), 1) : width;
    const int g = R(0.7 * ch), L = R(1.5 * cw), B = R(13.5 * cw), bh = R(1.8 * ch);
    const int scrollY = GetScrollOffsetY();
    const int bottomVisible = scrollY + height;
    const float textWidth = float(std::max(W - B - L - R(4 * cw), int(4 * cw)));
    if (!measureOnly)
        LPaintSurface::FillRectAA(
            context, LGuiColor(0xFFFF, 0xFFFF, 0xFFFF), 0, float(scrollY), float(W), float(height));

    int top = g / 2;
    const bool keyboard = !measureOnly && HasKeyboardFocus();
    size_t index = 0;
    for (auto& itemPtr : fItems) {
        TopicData& item = *itemPtr;
        if (IsOwnProgram(item.program))
            continue;
        const bool current = keyboard && index++ == iCurrent;
        const bool hovered = pHovered == &item;
        float tw = 0, th = 0, dw = 0, dh = 0;
        context.SetFont(Font(s, 4, false, hovered));
        TextHeight(context, item.program->title, textWidth, false, tw, th);
        context.SetFont(Font(s, 0, false, false));
        TextHeight(context, item.program->description, textWidth, true, dw, dh);
        const int itemHeight = std::max(int(th + 0.99f) + 1 + int(dh + 0.99f), bh) + g;
        item.top = top;
        item.bottom = top + itemHeight;
        item.left = 0;
        item.right = W;
        item.buttonTop = top + (itemHeight - bh) / 2;
        item.buttonBottom = item.buttonTop + bh;
        item.buttonRight = W - R(2 * cw);
        item.buttonLeft = std::max(W - B, L);
        if (!measureOnly && item.bottom >= scrollY && top <= bottomVisible) {
            context.SetFont(Font(s, 4, false, hovered));
            DrawTextAt(context, item.program->title, L, top, int(textWidth), int(th + 1), false,
                LGuiColor(0x1100, 0x2200, 0xCC00));
            context.SetFont(Font(s, 0, false, false));
            DrawTextAt(context, item.program->description, L, top + int(th + 0.99f) + 1,
                int(textWidth), int(dh + 1), true,
                hovered ? LGuiColor(0x0A00, 0x3000, 0) : LGuiColor(0, 0, 0));
            // Installed or not is asked again at every paint: a program may come or go.
            const bool installed = LIsProgramInstalled(item.program->buildKey);
            LPaintControlButton button;
            button.top = item.buttonTop;
            button.bottom = item.buttonBottom;
            button.left = item.buttonLeft;
            button.right = item.buttonRight;
            button.pressed = item.pressed;
            if (installed)
                button.DrawButtonBackground(context, 0x53, 0xD7, 0xC0);
            else
                button.DrawButtonBackground(context, 0x53, 0xD7, 0x5C);
            button.DrawFrame(context);
            context.SetFont(Font(s, 0, false, false));
            context.mTextColor = LGuiColorAlpha(LGuiColor(0, 0, 0));
            button.DrawLabel(context, installed ? "Kör det nu" : "Öppna app");
            if (current)
                DrawKeyboardFrame(context, s, 0, item.top, W, item.bottom);
        }
        top += itemHeight;
    }
    if (measureOnly) {
        width = W;
        height = top + g / 2;
        return;
    }
    // Measured before the scroll bar took its room, the text wraps into more lines now: the
    // content is measured again once this paint is over.
    if (std::max(top + g / 2, GetHeight()) != GetContentSizeVerticalPixels() && !bRemeasurePosted) {
        bRemeasurePosted = true;
        std::weak_ptr<bool> alive = fAlive;
        LRunLoop::Post([this, alive] {
            if (alive.expired())
                return;
            bRemeasurePosted = false;
            LPaintControlScrollableTemplate<LPaintControlPrePaint>::Update();
        });
    }
}

TopicData* LProductsWindow::ItemAt(int x, int y, bool& onButton) const
{
    onButton = false;
    for (const auto& item : fItems) {
        if (IsOwnProgram(item->program) || item->bottom <= item->top)
            continue;
        if (y >= item->top && y < item->bottom && x >= item->left && x < item->right) {
            onButton = x >= item->buttonLeft && x < item->buttonRight && y >= item->buttonTop
                && y < item->buttonBottom;
            return item.get();
        }
    }
    return nullptr;
}

void LProductsWindow::SetTip(const std::string& tip)
{
    fTip = tip;
}

void LProductsWindow::EvMouseMove(int x, int y)
{
    bool onButton = false;
    TopicData* item = ItemAt(x, y, onButton);
    TopicData* before = pHovered;
    pHovered = item;
    const double s = GetBackingScale();
    if (item) {
        LGuiCursor::SetSystem(LGuiCursor::PointingHand);
        char tip[512];
        if (onButton)
            LStringFormat(tip, sizeof tip,
                LIsProgramInstalled(item->program->buildKey)
                    ? "Klicka för att köra %s"
                    : "Klicka för att installera och köra %s",
                item->program->title);
        else
            LStringFormat(
                tip, sizeof tip, "Klicka för att besöka webbsidan för %s", item->program->title);
        SetTip(tip);
        LUiRect area = onButton ? PointsRect(item->buttonLeft, item->buttonTop, item->buttonRight,
                           item->buttonBottom, s)
                                : PointsRect(item->left, item->top, item->right, item->bottom, s);
        LUiSetToolTipArea(GetPaintView(), tip, area);
    } else if (before) {
        LGuiCursor::Restore();
        SetTip("");
        LUiSetToolTipArea(GetPaintView(), nullptr, LUiRect {});
    }
    if (before != item)
        Update();
}

void LProductsWindow::EvMouseOut()
{
    pHovered = nullptr;
    SetTip("");
    LUiSetToolTipArea(GetPaintView(), nullptr, LUiRect {});
    for (auto& item : fItems)
        item->pressed = false;
    LGuiCursor::Restore();
    Update();
}

void LProductsWindow::EvLButtonDown(int x, int y)
{
    bool onButton = false;
    TopicData* item = ItemAt(x, y, onButton);
    if (!item || !pDialog)
        return;
    if (onButton) {
        item->pressed = true;
        Update();
        return;
    }
    LIOSEventHandler::Send(pDialog->GetContentView(), 2, long(item->program), 0);
}

void LProductsWindow::EvLButtonUp(int x, int y)
{
    TopicData* pressed = nullptr;
    for (auto& item : fItems)
        if (item->pressed) {
            pressed = item.get();
            item->pressed = false;
        }
    Update();
    if (!pressed || !pDialog)
        return;
    bool onButton = false;
    if (ItemAt(x, y, onButton))
        LIOSEventHandler::Send(pDialog->GetContentView(), 1, long(&pressed->self), 0);
}

void LProductsWindow::EvRButtonDown(int x, int y)
{
    bool onButton = false;
    if (ItemAt(x, y, onButton) && pDialog) {
        pHovered = ItemAt(x, y, onButton);
        // After the press has been handled: the menu then takes the pointer.
        pDialog->PostCommand(5011);
    }
}

void LProductsWindow::EvRButtonUp(int, int)
{
    for (auto& item : fItems)
        item->pressed = false;
    Update();
}

// --- featured tasks ----------------------------------------------------------------------------

LPopularTopicsWindow::~LPopularTopicsWindow()
{
    DestroyPaintControl();
}

void LPopularTopicsWindow::Init(LZORSuiteDialog& dialog, int controlId)
{
    LTopicWindowBase::Init(dialog, controlId);
    LPaintControlPrePaint::Init(dialog, controlId);
    SetKeyboardReachable();
}

bool LPopularTopicsWindow::EvKeyDown(LKey key)
{
    const std::vector<SubTopicData*> tasks = Tasks();
    const ListKey what = ListKeyDown(key, tasks.size(), iCurrent);
    if (what == ListKey::kNone || !pDialog)
        return false;
    if (what == ListKey::kPressed)
        // What a click on it does.
        LIOSEventHandler::Send(pDialog->GetContentView(), 1, long(tasks[iCurrent]), 0);
    else
        Update();
    return true;
}

std::vector<SubTopicData*> LPopularTopicsWindow::Tasks() const
{
    std::vector<SubTopicData*> out;
    for (const auto& item : fItems) {
        if (IsOwnProgram(item->program))
            continue;
        for (const auto& task : item->tasks)
            out.push_back(task.get());
    }
    return out;
}

void LPopularTopicsWindow::Prepaint(LPaintContext& context)
{
    const double s = GetBackingScale();
    const int W = GetWidth(), H = GetHeight();
    LPaintSurface::FillRectAA(context, LGuiColor(0xFFFF, 0xFFFF, 0xFFFF), 0, 0, float(W), float(H));
    LPaintSurface::DrawFrameAA(context, fFrameColor, 0.5f, 0.5f, float(W) - 1, float(H) - 1, 1);
    float hw = 0, hh = 0;
    context.SetFont(Font(s, 2, true, false));
    TextHeight(context, "Utvalda uppgifter", kUnbounded, false, hw, hh);
    DrawTextAt(context, "Utvalda uppgifter", R(10 * s), R(2 * s), int(hw + 2), int(hh + 1), false,
        LGuiColor(0, 0, 0));
    int top = R(2 * s) + int(hh + 0.99f) + R(6 * s);
    const bool keyboard = HasKeyboardFocus();
    size_t index = 0;
    for (SubTopicData* task : Tasks()) {
        const bool current = keyboard && index++ == iCurrent;
        const bool hovered = pHoveredTask == task;
        const char* text
            = task->topic && task->topic->task ? task->topic->task : task->program->title;
        context.SetFont(Font(s, -2, false, hovered));
        float tw = 0, th = 0;
        TextHeight(context, text, kUnbounded, false, tw, th);
        const int bullet = R(9 * s);
        if (fBullet.HasImage())
            fBullet.Draw(context.GetPlatformContext(), R(18 * s), top + (int(th) - bullet) / 2,
                bullet, bullet);
        const int x = R(30 * s);
        DrawTextAt(context, text, x, top, int(tw + 2), int(th + 1), false,
            hovered ? LGuiColor(0x1E00, 0x9000, 0) : LGuiColor(0, 0x3200, 0xC600));
        context.SetFont(Font(s, -2, false, true));
        float ow = 0, oh = 0;
        TextHeight(context, "Öppna app", kUnbounded, false, ow, oh);
        DrawTextAt(context, "Öppna app", x + int(tw) + R(20 * s), top, int(ow + 2), int(oh + 1),
            false, LGuiColor(0x1E00, 0x9000, 0));
        task->top = top;
        task->bottom = top + int(th + 0.99f);
        task->left = x;
        task->right = W;
        if (current)
            DrawKeyboardFrame(context, s, R(14 * s), top - R(3 * s),
                std::min(W - R(4 * s), x + int(tw) + R(24 * s) + int(ow) + 2),
                task->bottom + R(3 * s));
        top += int(th + 0.99f) + R(6 * s);
    }
}

SubTopicData* LPopularTopicsWindow::TaskAt(int x, int y) const
{
    for (SubTopicData* task : Tasks())
        if (task->bottom > task->top && y >= task->top && y < task->bottom && x >= task->left
            && x < task->right)
            return task;
    return nullptr;
}

void LPopularTopicsWindow::EvMouseMove(int x, int y)
{
    SubTopicData* task = TaskAt(x, y);
    SubTopicData* before = pHoveredTask;
    pHoveredTask = task;
    if (task) {
        LGuiCursor::SetSystem(LGuiCursor::PointingHand);
        char tip[512];
        LStringFormat(tip, sizeof tip, "Klicka för att köra %s", task->program->title);
        fTip = tip;
        const double s = GetBackingScale();
        LUiSetToolTipArea(
            GetPaintView(), tip, PointsRect(task->left, task->top, task->right, task->bottom, s));
    } else if (before) {
        LGuiCursor::Restore();
        fTip.clear();
        LUiSetToolTipArea(GetPaintView(), nullptr, LUiRect {});
    }
    if (before != task)
        Update();
}

void LPopularTopicsWindow::EvMouseOut()
{
    const bool had = pHoveredTask != nullptr;
    pHoveredTask = nullptr;
    fTip.clear();
    LUiSetToolTipArea(GetPaintView(), nullptr, LUiRect {});
    if (had) {
        LGuiCursor::Restore();
        Update();
    }
}

void LPopularTopicsWindow::EvLButtonDown(int x, int y)
{
    if (SubTopicData* task = TaskAt(x, y); task && pDialog)
        LIOSEventHandler::Send(pDialog->GetContentView(), 1, long(task), 0);
}

void LPopularTopicsWindow::EvRButtonDown(int x, int y)
{
    if (SubTopicData* task = TaskAt(x, y); task && pDialog) {
        pHoveredTask = task;
        pDialog->PostCommand(5011);
    }
}

// --- divider and logo --------------------------------------------------------------------------

LSuiteDividerControl::~LSuiteDividerControl()
{
    DestroyPaintControl();
}

void LSuiteDividerControl::Paint(LPaintContext& context)
{
    LPaintSurface::FillRectAA(
        context, LGuiColor(0x8900, 0x8C00, 0x9500), 0, 0, float(GetWidth()), float(GetHeight()));
}

LSuiteLogoControl::~LSuiteLogoControl()
{
    DestroyPaintControl();
}

void LSuiteLogoControl::Paint(LPaintContext& context)
{
    const int W = GetWidth(), H = GetHeight();
    // The maker's logo as the main window shows it: white on grey, here fitted into the control.
    const LImageBuffer& image = fLogo.GetImage();
    if (image.GetWidth() > 0 && image.GetHeight() > 0) {
        const double f = std::min(double(W) / image.GetWidth(), double(H) / image.GetHeight());
        const int dw = int(image.GetWidth() * f), dh = int(image.GetHeight() * f);
        const int x = W - dw, y = (H - dh) / 2;
        LPaintSurface::FillRectAA(
            context, LGuiColor(0x8000, 0x8000, 0x8000), float(x), float(y), float(dw), float(dh));
        LPaintSurface::DrawImage(context, image, float(x), float(y), float(dw), float(dh), 1.0f,
            LImageInterpolationMode {});
        return;
    }
    // Without the picture the maker's name stands in its place.
    const double s = GetBackingScale();
    context.SetFont(LFontAttributes("", float(s * LGuiFont::GetSystemFontSize()), LFontStyleBold));
    context.mTextColor = LGuiColorAlpha(LGuiColor(0, 0x3200, 0xC600));
    LPaintSurface::DrawText(context, "ZOR Software", 0, 0, W, H, LAlignmentXRight,
        LAlignmentYCenter, LTextWrappingWord, LTextTrimmingNone);
}

void LSuiteLogoControl::EvMouseIn()
{
    LGuiCursor::SetSystem(LGuiCursor::PointingHand);
    if (parent)
        parent->PostCommand(5021);
}

void LSuiteLogoControl::EvMouseOut()
{
    LGuiCursor::Restore();
}

void LSuiteLogoControl::EvLButtonDown(int, int)
{
    if (parent)
        parent->PostCommand(5020);
}
