// Controls created and addressed by id: the Add operations, the look-up of an id, placing,
// showing, enabling and focusing controls, and the commands their events send.
#include "lfw/mac/LMacWindow.h"

#include "lfw/mac/cocoa/LCocoaPaintControlImpl.h"

#include "lfw/mac/LControlFlags.h"
#include "lfw/mac/cocoa/LAssociatedData.h"
#include "lfw/mac/cocoa/LCocoaButtonImpl.h"
#include "lfw/mac/cocoa/LCocoaInputUpDownImpl.h"
#include "lfw/mac/cocoa/LCocoaPaintControlImpl.h"
#include "lfw/mac/cocoa/LCocoaTextField.h"
#include "lfw/mac/cocoa/LCocoaViewCategory.h"
#include "lfw/mac/cocoa/LCocoaWindowImpl.h"
#include "platform/ui/LNativeWindow.h"
#include "platform/ui/LView.h"

#include <algorithm>
#include <cmath>
#include <memory>

namespace {

constexpr LUiRect kUnplaced { 0, -300, 500, 30 };

int R(double v)
{
    return LMacWindow::RoundPixels(v);
}

// Edges on whole device pixels of the scale.
LUiRect Aligned(const LUiRect& r, double scale)
{
    auto a = [scale](double v) { return std::round(v * scale) / scale; };
    double x = a(r.x), y = a(r.y);
    return LUiRect { x, y, a(r.x + r.width) - x, a(r.y + r.height) - y };
}

// Adds the new control (whose one reference the caller made) to the content view, which then
// holds it.
template <class T> T* AddTo(LView* content, T* control)
{
    if (content)
        content->AddSubview(control);
    control->Release();
    return content ? control : nullptr;
}

} // namespace

namespace {

// Marks the document of the scroll view that holds controls of the window (ScrollControls).
const char kScrolledControlsKey = 0;

} // namespace

// --- look-up -------------------------------------------------------------------------------------

LView* LMacWindow::ScrolledControlsDocument(LView* contentView)
{
    if (!contentView)
        return nullptr;
    for (LView* sub : contentView->Subviews())
        if (auto* scroll = dynamic_cast<LCustomCocoaScrollView*>(sub))
            if (LView* document = scroll->documentView();
                document && LAssociatedData::getDataForObject(document, &kScrolledControlsKey))
                return document;
    return nullptr;
}

bool LMacWindow::ScrollsWhenTooLarge() const
{
    return fRealWindow && fWindow && !(fWindow->StyleMask() & kLUiWindowResizable);
}

void LMacWindow::LimitToWorkArea(int& w, int& h)
{
    if (!ScrollsWhenTooLarge())
        return;
    int largestW = 0, largestH = 0;
    GetLargestClientSizePixels(largestW, largestH);
    if (largestW > 0)
        w = std::min(w, largestW);
    if (largestH > 0)
        h = std::min(h, largestH);
}

void LMacWindow::ScrollWhatDoesNotFit(int w, int h, int shownW, int shownH)
{
    LView* content = GetContentView();
    if (!content)
        return;
    LView* document = ScrolledControlsDocument(content);
    auto* scroll
        = document ? dynamic_cast<LCustomCocoaScrollView*>(document->Superview()) : nullptr;
    if (shownW >= w && shownH >= h) {
        // All of it shows again: the controls go back to the content view, in their order.
        if (fScrollsToFit && scroll) {
            LUiRef<LView> holdScroll(scroll);
            const std::vector<LView*> controls = document->Subviews();
            for (LView* control : controls) {
                LUiRef<LView> hold(control);
                control->RemoveFromSuperview();
                content->AddSubview(control);
            }
            scroll->RemoveFromSuperview();
        }
        fScrollsToFit = false;
        return;
    }
    if (!document || !scroll) {
        scroll = new LCustomCocoaScrollView(LUiRect { 0, 0, 1, 1 }, 0);
        auto* plain = new LCocoaViewBase(LUiRect { 0, 0, 1, 1 }, this);
        LAssociatedData::setData(1, plain, &kScrolledControlsKey);
        scroll->setSubView(plain);
        plain->Release();
        // Below the button row, which stays on top.
        content->InsertSubview(scroll, 0);
        scroll->Release();
        document = plain;
    }
    fScrollsToFit = true;
    std::vector<LView*> row;
    for (int id : fButtonRow)
        if (LView* button = GetControlHandle(id); button && button->Superview() == content)
            row.push_back(button);
    // Every other control, in its order (which is the keyboard's), goes into the document.
    std::vector<LView*> controls;
    for (LView* sub : content->Subviews())
        if (sub != scroll && std::find(row.begin(), row.end(), sub) == row.end())
            controls.push_back(sub);
    for (LView* control : controls) {
        LUiRef<LView> hold(control);
        control->RemoveFromSuperview();
        document->AddSubview(control);
    }
    const int band = row.empty() ? 0 : fButtonBandPixels;
    const int documentHeight = std::max(1, h - band), visibleHeight = std::max(1, shownH - band);
    const double s = GetBackingScaleFactor();
    const double bar = documentHeight > visibleHeight ? LCustomCocoaScrollView::scrollerWidth() : 0;
    scroll->setScrollers(w > shownW, true);
    MoveControlPixels(scroll, 0, 0, shownW, visibleHeight);
    document->SetFrame(
        LUiRect { 0, 0, std::max(w > shownW ? w / s : 1.0, shownW / s - bar), documentHeight / s });
    scroll->documentSizeChanged();
    scroll->SetNeedsDisplay();
}

void LMacWindow::ScrollControls(
    const int* ids, size_t count, int x, int y, int w, int h, int documentHeight)
{
    LView* content = GetContentView();
    if (!content)
        return;
    LView* document = ScrolledControlsDocument(content);
    LCustomCocoaScrollView* scroll
        = document ? dynamic_cast<LCustomCocoaScrollView*>(document->Superview()) : nullptr;
    if (!document || !scroll) {
        scroll = new LCustomCocoaScrollView(LUiRect { 0, 0, 1, 1 }, 0);
        scroll->setScrollers(false, true);
        auto* plain = new LCocoaViewBase(LUiRect { 0, 0, 1, 1 }, this);
        LAssociatedData::setData(1, plain, &kScrolledControlsKey);
        scroll->setSubView(plain);
        plain->Release();
        content->AddSubview(scroll);
        scroll->Release();
        document = plain;
    }
    for (size_t i = 0; i < count; ++i) {
        LView* control = nullptr;
        for (LView* sub : content->Subviews())
            if (sub->Tag() == ids[i] && sub != scroll)
                control = sub;
        if (!control)
            continue;
        LUiRef<LView> hold(control);
        control->RemoveFromSuperview();
        document->AddSubview(control);
    }
    const double s = GetBackingScaleFactor();
    MoveControlPixels(scroll, x, y, w, h);
    const double bar = documentHeight > h ? LCustomCocoaScrollView::scrollerWidth() : 0;
    document->SetFrame(
        LUiRect { 0, 0, std::max(1.0, w / s - bar), std::max(h, documentHeight) / s });
    scroll->documentSizeChanged();
    scroll->SetNeedsDisplay();
}

LView* LMacWindow::GetControlHandle(LView* contentView, int id)
{
    if (!contentView)
        return nullptr;
    auto among = [id](LView* container) -> LView* {
        for (LView* sub : container->Subviews()) {
            if (sub->Tag() == id)
                return sub;
            if (dynamic_cast<LCocoaRadioButtonGroupImpl*>(sub)
                || dynamic_cast<LCocoaInputUpDownImpl*>(sub))
                for (LView* inner : sub->Subviews())
                    if (inner->Tag() == id)
                        return inner;
        }
        return nullptr;
    };
    if (LView* found = among(contentView))
        return found;
    // The controls the window keeps in a scroll view of its own.
    if (LView* document = ScrolledControlsDocument(contentView))
        if (LView* found = among(document))
            return found;
    // The content view's siblings: for an embedded window, the host's controls.
    if (LView* super = contentView->Superview())
        for (LView* sub : super->Subviews())
            if (sub != contentView && sub->Tag() == id)
                return sub;
    return nullptr;
}

LView* LMacWindow::ControlGetRealControlHandle(int id) const
{
    return RealControl(GetControlHandle(id));
}

LWindow* LMacWindow::GetControlParent(LView* view)
{
    for (LView* v = view ? view->Superview() : nullptr; v; v = v->Superview())
        if (auto* w = dynamic_cast<LMacWindow*>(GetThisProperty(v)))
            return w;
    return nullptr;
}

// --- placing -------------------------------------------------------------------------------------

void LMacWindow::MoveControlPixels(int id, int x, int y, int w, int h)
{
    LView* view = GetControlHandle(id);
    if (!view)
        return;
    double s = GetBackingScaleFactor();
    if (auto* b = dynamic_cast<LCocoaButtonImpl*>(view)) {
        // The button's own inset around its visible rectangle (its style margins).
        if (!b->isCustomDraw() && !b->isTypeRadioButton()
            && b->bezelStyle() != kLBezelShadowlessSquare) {
            int i
                = (b->isTypeCoolButton() || b->isTypeCheckButton() || b->isTypeCheckBox()) ? 4 : 12;
            int c = b->isTypeCoolButton() ? 1 : 0;
            x -= int(s * (i / 2));
            y -= int(s * ((c + 3) / 2));
            w += int(s * i);
            h += int(s * (c + 3));
        }
    }
    MoveControlPixels(view, x, y, w, h);
}

void LMacWindow::MoveControlPixels(LView* view, int x, int y, int w, int h)
{
    if (!view)
        return;
    if (fRealWindow)
        y -= GetToolbarHeightPixels(GetContentView());
    double s = GetBackingScaleFactor();
    view->SetFrame(LUiRect { x / s, y / s, w / s, h / s });
    view->SetNeedsDisplay();
}

void LMacWindow::GetControlPixels(int id, int& x, int& y, int& w, int& h)
{
    x = y = w = h = 0;
    LView* view = GetControlHandle(id);
    LView* content = GetContentView();
    if (!view || !content)
        return;
    double s = GetBackingScaleFactor();
    LUiPoint p = view->ConvertToRoot(LUiPoint {});
    LUiPoint c = content->ConvertToRoot(LUiPoint {});
    x = R((p.x - c.x) * s);
    y = R((p.y - c.y) * s);
    if (fRealWindow)
        y += GetToolbarHeightPixels(content);
    w = int(view->Bounds().width * s);
    h = int(view->Bounds().height * s);
}

void LMacWindow::SetControlHeightPixels(int id, int h)
{
    LView* view = GetControlHandle(id);
    if (!view)
        return;
    LUiRect f = view->Frame();
    view->SetFrame(LUiRect { f.x, f.y, f.width, h / GetBackingScaleFactor() });
    view->SetNeedsDisplay();
}

// --- visibility, enabling, focus ---------------------------------------------------------------

void LMacWindow::ShowControl(int id, bool show)
{
    _ShowControl(GetControlHandle(id), show);
}

void LMacWindow::_ShowControl(LView* view, bool show)
{
    if (!view)
        return;
    view->SetHidden(!show);
    view->SetNeedsDisplay();
}

bool LMacWindow::_IsControlVisible(LView* view)
{
    return view && view->Superview() && !view->IsHiddenOrHasHiddenAncestor();
}

void LMacWindow::EnableControl(int id, bool enable)
{
    EnableControl(GetControlHandle(id), enable);
}

void LMacWindow::EnableControl(LView* view, bool enable)
{
    if (!view || !view->AnswersEnabled())
        return;
    view->SetEnabled(enable);
    view->SetNeedsDisplay();
}

void LMacWindow::SetFocus(int id)
{
    _SetFocus(ControlGetRealControlHandle(id));
}

LView* LMacWindow::RealControl(LView* control)
{
    if (auto* scroll = dynamic_cast<LCustomCocoaScrollView*>(control))
        if (LView* document = scroll->documentView())
            return document;
    return control;
}

void LMacWindow::_SetFocus(LView* view)
{
    if (LNativeWindow* window = view ? view->Window() : nullptr)
        window->MakeFirstResponder(view);
}

bool LMacWindow::IsControlFocus(int id)
{
    return _IsControlFocus(ControlGetRealControlHandle(id));
}

bool LMacWindow::_IsControlFocus(LView* view)
{
    LNativeWindow* window = view ? view->Window() : nullptr;
    if (!window || !(dynamic_cast<LCocoaViewBase*>(view) || view->AcceptsFocus()))
        return false;
    return window->FirstResponder() == view;
}

// --- labels --------------------------------------------------------------------------------------

LView* LMacWindow::AddPaintControl(int id)
{
    return AddTo(GetContentView(), new LCocoaPaintControlImpl(LUiRect { 0, -300, 8, 8 }, id, this));
}

LView* LMacWindow::AddPaintControl(int id, int x, int y, int w, int h)
{
    LView* host = AddPaintControl(id);
    if (host)
        MoveControlPixels(host, x, y, w, h);
    return host;
}

LView* LMacWindow::AddStatic(int id, const char* text, const LStaticFlags& flags)
{
    auto* label = new LCocoaTextStaticImpl(
        LUiRect { 0, -300, 8, double(R(CharHeightPoints() * 1.23)) }, this);
    label->setID(id);
    label->setText(text ? text : "");
    if (flags.alignment == 1)
        label->setTextAlignmentCenter();
    else if (flags.alignment == 2)
        label->setTextAlignmentRight();
    if (flags.lineBreak == 1)
        label->setLineBreakMode(kLLineBreakTruncateMiddle);
    else if (flags.lineBreak == 2)
        label->setLineBreakMode(kLLineBreakTruncateTail);
    return AddTo(GetContentView(), label);
}

LView* LMacWindow::AddStatic(int id, const char* text)
{
    return AddStatic(id, text, LStaticFlags {});
}

LView* LMacWindow::AddStatic(int id, const LStaticFlags& flags)
{
    return AddStatic(id, "", flags);
}

LView* LMacWindow::AddStatic(int id)
{
    return AddStatic(id, "", LStaticFlags {});
}

LView* LMacWindow::AddStatic(
    int id, const char* text, const LStaticFlags& flags, int x, int y, int w, int h)
{
    LView* label = AddStatic(id, text, flags);
    if (label)
        label->SetFrame(Aligned(
            LUiRect { double(x), double(y), double(w), double(h) }, GetBackingScaleFactor()));
    return label;
}

// --- buttons -------------------------------------------------------------------------------------

void LMacWindow::ButtonInit(LCocoaButtonImpl* button, const LButtonFlags& flags)
{
    if (!button)
        return;
    if (button->Tag() == kLCmdHelp)
        button->setTypeHelpButton();
    else if (flags.checkButton)
        button->setTypeCheckButton();
    else
        button->setTypeCoolButton();
    if (flags.imageMode == 1 || flags.imageMode == 2) {
        if (button->text().empty()) {
            button->setImagePosition(kLImageOnly);
        } else if (flags.textPlacement == 0) {
            button->setTextAlignmentLeft();
            button->setImagePosition(kLImageLeft);
        } else if (flags.textPlacement == 2) {
            button->setTextBelowImage();
        } else {
            button->setImagePosition(kLImageLeft);
        }
    } else if (flags.textPlacement == 0) {
        button->setTextAlignmentLeft();
    } else {
        button->setImagePosition(kLImageNone);
    }
}

LCocoaButtonImpl* LMacWindow::AddButton(int id, const char* text, const LButtonFlags& flags)
{
    auto* b = new LCocoaButtonImpl(kUnplaced, this);
    b->setID(id);
    b->setText(text ? text : "");
    ButtonInit(b, flags);
    return AddTo(GetContentView(), b);
}

LCocoaButtonImpl* LMacWindow::AddButton(int id, const char* text)
{
    return AddButton(id, text, LButtonFlags {});
}

LCocoaButtonImpl* LMacWindow::AddButton(int id)
{
    return AddButton(id, "", LButtonFlags {});
}

LCocoaButtonImpl* LMacWindow::AddButton(int id, const LButtonFlags& flags)
{
    return AddButton(id, "", flags);
}

namespace {

// A button at the rectangle (points), not yet added: its kind is set before GTK makes it.
LCocoaButtonImpl* NewButton(LMacWindow& window, int id, const char* text, const LButtonFlags& flags,
    int x, int y, int w, int h)
{
    auto* b = new LCocoaButtonImpl(
        Aligned(LUiRect { double(x - 2), double(y), double(w + 4), double(h + 4) },
            window.GetBackingScaleFactor()),
        &window);
    b->setID(id);
    b->setText(text ? text : "");
    LMacWindow::ButtonInit(b, flags);
    return b;
}

} // namespace

LCocoaButtonImpl* LMacWindow::AddButton(
    int id, const char* text, const LButtonFlags& flags, int x, int y, int w, int h)
{
    return AddTo(GetContentView(), NewButton(*this, id, text, flags, x, y, w, h));
}

LCocoaButtonImpl* LMacWindow::AddPushButton(int id, const char* text, int x, int y, int w, int h)
{
    LCocoaButtonImpl* b = NewButton(*this, id, text, LButtonFlags {}, x, y, w, h);
    b->setTypePushButton();
    return AddTo(GetContentView(), b);
}

LCocoaButtonImpl* LMacWindow::AddSpecialButton(int id, const char* text)
{
    return AddPushButton(id, text, 0, 0, 96, R(CharHeightPoints() * 1.23));
}

LCocoaButtonImpl* LMacWindow::AddOk(int x, int y, int w, const char* text)
{
    LCocoaButtonImpl* b = AddPushButton(kLCmdOk, text ? text : "OK", x, y, w, 21);
    _SetButtonStyleOk(kLCmdOk);
    return b;
}

LCocoaButtonImpl* LMacWindow::AddCancel(int x, int y, int w)
{
    return AddCancel(x, y, w, "Avbryt");
}

LCocoaButtonImpl* LMacWindow::AddCancel(int x, int y, int w, const char* text)
{
    LCocoaButtonImpl* b = AddPushButton(kLCmdCancel, text ? text : "Avbryt", x, y, w, 21);
    _SetButtonStyleCancel(kLCmdCancel);
    return b;
}

LCocoaButtonImpl* LMacWindow::AddHelp(int x, int y)
{
    return AddButton(kLCmdHelp, "", LButtonFlags {}, x, y, 21, 21);
}

void LMacWindow::AddOkCancel(const char* okText)
{
    AddButton(kLCmdOk, okText ? okText : "OK");
    AddButton(kLCmdCancel, "Avbryt");
    _SetButtonStyleOk(kLCmdOk);
    _SetButtonStyleCancel(kLCmdCancel);
}

void LMacWindow::AddOkCancelHelp()
{
    AddOkCancel("OK");
    AddButton(kLCmdHelp, "");
}

void LMacWindow::_SetButtonStyleOk(int id)
{
    if (auto* b = dynamic_cast<LCocoaButtonImpl*>(GetControlHandle(id))) {
        b->setKeyEquivalent("\r");
        b->setTypePushButton();
    }
}

void LMacWindow::_SetButtonStyleCancel(int id)
{
    if (auto* b = dynamic_cast<LCocoaButtonImpl*>(GetControlHandle(id))) {
        b->setKeyEquivalent("\033");
        b->setTypePushButton();
    }
}

LCocoaButtonImpl* LMacWindow::AddCoolButtonTextOnly(int id, const char* text)
{
    auto* b = LCocoaButtonImpl::coolButtonWithID(id, this);
    b->setText(text ? text : "");
    b->setImagePosition(kLImageNone);
    return AddTo(GetContentView(), b);
}

LCocoaButtonImpl* LMacWindow::AddCoolButtonIconOnly(int id)
{
    auto* b = LCocoaButtonImpl::coolButtonWithID(id, this);
    b->setImagePosition(kLImageOnly);
    return AddTo(GetContentView(), b);
}

LCocoaButtonImpl* LMacWindow::AddCoolButtonIconText(int id, const char* text)
{
    auto* b = LCocoaButtonImpl::coolButtonWithID(id, this);
    b->setText(text ? text : "");
    b->setTextAlignmentLeft();
    b->setImagePosition(kLImageLeft);
    b->setTextColor(0, 0, 0);
    return AddTo(GetContentView(), b);
}

LCocoaButtonImpl* LMacWindow::AddCheckBox(int id, const char* text)
{
    return AddCheckBox(id, text, 0, -300, 500, 30);
}

LCocoaButtonImpl* LMacWindow::AddCheckBox(int id, const char* text, int x, int y, int w, int h)
{
    auto* b = new LCocoaButtonImpl(LUiRect { double(x), double(y), double(w), double(h) }, this);
    b->setID(id);
    b->setText(text ? text : "");
    b->setTypeCheckBox();
    b->setTextAlignmentLeft();
    return AddTo(GetContentView(), b);
}

LView* LMacWindow::AddRadioButtonGroup()
{
    auto* content = dynamic_cast<LCocoaWindowContentView*>(GetContentView());
    if (!content)
        return nullptr;
    auto* group = new LCocoaRadioButtonGroupImpl(content->Bounds());
    group->SetTag(-1); // never looked up itself
    content->AddSubview(group);
    group->Retain();
    content->setCurrentRadioButtonGroup(std::shared_ptr<LCocoaRadioButtonGroupImpl>(
        group, [](LCocoaRadioButtonGroupImpl* g) { g->Release(); }));
    group->Release();
    return group;
}

LCocoaButtonImpl* LMacWindow::AddRadioButton(int id, const char* text)
{
    return AddRadioButton(id, text, 0, -300, 500, 30);
}

LCocoaButtonImpl* LMacWindow::AddRadioButton(int id, const char* text, int x, int y, int w, int h)
{
    auto* content = dynamic_cast<LCocoaWindowContentView*>(GetContentView());
    if (!content)
        return nullptr;
    LView* group = content->currentRadioButtonGroup();
    if (!group)
        group = AddRadioButtonGroup();
    return LCocoaButtonImpl::radioButtonWithID(
        id, LUiRect { double(x), double(y), double(w), double(h) }, this, text, group);
}

// --- inputs --------------------------------------------------------------------------------------

LView* LMacWindow::AddInput(int id, const LInputFlags& flags)
{
    LUiRect frame { 0, -300, 500, 21 };
    LCocoaTextInputImpl* input = flags.password ? new LCocoaTextInputPasswdImpl(frame, this)
                                                : new LCocoaTextInputImpl(frame, this);
    input->setID(id);
    if (flags.alignment == 1)
        input->setTextAlignmentCenter();
    else if (flags.alignment == 2)
        input->setTextAlignmentRight();
    if (flags.numbersOnly)
        input->setNumberOnly();
    if (flags.readOnly)
        input->setEditable(false);
    return AddTo(GetContentView(), input);
}

LView* LMacWindow::AddInput(int id, const LInputFlags& flags, int x, int y, int w)
{
    LView* input = AddInput(id, flags);
    if (input)
        input->SetFrame(
            Aligned(LUiRect { double(x), double(y), double(w), 21 }, GetBackingScaleFactor()));
    return input;
}

// --- commands of control events
// --------------------------------------------------------------------

void LMacWindow::HandleEditTextChange(int id, int cmd)
{
    if (LView* view = ControlGetRealControlHandle(id))
        LCocoaView::setCommandId(view, cmd, &keyCmdTextChanged);
}

void LMacWindow::HandleEditTextFocusLost(int id, int cmd)
{
    if (LView* view = ControlGetRealControlHandle(id))
        LCocoaView::setCommandId(view, cmd, &keyCmdTextFocusLost);
}

void LMacWindow::HandleEditControlFilter(int id, bool (*filter)(LWindow&, const char*))
{
    auto* input = dynamic_cast<LCocoaTextInputImpl*>(GetControlHandle(id));
    if (!input || dynamic_cast<LNumberValueFormatter*>(input->formatter()))
        return;
    auto formatter = std::make_unique<LEditControlFormatter>();
    if (filter)
        formatter->setFilterFunction(
            [filter, this](const char* text) { return filter(*this, text); });
    formatter->setLfwWindow(this);
    input->setFormatter(std::move(formatter));
}
