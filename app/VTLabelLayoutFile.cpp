// The label layout's chunk tree and the jobs that load and save ".vtlayout" files.
#include "app/VTDocumentLimits.h"
#include "app/VTLabelLayout.h"

#include "app/VTSerialiseTemplateDiscDimensions.h"
#include "lfw/gen/LFileSave.h"

#include <cmath>
#include <cstring>

namespace {

// Chunk ids of the layout container.
enum : uint16_t {
    kLayoutKey = 1,
    kLayoutName = 2,
    kLayoutMedium = 3,
    kLayoutMediumSize = 4,
    kLayoutPages = 5,
    kLayoutPage = 6,
    kLayoutLargestID = 7,
    kLayoutSameFormat = 8,
};
// Chunk ids of a page.
enum : uint16_t {
    kPageOrientation = 1,
    kPageTemplates = 2,
};
// Chunk ids of a label position.
enum : uint16_t {
    kTemplateID = 1,
    kTemplateCentreX = 2,
    kTemplateCentreY = 3,
    kTemplateRotation = 4,
    kTemplateDisc = 5,
    kTemplateSpine = 6,
};

LProcessResult Fail(LProcessInterface& process, const char* text)
{
    process.SetError(text);
    return LProcessResultError;
}

bool HasSpine(VTTemplateFormat format)
{
    return format == VTTemplateFormatCaseDVD || format == VTTemplateFormatCaseBluRay;
}

// A float of a document: four bytes that make a finite number.
template <class T> bool ReadFinite(LSDFReaderChunk<T>& chunk, float& value)
{
    float read = 0;
    if (!chunk.ReadFloat(read) || !std::isfinite(read))
        return false;
    value = read;
    return true;
}

// A length or position in millimetres that belongs to a design.
template <class T> bool ReadLength(LSDFReaderChunk<T>& chunk, float& value)
{
    return ReadFinite(chunk, value) && VTIsPlausibleLength(value);
}

} // namespace

// ================================================================================================
// Writing
// ================================================================================================

template <class T>
LProcessResult VTLabelLayoutTemplate::SerialiseToSDF(
    LProcessInterface& process, LSDFWriter<T>& writer) const
{
    process.SetStatus("Mall för etikettlayout", 0);
    writer.WriteInt(kTemplateID, id);
    writer.WriteFloat(kTemplateCentreX, centreX);
    writer.WriteFloat(kTemplateCentreY, centreY);
    writer.WriteFloat(kTemplateRotation, rotation);
    if (format == VTTemplateFormatDisc) {
        if (const auto* disc
            = dynamic_cast<const VTTemplateDataDiscCDDVDStandard*>(GetTemplateData())) {
            LProcessInterfaceSubProcess sub(process, 0.0, 1.0);
            LProcessResult result = VTSerialiseTemplateDiscDimensionsToSDF(sub, writer, *disc);
            if (result != LProcessResultSuccess)
                return result;
        }
    }
    if (HasSpine(format) && templateData)
        writer.WriteFloat(kTemplateSpine, templateData->GetSpineWidth());
    process.SetProgress(1.0);
    return LProcessResultSuccess;
}

template <class T>
LProcessResult VTLabelLayoutPage::SerialiseToSDF(
    LProcessInterface& process, LSDFWriter<T>& writer) const
{
    process.SetStatus("Sidan Skriva etikettlayout", 0);
    writer.WriteInt(kPageOrientation, int32_t(orientation));
    writer.StartContainer(kPageTemplates);
    const size_t count = GetCount();
    const double step = count ? 0.9 / double(count) : 0.0;
    size_t j = 0;
    for (const VTLabelLayoutTemplate* item = first; item; item = item->next, ++j) {
        if (process.IsToStop())
            return LProcessResultStopped;
        const uint16_t chunk = item->format >= 0 && item->format < kVTTemplateFormatCount
            ? uint16_t(item->format + 1)
            : uint16_t(0);
        writer.StartContainer(chunk);
        LProcessInterfaceSubProcess sub(process, 0.1 + double(j) * step, step);
        LProcessResult result = item->SerialiseToSDF(sub, writer);
        if (result != LProcessResultSuccess)
            return result;
        writer.EndContainer(chunk);
    }
    writer.EndContainer(kPageTemplates);
    process.SetProgress(1.0);
    return LProcessResultSuccess;
}

template <class T>
LProcessResult VTLabelLayout::SerialiseToSDF(
    LProcessInterface& process, LSDFWriter<T>& writer) const
{
    // Never write what the reader would refuse: inside a project such a layout would make the
    // whole project unreadable.
    if (const char* problem = GetSaveProblem())
        return Fail(process, problem);

    process.SetStatus("Skriva etikettlayout", 0);
    writer.WriteString(kLayoutKey, key);
    writer.WriteString(kLayoutName, name);
    const bool knownMedium = printMedium >= 0 && printMedium < kVTPrintMediumCount;
    writer.WriteString(kLayoutMedium, knownMedium ? c_arVTPrintMediumKeys[printMedium] : "");
    if (printMedium == VTPrintMediumDisc) {
        const char* trayKey = VTPrinterTrayGetKey(printerTray);
        writer.WriteString(kLayoutMediumSize, trayKey ? trayKey : "");
    } else {
        writer.WriteString(kLayoutMediumSize, LPaperSizeGetKeyFromID(paperSize));
    }

    writer.StartContainer(kLayoutPages);
    const size_t count = pages.GetCount();
    const double step = count ? 0.8 / double(count) : 0.0;
    size_t i = 0;
    for (const VTLabelLayoutPage& page : pages) {
        if (process.IsToStop())
            return LProcessResultStopped;
        const double offset = 0.1 + double(i++) * step;
        if (!page.first)
            continue;
        writer.StartContainer(kLayoutPage);
        LProcessInterfaceSubProcess sub(process, offset, step);
        LProcessResult result = page.SerialiseToSDF(sub, writer);
        if (result != LProcessResultSuccess)
            return result;
        writer.EndContainer(kLayoutPage);
    }
    writer.EndContainer(kLayoutPages);
    writer.WriteInt(kLayoutLargestID, largestTemplateID);
    writer.WriteBool(kLayoutSameFormat, sameFormat);
    process.SetProgress(1.0);
    return LProcessResultSuccess;
}

// ================================================================================================
// Reading
// ================================================================================================

template <class T>
LProcessResult VTLabelLayoutTemplate::SerialiseFromSDF(
    LProcessInterface& process, LSDFReader<T>& reader, const LSDFChunkInfo<T>& container)
{
    process.SetStatus("Mall för etikettlayout", 0);
    id = -1;
    bool spine = !HasSpine(format);
    bool haveX = false, haveY = false, haveRotation = false;
    LSDFReaderChunkIterator<T> it(reader, container);
    while (it.Next()) {
        if (process.IsToStop())
            return LProcessResultStopped;
        switch (it->GetId()) {
        case kTemplateID:
            if (!it->ReadInt(id))
                return Fail(process, "Det gick inte att läsa etikettlayoutmall-ID.");
            break;
        case kTemplateCentreX:
        case kTemplateCentreY: {
            float& value = it->GetId() == kTemplateCentreX ? centreX : centreY;
            if (!ReadLength(*it, value))
                return Fail(process, "Det gick inte att läsa etikettlayoutmallens position.");
            (it->GetId() == kTemplateCentreX ? haveX : haveY) = true;
            break;
        }
        case kTemplateRotation:
            if (!ReadFinite(*it, rotation) || !VTIsPlausibleAngle(rotation))
                return Fail(process, "Det gick inte att läsa etikettlayoutmallens rotation.");
            haveRotation = true;
            break;
        case kTemplateDisc: {
            auto* disc = dynamic_cast<VTTemplateDataDiscCDDVDStandard*>(templateData.Get());
            if (format != VTTemplateFormatDisc || !disc)
                return Fail(
                    process, "Det gick inte att läsa etikettlayoutmallens skivadimensioner.");
            LProcessResult result
                = VTSerialiseTemplateDiscDimensionsFromSDF(process, reader, *it, *disc);
            if (result != LProcessResultSuccess)
                return result;
            break;
        }
        case kTemplateSpine: {
            if (!HasSpine(format) || !templateData)
                return Fail(process, "Det gick inte att läsa mallryggsinformation.");
            float width = 0;
            if (!ReadLength(*it, width))
                return Fail(process, "Det gick inte att läsa mallryggens bredd");
            templateData->SetSpineWidth(width);
            spine = true;
            break;
        }
        default:
            break;
        }
    }
    if (!haveX || !haveY || !haveRotation || !spine || id == -1)
        return Fail(process, "Det gick inte att läsa etikettlayoutmallen.");
    return LProcessResultSuccess;
}

template <class T>
LProcessResult VTLabelLayoutPage::SerialiseFromSDF(
    LProcessInterface& process, LSDFReader<T>& reader, const LSDFChunkInfo<T>& container)
{
    process.SetStatus("Sidan Läsa etikettlayout", 0);
    int32_t orientationRead = -1;
    DeleteAllItems();
    LSDFReaderChunkIterator<T> it(reader, container);
    while (it.Next()) {
        if (process.IsToStop())
            return LProcessResultStopped;
        if (it->GetId() == kPageOrientation) {
            if (!it->ReadInt(orientationRead))
                return Fail(process, "Det gick inte att läsa layouten för etikett.");
            if (orientationRead != LPaperSizeOrientationPortrait
                && orientationRead != LPaperSizeOrientationLandscape)
                return Fail(process, "Ogiltig etikettlayout sidorientering.");
            orientation = LPaperSizeOrientation(orientationRead);
        } else if (it->GetId() == kPageTemplates) {
            LSDFReaderChunkIterator<T> items(reader, *it);
            while (items.Next()) {
                if (process.IsToStop())
                    return LProcessResultStopped;
                const int format = int(items->GetId()) - 1;
                if (format < 0 || format >= kVTTemplateFormatCount)
                    return Fail(process, "Okodad etikettlayoutmall.");
                auto* item = new VTLabelLayoutTemplate(VTTemplateFormat(format), -1);
                LProcessInterfaceSubProcess sub(process, 0.0, 1.0);
                LProcessResult result = item->SerialiseFromSDF(sub, reader, *items);
                if (result != LProcessResultSuccess) {
                    delete item;
                    return result;
                }
                item->AddNotifyee(*this);
                AddItem(item, false);
            }
        }
    }
    if (orientationRead == -1 || !first)
        return Fail(process, "Det gick inte att läsa etikettlayoutsidan.");
    return LProcessResultSuccess;
}

template <class T>
LProcessResult VTLabelLayout::SerialiseFromSDF(
    LProcessInterface& process, LSDFReader<T>& reader, const LSDFChunkInfo<T>& container)
{
    process.SetStatus("Läsa etikettlayout", 0);
    key[0] = '\0';
    name[0] = '\0';
    printMedium = VTPrintMediumInvalid;
    paperSize = LPaperSizeInvalid;
    printerTray = VTPrinterTrayInvalid;
    pages.Clear();
    largestTemplateID = -1;
    bool haveSameFormat = false;

    LSDFReaderChunkIterator<T> it(reader, container);
    while (it.Next()) {
        if (process.IsToStop())
            return LProcessResultStopped;
        switch (it->GetId()) {
        case kLayoutKey:
            if (!it->ReadString(key, sizeof key))
                return Fail(process, "Det gick inte att läsa etikettlayoutnyckeln.");
            break;
        case kLayoutName:
            if (!it->ReadString(name, sizeof name))
                return Fail(process, "Det gick inte att läsa etikettlayoutnamn.");
            break;
        case kLayoutMedium: {
            char text[kLStringShortSize];
            if (!it->ReadString(text, sizeof text))
                return Fail(process, "Det gick inte att läsa etikettlayoutmedium.");
            printMedium = VTPrintMediumInvalid;
            for (int m = 0; m < kVTPrintMediumCount; ++m)
                if (std::strcmp(text, c_arVTPrintMediumKeys[m]) == 0)
                    printMedium = VTPrintMediumID(m);
            if (printMedium == VTPrintMediumInvalid)
                return Fail(process, "Ogiltigt etikettlayoutmedium.");
            break;
        }
        case kLayoutMediumSize: {
            char text[kLStringShortSize];
            if (!it->ReadString(text, sizeof text))
                return Fail(process, "Det gick inte att läsa pappersstorleken för etikettlayout.");
            if (printMedium == VTPrintMediumDisc) {
                printerTray = VTPrinterTrayGetIDFromKey(text);
                if (printerTray < VTPrinterTrayFirst || printerTray > VTPrinterTrayLast)
                    return Fail(process, "Ogiltig pappersstorlek för etikettlayout.");
            } else if (printMedium == VTPrintMediumPaper) {
                paperSize = LPaperSizeGetIDFromKey(text);
                if (paperSize != LPaperSizeCustom
                    && !(paperSize >= LPaperSizeA0 && paperSize <= LPaperSizeManual))
                    return Fail(process, "Ogiltig pappersstorlek för etikettlayout.");
            }
            // The medium not read yet: the key means nothing.
            break;
        }
        case kLayoutPages: {
            LSDFReaderChunkIterator<T> children(reader, *it);
            while (children.Next()) {
                if (process.IsToStop())
                    return LProcessResultStopped;
                if (children->GetId() != kLayoutPage)
                    continue;
                auto* page = new VTLabelLayoutPage;
                LProcessInterfaceSubProcess sub(process, 0.0, 1.0);
                LProcessResult result = page->SerialiseFromSDF(sub, reader, *children);
                if (result != LProcessResultSuccess) {
                    delete page;
                    return result;
                }
                page->AddNotifyee(*this);
                pages.AddTail(page);
            }
            break;
        }
        case kLayoutLargestID:
            if (!it->ReadInt(largestTemplateID))
                return Fail(process, "Det gick inte att läsa senast använda mall-ID.");
            break;
        case kLayoutSameFormat:
            if (!it->ReadBool(sameFormat))
                return Fail(process, "Det gick inte att läsa Använd samma design för samma mall.");
            haveSameFormat = true;
            break;
        default:
            break;
        }
    }
    // A damaged chunk ends the walk early: what was read may be incomplete.
    const bool mediumSet = (printMedium == VTPrintMediumPaper && paperSize != LPaperSizeInvalid)
        || (printMedium == VTPrintMediumDisc && printerTray != VTPrinterTrayInvalid);
    if (!reader.IsGood() || !key[0] || !mediumSet || pages.IsEmpty() || largestTemplateID < 0
        || !haveSameFormat)
        return Fail(process, "Det gick inte att läsa etikettlayouten.");
    return LProcessResultSuccess;
}

// The stream types layouts are written to and read from.
#define VT_LABEL_LAYOUT_STREAMS(Out, In)                                                           \
    template LProcessResult VTLabelLayoutTemplate::SerialiseToSDF(                                 \
        LProcessInterface&, LSDFWriter<Out>&) const;                                               \
    template LProcessResult VTLabelLayoutPage::SerialiseToSDF(                                     \
        LProcessInterface&, LSDFWriter<Out>&) const;                                               \
    template LProcessResult VTLabelLayout::SerialiseToSDF(LProcessInterface&, LSDFWriter<Out>&)    \
        const;                                                                                     \
    template LProcessResult VTLabelLayoutTemplate::SerialiseFromSDF(                               \
        LProcessInterface&, LSDFReader<In>&, const LSDFChunkInfo<In>&);                            \
    template LProcessResult VTLabelLayoutPage::SerialiseFromSDF(                                   \
        LProcessInterface&, LSDFReader<In>&, const LSDFChunkInfo<In>&);                            \
    template LProcessResult VTLabelLayout::SerialiseFromSDF(                                       \
        LProcessInterface&, LSDFReader<In>&, const LSDFChunkInfo<In>&);

VT_LABEL_LAYOUT_STREAMS(LOutputStreamFile, LInputStreamFile)
VT_LABEL_LAYOUT_STREAMS(LOutputStreamByteArray, LInputStreamBuffer)

#undef VT_LABEL_LAYOUT_STREAMS

// A project's layout in a save's snapshot.
template LProcessResult VTLabelLayout::SerialiseToSDF(
    LProcessInterface&, LSDFWriter<LOutputStreamPieces>&) const;

// ================================================================================================
// Jobs
// ================================================================================================

LProcessResult Process(LProcessInterface& process, VTLabelLayoutLoad& job)
{
    char file[kLPathSize];
    LFile::_GetFileFromPath(file, job.path);
    process.SetStatusF(0, "Laddar %s", file);
    if (!job.layout)
        return Fail(process, "Det gick inte att läsa etikettlayouten.");
    if (!LFile::TestFileExists(job.path))
        return Fail(process, "Det gick inte att hitta filen.");
    // Read whether or not the shared lock was had within 3 seconds.
    LInputStreamFile stream;
    if (!stream.Open(job.path, 3000))
        return Fail(process, "Det gick inte att öppna filen.");
    LSDFReader<LInputStreamFile> reader;
    if (!reader.Open(stream, kVTLabelLayoutFileType))
        return Fail(process, "Filen är inte en voranteletikettlayout.");
    if (reader.GetFileVersion() > kVTLabelLayoutFileVersion)
        return Fail(process, "Den här etikettlayouten sparades med en nyare version av Vorantel.");
    LSDFReaderChunkIterator<LInputStreamFile> it(reader);
    if (!it.Next() || it->GetId() != kVTLabelLayoutChunk)
        return Fail(process, "Filen är inte en voranteletikettlayout.");
    const LProcessResult r = job.layout->SerialiseFromSDF(process, reader, *it);
    if (r != LProcessResultSuccess)
        return r;
    // A layout no sheet set holds, or one that could not have been written (positions beyond
    // any sheet, values that are not numbers), is refused whole.
    if (job.layout->pages.GetCount() > kVTLabelLayoutMaxPages)
        return Fail(process, "Etikettlayouten har för många sidor.");
    if (const char* problem = job.layout->GetSaveProblem())
        return Fail(process, problem);
    return LProcessResultSuccess;
}

LProcessResult Process(LProcessInterface& process, VTLabelLayoutSave& job)
{
    char file[kLPathSize];
    LFile::_GetFileFromPath(file, job.path);
    process.SetStatusF(0, "Sparar %s", file);
    if (!job.layout)
        return Fail(process, "Det gick inte att skapa filen.");
    // The temporary file lies beside the target; it is removed on every path but success, the
    // target left as it was.
    LFileSave save;
    LFileSaveProcess saving(process, save);
    if (!save.Begin(job.path))
        return Fail(saving, "Det gick inte att skapa filen.");
    LSDFWriter<LOutputStreamFile> writer;
    if (!writer.Open(save.GetStream(), kVTLabelLayoutFileType, kVTLabelLayoutFileVersion))
        return Fail(saving, "Det gick inte att öppna filen.");
    if (!writer.StartContainer(kVTLabelLayoutChunk))
        return Fail(saving, "Det gick inte att starta etikettlayoutdata.");
    LProcessResult result = job.layout->SerialiseToSDF(saving, writer);
    if (result != LProcessResultSuccess)
        return result;
    if (!writer.EndContainer(kVTLabelLayoutChunk))
        return Fail(saving, "Det gick inte att avsluta etikettlayoutdata.");
    if (!writer.Close())
        return Fail(saving, "Det gick inte att stänga filen.");
    if (!save.Commit())
        return Fail(saving, "Det gick inte att flytta filen.");
    return LProcessResultSuccess;
}
