// The overlay chunks of project files, also the payload of the overlay clipboard. Written and
// read through the SDF writer and reader over any of their streams (files for projects, byte
// arrays and memory buffers for the clipboard).
//
// Every overlay container (2 text, 3 image, 7 circular text, 8 clipart, 9 background image)
// starts with the placement:
//   1 container: 1 float centre x, 2 float centre y, 3 float width, 4 float height,
//                5 float rotation (mm and degrees)
// Text (2) and circular text (7):
//   2 string text, 3 container font (1 string face, 2 int point size, 3 bool bold, 4 bool italic,
//   5 bool underline), 4 int alignment (0-8), 5 container background colour, 6 container text
//   colour (1 int red, 2 int green, 3 int blue, 4 int alpha, 0-255); circular text also
//   7 float centre angle (degrees), 8 float outer radius (mm).
// Image (3), clipart (8) and background image (9):
//   2 blob the picture as PNG (empty for a clipart without a picture), 3 string source path,
//   4 bool keep aspect ratio, 5 blob the stored transform (16 floats, row by row).
//
// Readers find values by id, skip ids they do not know (inside the font and colour containers an
// unknown id is an error), test the job's stop request before every child and set the job's
// Swedish error text before returning 2. Nothing read from a file is trusted: short values,
// values that are not finite numbers, lengths beyond 100 m, angles beyond a thousand turns, an
// alignment outside 0-8, a transform blob of the wrong length and undecodable pictures are
// errors.
//
// A reader given a set of parallel jobs (a project being opened) leaves the pictures to it: each
// picture's bytes are read and decoded by a job of their own while the reading goes on, and the
// picture stays empty until the set has finished.
#pragma once

#include "app/VTDocumentLimits.h"
#include "app/VTOverlay.h"
#include "app/VTOverlayCircularText.h"
#include "app/VTOverlayImage.h"
#include "app/VTOverlayText.h"
#include "lfw/gen/LProcess.h"
#include "lfw/gen/LSDF.h"
#include "lfw/gen/LStream.h"
#include "lfw/graphics/LImageFile.h"
#include "lfw/graphics/LImageFormat.h"
#include "lfw/ios/LParallelJobs.h"
#include "lfw/mac/LGuiFont.h"

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>
#include <type_traits>
#include <vector>

// The container id of an overlay type (0 text -> 2, 1 image -> 3, 2 circular text -> 7,
// 3 clipart -> 8, 4 background image -> 9); 0 for an unknown type.
uint16_t VTOverlayChunkID(int type);
// A new, empty overlay of the kind a container id stands for (the caller owns it); null for
// other ids.
VTOverlay* VTOverlayCreateForChunkID(uint16_t id);
// True when the face name is an installed font family, compared exactly. The list of families
// is read from the system once a minute at most.
bool VTFontFamilyIsInstalled(const char* face);

// Where the PNG bytes of a picture being read are: in memory, or length bytes at offset of an
// open file (read with pread; the descriptor stays open until the job has run).
struct VTPictureBytes {
    LSizedArray<unsigned char> data; // when fd < 0
    int fd = -1;
    uint64_t offset = 0;
    uint64_t length = 0;
};

// The job that reads a picture of a project file: the bytes read (from the file), decoded into
// picture, kept as its PNG bytes, and the source of its copies for the screen made. Its errors
// are the reader's: "Det gick inte att läsa bilden." when the bytes cannot be read, "Det gick
// inte att avkoda bilden." when they do not decode (for a clipart "Det gick inte att läsa
// ClipArt." and "Det gick inte att koda clipart.").
LParallelJobs::Work VTPictureReadWork(
    LCountedPtr<VTCountableImageBuffer> picture, VTPictureBytes bytes, bool clipart);

// While one lives on a thread, the project read there is only checked: the jobs VTPictureReadWork
// makes on that thread decode their pictures and let go of the pixels at once (no PNG bytes, no
// screen copies kept), and the older XML format's reader does not read its pictures (a picture it
// cannot read never keeps a project from opening).
class VTPicturesOnlyChecked {
public:
    VTPicturesOnlyChecked();
    ~VTPicturesOnlyChecked();
    VTPicturesOnlyChecked(const VTPicturesOnlyChecked&) = delete;
    VTPicturesOnlyChecked& operator=(const VTPicturesOnlyChecked&) = delete;
    // Whether one lives on the calling thread.
    static bool Here();

private:
    bool mOuter;
};

namespace _VTSerialise {

// The job's stop request as a result.
inline bool Stopped(LProcessInterface& process)
{
    return process.IsToStop();
}

inline LProcessResult Fail(LProcessInterface& process, const char* text)
{
    process.SetError(text);
    return LProcessResultError;
}

// A step whose failure the reader names in its own words: the step's error texts are not passed
// on (each would be one more alert for the same failure); its progress and status are.
class QuietErrors : public LProcessInterfaceNested {
public:
    using LProcessInterfaceNested::LProcessInterfaceNested;
    void SetError(const char*) override { }
    void SetStatus(const char* text, int level) override { m_parent->SetStatus(text, level); }
    void SetProgress(double fraction) override { m_parent->SetProgress(fraction); }
    void SetProgressIndeterminateOn() override { m_parent->SetProgressIndeterminateOn(); }
    void SetProgressIndeterminateOff() override { m_parent->SetProgressIndeterminateOff(); }
};

template <class T> bool ReadFiniteFloat(LSDFReaderChunk<T>& chunk, float& value)
{
    return chunk.ReadFloat(value) && std::isfinite(value);
}

// A length (or a position) in mm no design can hold is as unreadable as a short value: drawing
// outlines of such sizes costs without end.
template <class T> bool ReadLength(LSDFReaderChunk<T>& chunk, float& value)
{
    return ReadFiniteFloat(chunk, value) && VTIsPlausibleLength(value);
}

// So is an angle of more than a thousand turns: reducing it to one turn has no meaning left.
template <class T> bool ReadAngle(LSDFReaderChunk<T>& chunk, float& value)
{
    return ReadFiniteFloat(chunk, value) && VTIsPlausibleAngle(value);
}

} // namespace _VTSerialise

// ------------------------------------------------------------------------------------------------
// Colours
// ------------------------------------------------------------------------------------------------

// The whole colour container with the given id.
template <class T>
void VTSerialiseColourToSDF(LSDFWriter<T>& writer, uint16_t id, const LPFB8G8R8A8& colour)
{
    writer.StartContainer(id);
    writer.WriteInt(1, colour.r);
    writer.WriteInt(2, colour.g);
    writer.WriteInt(3, colour.b);
    writer.WriteInt(4, colour.a);
    writer.EndContainer(id);
}

template <class T>
LProcessResult VTSerialiseColourFromSDF(LProcessInterface& process, LSDFReader<T>& reader,
    const LSDFChunkInfo<T>& container, LPFB8G8R8A8& colour)
{
    int32_t values[5] = {};
    bool seen[5] = {};
    LSDFReaderChunkIterator<T> it(reader, container);
    while (it.Next()) {
        int32_t value = 0;
        if (!it->ReadInt(value))
            return _VTSerialise::Fail(process, "Det gick inte att läsa färgkomponenten.");
        const uint16_t id = it->GetId();
        if (id < 1 || id > 4)
            return _VTSerialise::Fail(process, "Okänt färgformat.");
        values[id] = value;
        seen[id] = true;
    }
    if (!reader.IsGood() || !seen[1] || !seen[2] || !seen[3] || !seen[4])
        return _VTSerialise::Fail(process, "Det gick inte att läsa färg.");
    colour.r = uint8_t(values[1]);
    colour.g = uint8_t(values[2]);
    colour.b = uint8_t(values[3]);
    colour.a = uint8_t(values[4]);
    return LProcessResultSuccess;
}

// ------------------------------------------------------------------------------------------------
// Fonts
// ------------------------------------------------------------------------------------------------

template <class T> void VTSerialiseFontToSDF(LSDFWriter<T>& writer, uint16_t id, const LGuiFont& f)
{
    char face[kLStringShortSize] = "";
    f.GetName(face, sizeof face);
    writer.StartContainer(id);
    writer.WriteString(1, face);
    writer.WriteInt(2, f.GetSize());
    writer.WriteBool(3, f.IsBold());
    writer.WriteBool(4, f.IsItalic());
    writer.WriteBool(5, f.IsUnderlined());
    writer.EndContainer(id);
}

// A face that is not installed sets the job's error text and is read on (the font then falls
// back); the result stays 0.
template <class T>
LProcessResult VTSerialiseFontFromSDF(LProcessInterface& process, LSDFReader<T>& reader,
    const LSDFChunkInfo<T>& container, LGuiFontEx& font)
{
    char face[kLStringShortSize] = "";
    int32_t size = 0;
    bool bold = false, italic = false, underline = false;
    LSDFReaderChunkIterator<T> it(reader, container);
    while (it.Next()) {
        if (_VTSerialise::Stopped(process))
            return LProcessResultStopped;
        switch (it->GetId()) {
        case 1:
            if (!it->ReadString(face, sizeof face))
                return _VTSerialise::Fail(process, "Det gick inte att läsa teckensnittsnamnet.");
            if (face[0] && !VTFontFamilyIsInstalled(face))
                process.SetErrorF(
                    "Fel. Teckensnittet \"%s\" är inte tillgängligt på det här systemet", face);
            break;
        case 2:
            if (!it->ReadInt(size))
                return _VTSerialise::Fail(process, "Det gick inte att läsa teckenstorleken.");
            break;
        case 3:
            if (!it->ReadBool(bold))
                return _VTSerialise::Fail(
                    process, "Det gick inte att läsa fet stil med teckensnitt.");
            break;
        case 4:
            if (!it->ReadBool(italic))
                return _VTSerialise::Fail(
                    process, "Det gick inte att läsa teckensnittsgenomsnittsformat.");
            break;
        case 5:
            if (!it->ReadBool(underline))
                return _VTSerialise::Fail(
                    process, "Det gick inte att läsa teckensnittssigneringsformat.");
            break;
        default:
            return _VTSerialise::Fail(process, "Okänt teckensnittsattributformat.");
        }
    }
    if (!reader.IsGood())
        return _VTSerialise::Fail(process, "Det gick inte att läsa teckensnittsnamnet.");
    // Point sizes beyond any use are cut, so that no font machinery is asked for absurd sizes.
    if (size < 0)
        size = 0;
    if (size > 10000)
        size = 10000;
    font = LGuiFontEx(LGuiFont(size, bold, underline, italic, face, false));
    return LProcessResultSuccess;
}

// ------------------------------------------------------------------------------------------------
// Placement
// ------------------------------------------------------------------------------------------------

template <class T> void VTSerialiseOverlayBaseToSDF(LSDFWriter<T>& writer, const VTOverlay& o)
{
    writer.StartContainer(1);
    writer.WriteFloat(1, o.centreX);
    writer.WriteFloat(2, o.centreY);
    writer.WriteFloat(3, o.width);
    writer.WriteFloat(4, o.height);
    writer.WriteFloat(5, o.rotation);
    writer.EndContainer(1);
}

// The values are stored as they are: nobody is told, the stored transform stays.
template <class T>
LProcessResult VTSerialiseOverlayBaseFromSDF(LProcessInterface& process, LSDFReader<T>& reader,
    const LSDFChunkInfo<T>& container, VTOverlay& overlay)
{
    float values[6] = {};
    bool seen[6] = {};
    LSDFReaderChunkIterator<T> it(reader, container);
    while (it.Next()) {
        if (_VTSerialise::Stopped(process))
            return LProcessResultStopped;
        const uint16_t id = it->GetId();
        if (id < 1 || id > 5)
            continue;
        const bool ok = id == 5 ? _VTSerialise::ReadAngle(*it, values[id])
                                : _VTSerialise::ReadLength(*it, values[id]);
        if (!ok) {
            static const char* const messages[6] = { "", "Fel läsning centrum position.",
                "Fel läsning centrum position.", "Fel läsning dimensioner.",
                "Fel läsning dimensioner.", "Det gick inte att läsa rotationsvinkel." };
            return _VTSerialise::Fail(process, messages[id]);
        }
        seen[id] = true;
    }
    if (!reader.IsGood() || !seen[1] || !seen[2] || !seen[3] || !seen[4] || !seen[5])
        return _VTSerialise::Fail(process, "Det gick inte att läsa överlagringsegenskaper.");
    overlay.centreX = values[1];
    overlay.centreY = values[2];
    overlay.width = values[3];
    overlay.height = values[4];
    overlay.rotation = values[5];
    return LProcessResultSuccess;
}

// ------------------------------------------------------------------------------------------------
// Text and circular text
// ------------------------------------------------------------------------------------------------

template <class T> void VTSerialiseOverlayTextToSDF(LSDFWriter<T>& writer, const VTOverlayText& o)
{
    VTSerialiseOverlayBaseToSDF(writer, o);
    writer.WriteString(2, o.text.GetString());
    VTSerialiseFontToSDF(writer, 3, o.font);
    writer.WriteInt(4, o.alignment);
    VTSerialiseColourToSDF(writer, 5, o.backgroundColour);
    VTSerialiseColourToSDF(writer, 6, o.textColour);
    if (o.GetType() == VTOverlayTypeCircularText) {
        const auto& c = static_cast<const VTOverlayCircularText&>(o);
        writer.WriteFloat(7, c.centreAngle);
        writer.WriteFloat(8, c.outerRadius);
    }
}

// The straight text's line ends become LFs; a circular text keeps them.
template <class T>
LProcessResult VTSerialiseOverlayTextFromSDF(LProcessInterface& process, LSDFReader<T>& reader,
    const LSDFChunkInfo<T>& container, VTOverlayText& overlay)
{
    const bool circular = overlay.GetType() == VTOverlayTypeCircularText;
    LSDFReaderChunkIterator<T> it(reader, container);
    while (it.Next()) {
        if (_VTSerialise::Stopped(process))
            return LProcessResultStopped;
        LProcessResult result = LProcessResultSuccess;
        switch (it->GetId()) {
        case 1:
            result = VTSerialiseOverlayBaseFromSDF(process, reader, it.GetChunk(), overlay);
            break;
        case 2:
            if (!it->ReadString(overlay.text))
                return _VTSerialise::Fail(process, "Det gick inte att läsa text.");
            if (!circular)
                VTConvertToUnixEOL(overlay.text);
            break;
        case 3:
            result = VTSerialiseFontFromSDF(process, reader, it.GetChunk(), overlay.font);
            break;
        case 4: {
            int32_t alignment = 0;
            if (!it->ReadInt(alignment) || alignment < 0 || alignment >= 9)
                return _VTSerialise::Fail(process, "Det gick inte att läsa textjusteringen.");
            overlay.alignment = alignment;
            break;
        }
        case 5:
            result = VTSerialiseColourFromSDF(
                process, reader, it.GetChunk(), overlay.backgroundColour);
            break;
        case 6:
            result = VTSerialiseColourFromSDF(process, reader, it.GetChunk(), overlay.textColour);
            break;
        case 7:
            if (circular) {
                auto& c = static_cast<VTOverlayCircularText&>(overlay);
                if (!_VTSerialise::ReadAngle(*it, c.centreAngle))
                    return _VTSerialise::Fail(process, "Error reading centre angle.");
            }
            break;
        case 8:
            if (circular) {
                auto& c = static_cast<VTOverlayCircularText&>(overlay);
                if (!_VTSerialise::ReadLength(*it, c.outerRadius))
                    return _VTSerialise::Fail(process, "Error reading outer radius.");
            }
            break;
        default:
            break;
        }
        if (result != LProcessResultSuccess)
            return result;
    }
    if (!reader.IsGood())
        return _VTSerialise::Fail(process, "Det gick inte att läsa text.");
    return LProcessResultSuccess;
}

// ------------------------------------------------------------------------------------------------
// Image, clipart and background image
// ------------------------------------------------------------------------------------------------

inline constexpr size_t kVTTransformBlobSize = 64;

template <class T>
LProcessResult VTSerialiseOverlayImageToSDF(
    LProcessInterface& process, LSDFWriter<T>& writer, const VTOverlayImage& o)
{
    const bool clipart = o.GetType() == VTOverlayTypeClipart;
    VTSerialiseOverlayBaseToSDF(writer, o);
    // A picture that is not here (its file was missing when the project was opened) is written
    // as the reader takes it: no bytes, its source path kept. Pixels that were encoded before
    // (read from the file, encoded when the picture came in, or by the last save) are written as
    // those bytes again.
    VTCountableImageBuffer::Encoded png;
    if (o.HasValidImage()) {
        LProcessResult result = LProcessResultSuccess;
        png = o.GetImage().EncodePNG(process, result);
        if (result == LProcessResultError)
            return _VTSerialise::Fail(process,
                clipart ? "Det gick inte att koda clipart." : "Det gick inte att koda bilden.");
        if (result != LProcessResultSuccess)
            return result;
    }
    // An empty picture is a blob of no bytes (never a null pointer handed on). The bytes are
    // shared, not copied, by a writer into pieces (a save's snapshot).
    static const unsigned char kNothing = 0;
    if (png && !png->empty())
        writer.WriteSharedBlob(2, png, png->data(), png->size());
    else
        writer.WriteBlob(2, &kNothing, 0);
    writer.WriteString(3, o.sourcePath);
    writer.WriteBool(4, o.maintainAspectRatio);
    unsigned char matrix[kVTTransformBlobSize];
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            _LSDF::Put32(matrix + (r * 4 + c) * 4, std::bit_cast<uint32_t>(o.transform.m[r][c]));
    writer.WriteBlob(5, matrix, sizeof matrix);
    return LProcessResultSuccess;
}

// An empty picture blob (a clipart without a picture) reads as no picture. The transform blob
// must hold exactly 16 finite floats. With reads, the picture is left to a job of the set.
template <class T>
LProcessResult VTSerialiseOverlayImageFromSDF(LProcessInterface& process, LSDFReader<T>& reader,
    const LSDFChunkInfo<T>& container, VTOverlayImage& overlay, LParallelJobs* reads = nullptr)
{
    const bool clipart = overlay.GetType() == VTOverlayTypeClipart;
    LSDFReaderChunkIterator<T> it(reader, container);
    while (it.Next()) {
        if (_VTSerialise::Stopped(process))
            return LProcessResultStopped;
        switch (it->GetId()) {
        case 1: {
            LProcessResult result
                = VTSerialiseOverlayBaseFromSDF(process, reader, it.GetChunk(), overlay);
            if (result != LProcessResultSuccess)
                return result;
            break;
        }
        case 2: {
            if (reads && it->GetLength() > 0) {
                LCountedPtr<VTCountableImageBuffer> picture(new VTCountableImageBuffer);
                VTPictureBytes bytes;
                // A regular file's bytes are read by the job itself, off this thread.
                bool inFile = false;
                if constexpr (std::is_same_v<T, LInputStreamFile>) {
                    if (reader.GetStreamSize() != kLStreamSizeUnknown) {
                        bytes.fd = reader.GetStream().GetDescriptor();
                        bytes.offset = it->dataStart;
                        bytes.length = it->GetLength();
                        inFile = true;
                    }
                }
                if (!inFile && !it->ReadData(bytes.data)) {
                    return _VTSerialise::Fail(process,
                        clipart ? "Det gick inte att läsa ClipArt."
                                : "Det gick inte att läsa bilden.");
                }
                const double weight = double(it->GetLength());
                reads->Add(VTPictureReadWork(picture, std::move(bytes), clipart), weight);
                overlay.image = picture;
                break;
            }
            LSizedArray<unsigned char> data;
            if (!it->ReadData(data))
                return _VTSerialise::Fail(process,
                    clipart ? "Det gick inte att läsa ClipArt." : "Det gick inte att läsa bilden.");
            auto* picture = new VTCountableImageBuffer;
            LCountedPtr<VTCountableImageBuffer> hold(picture);
            if (data.GetSize() > 0) {
                LInputStreamBuffer stream(data.GetData(), data.GetSize());
                LProcessImageLoad<LInputStreamBuffer> load(stream, LImageCodec::PNG, *picture);
                process.SetProgressIndeterminateOff();
                _VTSerialise::QuietErrors decoding(process);
                LProcessResult result = Process(decoding, load);
                process.SetProgressIndeterminateOn();
                if (result == LProcessResultError)
                    return _VTSerialise::Fail(process,
                        clipart ? "Det gick inte att koda clipart."
                                : "Det gick inte att avkoda bilden.");
                if (result != LProcessResultSuccess)
                    return result;
            }
            if (data.GetSize() > 0)
                picture->KeepEncodedPNG(std::make_shared<const std::vector<unsigned char>>(
                    data.GetData(), data.GetData() + data.GetSize()));
            overlay.image = hold;
            break;
        }
        case 3:
            if (!it->ReadString(overlay.sourcePath, sizeof overlay.sourcePath))
                return _VTSerialise::Fail(process,
                    clipart ? "Det gick inte att läsa ClipArt-filnamnet."
                            : "Det gick inte att läsa bildfilsnamnet.");
            break;
        case 4:
            if (!it->ReadBool(overlay.maintainAspectRatio))
                return _VTSerialise::Fail(
                    process, "Det gick inte att läsa bilden upprätthålla bildförhållandet.");
            break;
        case 5: {
            unsigned char bytes[kVTTransformBlobSize];
            LSizedArray<unsigned char> data;
            bool ok = it->GetLength() == kVTTransformBlobSize && it->ReadData(data)
                && data.GetSize() == kVTTransformBlobSize;
            LMatrix<float> matrix;
            if (ok) {
                std::memcpy(bytes, data.GetData(), sizeof bytes);
                for (int r = 0; r < 4 && ok; ++r) {
                    for (int c = 0; c < 4; ++c) {
                        float v = std::bit_cast<float>(_LSDF::Get32(bytes + (r * 4 + c) * 4));
                        ok = ok && VTIsPlausibleLength(v);
                        matrix.m[r][c] = v;
                    }
                }
            }
            if (!ok)
                return _VTSerialise::Fail(process,
                    clipart ? "Det gick inte att läsa ClipArt-matrisen."
                            : "Det gick inte att läsa bildmatrisen.");
            overlay.transform = matrix;
            break;
        }
        default:
            break;
        }
    }
    if (!reader.IsGood())
        return _VTSerialise::Fail(process,
            clipart ? "Det gick inte att läsa ClipArt." : "Det gick inte att läsa bilden.");
    return LProcessResultSuccess;
}

// ------------------------------------------------------------------------------------------------
// Any overlay
// ------------------------------------------------------------------------------------------------

// The overlay's content (the caller opens and closes the container VTOverlayChunkID gives).
template <class T>
LProcessResult VTSerialiseOverlayToSDF(
    LProcessInterface& process, LSDFWriter<T>& writer, const VTOverlay& overlay)
{
    switch (overlay.GetType()) {
    case VTOverlayTypeText:
    case VTOverlayTypeCircularText:
        VTSerialiseOverlayTextToSDF(writer, static_cast<const VTOverlayText&>(overlay));
        return LProcessResultSuccess;
    case VTOverlayTypeImage:
    case VTOverlayTypeClipart:
    case VTOverlayTypeImageBackground:
        return VTSerialiseOverlayImageToSDF(
            process, writer, static_cast<const VTOverlayImage&>(overlay));
    default:
        return _VTSerialise::Fail(process, "Ogiltig överlagringstyp.");
    }
}

// Reads a container into an overlay made by VTOverlayCreateForChunkID; with reads, pictures are
// left to jobs of the set.
template <class T>
LProcessResult VTSerialiseOverlayFromSDF(LProcessInterface& process, LSDFReader<T>& reader,
    const LSDFChunkInfo<T>& container, VTOverlay& overlay, LParallelJobs* reads = nullptr)
{
    switch (overlay.GetType()) {
    case VTOverlayTypeText:
    case VTOverlayTypeCircularText:
        return VTSerialiseOverlayTextFromSDF(
            process, reader, container, static_cast<VTOverlayText&>(overlay));
    case VTOverlayTypeImage:
    case VTOverlayTypeClipart:
    case VTOverlayTypeImageBackground:
        return VTSerialiseOverlayImageFromSDF(
            process, reader, container, static_cast<VTOverlayImage&>(overlay), reads);
    default:
        return _VTSerialise::Fail(process, "Ogiltig överlagringstyp.");
    }
}
