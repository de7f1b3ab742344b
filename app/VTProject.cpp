#include "app/VTProject.h"

#include "app/VTProjectXML.h"
#include "lfw/gen/LString.h"
#include "platform/system/System.h"

#include <cstring>

namespace {

// True when some position of the layout has the design's format and one of its mapped ids (every
// position is looked at: a file may bring the same id twice).
bool IsMappedInto(const VTProjectTemplate& design, const VTLabelLayout& layout)
{
    for (const VTLabelLayoutPage& page : layout.pages)
        for (const VTLabelLayoutTemplate* position = page.first; position;
             position = position->next)
            if (position->format == design.format
                && design.HasMappingToLabelLayoutTemplateID(position->id))
                return true;
    return false;
}

// True when one of the design's mapped ids is the id of a position of the layout.
bool HasPositionIn(const VTProjectTemplate& design, const VTLabelLayout& layout)
{
    for (const VTLabelLayoutTemplateID& entry : design.mappedIDs)
        if (layout.FindTemplate(entry.id))
            return true;
    return false;
}

} // namespace

VTProject::VTProject()
{
    utf8strlcpy(path, "Namnlöst.vtproj", sizeof path);
}

VTProject::VTProject(VTLabelLayout* givenLayout)
    : VTProject()
{
    layout.Reset(givenLayout);
    if (!givenLayout)
        return;
    // Every position gets its own design here, whatever the same-format flag says.
    for (const VTLabelLayoutPage& page : givenLayout->pages) {
        for (const VTLabelLayoutTemplate* position = page.first; position;
             position = position->next) {
            auto* design = new VTProjectTemplate(position->format);
            if (design->data && position->templateData)
                design->data->SetPrintableArea(*position->templateData);
            design->AddMappingToLabelLayoutTemplateID(position->id);
            AppendTemplate(design);
        }
    }
}

VTProject::~VTProject()
{
    templates.Clear();
    layout.Reset();
    platform::system::ReturnFreeMemorySoon();
}

void VTProject::AppendTemplate(VTProjectTemplate* design)
{
    if (!design)
        return;
    design->AddNotifyee(*this);
    templates.AddTail(design);
}

VTProjectTemplate* VTProject::FindTemplateForLabelLayoutTemplateID(int32_t id) const
{
    for (VTProjectTemplate& design : templates)
        if (design.HasMappingToLabelLayoutTemplateID(id))
            return &design;
    return nullptr;
}

void VTProject::SetLabelLayout(LPtr<VTLabelLayout>& newLayout)
{
    VTLabelLayout* target = newLayout.Get();
    if (!target)
        return;

    // 1. A design keeps its ids only when one of them names a position of its format.
    for (VTProjectTemplate& design : templates)
        if (!IsMappedInto(design, *target))
            design.RemoveAllMappings();

    // 2. Every position finds its design.
    for (const VTLabelLayoutPage& page : target->pages) {
        for (const VTLabelLayoutTemplate* position = page.first; position;
             position = position->next) {
            VTProjectTemplate* mapped = nullptr;
            VTProjectTemplate* reusable = nullptr;
            for (VTProjectTemplate& design : templates) {
                if (design.format != position->format)
                    continue;
                if (!mapped && design.HasMappingToLabelLayoutTemplateID(position->id))
                    mapped = &design;
                if (!reusable && (target->sameFormat || !design.HasMappings()))
                    reusable = &design;
            }
            if (mapped) {
                if (mapped->data && position->templateData)
                    mapped->data->SetPrintableArea(*position->templateData);
                continue;
            }
            if (reusable) {
                reusable->AddMappingToLabelLayoutTemplateID(position->id);
                continue;
            }
            auto* design = new VTProjectTemplate(position->format);
            if (design->data && position->templateData)
                design->data->SetPrintableArea(*position->templateData);
            design->AddMappingToLabelLayoutTemplateID(position->id);
            AppendTemplate(design);
        }
    }

    // 3. Designs without a position go, telling nobody.
    VTProjectTemplate* design = templates.GetHead();
    while (design) {
        VTProjectTemplate* following = templates.GetNext(design);
        if (!HasPositionIn(*design, *target))
            templates.Delete(design);
        design = following;
    }

    // 4. The old layout goes; the project takes the new one out of the caller's pointer.
    layout = std::move(newLayout);

    // 5. The project differs from its file now (designs may have gone with the old layout).
    SetSaveState(VTProjectSaveStateModified);
    notifier.Notify(&VTProjectNotifyee::EvProjectLabelLayoutChanged, *this);
}

LProcessResult VTProject::SerialiseFromXML(LProcessInterface& process, const LXMLElement& document)
{
    return VTProjectSerialiseFromXML(process, *this, document);
}

void VTProject::SetSaveState(VTProjectSaveState state)
{
    if (saveState == state)
        return;
    saveState = state;
    notifier.Notify(&VTProjectNotifyee::EvProjectSaveStateChanged, *this);
}

void VTProject::SetPath(const char* value)
{
    utf8strlcpy(path, value ? value : "", sizeof path);
}

void VTProject::EvProjectTemplateChanged(VTProjectTemplate&)
{
    SetSaveState(VTProjectSaveStateModified);
    notifier.Notify(&VTProjectNotifyee::EvProjectTemplateChanged, *this);
}

void VTProject::EvProjectTemplateOverlayAdded(VTProjectTemplate& design, VTOverlay& overlay)
{
    notifier.Notify(&VTProjectNotifyee::EvProjectOverlayAdded, *this, design, overlay);
}

void VTProject::EvProjectTemplateOverlayDeleting(VTProjectTemplate& design, VTOverlay& overlay)
{
    notifier.Notify(&VTProjectNotifyee::EvProjectOverlayDeleting, *this, design, overlay);
}
