// The project viewer's edits: adding and deleting overlays, the clipboard, the panels' property
// changes, backgrounds and the same-format choice of the label layout. Every edit records its
// undo step before it changes the design.
#include "app/VTClipboardOverlay.h"
#include "app/VTExport.h"
#include "app/VTHistoryState.h"
#include "app/VTLabelLayout.h"
#include "app/VTOptions.h"
#include "app/VTOptionsDialog.h"
#include "app/VTOverlayCircularText.h"
#include "app/VTOverlayImage.h"
#include "app/VTOverlayText.h"
#include "app/VTPictureFilesAdd.h"
#include "app/VTProjectViewer.h"
#include "lfw/gen/LUserSettings.h"
#include "lfw/graphics/LImageBuffer.h"
#include "lfw/graphics/LImageFile.h"
#include "lfw/mac/LAlert.h"
#include "lfw/mac/LClipboard.h"
#include "platform/ui/LUiSystem.h"
#include "platform/ui/LView.h"

#include <cstdio>
#include <cstring>
#include <memory>
#include <utility>
#include <vector>

namespace {

// An image the design can take: at least one pixel each way, with pixels.
bool UsableImage(const LImageBuffer& image)
{
    return image.IsValid() && image.GetWidth() >= 1 && image.GetHeight() >= 1;
}

// The design keeps its background picture's path in a field the project file holds as it is:
// a path that does not fit is kept as its file name, never cut into a path of another file.
void StoreBackgroundImagePath(VTProjectTemplate& design, const std::string& path)
{
    utf8strlcpy(design.backgroundImagePath, VTPathForProjectFile(path.c_str()).c_str(),
        sizeof design.backgroundImagePath);
}

} // namespace

// --- adding --------------------------------------------------------------------------------------

void VTProjectViewer::AddOverlayText(const char* text)
{
    VTProjectTemplate* design = GetCurrentTemplate();
    if (!project || !design)
        return;
    PushAddState("Text convert");
    design->newTextOffsetX += 1;
    design->newTextOffsetY += 1;
    design->AddOverlayText(
        text, design->newTextOffsetX, design->newTextOffsetY, 50, 50, lastFontFace);
    ActivatePanel(kVTPanelTextProperties);
}

void VTProjectViewer::AddOverlayImageCommon(VTOverlayImage* overlay, LImageBuffer& buffer,
    const char* path, bool take, LImageBuffer* screenSource)
{
    std::unique_ptr<VTOverlayImage> owned(overlay);
    VTProjectTemplate* design = GetCurrentTemplate();
    if (!project || !design)
        return;
    // The overlay goes on top (it is no background picture).
    PushAddState("Text convert");
    if (take)
        overlay->TakeImage(buffer);
    else
        overlay->SetImage(buffer);
    if (screenSource && screenSource->IsValid() && overlay->HasValidImage())
        overlay->GetImage().GetScreenCopies().KeepSource(
            overlay->GetImage(), std::move(*screenSource));
    overlay->SetSourcePath(VTPathForProjectFile(path).c_str());
    design->InsertOverlay(owned.release(), true);
    ActivatePanel(kVTPanelImageProperties);
}

void VTProjectViewer::AddOverlayImage(LImageBuffer& buffer, const char* path)
{
    AddOverlayImageCommon(new VTOverlayImage, buffer, path);
}

void VTProjectViewer::AddOverlayImage(
    LImageBuffer&& buffer, const char* path, LImageBuffer* screenSource)
{
    AddOverlayImageCommon(new VTOverlayImage, buffer, path, true, screenSource);
}

void VTProjectViewer::AddOverlayClipart(LImageBuffer& buffer, const char* path)
{
    AddOverlayImageCommon(new VTOverlayClipart, buffer, path);
}

void VTProjectViewer::AddOverlayClipart(
    LImageBuffer& buffer, const char* path, float width, float height, bool keepAspect)
{
    auto* overlay = new VTOverlayClipart;
    overlay->centreX = 0;
    overlay->centreY = 0;
    overlay->NotifyTransformChanged();
    overlay->SetImage(buffer);
    overlay->SetDimensions(width, height);
    overlay->maintainAspectRatio = keepAspect;
    // The size given wins over the picture's own.
    std::unique_ptr<VTOverlayClipart> owned(overlay);
    VTProjectTemplate* design = GetCurrentTemplate();
    if (!project || !design)
        return;
    PushAddState("Text convert");
    overlay->SetSourcePath(VTPathForProjectFile(path).c_str());
    design->InsertOverlay(owned.release(), true);
    ActivatePanel(kVTPanelImageProperties);
}

void VTProjectViewer::AddOverlayImageBackground(LImageBuffer& buffer, const char* path)
{
    VTProjectTemplate* design = GetCurrentTemplate();
    if (!project || !design)
        return;
    PushTemplateState("Text convert");
    design->AddOverlayImageBackground(buffer, path);
    ActivatePanel(kVTPanelImageProperties);
}

LProcessResult Process(LProcessInterface& process, VTProcessProjectViewerAddOverlayImage& job)
{
    VTProcessPictureFileRead read;
    read.path = job.path;
    const LProcessResult result = Process(process, read);
    if (result != LProcessResultSuccess || !job.viewer)
        return result;
    // The decoded pixels become the overlay's: a picture at the size limit is never held twice.
    job.viewer->AddOverlayImage(std::move(read.picture), read.name, &read.screenSource);
    return result;
}

// --- deleting ------------------------------------------------------------------------------------

void VTProjectViewer::DeleteSelectedItems()
{
    VTProjectTemplate* design = GetCurrentTemplate();
    if (!project || !design || !canvas.selectedItems.first)
        return;
    PushTemplateState("Overlay delete");
    VTOverlay* single = SelectedOverlay();
    const bool background
        = single && single->GetType() == VTOverlayTypeImageBackground && design->first == single;
    canvas.DeleteSelectedItems();
    if (background)
        ClearBackgroundImagePath();
}

void VTProjectViewer::ClearBackgroundImagePath()
{
    if (VTProjectTemplate* design = GetCurrentTemplate())
        design->backgroundImagePath[0] = '\0';
    ShowDesignBackground();
}

// --- clipboard -----------------------------------------------------------------------------------

bool VTProjectViewer::ClipboardCopySelectedItems()
{
    // The copy holds what the panels show.
    CommitPendingEdits();
    VTProjectTemplate* design = GetCurrentTemplate();
    VTOverlay* o = SelectedOverlay();
    if (!project || !design || !o || o->GetType() < 0 || o->GetType() > 4)
        return false;
    VTClipboardOverlayCopy copy(canvas.GetHostView(), o);
    const bool ok = copy.PerformCopy();
    if (ok) {
        for (VTOverlay* p = design->first; p; p = p->next)
            p->copied = false;
        o->copied = true;
        canvas.Invalidate();
    }
    return ok;
}

bool VTProjectViewer::ClipboardPasteItems()
{
    if (!project)
        return false;
    struct Pasting {
        bool& flag;
        const bool was;
        explicit Pasting(bool& f)
            : flag(f)
            , was(f)
        {
            flag = true;
        }
        ~Pasting() { flag = was; }
    } pastingNow(pasting);
    // 1. Where the mouse is, over the canvas or not.
    bool inside = false;
    float mx = 0, my = 0;
    if (pasteMouseOverride) {
        inside = pasteMouseInside;
        canvas.TransformPointPixelsToMillimetres(mx, my, pasteMouseX, pasteMouseY);
    } else if (LView* host = canvas.GetHostView()) {
        double sx = 0, sy = 0;
        LUiPoint p {};
        if (LUiPointerPosition(sx, sy) && host->ConvertFromScreen(sx, sy, p)) {
            const double s = GetBackingScaleFactor();
            const float px = float(p.x * s), py = float(p.y * s);
            inside = px >= 0 && py >= 0 && px < canvas.GetWidth() && py < canvas.GetHeight();
            canvas.TransformPointPixelsToMillimetres(mx, my, px, py);
        }
    }
    // 2. What the clipboard holds.
    LClipboard clipboard(canvas.GetHostView());
    VTClipboardOverlayPaste paste(&clipboard);
    paste.PerformPaste();
    std::unique_ptr<VTOverlay> overlay(paste.TakeOverlay());
    VTProjectTemplate* design = GetCurrentTemplate();
    // 3. Another program's picture or text.
    if (!overlay) {
        if (!design)
            return false;
        if (UsableImage(paste.pastedImage)) {
            AddOverlayImage(std::move(paste.pastedImage), "Inklist bild.png");
            return true;
        }
        if (!paste.pastedText.IsEmpty()) {
            AddOverlayText(paste.pastedText.c_str());
            return true;
        }
        return false;
    }
    // 6. Nothing to paste into.
    if (!design)
        return false;
    // 4. The placement.
    const int type = overlay->GetType();
    if (type == VTOverlayTypeCircularText) {
        if (!circularTextAllowed) {
            auto* circular = static_cast<VTOverlayCircularText*>(overlay.get());
            overlay.reset(circular->ConvertToOverlayText());
            if (!overlay)
                return false;
            overlay->centreX += 10;
            overlay->NotifyTransformChanged();
        }
    } else if (inside) {
        overlay->centreX = mx;
        overlay->centreY = my;
        overlay->NotifyTransformChanged();
    } else {
        overlay->centreX += 10;
        overlay->NotifyTransformChanged();
    }
    // 5. A background fills the design; checked before anything divides by its height.
    if (type == VTOverlayTypeImageBackground) {
        auto* background = static_cast<VTOverlayImageBackground*>(overlay.get());
        if (!background->HasValidImage() || !design->GetTemplateData())
            return false;
        float w = 0, h = 0;
        design->GetTemplateData()->GetDimensions(w, h);
        const float iw = float(background->GetImage().GetWidth());
        const float ih = float(background->GetImage().GetHeight());
        if (VTSettingFlagGet(kVTSettingBackgroundAspectRatio)) {
            background->SetDimensions(h * iw / ih, h);
            background->maintainAspectRatio = true;
        } else {
            background->SetDimensions(w, h);
            background->maintainAspectRatio = false;
        }
        background->centreX = 0;
        background->centreY = 0;
        background->NotifyTransformChanged();
    }
    // 7. The step, then the overlay.
    PushTemplateState("Text pasted");
    VTOverlay* pasted = overlay.release();
    pasted->copied = false;
    design->InsertOverlay(pasted, true);
    // 8. A background image takes the place of the brush.
    if (type == VTOverlayTypeImageBackground) {
        auto* background = static_cast<VTOverlayImageBackground*>(pasted);
        std::strncpy(design->backgroundImagePath, background->GetSourcePath(),
            sizeof design->backgroundImagePath - 1);
        design->backgroundImagePath[sizeof design->backgroundImagePath - 1] = '\0';
        design->backgroundBrush.Reset();
        design->NotifyItemsChanged();
        ShowDesignBackground();
    }
    return true;
}

// --- property edits ------------------------------------------------------------------------------

void VTProjectViewer::EvProjectViewerPanelTextPropertiesChanged()
{
    const int kind = SelectedKind();
    if (kind != VTOverlayTypeText && kind != VTOverlayTypeCircularText)
        return;
    // The panel showing the text again (its box reports a text set while it has the keyboard)
    // is no edit: no step, and what waits to be redone stays.
    if (LEmbeddedWindowList::IsPanelBuilt(textPanel)
        && !textPanel->Differs(*static_cast<VTOverlayText*>(SelectedOverlay())))
        return;
    if (!PushSingleOverlayState("Text property"))
        return;
    auto* text = static_cast<VTOverlayText*>(SelectedOverlay());
    WriteTextPanelValues(*text);
    text->GetFont().GetName(lastFontFace, sizeof lastFontFace);
    if (kind == VTOverlayTypeCircularText
        && !static_cast<VTOverlayCircularText*>(text)->CheckTextHeight())
        WarnTextHeight();
}

void VTProjectViewer::EvProjectViewerPanelTextAlignmentChanged(LAlignment a)
{
    const int kind = SelectedKind();
    if (kind != VTOverlayTypeText && kind != VTOverlayTypeCircularText)
        return;
    if (!PushSingleOverlayState("Text alignment"))
        return;
    auto* text = static_cast<VTOverlayText*>(SelectedOverlay());
    text->SetAlignment(a);
    text->NotifyPropertiesChanged();
    UpdatePanelVisibility(false, false);
}

void VTProjectViewer::EvProjectViewerPanelTextRotateLeft()
{
    if (PushSingleOverlayState("Overlay Rotate left"))
        canvas.RotateSelectedItemLeft();
}

void VTProjectViewer::EvProjectViewerPanelTextRotateRight()
{
    if (PushSingleOverlayState("Overlay Rotate right"))
        canvas.RotateSelectedItemRight();
}

void VTProjectViewer::EvProjectViewerPanelImageRotateLeft()
{
    EvProjectViewerPanelTextRotateLeft();
}

void VTProjectViewer::EvProjectViewerPanelImageRotateRight()
{
    EvProjectViewerPanelTextRotateRight();
}

void VTProjectViewer::EvProjectViewerPanelTextFlipHorizontal()
{
    const int kind = SelectedKind();
    if ((kind == VTOverlayTypeText || kind == VTOverlayTypeCircularText)
        && PushSingleOverlayState("Text Flip horizontal"))
        canvas.FlipSelectedItemHorizontal();
}

void VTProjectViewer::EvProjectViewerPanelTextFlipVertical()
{
    const int kind = SelectedKind();
    if ((kind == VTOverlayTypeText || kind == VTOverlayTypeCircularText)
        && PushSingleOverlayState("Text Flip vertical"))
        canvas.FlipSelectedItemVertical();
}

void VTProjectViewer::EvProjectViewerPanelImageFlipHorizontal()
{
    const int kind = SelectedKind();
    if ((kind == VTOverlayTypeImage || kind == VTOverlayTypeClipart
            || kind == VTOverlayTypeImageBackground)
        && PushSingleOverlayState("Image Flip horizontal"))
        canvas.FlipSelectedItemHorizontal();
}

void VTProjectViewer::EvProjectViewerPanelImageFlipVertical()
{
    const int kind = SelectedKind();
    if ((kind == VTOverlayTypeImage || kind == VTOverlayTypeClipart
            || kind == VTOverlayTypeImageBackground)
        && PushSingleOverlayState("Image Flip vertical"))
        canvas.FlipSelectedItemVertical();
}

void VTProjectViewer::EvProjectViewerPanelTextLower()
{
    // Without a single selection there is nothing to move and nothing to record.
    VTProjectTemplate* design = GetCurrentTemplate();
    if (!design || !SelectedOverlay() || !CanLower())
        return;
    PushState(new VTCopyListOverlayOrderState("Overlay Lower", canvas, *design, false));
    canvas.LowerItem();
    UpdatePanels();
}

void VTProjectViewer::EvProjectViewerPanelTextRaise()
{
    VTProjectTemplate* design = GetCurrentTemplate();
    if (!design || !SelectedOverlay() || !CanRaise())
        return;
    PushState(new VTCopyListOverlayOrderState("Overlay Raise", canvas, *design, true));
    canvas.RaiseItem();
    UpdatePanels();
}

void VTProjectViewer::EvProjectViewerPanelImageLower()
{
    EvProjectViewerPanelTextLower();
}

void VTProjectViewer::EvProjectViewerPanelImageRaise()
{
    EvProjectViewerPanelTextRaise();
}

void VTProjectViewer::EvProjectViewerPanelImagePropertiesChanged()
{
    const int kind = SelectedKind();
    if (kind != VTOverlayTypeImage && kind != VTOverlayTypeClipart
        && kind != VTOverlayTypeImageBackground)
        return;
    if (!PushSingleOverlayState("Image property"))
        return;
    auto* image = static_cast<VTOverlayImage*>(SelectedOverlay());
    image->SetMaintainAspectRatio(ImagePanelKeepAspect(image->GetMaintainAspectRatio()));
    image->NotifyPropertiesChanged();
}

void VTProjectViewer::EvProjectViewerPanelTextChangeCircularText(bool circular)
{
    VTProjectTemplate* design = GetCurrentTemplate();
    const int kind = SelectedKind();
    if (!design || (kind != VTOverlayTypeText && kind != VTOverlayTypeCircularText))
        return;
    VTOverlay* old = SelectedOverlay();
    std::unique_ptr<VTOverlay> replacement;
    if (circular) {
        if (kind != VTOverlayTypeText)
            return;
        auto* twin = static_cast<VTOverlayText*>(old)->ConvertToOverlayCircularText();
        replacement.reset(twin);
        if (twin && !twin->CheckTextHeight()) {
            SetTextPanelCircular(false);
            WarnTextHeight();
            return;
        }
    } else {
        if (kind != VTOverlayTypeCircularText)
            return;
        replacement.reset(static_cast<VTOverlayCircularText*>(old)->ConvertToOverlayText());
    }
    if (!replacement)
        return;
    PushTemplateState("Text convert");
    VTOverlay* twin = replacement.release();
    twin->AddNotifyee(*design);
    canvas.selectedItems.Clear();
    design->ReplaceItem(old, twin, true);
    canvas.selectedItems.Clear();
    canvas.SetItemSelected(twin, true, false);
    canvas.Invalidate();
    UpdatePanelVisibility(true, false);
}

// --- backgrounds ---------------------------------------------------------------------------------

void VTProjectViewer::EvProjectViewerPanelTemplateBackgroundColourChanged(
    VTBackgroundFill& fill, bool interim)
{
    VTProjectTemplate* design = GetCurrentTemplate();
    if (!project || !design)
        return;
    if (fill.brush) {
        if (fill.brush->kind == LBrushInfoKindSolid)
            design->lastSolidColour = fill.brush->color;
        if (!interim)
            PushTemplateState("Background brush");
        if (design->first && design->first->GetType() == VTOverlayTypeImageBackground) {
            canvas.SetItemSelected(design->first, false, false);
            design->DeleteItem(design->first);
        }
        design->backgroundBrush.Reset(fill.brush.Release());
        StoreBackgroundImagePath(*design, fill.path);
        design->NotifyItemsChanged();
        return;
    }
    if (!fill.path.empty()) {
        BackgroundImageChosen(fill);
        return;
    }
    PushTemplateState("Background brush");
    design->backgroundBrush.Reset();
    design->backgroundImagePath[0] = '\0';
    design->NotifyItemsChanged();
}

void VTProjectViewer::BackgroundImageChosen(VTBackgroundFill& fill)
{
    LImageBuffer loaded;
    LImageBuffer* image = &fill.image;
    if (!UsableImage(fill.image)) {
        LProcessInterfaceVoid job;
        VTImageCodecVetoer vetoer;
        LProcessImageLoadFile load(fill.path.c_str(), 3000, &vetoer, loaded);
        if (Process(job, load) != LProcessResultSuccess || !UsableImage(loaded)) {
            Alert("Det går inte att läsa in bildfilen. Välj en annan bild.", "Ogiltig bildfil");
            return;
        }
        image = &loaded;
    }
    AddOverlayImageBackground(*image, fill.path.c_str());
    // The picture takes the brush's place, as a pasted background does.
    if (VTProjectTemplate* design = GetCurrentTemplate()) {
        StoreBackgroundImagePath(*design, fill.path);
        design->backgroundBrush.Reset();
        design->NotifyItemsChanged();
        ShowDesignBackground();
    }
}
