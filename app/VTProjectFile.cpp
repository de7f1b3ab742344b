#include "app/VTProjectFile.h"

#include "app/VTOverlaySerialise.h"
#include "app/VTPictureEncoder.h"
#include "app/VTProjectXML.h"
#include "app/VTSerialiseTemplateDiscDimensions.h"
#include "lfw/gen/LFileSave.h"
#include "lfw/ios/LProcessThread.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <strings.h>
#include <sys/stat.h>
#include <vector>

namespace {

LProcessResult Fail(LProcessInterface& process, const char* text)
{
    process.SetError(text);
    return LProcessResultError;
}

constexpr const char* kNotAProject = "Filen är inte ett Vorantel-projekt.";
// A file that begins as a project of ours but cannot be read to its end.
constexpr const char* kDamagedProject
    = "Projektfilen är skadad eller ofullständig och kan inte öppnas.";

// Chunk ids of the project tree.
enum : uint16_t {
    kProjectChunk = 1,
    kProgramInfoChunk = 1,
    kLayoutChunk = 2,
    kTemplatesChunk = 3,
    kAutoSaveOriginChunk = 4,
    kAutoSaveOriginStampChunk = 5,
    kLegacyColourChunk = 1,
    kIDListChunk = 4,
    kBrushChunk = 6,
    kBrushSolidChunk = 11,
    kBrushGradientChunk = 12,
    kBrushTypeValue = 13,
    kBrushStopChunk = 10,
    kBrushDirectionChunk = 14,
    kBrushTypeChunk = 15,
    kBrushImageChunk = 16,
    kBrushImagePath = 17,
};

uint16_t Channel16(int32_t value)
{
    return uint16_t((value & 0xFF) << 8);
}

// ------------------------------------------------------------------------------------------------
// Brush
// ------------------------------------------------------------------------------------------------

template <class T> void WriteColour(LSDFWriter<T>& writer, const LGuiColorAlpha& c)
{
    writer.WriteInt(1, c.GetRed8());
    writer.WriteInt(2, c.GetGreen8());
    writer.WriteInt(3, c.GetBlue8());
    writer.WriteInt(4, c.alpha);
}

// The children 1-4 of a colour container (for a gradient stop also 5, the position).
template <class T>
LProcessResult ReadBrushColour(LProcessInterface& process, LSDFReader<T>& reader,
    const LSDFChunkInfo<T>& container, LGuiColorAlpha& colour, float* position)
{
    int32_t values[5] = {};
    bool seen[6] = {};
    LSDFReaderChunkIterator<T> it(reader, container);
    while (it.Next()) {
        const uint16_t id = it->GetId();
        if (id == 5 && position) {
            if (!it->ReadFloat(*position) || !VTIsPlausibleLength(*position))
                return Fail(process, "Det gick inte att läsa färgkomponenten.");
        } else if (id >= 1 && id <= 4) {
            if (!it->ReadInt(values[id]))
                return Fail(process, "Det gick inte att läsa färgkomponenten.");
        } else {
            return Fail(process, "Okänt färgformat.");
        }
        seen[id] = true;
    }
    if (!reader.IsGood() || !seen[1] || !seen[2] || !seen[3] || !seen[4] || (position && !seen[5]))
        return Fail(process, "Det gick inte att läsa färg.");
    colour = LGuiColorAlpha(
        Channel16(values[1]), Channel16(values[2]), Channel16(values[3]), uint8_t(values[4]));
    return LProcessResultSuccess;
}

// Container 11: the solid brush's colour.
template <class T>
LProcessResult VTSerialiseSolidBrushFromSDF(LProcessInterface& process, LSDFReader<T>& reader,
    const LSDFChunkInfo<T>& container, LBrushInfo& brush)
{
    return ReadBrushColour(process, reader, container, brush.color, nullptr);
}

// Container 10: one gradient stop, its colour and its position.
template <class T>
LProcessResult VTSerialiseGradientStopFromSDF(LProcessInterface& process, LSDFReader<T>& reader,
    const LSDFChunkInfo<T>& container, LGuiColorAlpha& colour, float& position)
{
    return ReadBrushColour(process, reader, container, colour, &position);
}

template <class T>
LProcessResult VTSerialiseBrushTypeFromSDF(LProcessInterface& process, LSDFReader<T>& reader,
    const LSDFChunkInfo<T>& container, uint32_t& kind)
{
    LSDFReaderChunkIterator<T> it(reader, container);
    while (it.Next()) {
        int32_t value = 0;
        if (!it->ReadInt(value))
            return Fail(process, "Det gick inte att läsa färgkomponenten.");
        if (it->GetId() == kBrushTypeValue) {
            kind = uint32_t(value);
            return LProcessResultSuccess;
        }
    }
    return Fail(process, "Det gick inte att läsa färg.");
}

template <class T>
LProcessResult VTSerialiseGradientDirectionFromSDF(LProcessInterface& process,
    LSDFReader<T>& reader, const LSDFChunkInfo<T>& container, LBrushInfo& brush)
{
    float values[10] = {};
    bool seen[10] = {};
    LSDFReaderChunkIterator<T> it(reader, container);
    while (it.Next()) {
        const uint16_t id = it->GetId();
        if (id < 6 || id > 9)
            return Fail(process, "Okänt färgformat.");
        if (!it->ReadFloat(values[id]) || !VTIsPlausibleLength(values[id]))
            return Fail(process, "Det gick inte att läsa färgkomponenten.");
        seen[id] = true;
    }
    if (!reader.IsGood() || !seen[6] || !seen[7] || !seen[8] || !seen[9])
        return Fail(process, "Det gick inte att läsa färg.");
    for (int i = 0; i < 4; ++i)
        brush.geometry[i] = values[6 + i];
    return LProcessResultSuccess;
}

// At most kLBrushInfoMaxStops stops: the description has no room for more.
template <class T>
LProcessResult VTSerialiseGradientBrushFromSDF(LProcessInterface& process, LSDFReader<T>& reader,
    const LSDFChunkInfo<T>& container, LBrushInfo& brush)
{
    uint32_t stops = 0;
    bool direction = false;
    LSDFReaderChunkIterator<T> it(reader, container);
    while (it.Next()) {
        LProcessResult result = LProcessResultSuccess;
        switch (it->GetId()) {
        case kBrushStopChunk:
            if (stops >= uint32_t(kLBrushInfoMaxStops))
                return Fail(process, "Det gick inte att läsa färg.");
            result = VTSerialiseGradientStopFromSDF(process, reader, it.GetChunk(),
                brush.stopColors[stops], brush.stopPositions[stops]);
            if (result == LProcessResultSuccess)
                ++stops;
            break;
        case kBrushDirectionChunk:
            result = VTSerialiseGradientDirectionFromSDF(process, reader, it.GetChunk(), brush);
            direction = result == LProcessResultSuccess;
            break;
        default:
            return Fail(process, "Okänt färgformat.");
        }
        if (result != LProcessResultSuccess)
            return result;
    }
    if (!reader.IsGood() || stops == 0 || !direction)
        return Fail(process, "Det gick inte att läsa färg.");
    brush.stopCount = stops;
    return LProcessResultSuccess;
}

template <class T>
LProcessResult VTSerialiseImageBackgroundFromSDF(LProcessInterface& process, LSDFReader<T>& reader,
    const LSDFChunkInfo<T>& container, char* path)
{
    LSDFReaderChunkIterator<T> it(reader, container);
    while (it.Next()) {
        if (!it->ReadString(path, kLStringShortSize))
            break;
        if (it->GetId() == kBrushImagePath)
            return LProcessResultSuccess;
    }
    path[0] = '\0';
    return Fail(process, "Det gick inte att läsa sökvägen till bakgrundsbildsfilen.");
}

// ------------------------------------------------------------------------------------------------
// Ids and program information
// ------------------------------------------------------------------------------------------------

template <class T>
LProcessResult VTSerialiseTemplateIDsFromSDF(LProcessInterface& process, LSDFReader<T>& reader,
    const LSDFChunkInfo<T>& container, VTProjectTemplate& design)
{
    size_t count = 0;
    LSDFReaderChunkIterator<T> it(reader, container);
    while (it.Next()) {
        int32_t id = 0;
        if (!it->ReadInt(id))
            return Fail(process, "Det gick inte att läsa mall-ID-listkomponenten.");
        if (it->GetId() != 1)
            return Fail(process, "Okänt mall-ID-format.");
        design.AddMappingToLabelLayoutTemplateID(id);
        ++count;
    }
    if (!reader.IsGood())
        return Fail(process, "Det gick inte att läsa mall-ID-listkomponenten.");
    if (count == 0)
        return Fail(process, "Det gick inte att läsa mall-ID-listan.");
    return LProcessResultSuccess;
}

template <class T>
LProcessResult VTSerialiseProgramInformationFromSDF(
    LProcessInterface& process, LSDFReader<T>& reader, const LSDFChunkInfo<T>& container)
{
    bool version = false, platform = false;
    LSDFReaderChunkIterator<T> it(reader, container);
    while (it.Next()) {
        char value[LSDFReaderChunk<T>::kStringBufferSize];
        if (!it->ReadString(value, sizeof value))
            return Fail(process, "Det gick inte att läsa programinformation.");
        switch (it->GetId()) {
        case 1:
            version = true;
            break;
        case 2:
            platform = true;
            break;
        default:
            return Fail(process, "Okänd programinformation.");
        }
    }
    if (!reader.IsGood())
        return Fail(process, "Det gick inte att läsa programinformation.");
    if (!version || !platform)
        return Fail(process, "Fel läsning av programinformation");
    return LProcessResultSuccess;
}

} // namespace

// ================================================================================================
// Brush
// ================================================================================================

template <class T>
LProcessResult VTSerialiseBrushToSDF(LProcessInterface& process, LSDFWriter<T>& writer,
    const LBrushInfo* brush, const char* backgroundImagePath)
{
    // Writes are not checked one by one: the writer keeps its first failure for the save job.
    (void)process;
    writer.StartContainer(kBrushChunk);
    writer.StartContainer(kBrushTypeChunk);
    writer.WriteInt(kBrushTypeValue, brush ? int32_t(brush->kind) : 0);
    writer.EndContainer(kBrushTypeChunk);
    if (!brush) {
        writer.StartContainer(kBrushImageChunk);
        writer.WriteString(kBrushImagePath, backgroundImagePath ? backgroundImagePath : "");
        writer.EndContainer(kBrushImageChunk);
    } else if (brush->kind == LBrushInfoKindSolid) {
        writer.StartContainer(kBrushSolidChunk);
        WriteColour(writer, brush->color);
        writer.EndContainer(kBrushSolidChunk);
    } else if (brush->kind == LBrushInfoKindLinearGradient
        || brush->kind == LBrushInfoKindRadialGradient) {
        writer.StartContainer(kBrushGradientChunk);
        uint32_t count = std::min<uint32_t>(brush->stopCount, kLBrushInfoMaxStops);
        for (uint32_t i = 0; i < count; ++i) {
            writer.StartContainer(kBrushStopChunk);
            writer.WriteFloat(5, brush->stopPositions[i]);
            WriteColour(writer, brush->stopColors[i]);
            writer.EndContainer(kBrushStopChunk);
        }
        writer.StartContainer(kBrushDirectionChunk);
        for (int i = 0; i < 4; ++i)
            writer.WriteFloat(uint16_t(6 + i), brush->geometry[i]);
        writer.EndContainer(kBrushDirectionChunk);
        writer.EndContainer(kBrushGradientChunk);
    }
    writer.EndContainer(kBrushChunk);
    return LProcessResultSuccess;
}

template <class T>
LProcessResult VTSerialiseBrushFromSDF(LProcessInterface& process, LSDFReader<T>& reader,
    const LSDFChunkInfo<T>& container, LPtr<LBrushInfo>& brush, char* backgroundImagePath)
{
    LPtr<LBrushInfo> read(new LBrushInfo);
    read->kind = LBrushInfoKindNone;
    read->color = LGuiColorAlpha(0, 0, 0, 255);
    bool image = false;
    LSDFReaderChunkIterator<T> it(reader, container);
    while (it.Next()) {
        LProcessResult result = LProcessResultSuccess;
        switch (it->GetId()) {
        case kBrushTypeChunk:
            result = VTSerialiseBrushTypeFromSDF(process, reader, it.GetChunk(), read->kind);
            break;
        case kBrushSolidChunk:
            result = VTSerialiseSolidBrushFromSDF(process, reader, it.GetChunk(), *read);
            break;
        case kBrushGradientChunk:
            if (read->kind == LBrushInfoKindLinearGradient
                || read->kind == LBrushInfoKindRadialGradient)
                result = VTSerialiseGradientBrushFromSDF(process, reader, it.GetChunk(), *read);
            break;
        case kBrushImageChunk:
            result = VTSerialiseImageBackgroundFromSDF(
                process, reader, it.GetChunk(), backgroundImagePath);
            image = result == LProcessResultSuccess;
            break;
        default:
            return Fail(process, "Okänt färgformat.");
        }
        if (result != LProcessResultSuccess)
            return result;
    }
    if (!reader.IsGood())
        return Fail(process, "Det gick inte att läsa färg.");
    if (image)
        brush.Reset();
    else
        brush = std::move(read);
    return LProcessResultSuccess;
}

// ================================================================================================
// Designs
// ================================================================================================

template <class T>
LProcessResult VTSerialiseProjectTemplateToSDF(
    LProcessInterface& process, LSDFWriter<T>& writer, const VTProjectTemplate& design)
{
    LProcessResult brush = VTSerialiseBrushToSDF(
        process, writer, design.backgroundBrush.Get(), design.backgroundImagePath);
    if (brush != LProcessResultSuccess)
        return brush;
    for (const VTOverlay* overlay = design.first; overlay; overlay = overlay->next) {
        uint16_t id = VTOverlayChunkID(overlay->GetType());
        if (id == 0)
            return Fail(process, "Ogiltig överlagringstyp.");
        writer.StartContainer(id);
        LProcessResult result = VTSerialiseOverlayToSDF(process, writer, *overlay);
        if (result != LProcessResultSuccess)
            return result;
        writer.EndContainer(id);
    }
    writer.StartContainer(kIDListChunk);
    for (const VTLabelLayoutTemplateID& mapped : design.mappedIDs)
        writer.WriteInt(1, mapped.id);
    writer.EndContainer(kIDListChunk);
    if (design.format == VTTemplateFormatDisc) {
        if (auto* disc = dynamic_cast<const VTTemplateDataDiscCDDVDStandard*>(design.data.Get())) {
            LProcessInterfaceSubProcess sub(process, 0, 1);
            VTSerialiseTemplateDiscDimensionsToSDF(sub, writer, *disc);
        }
    }
    process.SetProgress(1.0);
    return LProcessResultSuccess;
}

template <class T>
LProcessResult VTSerialiseProjectTemplateFromSDF(LProcessInterface& process, LSDFReader<T>& reader,
    const LSDFChunkInfo<T>& container, VTProjectTemplate& design, LParallelJobs* reads)
{
    bool haveIDs = false, haveBrush = false, haveDisc = false;
    LSDFReaderChunkIterator<T> it(reader, container);
    while (it.Next()) {
        if (process.IsToStop())
            return LProcessResultStopped;
        LProcessResult result = LProcessResultSuccess;
        const uint16_t id = it->GetId();
        switch (id) {
        case kLegacyColourChunk: {
            LPFB8G8R8A8 colour { 0, 0, 0, 255 };
            result = VTSerialiseColourFromSDF(process, reader, it.GetChunk(), colour);
            if (result == LProcessResultSuccess) {
                auto* brush = new LBrushInfo;
                brush->kind = LBrushInfoKindSolid;
                brush->color = LGuiColorAlpha(uint16_t(colour.r << 8), uint16_t(colour.g << 8),
                    uint16_t(colour.b << 8), colour.a);
                design.backgroundBrush.Reset(brush);
                haveBrush = true;
            }
            break;
        }
        case kBrushChunk:
            result = VTSerialiseBrushFromSDF(
                process, reader, it.GetChunk(), design.backgroundBrush, design.backgroundImagePath);
            haveBrush = result == LProcessResultSuccess;
            break;
        case 2:
        case 3:
        case 7:
        case 8:
        case 9: {
            VTOverlay* overlay = VTOverlayCreateForChunkID(id);
            result = VTSerialiseOverlayFromSDF(process, reader, it.GetChunk(), *overlay, reads);
            if (result != LProcessResultSuccess) {
                delete overlay;
                return result;
            }
            overlay->AddNotifyee(design);
            design.AddItem(overlay, true);
            break;
        }
        case kIDListChunk:
            result = VTSerialiseTemplateIDsFromSDF(process, reader, it.GetChunk(), design);
            haveIDs = result == LProcessResultSuccess;
            break;
        case kVTDiscDimensionsChunk: {
            auto* disc = dynamic_cast<VTTemplateDataDiscCDDVDStandard*>(design.data.Get());
            if (design.format != VTTemplateFormatDisc || !disc)
                return Fail(process, "Det gick inte att läsa mallskivans dimensioner.");
            result
                = VTSerialiseTemplateDiscDimensionsFromSDF(process, reader, it.GetChunk(), *disc);
            haveDisc = result == LProcessResultSuccess;
            break;
        }
        default:
            break;
        }
        if (result != LProcessResultSuccess)
            return result;
    }
    if (!reader.IsGood() || !haveIDs || !haveBrush
        || (design.format == VTTemplateFormatDisc && !haveDisc))
        return Fail(process, "Det gick inte att läsa projektmallen.");
    return LProcessResultSuccess;
}

// ================================================================================================
// Project
// ================================================================================================

template <class T>
LProcessResult VTSerialiseProjectToSDF(
    LProcessInterface& process, LSDFWriter<T>& writer, VTProject& project)
{
    writer.StartContainer(kProgramInfoChunk);
    writer.WriteString(1, kVTProjectProgramVersion);
    writer.WriteString(2, kVTProjectPlatform);
    writer.EndContainer(kProgramInfoChunk);
    VTLabelLayout* layout = project.GetLabelLayout();
    // The reader refuses a project without a layout, so none is written.
    if (!layout)
        return Fail(process, "Projektet saknar etikettlayout.");
    {
        LProcessInterfaceSubProcess sub(process, 0, 0.25);
        writer.StartContainer(kLayoutChunk);
        LProcessResult result = layout->SerialiseToSDF(sub, writer);
        if (result != LProcessResultSuccess)
            return result;
        writer.EndContainer(kLayoutChunk);
    }
    if (process.IsToStop())
        return LProcessResultStopped;
    writer.StartContainer(kTemplatesChunk);
    const size_t count = project.templates.GetCount();
    size_t index = 0;
    for (const VTProjectTemplate& design : project.templates) {
        if (process.IsToStop())
            return LProcessResultStopped;
        const uint16_t id = design.format >= 0 && design.format < kVTTemplateFormatCount
            ? uint16_t(design.format + 1)
            : 0;
        double share = 0.75 / double(count);
        LProcessInterfaceSubProcess sub(process, 0.25 + share * double(index), share);
        writer.StartContainer(id);
        LProcessResult result = VTSerialiseProjectTemplateToSDF(sub, writer, design);
        if (result != LProcessResultSuccess)
            return result;
        writer.EndContainer(id);
        ++index;
    }
    writer.EndContainer(kTemplatesChunk);
    process.SetProgress(1.0);
    return LProcessResultSuccess;
}

template <class T>
LProcessResult VTSerialiseProjectFromSDF(LProcessInterface& process, LSDFReader<T>& reader,
    const LSDFChunkInfo<T>& container, VTProject& project, LParallelJobs* reads)
{
    process.SetProgressIndeterminateOn();
    LSDFReaderChunkIterator<T> it(reader, container);
    while (it.Next()) {
        if (process.IsToStop())
            return LProcessResultStopped;
        LProcessResult result = LProcessResultSuccess;
        switch (it->GetId()) {
        case kProgramInfoChunk: {
            LProcessInterfaceSubProcess sub(process, 0, 1);
            result = VTSerialiseProgramInformationFromSDF(sub, reader, it.GetChunk());
            break;
        }
        case kLayoutChunk: {
            LPtr<VTLabelLayout> layout(new VTLabelLayout);
            result = layout->SerialiseFromSDF(process, reader, it.GetChunk());
            // The project owns the layout read so far even when it failed (it is partly filled).
            project.layout = std::move(layout);
            break;
        }
        case kTemplatesChunk: {
            LSDFReaderChunkIterator<T> designs(reader, it.GetChunk());
            while (designs.Next()) {
                if (process.IsToStop())
                    return LProcessResultStopped;
                const uint16_t id = designs->GetId();
                if (id < 1 || id > kVTTemplateFormatCount)
                    continue;
                auto* design = new VTProjectTemplate(VTTemplateFormat(id - 1));
                result = VTSerialiseProjectTemplateFromSDF(
                    process, reader, designs.GetChunk(), *design, reads);
                if (result != LProcessResultSuccess) {
                    delete design;
                    return result;
                }
                project.AppendTemplate(design);
            }
            break;
        }
        default:
            break;
        }
        if (result != LProcessResultSuccess)
            return result;
    }
    if (!reader.IsGood())
        return Fail(process, kDamagedProject);
    // A project says where its designs are printed; one without a layout is damaged.
    if (!project.GetLabelLayout())
        return Fail(process, "Det gick inte att läsa etikettlayouten.");
    return LProcessResultSuccess;
}

// ================================================================================================
// Whole files
// ================================================================================================

template <class S>
LProcessResult VTProjectWriteSDF(
    LProcessInterface& process, S& stream, VTProject& project, const char* origin)
{
    LSDFWriter<S> writer;
    if (!writer.Open(stream, kVTProjectFileType, kVTProjectFileVersion))
        return Fail(process, "Det gick inte att öppna filen.");
    if (!writer.StartContainer(kProjectChunk))
        return Fail(process, "Det gick inte att starta projektdata.");
    // An autosave names the project it was made of, and when that project's file was last
    // written, first, where they are found without reading the rest; readers that do not know
    // the chunks pass over them.
    if (origin && *origin) {
        writer.WriteString(kAutoSaveOriginChunk, origin);
        const std::string stamp = VTProjectFileStamp(origin);
        if (!stamp.empty())
            writer.WriteString(kAutoSaveOriginStampChunk, stamp.c_str());
    }
    LProcessResult result = VTSerialiseProjectToSDF(process, writer, project);
    if (result != LProcessResultSuccess)
        return result;
    if (!writer.EndContainer(kProjectChunk))
        return Fail(process, "Det gick inte att avsluta projektdata.");
    if (!writer.Close())
        return Fail(process, "Det gick inte att stänga filen.");
    return LProcessResultSuccess;
}

namespace {

// Holds what the reading reports through SetError (its warnings, its error), so that the caller
// can tell a damaged file of ours from a stranger before anything is shown; everything else goes
// through at once.
class HeldErrorProcess : public LProcessInterfaceNested {
public:
    using LProcessInterfaceNested::LProcessInterfaceNested;
    void SetError(const char* text) override { held.emplace_back(text ? text : ""); }
    void SetStatus(const char* text, int level) override { m_parent->SetStatus(text, level); }
    void SetProgress(double fraction) override { m_parent->SetProgress(fraction); }
    void SetProgressIndeterminateOn() override { m_parent->SetProgressIndeterminateOn(); }
    void SetProgressIndeterminateOff() override { m_parent->SetProgressIndeterminateOff(); }
    // Passes on what was held, in order.
    void Release()
    {
        for (const std::string& text : held)
            m_parent->SetError(text.c_str());
        held.clear();
    }
    std::vector<std::string> held;
};

} // namespace

template <class S>
LProcessResult VTProjectReadSDF(LProcessInterface& process, S& stream, VTProject& project)
{
    LSDFReader<S> reader;
    if (!reader.Open(stream, kVTProjectFileType))
        return Fail(process, reader.StartsAsFileType() ? kDamagedProject : kNotAProject);
    if (reader.GetFileVersion() > kVTProjectFileVersion)
        return Fail(process, "Det här projektet sparades med en nyare version av Vorantel.");
    LSDFReaderChunkIterator<S> it(reader);
    if (!it.Next() || it->GetId() != kProjectChunk || !it->IsContainer())
        return Fail(process, reader.IsGood() ? kNotAProject : kDamagedProject);
    HeldErrorProcess reading(process);
    // The pictures are read side by side on workers while the rest of the file is read here; the
    // stream stays open until they are done.
    LParallelJobs reads(kVTPictureReadersName);
    LProcessResult result
        = VTSerialiseProjectFromSDF(reading, reader, it.GetChunk(), project, &reads);
    if (result == LProcessResultSuccess) {
        reading.SetProgressIndeterminateOff();
        result = reads.Finish(reading);
    } else {
        reads.Stop();
    }
    if (result == LProcessResultError && !reader.IsGood()) {
        // A file of ours that could not be read to its end (cut off, or lengths that lead past
        // it) is damaged, whatever part of it failed first.
        process.SetError(kDamagedProject);
        return result;
    }
    reading.Release();
    return result;
}

#define VT_PROJECT_STREAMS(Out, In)                                                                \
    template LProcessResult VTProjectWriteSDF(LProcessInterface&, Out&, VTProject&, const char*);  \
    template LProcessResult VTProjectReadSDF(LProcessInterface&, In&, VTProject&);                 \
    template LProcessResult VTSerialiseProjectToSDF(                                               \
        LProcessInterface&, LSDFWriter<Out>&, VTProject&);                                         \
    template LProcessResult VTSerialiseProjectFromSDF(LProcessInterface&, LSDFReader<In>&,         \
        const LSDFChunkInfo<In>&, VTProject&, LParallelJobs*);                                     \
    template LProcessResult VTSerialiseProjectTemplateToSDF(                                       \
        LProcessInterface&, LSDFWriter<Out>&, const VTProjectTemplate&);                           \
    template LProcessResult VTSerialiseProjectTemplateFromSDF(LProcessInterface&, LSDFReader<In>&, \
        const LSDFChunkInfo<In>&, VTProjectTemplate&, LParallelJobs*);                             \
    template LProcessResult VTSerialiseBrushToSDF(                                                 \
        LProcessInterface&, LSDFWriter<Out>&, const LBrushInfo*, const char*);                     \
    template LProcessResult VTSerialiseBrushFromSDF(                                               \
        LProcessInterface&, LSDFReader<In>&, const LSDFChunkInfo<In>&, LPtr<LBrushInfo>&, char*);

VT_PROJECT_STREAMS(LOutputStreamFile, LInputStreamFile)
VT_PROJECT_STREAMS(LOutputStreamByteArray, LInputStreamBuffer)

#undef VT_PROJECT_STREAMS

// A save's snapshot.
template LProcessResult VTProjectWriteSDF(
    LProcessInterface&, LOutputStreamPieces&, VTProject&, const char*);

namespace {

std::string IdentityOf(const struct stat& st)
{
    char identity[96];
    std::snprintf(identity, sizeof identity, "%llu:%llu:%lld:%lld.%09ld",
        static_cast<unsigned long long>(st.st_dev), static_cast<unsigned long long>(st.st_ino),
        static_cast<long long>(st.st_size), static_cast<long long>(st.st_mtim.tv_sec),
        static_cast<long>(st.st_mtim.tv_nsec));
    return identity;
}

} // namespace

std::string VTProjectFileIdentity(const char* path)
{
    struct stat st { };
    if (!path || ::stat(path, &st) != 0 || !S_ISREG(st.st_mode))
        return "";
    return IdentityOf(st);
}

bool VTProjectFileChangedOnDisk(const VTProject& project)
{
    const std::string now = VTProjectFileIdentity(project.GetPath());
    return !now.empty() && now != project.fileIdentity;
}

std::string VTProjectFileStamp(const char* path)
{
    struct stat st { };
    if (!path || ::stat(path, &st) != 0 || !S_ISREG(st.st_mode))
        return "";
    char stamp[48];
    std::snprintf(stamp, sizeof stamp, "%lld.%09ld", static_cast<long long>(st.st_mtim.tv_sec),
        static_cast<long>(st.st_mtim.tv_nsec));
    return stamp;
}

std::string VTProjectReadAutoSaveOrigin(const char* path, std::string* stamp)
{
    if (stamp)
        stamp->clear();
    LInputStreamFile stream;
    if (!path || !stream.Open(path))
        return "";
    LSDFReader<LInputStreamFile> reader;
    if (!reader.Open(stream, kVTProjectFileType))
        return "";
    LSDFReaderChunkIterator<LInputStreamFile> it(reader);
    if (!it.Next() || it->GetId() != kProjectChunk || !it->IsContainer())
        return "";
    std::string origin;
    LSDFReaderChunkIterator<LInputStreamFile> children(reader, it.GetChunk());
    while (children.Next()) {
        const uint16_t id = children->GetId();
        if (id != kAutoSaveOriginChunk && id != kAutoSaveOriginStampChunk)
            continue;
        LStringLongTemplate<char> value;
        if (!children->ReadString(value))
            return "";
        if (id == kAutoSaveOriginChunk)
            origin = value.c_str();
        else if (stamp)
            *stamp = value.c_str();
    }
    return origin;
}

// ================================================================================================
// Jobs
// ================================================================================================

std::vector<LCountedPtr<VTCountableImageBuffer>> VTProjectPicturesToEncode(VTProject& project)
{
    std::vector<LCountedPtr<VTCountableImageBuffer>> pictures;
    for (const VTProjectTemplate& design : project.templates) {
        for (const VTOverlay* overlay = design.first; overlay; overlay = overlay->next) {
            const VTOverlayImage* image = VTOverlayAsImage(overlay);
            // Undo steps and copies share pictures: each is encoded once.
            if (!image || !image->HasValidImage() || image->GetImage().GetEncodedPNG()
                || std::any_of(pictures.begin(), pictures.end(),
                    [&](const auto& p) { return p.get() == image->image.get(); }))
                continue;
            pictures.push_back(image->image);
        }
    }
    return pictures;
}

LProcessResult Process(LProcessInterface& process, VTProjectEncodePictures& job)
{
    return VTPictureEncoder::EncodeAll(process, job.pictures, job.workers);
}

LProcessResult VTProjectMakeSnapshot(
    LProcessInterface& process, VTProject& project, VTProjectSnapshot& snapshot, const char* origin)
{
    snapshot.reset();
    auto pieces = std::make_shared<LOutputStreamPieces>();
    LProcessResult result = VTProjectWriteSDF(process, *pieces, project, origin);
    if (result == LProcessResultSuccess && !pieces->IsGood())
        return Fail(process, "Det gick inte att skriva filen.");
    if (result == LProcessResultSuccess)
        snapshot = std::move(pieces);
    return result;
}

LProcessResult Process(LProcessInterface& process, VTProjectWriteSnapshot& job)
{
    // The temporary file lies beside the target; it is removed on every path but success. A
    // refusal or a full disk is told with its reason in place of the generic text.
    LFileSave save;
    LFileSaveProcess saving(process, save);
    if (!job.snapshot)
        return Fail(process, "Det gick inte att skriva filen.");
    if (!save.Begin(job.path.c_str()))
        return Fail(saving, "Det gick inte att skapa filen.");
    const double size = double(std::max<uint64_t>(job.snapshot->GetSize(), 1));
    uint64_t done = 0;
    constexpr size_t kStep = 4 << 20;
    for (const LOutputStreamPieces::Piece& piece : job.snapshot->GetPieces()) {
        for (size_t at = 0; at < piece.size; at += kStep) {
            if (process.IsToStop()) {
                save.Discard();
                return LProcessResultStopped;
            }
            process.SetProgress(double(done) / size);
            const size_t n = std::min(kStep, piece.size - at);
            if (!save.GetStream().Write(piece.data + at, n)) {
                save.Discard();
                return Fail(saving, "Det gick inte att skriva filen.");
            }
            done += n;
        }
    }
    if (!save.Commit())
        return Fail(saving, "Det gick inte att flytta filen.");
    process.SetProgress(1.0);
    return LProcessResultSuccess;
}

LProcessResult Process(LProcessInterface& process, VTProjectWriteAtOnce& job)
{
    LFileSave save;
    LFileSaveProcess saving(process, save);
    if (!job.project)
        return Fail(process, "Det gick inte att skriva filen.");
    if (!save.Begin(job.path.c_str()))
        return Fail(saving, "Det gick inte att skapa filen.");
    const LProcessResult result = VTProjectWriteSDF(
        saving, save.GetStream(), *job.project, job.origin.empty() ? nullptr : job.origin.c_str());
    if (result != LProcessResultSuccess) {
        save.Discard();
        return result;
    }
    if (!save.GetStream().IsGood()) {
        save.Discard();
        return Fail(saving, "Det gick inte att skriva filen.");
    }
    if (!save.Commit())
        return Fail(saving, "Det gick inte att flytta filen.");
    return LProcessResultSuccess;
}

LProcessResult Process(LProcessInterface& process, VTProjectSave& job)
{
    char file[kLPathSize];
    LFile::_GetFileFromPath(file, job.path);
    process.SetStatusF(0, "Sparar %s", file);
    if (!job.project)
        return Fail(process, "Det gick inte att skapa filen.");
    // 1. The pictures not encoded yet (most were, when they came in), on a worker; they are most
    // of the work when there are any.
    VTProjectEncodePictures encode { VTProjectPicturesToEncode(*job.project) };
    const double encoding = encode.pictures.empty() ? 0 : 0.8;
    if (!encode.pictures.empty()) {
        LProcessInterfaceSubProcess sub(process, 0, encoding);
        LProcessThreadData<VTProjectEncodePictures> worker(encode);
        LProcessResult result = Process(sub, worker);
        if (result != LProcessResultSuccess)
            return result;
    }
    // 2. The snapshot, here: it reads the project, and shares the pictures' bytes.
    VTProjectSnapshot snapshot;
    {
        LProcessInterfaceSubProcess sub(process, encoding, 0.01);
        LProcessResult result = VTProjectMakeSnapshot(sub, *job.project, snapshot);
        if (result != LProcessResultSuccess)
            return result;
    }
    // 3. The bytes onto the disk, on a worker.
    VTProjectWriteSnapshot write { job.path, std::move(snapshot) };
    {
        const double written = encoding + 0.01;
        LProcessInterfaceSubProcess sub(process, written, 1 - written);
        LProcessThreadData<VTProjectWriteSnapshot> worker(write);
        LProcessResult result = Process(sub, worker);
        if (result != LProcessResultSuccess)
            return result;
    }
    if (!job.leaveProjectUnchanged) {
        job.project->SetPath(job.path);
        job.project->fileIdentity = VTProjectFileIdentity(job.path);
        job.project->SetSaveState(VTProjectSaveStateSaved);
    }
    return LProcessResultSuccess;
}

LProcessResult Process(LProcessInterface& process, VTProjectLoad& job)
{
    char file[kLPathSize];
    LFile::_GetFileFromPath(file, job.path);
    process.SetStatusF(0, "Laddar %s", file);
    if (!job.project)
        return Fail(process, "Det gick inte att öppna filen.");
    if (!LFile::TestFileExists(job.path))
        return Fail(process, "Det gick inte att hitta filen.");
    char extension[kLPathSize] = "";
    LFile::_GetFileExtensionFromPath(extension, job.path);
    std::optional<VTPicturesOnlyChecked> onlyChecked;
    if (job.checkOnly)
        onlyChecked.emplace();
    LProcessResult result;
    if (strcasecmp(extension, ".vtproj") == 0) {
        LInputStreamFile stream;
        // The file is read whether or not the shared lock was had.
        if (!stream.Open(job.path, 3000))
            return Fail(process, "Det gick inte att öppna filen.");
        // The file as it was opened, whatever happens to the path while it is read.
        struct stat opened { };
        const std::string identity
            = ::fstat(stream.GetDescriptor(), &opened) == 0 ? IdentityOf(opened) : "";
        result = VTProjectReadSDF(process, stream, *job.project);
        if (result == LProcessResultSuccess) {
            job.project->SetPath(job.path);
            job.project->fileIdentity = identity;
        }
    } else if (strcasecmp(extension, ".vtx") == 0) {
        result = VTProjectLoadXML(process, *job.project, job.path);
        // Saved under the new name, which may name a file already.
        if (result == LProcessResultSuccess)
            job.project->fileIdentity = VTProjectFileIdentity(job.project->GetPath());
    } else {
        return Fail(process, kNotAProject);
    }
    if (result == LProcessResultSuccess)
        job.project->SetSaveState(VTProjectSaveStateSaved);
    return result;
}
