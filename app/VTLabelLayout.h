// Label layouts: where the designs of a project are printed.
//
// A layout (VTLabelLayout) prints on one medium, a sheet of paper of a given size or a printable
// disc in a printer tray, and holds pages (VTLabelLayoutPage, one sheet or one disc pass). A page
// holds label positions (VTLabelLayoutTemplate): a label format placed at a centre (millimetres
// from the page centre, x to the right, y down) and turned by a rotation in degrees. Every label
// position carries an id unique in its layout; a project maps its designs to these ids.
//
// Changes travel upwards: a position tells its page, a page tells its layout, the layout tells
// its observers (the layout editor).
//
// A layout is stored as a ".vtlayout" file (an SDF container of file type 8, version 1, whose
// only top-level chunk is the layout container 2); the same layout container is chunk 2 of a
// project file. Chunk layout of the layout container:
//   1 string key, 2 string name, 3 string medium key ("paper", "disc"), 4 string printer-tray
//   key (disc) or paper-size key (paper), 5 container of pages (one container 6 per page that
//   holds a label position), 7 int largest template id, 8 bool same-format flag.
// A page (6): 1 int orientation, 2 container of label positions, each a container whose id is
// its format + 1 holding 1 int id, 2 float centre x, 3 float centre y, 4 float rotation, 5 the
// disc's printable ring (discs only), 6 float spine width (DVD and Blu-ray cases only).
#pragma once

#include "app/VTItemCollection.h"
#include "app/VTItemHitTestable.h"
#include "app/VTPrinterTray.h"
#include "app/VTTemplateData.h"
#include "lfw/gen/LFile.h"
#include "lfw/gen/LList.h"
#include "lfw/gen/LNotifier.h"
#include "lfw/gen/LProcess.h"
#include "lfw/gen/LPtr.h"
#include "lfw/gen/LSDF.h"
#include "lfw/gen/LString.h"
#include "lfw/mac/LPaperSize.h"

#include <cstdint>

// What a layout prints on; -1 while a file's medium has not been read.
enum VTPrintMediumID : int32_t {
    VTPrintMediumInvalid = -1,
    VTPrintMediumPaper = 0,
    VTPrintMediumDisc = 1,
};

inline constexpr int kVTPrintMediumCount = 2;
// The keys of the media, indexed by the id: "paper", "disc".
extern const char* const c_arVTPrintMediumKeys[kVTPrintMediumCount];

inline constexpr uint32_t kVTLabelLayoutFileType = 8;
inline constexpr uint16_t kVTLabelLayoutFileVersion = 1;
// The layout container's id in a ".vtlayout" file and in a project file.
inline constexpr uint16_t kVTLabelLayoutChunk = 2;

class VTLabelLayoutTemplate;
class VTLabelLayoutPage;
class VTLabelLayout;

class VTLabelLayoutTemplateNotifyee {
public:
    virtual ~VTLabelLayoutTemplateNotifyee() = default;
    virtual void EvLabelLayoutTemplatePropertiesChanged(VTLabelLayoutTemplate&) { }
};

class VTLabelLayoutPageNotifyee {
public:
    virtual ~VTLabelLayoutPageNotifyee() = default;
    virtual void EvLabelLayoutPageOrientationChanged(VTLabelLayoutPage&, LPaperSizeOrientation) { }
    virtual void EvLabelLayoutPageTemplateAdded(VTLabelLayoutPage&, VTLabelLayoutTemplate&) { }
    virtual void EvLabelLayoutPageTemplateDeleting(VTLabelLayoutPage&, VTLabelLayoutTemplate&) { }
    virtual void EvLabelLayoutPageTemplatesChanged(VTLabelLayoutPage&) { }
};

class VTLabelLayoutNotifyee {
public:
    virtual ~VTLabelLayoutNotifyee() = default;
    virtual void EvLabelLayoutMediumChanged(VTLabelLayout&) { }
    virtual void EvLabelLayoutPageAdded(VTLabelLayout&, VTLabelLayoutPage&) { }
    virtual void EvLabelLayoutPageDeleting(VTLabelLayout&, VTLabelLayoutPage&) { }
    virtual void EvLabelLayoutPageOrientationChanged(
        VTLabelLayout&, VTLabelLayoutPage&, LPaperSizeOrientation)
    {
    }
    virtual void EvLabelLayoutTemplateAdded(
        VTLabelLayout&, VTLabelLayoutPage&, VTLabelLayoutTemplate&)
    {
    }
    virtual void EvLabelLayoutTemplateDeleting(
        VTLabelLayout&, VTLabelLayoutPage&, VTLabelLayoutTemplate&)
    {
    }
    virtual void EvLabelLayoutTemplatesChanged(VTLabelLayout&, VTLabelLayoutPage&) { }
};

// One label position on a page.
class VTLabelLayoutTemplate final : public VTItemHitTestable {
public:
    // A position of the format with that id: the format's default geometry, box (0, 0, 1, 1),
    // centre (0, 0), rotation 0, identity transform. A format outside 0 to 5 has no geometry.
    VTLabelLayoutTemplate(VTTemplateFormat format, int32_t id);
    // Geometry of the same format with the source's printable area and spine width, the whole
    // placement, format and id; observers are not copied.
    VTLabelLayoutTemplate(const VTLabelLayoutTemplate& source);
    VTLabelLayoutTemplate& operator=(const VTLabelLayoutTemplate&) = delete;
    ~VTLabelLayoutTemplate() = default;

    int GetItemType() const override { return VTItemTypeLabelLayoutTemplate; }
    // The format's size in mm; 0 and 0 without geometry.
    void GetDimensions(float& width, float& height) const override;
    // A disc is hit inside the circle of half its width around its centre (hit flags then
    // VTHitInside); every other format as any placed item.
    bool HitTest(float x, float y) override;
    // Tells the observers that the placement changed.
    void NotifyTransformChanged() override;

    void AddNotifyee(VTLabelLayoutTemplateNotifyee& n) { notifier.AddNotifyee(n); }
    void RemoveNotifyee(VTLabelLayoutTemplateNotifyee& n) { notifier.RemoveNotifyee(n); }

    VTTemplateData* GetTemplateData() const { return templateData.Get(); }
    VTTemplateFormat GetFormat() const { return format; }
    int32_t GetID() const { return id; }

    // The position's container content (the caller opens and closes the container, whose id is
    // the format + 1).
    template <class T>
    LProcessResult SerialiseToSDF(LProcessInterface& process, LSDFWriter<T>& writer) const;
    template <class T>
    LProcessResult SerialiseFromSDF(
        LProcessInterface& process, LSDFReader<T>& reader, const LSDFChunkInfo<T>& container);

    LPtr<VTTemplateData> templateData;
    VTTemplateFormat format;
    LNotifier<VTLabelLayoutTemplateNotifyee> notifier;
    // The next position of the page (kept by the page's collection).
    VTLabelLayoutTemplate* next = nullptr;
    // Unique in the layout; -1 until a file's id chunk has been read.
    int32_t id;
};

// One page: an ordered list of label positions (first = bottom) and an orientation.
class VTLabelLayoutPage : public VTItemCollection<VTLabelLayoutTemplate>,
                          public VTLabelLayoutTemplateNotifyee,
                          public LListable<VTLabelLayoutPage> {
public:
    // Portrait, no positions.
    VTLabelLayoutPage() = default;
    // The orientation and a copy of every position in the same order, each observed by the new
    // page.
    VTLabelLayoutPage(const VTLabelLayoutPage& source);
    VTLabelLayoutPage& operator=(const VTLabelLayoutPage&) = delete;
    ~VTLabelLayoutPage() override = default;

    // 0 for portrait, -90 for landscape.
    float GetRotationAngle() const override;
    void NotifyItemAdded(VTLabelLayoutTemplate& item) override;
    void NotifyItemDeleting(VTLabelLayoutTemplate& item) override;
    void NotifyItemsChanged() override;
    // A position's placement changed: the page's positions changed.
    void EvLabelLayoutTemplatePropertiesChanged(VTLabelLayoutTemplate& item) override;

    // Appends a new position of the format with the id (see VTLabelLayout::NewTemplateID),
    // observed by the page, telling the observers; null for a format outside 0 to 5.
    VTLabelLayoutTemplate* AddTemplate(VTTemplateFormat format, int32_t id);
    // Stores a different orientation and tells the observers.
    void SetOrientation(LPaperSizeOrientation value);
    LPaperSizeOrientation GetOrientation() const { return orientation; }

    void AddNotifyee(VTLabelLayoutPageNotifyee& n) { notifier.AddNotifyee(n); }
    void RemoveNotifyee(VTLabelLayoutPageNotifyee& n) { notifier.RemoveNotifyee(n); }

    // The page's container content (container 6, opened and closed by the caller).
    template <class T>
    LProcessResult SerialiseToSDF(LProcessInterface& process, LSDFWriter<T>& writer) const;
    template <class T>
    LProcessResult SerialiseFromSDF(
        LProcessInterface& process, LSDFReader<T>& reader, const LSDFChunkInfo<T>& container);

    LNotifier<VTLabelLayoutPageNotifyee> notifier;
    LPaperSizeOrientation orientation = LPaperSizeOrientationPortrait;
};

class VTLabelLayout : public VTLabelLayoutPageNotifyee, public LListable<VTLabelLayout> {
public:
    // Empty key, name and description, paper US Letter, no printer, no pages, largest template
    // id -1, same-format flag off.
    VTLabelLayout();
    // Copies everything but the observers and the stock-list link; the pages are deep copies in
    // the same order, each observed by this layout.
    VTLabelLayout(const VTLabelLayout& source);
    VTLabelLayout& operator=(const VTLabelLayout& source);
    ~VTLabelLayout() override;

    // Page events, passed on to the layout's observers with the layout in front.
    void EvLabelLayoutPageOrientationChanged(
        VTLabelLayoutPage& page, LPaperSizeOrientation orientation) override;
    void EvLabelLayoutPageTemplateAdded(
        VTLabelLayoutPage& page, VTLabelLayoutTemplate& item) override;
    void EvLabelLayoutPageTemplateDeleting(
        VTLabelLayoutPage& page, VTLabelLayoutTemplate& item) override;
    void EvLabelLayoutPageTemplatesChanged(VTLabelLayoutPage& page) override;

    // Appends a new empty portrait page observed by the layout and tells the observers.
    VTLabelLayoutPage* AddPage();
    // Tells the observers, then removes and deletes the page; a page of another layout is
    // ignored.
    void DeletePage(VTLabelLayoutPage* page);

    // The id for a new label position: 0 for the first one of an empty layout; otherwise one more
    // than the largest of the stored largest id and every position's id. The result is stored as
    // the largest id, so ids are never used twice.
    int32_t NewTemplateID();
    // Prints on paper of that size: medium paper, no printer; tells the observers unless the
    // layout already printed on that paper.
    void SetPaperSize(LPaperSizeID id);
    // Prints on discs in that printer: medium disc, no paper size; a layout whose only page holds
    // a single position gets that position moved to the new tray's disc centre. Tells the
    // observers.
    void SetPrinterTray(VTPrinterTrayID id);
    // The page in mm (portrait): the paper's size, or the printer tray's page (0 by 0 for no
    // printer).
    void GetPageDimensions(float& width, float& height) const;
    // Sends EvLabelLayoutMediumChanged.
    void NotifyMediumChanged();
    // The position with the id on any page; null when there is none.
    VTLabelLayoutTemplate* FindTemplate(int32_t id) const;

    void AddNotifyee(VTLabelLayoutNotifyee& n) { notifier.AddNotifyee(n); }
    void RemoveNotifyee(VTLabelLayoutNotifyee& n) { notifier.RemoveNotifyee(n); }

    // Null when the layout can be written so that it reads back; else the Swedish reason it
    // cannot (no key, an invalid medium, a printer without a row, a paper size without a key, no
    // page holding a position, no largest id, a position without an id or with a placement or
    // size that is not a finite number).
    const char* GetSaveProblem() const;

    // The layout container's content (the caller opens and closes the container). A layout
    // GetSaveProblem refuses writes nothing and fails with its reason.
    template <class T>
    LProcessResult SerialiseToSDF(LProcessInterface& process, LSDFWriter<T>& writer) const;
    // Reads the layout container's content into this layout (no observer is told). On failure
    // the layout is partly filled and must be discarded.
    template <class T>
    LProcessResult SerialiseFromSDF(
        LProcessInterface& process, LSDFReader<T>& reader, const LSDFChunkInfo<T>& container);

    LNotifier<VTLabelLayoutNotifyee> notifier;
    char key[kLStringShortSize] = "";
    char name[kLStringShortSize] = "";
    // Not stored in files.
    LStringLongTemplate<char> description;
    VTPrintMediumID printMedium = VTPrintMediumPaper;
    // Meaningful for paper.
    LPaperSizeID paperSize = LPaperSizeUSLetter;
    // Meaningful for discs.
    VTPrinterTrayID printerTray = VTPrinterTrayInvalid;
    LList<VTLabelLayoutPage> pages;
    // -1 while no id has been handed out.
    int32_t largestTemplateID = -1;
    // Every position of one format shows the same design.
    bool sameFormat = false;

private:
    void CopyPagesFrom(const VTLabelLayout& source);
};

// Job records.
// The most pages a layout read from a file may have.
inline constexpr size_t kVTLabelLayoutMaxPages = 1000;

struct VTLabelLayoutLoad {
    VTLabelLayout* layout = nullptr;
    char path[kLLongPathSize] = "";
};
struct VTLabelLayoutSave {
    const VTLabelLayout* layout = nullptr;
    char path[kLLongPathSize] = "";
};

// Reads a ".vtlayout" file into the record's layout.
LProcessResult Process(LProcessInterface& process, VTLabelLayoutLoad& job);
// Writes the record's layout as a ".vtlayout" file, through a temporary file in the system's
// temporary folder renamed (or copied) over the target; the target is untouched on failure.
LProcessResult Process(LProcessInterface& process, VTLabelLayoutSave& job);
