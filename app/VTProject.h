// The open document: one label layout and the designs printed on it, one per label position (or
// per label format when the layout shows one design for every position of a format). Designs
// are tied to label positions by id lists, never by pointers.
//
// The project observes its designs and tells its own observers (the project viewer, the main
// window) of every change; the first change after creation, loading or saving marks it modified.
#pragma once

#include "app/VTLabelLayout.h"
#include "app/VTProjectTemplate.h"
#include "lfw/gen/LFile.h"
#include "lfw/gen/LList.h"
#include "lfw/gen/LNotifier.h"
#include "lfw/gen/LPtr.h"

#include <cstdint>
#include <string>

class LXMLElement;
class VTProject;

class VTProjectNotifyee {
public:
    virtual ~VTProjectNotifyee() = default;
    virtual void EvProjectLabelLayoutChanged(VTProject&) { }
    virtual void EvProjectTemplateChanged(VTProject&) { }
    virtual void EvProjectSaveStateChanged(VTProject&) { }
    virtual void EvProjectOverlayAdded(VTProject&, VTProjectTemplate&, VTOverlay&) { }
    virtual void EvProjectOverlayDeleting(VTProject&, VTProjectTemplate&, VTOverlay&) { }
};

enum VTProjectSaveState : int32_t {
    VTProjectSaveStateNew = 0, // never saved, unchanged
    VTProjectSaveStateModified = 1, // unsaved changes
    VTProjectSaveStateSaved = 2, // matches its file
};

class VTProject : public VTProjectTemplateNotifyee {
public:
    // "Namnlöst.vtproj", new, no designs, no layout.
    VTProject();
    // Takes the layout and makes one design per label position, page by page in list order,
    // each of the position's format with its printable area and mapped to its id.
    explicit VTProject(VTLabelLayout* layout);
    VTProject(const VTProject&) = delete;
    VTProject& operator=(const VTProject&) = delete;
    // Deletes the layout and the designs, telling nobody, then has the memory the allocator keeps
    // free given back to the system soon (a project's pictures leave much of it).
    ~VTProject() override;

    // Moves the project onto another layout, which it takes out of the caller's pointer:
    // designs mapped to a position of the new layout (same id and format) stay and take its
    // printable area; positions without a design take an unmapped design of their format (with
    // the same-format flag: the first design of their format), or get a new one; designs left
    // without a position are deleted. The project is then modified (unsaved) and the observers
    // are told. A null layout changes nothing.
    void SetLabelLayout(LPtr<VTLabelLayout>& layout);
    VTLabelLayout* GetLabelLayout() const { return layout.Get(); }

    // Appends a design (the project owns and observes it from now on), telling nobody.
    void AppendTemplate(VTProjectTemplate* projectTemplate);
    // The design mapped to a label position id; null when none is.
    VTProjectTemplate* FindTemplateForLabelLayoutTemplateID(int32_t id) const;

    // A different state is stored and the observers get EvProjectSaveStateChanged.
    void SetSaveState(VTProjectSaveState state);
    VTProjectSaveState GetSaveState() const { return saveState; }
    const char* GetPath() const { return path; }
    // At most 259 bytes are kept.
    void SetPath(const char* value);

    // Reads a parsed old XML project (".vtx") into the project (VTProjectSerialiseFromXML): on
    // success the layout and designs are those read; on failure the project is left as it was.
    LProcessResult SerialiseFromXML(LProcessInterface& process, const LXMLElement& document);

    // A design changed: the project is modified (telling the observers when it was not), then
    // the observers get EvProjectTemplateChanged.
    void EvProjectTemplateChanged(VTProjectTemplate& projectTemplate) override;
    void EvProjectTemplateOverlayAdded(
        VTProjectTemplate& projectTemplate, VTOverlay& overlay) override;
    void EvProjectTemplateOverlayDeleting(
        VTProjectTemplate& projectTemplate, VTOverlay& overlay) override;

    void AddNotifyee(VTProjectNotifyee& n) { notifier.AddNotifyee(n); }
    void RemoveNotifyee(VTProjectNotifyee& n) { notifier.RemoveNotifyee(n); }

    LNotifier<VTProjectNotifyee> notifier;
    char path[kLLongPathSize];
    // The file at path as the project last matched it (opened from it, saved to it, or taken
    // over as its file), as VTProjectFileIdentity gives it: "" when there was no file. A save
    // over a file whose identity differs now replaces what another program wrote.
    std::string fileIdentity;
    VTProjectSaveState saveState = VTProjectSaveStateNew;
    LList<VTProjectTemplate> templates;
    LPtr<VTLabelLayout> layout;
};
