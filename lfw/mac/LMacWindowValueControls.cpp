// The window's edit views, pull-down lists, combo boxes, track bars, up-down inputs, progress
// bars, images, group boxes, lines and links: created by id and addressed by id.
#include "lfw/mac/LMacWindow.h"

#include "lfw/mac/LControlFlags.h"
#include "lfw/mac/LGuiImage.h"
#include "lfw/mac/cocoa/LAssociatedData.h"
#include "lfw/mac/cocoa/LCocoaComboBoxImpl.h"
#include "lfw/mac/cocoa/LCocoaEditViewImpl.h"
#include "lfw/mac/cocoa/LCocoaInputUpDownImpl.h"
#include "lfw/mac/cocoa/LCocoaPaintControlImpl.h"
#include "lfw/mac/cocoa/LCocoaPullDownListImpl.h"
#include "lfw/mac/cocoa/LCocoaSimpleControls.h"
#include "lfw/mac/cocoa/LCocoaTextField.h"
#include "lfw/mac/cocoa/LCocoaTrackBarImpl.h"
#include "lfw/mac/cocoa/LCocoaViewCategory.h"
#include "platform/ui/LView.h"

#include <algorithm>
#include <climits>
#include <cmath>

namespace {

constexpr LUiRect kUnplaced { 0, -300, 500, 30 };

LUiRect Aligned(const LUiRect& r, double scale)
{
    auto a = [scale](double v) { return std::round(v * scale) / scale; };
    double x = a(r.x), y = a(r.y);
    return LUiRect { x, y, a(r.x + r.width) - x, a(r.y + r.height) - y };
}

template <class T> T* AddTo(LView* content, T* control)
{
    if (content)
        content->AddSubview(control);
    control->Release();
    return content ? control : nullptr;
}

int Saturated(double v)
{
    if (std::isnan(v))
        return 0;
    return int(std::clamp(v, double(INT_MIN), double(INT_MAX)));
}

} // namespace

LCocoaEditViewImpl* LMacWindow::EditViewGetImpl(int id) const
{
    LView* view = GetControlHandle(id);
    if (auto* edit = dynamic_cast<LCocoaEditViewImpl*>(view))
        return edit;
    // A scroll view carrying the id holds the edit view as its document.
    if (view)
        for (LView* sub : view->Subviews()) {
            if (auto* edit = dynamic_cast<LCocoaEditViewImpl*>(sub))
                return edit;
            for (LView* inner : sub->Subviews())
                if (auto* edit = dynamic_cast<LCocoaEditViewImpl*>(inner))
                    return edit;
        }
    return nullptr;
}

// --- creation ----------------------------------------------------------------------------------

LView* LMacWindow::AddEdit(int id, const LEditFlags& flags)
{
    // The scroll view carries the id; the edit view fills it. A single line has no scroll bars.
    auto* edit = new LCocoaEditViewImpl(
        LUiRect { 0, 0, kUnplaced.width, kUnplaced.height }, -1, this, flags);
    LView* scroll = AddScrolledDocument(id, kUnplaced, edit, flags.bordered ? 2 : 0);
    if (auto* s = dynamic_cast<LCustomCocoaScrollView*>(scroll))
        s->setScrollers(!flags.singleLine && flags.horizontalScroller,
            !flags.singleLine && flags.verticalScroller);
    return scroll;
}

LView* LMacWindow::AddScrolledDocument(
    int id, const LUiRect& frame, LView* document, int borderType)
{
    LView* content = GetContentView();
    if (!content) {
        document->Release();
        return nullptr;
    }
    auto* scroll = new LCustomCocoaScrollView(frame, id);
    scroll->setBorderType(borderType);
    scroll->setSubView(document);
    document->Release();
    return AddTo(content, scroll);
}

LView* LMacWindow::AddEdit(int id)
{
    LEditFlags flags;
    flags.bordered = true;
    flags.verticalScroller = true;
    return AddEdit(id, flags);
}

LCocoaPullDownListImpl* LMacWindow::AddPullDownList(int id)
{
    auto* list = new LCocoaPullDownListImpl(kUnplaced, this);
    list->setID(id);
    list->setMenuDelegate(new LCocoaPullDownListMenuDelegate(list, this));
    // A choice sends the control's own id.
    list->setSelectionChangeCommand(id);
    return AddTo(GetContentView(), list);
}

LCocoaPullDownListImpl* LMacWindow::AddPullDownList(int id, int x, int y, int w, int h)
{
    LCocoaPullDownListImpl* list = AddPullDownList(id);
    if (list)
        list->SetFrame(Aligned(
            LUiRect { double(x), double(y), double(w), double(h) + 3 }, GetBackingScaleFactor()));
    return list;
}

LCocoaComboBoxImpl* LMacWindow::AddComboBox(int id, bool numeric)
{
    auto* combo = new LCocoaComboBoxImpl(kUnplaced, this);
    combo->setID(id);
    combo->setIsNumeric(numeric);
    combo->setManager(new LCocoaComboBoxManager(combo, this));
    // A choice from the list sends the control's own id.
    combo->manager()->setSelectionChangeCommand(id);
    return AddTo(GetContentView(), combo);
}

LCocoaTrackBarImpl* LMacWindow::AddHTrackBar(int id, const LTrackBarFlags& flags)
{
    auto* bar = new LCocoaTrackBarImpl(LUiRect { 0, -300, 500, 20 }, this);
    bar->setID(id);
    if (flags.showToolTip)
        bar->setShowToolTip(true);
    return AddTo(GetContentView(), bar);
}

LCocoaInputUpDownImpl* LMacWindow::AddInputUpDown(int id, const LInputFlags& flags)
{
    auto* updown = new LCocoaInputUpDownImpl(
        LUiRect { 0, -300, 13, double(std::lround(CharHeightPoints() * 1.29)) }, this);
    if (flags.readOnly)
        updown->setReadOnly(true);
    updown->setID(id);
    LCocoaView::setCommandId(updown->textField(), id, &keyCmdTextChanged);
    return AddTo(GetContentView(), updown);
}

LCocoaInputUpDownImpl* LMacWindow::AddInputUpDown(
    int id, const LInputFlags& flags, int x, int y, int w)
{
    LCocoaInputUpDownImpl* updown = AddInputUpDown(id, flags);
    // A template's place, in points at the default font: the field grows with the text when the
    // template's controls do (ScaleTemplateControls), not before.
    if (updown)
        updown->setFrame(Aligned(LUiRect { double(x), double(y), double(w),
                                     double(std::lround(CharHeightPoints() / TextScale() * 1.29)) },
            GetBackingScaleFactor()));
    return updown;
}

LView* LMacWindow::AddProgressBar(int id)
{
    auto* bar = new LCocoaProgressBarImpl(kUnplaced);
    bar->setTag(id);
    return AddTo(GetContentView(), bar);
}

LView* LMacWindow::AddHLine(int id)
{
    auto* line = new LCocoaSeparatorImpl(kUnplaced);
    line->setTag(id);
    return AddTo(GetContentView(), line);
}

LView* LMacWindow::AddHLine(int id, int x, int y, int w)
{
    auto* line = new LCocoaSeparatorImpl(
        Aligned(LUiRect { double(x), double(y), double(w), 1 }, GetBackingScaleFactor()));
    line->setTag(id);
    return AddTo(GetContentView(), line);
}

LCocoaImageControlImpl* LMacWindow::AddBitmap(int id, int x, int y, int w, int h)
{
    if (fRealWindow)
        y -= GetToolbarHeightPixels(GetContentView());
    double s = GetBackingScaleFactor();
    auto* image = new LCocoaImageControlImpl(LUiRect { x / s, y / s, w / s, h / s });
    image->SetTag(id);
    return AddTo(GetContentView(), image);
}

LCocoaImageControlImpl* LMacWindow::AddIcon(int id, int resourceId, int x, int y, int w, int h)
{
    LCocoaImageControlImpl* image = AddBitmap(id, x, y, w, h);
    if (image && resourceId >= 1)
        image->setImageWithResourceID(resourceId);
    return image;
}

LView* LMacWindow::AddGroup(int id, const char* title)
{
    return AddGroup(id, title, LGroupBoxFlags {}, 0, 0, 0, 0);
}

LView* LMacWindow::AddGroup(int id, const char* title, int x, int y, int w, int h)
{
    return AddGroup(id, title, LGroupBoxFlags {}, x, y, w, h);
}

LView* LMacWindow::AddGroup(
    int id, const char* title, const LGroupBoxFlags&, int x, int y, int w, int h)
{
    LView* content = GetContentView();
    auto* group = new LCocoaGroupImpl(
        LUiRect { double(x), double(y), double(w), double(h) }, title ? title : "");
    group->setTag(id);
    // Behind every other control.
    if (content)
        content->InsertSubview(group, 0);
    group->Release();
    // Radio buttons after a group box belong to a group of their own.
    AddRadioButtonGroup();
    return content ? group : nullptr;
}

LView* LMacWindow::AddHyperLink(int id, const char* text)
{
    auto* link = new LCocoaHyperLinkImpl(
        LUiRect { 0, -300, 8, double(std::lround(CharHeightPoints() * 1.23)) }, this);
    link->setID(id);
    link->setText(text ? text : "");
    return AddTo(GetContentView(), link);
}

LCocoaHyperLinkImpl* LMacWindow::AddHyperLink(
    int id, const char* text, const char* url, int x, int y, int w, int h)
{
    double s = GetBackingScaleFactor();
    auto* link = new LCocoaHyperLinkImpl(LUiRect { x / s, y / s, w / s, h / s }, this);
    link->setID(id);
    link->setText(text ? text : "");
    link->setURL(url ? url : "");
    return AddTo(GetContentView(), link);
}

LCocoaHyperLinkImpl* LMacWindow::AddHyperLinkWithStyle(
    int id, const char* text, const char* url, int align, int x, int y, int w, int h)
{
    auto* link
        = new LCocoaHyperLinkImpl(LUiRect { double(x), double(y), double(w), double(h) }, this);
    link->setID(id);
    link->setText(text ? text : "");
    link->setURL(url ? url : "");
    link->setTextAlignment(align == 1 || align == 2 ? align : 0);
    return AddTo(GetContentView(), link);
}

// --- commands ----------------------------------------------------------------------------------

void LMacWindow::HandleHTBChange(int id, int cmd)
{
    if (auto* bar = dynamic_cast<LCocoaTrackBarImpl*>(GetControlHandle(id)))
        LCocoaView::setCommandId(bar, cmd, &keyCmdTrackBarChanged);
}

void LMacWindow::HandleHTBEnd(int id, int cmd)
{
    if (auto* bar = dynamic_cast<LCocoaTrackBarImpl*>(GetControlHandle(id)))
        LCocoaView::setCommandId(bar, cmd, &keyCmdTrackBarEnd);
}

void LMacWindow::HandlePDLSelChange(int id, int cmd)
{
    if (auto* list = dynamic_cast<LCocoaPullDownListImpl*>(GetControlHandle(id)))
        list->setSelectionChangeCommand(cmd);
}

void LMacWindow::HLInit(int id, const char* url)
{
    if (auto* link = dynamic_cast<LCocoaHyperLinkImpl*>(GetControlHandle(id)))
        link->setURL(url ? url : "");
}

void LMacWindow::EditPromptSet(int id, const char* prompt)
{
    if (LCocoaEditViewImpl* edit = EditViewGetImpl(id))
        edit->setPrompt(prompt ? prompt : "");
}

// --- track bars --------------------------------------------------------------------------------

void LMacWindow::TBSetRange(int id, int min, int max)
{
    if (auto* bar = dynamic_cast<LCocoaTrackBarImpl*>(GetControlHandle(id)))
        bar->setRange(min, max);
}

void LMacWindow::TBSetPosition(int id, int pos)
{
    auto* bar = dynamic_cast<LCocoaTrackBarImpl*>(GetControlHandle(id));
    if (!bar)
        return;
    double v = pos;
    // A vertical bar has its minimum at the top.
    if (bar->isVertical())
        v = bar->maxValue() + bar->minValue() - pos;
    bar->setDoubleValue(v);
}

int LMacWindow::TBGetPosition(int id)
{
    auto* bar = dynamic_cast<LCocoaTrackBarImpl*>(GetControlHandle(id));
    if (!bar)
        return 0;
    double v = bar->doubleValue();
    if (bar->isVertical())
        v = bar->maxValue() + bar->minValue() - v;
    return Saturated(std::trunc(v));
}

// --- up-down inputs ------------------------------------------------------------------------------

void LMacWindow::UDInit(int id, int min, int max, int step)
{
    if (auto* ud = dynamic_cast<LCocoaInputUpDownImpl*>(GetControlHandle(id))) {
        ud->setMin(min);
        ud->setMax(max);
        ud->setStep(step);
    }
}

void LMacWindow::UDSetInt(int id, int value)
{
    if (auto* ud = dynamic_cast<LCocoaInputUpDownImpl*>(GetControlHandle(id)))
        ud->setValue(value);
}

int LMacWindow::UDGetInt(int id)
{
    auto* ud = dynamic_cast<LCocoaInputUpDownImpl*>(GetControlHandle(id));
    if (!ud)
        return 0;
    double lo = ud->min();
    double hi = std::max(lo, ud->max());
    return Saturated(std::trunc(std::clamp(ud->value(), lo, hi)));
}

// --- pull-down lists ---------------------------------------------------------------------------

int LMacWindow::PDLAddString(int id, const char* text)
{
    auto* list = dynamic_cast<LCocoaPullDownListImpl*>(GetControlHandle(id));
    return list ? list->addItem(text) : -1;
}

int LMacWindow::PDLAddString(int id, const char* text, unsigned long data)
{
    auto* list = dynamic_cast<LCocoaPullDownListImpl*>(GetControlHandle(id));
    return list ? list->addItem(text, uint64_t(data)) : -1;
}

unsigned long LMacWindow::PDLGetItemData(int id, int index)
{
    auto* list = dynamic_cast<LCocoaPullDownListImpl*>(GetControlHandle(id));
    return list ? (unsigned long)(list->getItemDataAtIndex(index)) : 0;
}

int LMacWindow::PDLFindItemData(int id, unsigned long data)
{
    auto* list = dynamic_cast<LCocoaPullDownListImpl*>(GetControlHandle(id));
    return list ? list->findItemWithData(uint64_t(data)) : -1;
}

void LMacWindow::PDLGetText(int id, char* buffer)
{
    if (!buffer)
        return;
    buffer[0] = '\0';
    auto* list = dynamic_cast<LCocoaPullDownListImpl*>(GetControlHandle(id));
    if (const char* title = list ? list->getSelectedItemTitle() : nullptr)
        LCocoaControl::CopyText(title, buffer, 260);
}

void LMacWindow::PDLSetCurSel(int id, const char* title)
{
    if (auto* list = dynamic_cast<LCocoaPullDownListImpl*>(GetControlHandle(id)))
        list->selectWithTitle(title ? title : "");
}

void LMacWindow::PDLSetCurSel(int id, int index)
{
    if (auto* list = dynamic_cast<LCocoaPullDownListImpl*>(GetControlHandle(id)))
        list->selectAtIndex(index);
}

int LMacWindow::PDLGetCurSel(int id)
{
    auto* list = dynamic_cast<LCocoaPullDownListImpl*>(GetControlHandle(id));
    return list ? list->getSelectedItem() : -1;
}

// --- progress bars and images ------------------------------------------------------------------

void LMacWindow::PBSetProgress(int id, double fraction)
{
    if (auto* bar = dynamic_cast<LCocoaProgressBarImpl*>(GetControlHandle(id)))
        bar->setDoubleValue(fraction * 100);
}

void LMacWindow::PBSetProgressIndeterminateOn(int id)
{
    if (auto* bar = dynamic_cast<LCocoaProgressBarImpl*>(GetControlHandle(id)))
        bar->enableIndeterminate(true);
}

void LMacWindow::PBSetProgressIndeterminateOff(int id)
{
    if (auto* bar = dynamic_cast<LCocoaProgressBarImpl*>(GetControlHandle(id)))
        bar->enableIndeterminate(false);
}

void LMacWindow::SetIconIcon(int id, LGuiIcon& icon)
{
    if (auto* image = dynamic_cast<LCocoaImageControlImpl*>(GetControlHandle(id)))
        image->setImageWithResourceImage(icon.GetCocoaImage().GetImage());
}

void LMacWindow::SetPictureImageTransparent(int id, int resourceId)
{
    if (auto* image = dynamic_cast<LCocoaImageControlImpl*>(GetControlHandle(id)))
        image->setImageWithResourceID(resourceId);
}
