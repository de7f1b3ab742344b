#include "app/VTProjectXML.h"

#include "app/VTLabelLayout.h"
#include "app/VTLabelLayoutData.h"
#include "app/VTOverlayImage.h"
#include "app/VTOverlaySerialise.h"
#include "app/VTOverlayText.h"
#include "app/VTProject.h"
#include "app/VTProjectFile.h"
#include "app/VTProjectTemplate.h"
#include "lfw/gen/LFile.h"
#include "lfw/gen/LString.h"
#include "lfw/gen/LXML.h"
#include "lfw/graphics/LImageFile.h"
#include "lfw/ios/LParallelJobs.h"
#include "lfw/mac/LGuiFont.h"
#include "lfw/mac/LScreenImageCopies.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <deque>
#include <string>
#include <utility>
#include <vector>

namespace {

// The folder of the project file being read: relative picture paths are taken from there, not
// from wherever the program happens to run.
thread_local const std::string* tVTXMLDocumentFolder = nullptr;

class _VTDocumentFolderScope {
public:
    explicit _VTDocumentFolderScope(const char* documentPath)
        : mPrevious(tVTXMLDocumentFolder)
    {
        const char* slash = documentPath ? std::strrchr(documentPath, '/') : nullptr;
        mFolder = slash ? std::string(documentPath, size_t(slash - documentPath) + 1) : "./";
        tVTXMLDocumentFolder = &mFolder;
    }
    ~_VTDocumentFolderScope() { tVTXMLDocumentFolder = mPrevious; }
    _VTDocumentFolderScope(const _VTDocumentFolderScope&) = delete;
    _VTDocumentFolderScope& operator=(const _VTDocumentFolderScope&) = delete;

private:
    std::string mFolder;
    const std::string* mPrevious;
};

// The pictures of the project being read that could not be loaded, each as its element names it
// with the reason: told once, when the whole project has been read.
thread_local std::vector<std::string>* tVTXMLUnreadPictures = nullptr;

// A picture of the project being read, read by a job of the project's set: the path as its
// element names it, and whether (and why) it could not be read, written by the job.
struct _VTPictureRead {
    std::string named;
    bool failed = false;
    std::string reason;
};

// The set of jobs that read the pictures of the project being read, side by side while the
// elements are read, and their outcomes in the document's order.
thread_local LParallelJobs* tVTXMLPictureReads = nullptr;
thread_local std::deque<_VTPictureRead>* tVTXMLPictureOutcomes = nullptr;

// The picture path of an image element, a relative one taken from the project file's folder.
std::string _VTPicturePath(const char* path)
{
    if (path[0] == '/' || !tVTXMLDocumentFolder)
        return path;
    return *tVTXMLDocumentFolder + path;
}

constexpr int kVTXMLMinPointSize = 1;
constexpr int kVTXMLMaxPointSize = 1000;

const char* _VTAttribute(const LXMLElement& element, const char* name, const char* def)
{
    const char* value = element.GetAttribute(name, def);
    return value ? value : def;
}

// A decimal integer: optional blanks, an optional sign and digits; 0 without digits. Values out
// of the 32-bit range are held at its ends.
int32_t _VTInteger(const LXMLElement& element, const char* name, const char* def)
{
    const char* s = _VTAttribute(element, name, def);
    while (*s == ' ' || *s == '\t' || *s == '\r' || *s == '\n')
        ++s;
    bool negative = false;
    if (*s == '+' || *s == '-')
        negative = *s++ == '-';
    int64_t value = 0;
    for (; *s >= '0' && *s <= '9'; ++s) {
        value = value * 10 + (*s - '0');
        if (value > int64_t(INT32_MAX) + 1)
            value = int64_t(INT32_MAX) + 1;
    }
    if (negative)
        value = -value;
    return int32_t(std::clamp<int64_t>(value, INT32_MIN, INT32_MAX));
}

uint32_t _VTHex(const LXMLElement& element, const char* name, const char* def)
{
    return atoh(_VTAttribute(element, name, def));
}

bool _VTIsTrue(const LXMLElement& element, const char* name)
{
    return strcmp(_VTAttribute(element, name, "true"), "true") == 0;
}

// "font_alignment" 1 to 10 onto the alignment grid; anything else is the top left.
LAlignment _VTAlignment(int32_t value)
{
    static const LAlignment table[10] = { 1, 2, 0, 3, 4, 5, 0, 6, 7, 8 };
    return value >= 1 && value <= 10 ? table[value - 1] : 0;
}

enum class _VTContainerUse { Read, Skip, Invalid };

_VTContainerUse _VTContainerFormat(
    const char* type, bool dvdProject, VTTemplateFormat& format, LPaperSizeOrientation& orientation)
{
    orientation = LPaperSizeOrientationPortrait;
    if (strcmp(type, "disc") == 0) {
        format = VTTemplateFormatDisc;
        return _VTContainerUse::Read;
    }
    if (strcmp(type, "cd_front") == 0 || strcmp(type, "cd_back") == 0) {
        format = type[3] == 'f' ? VTTemplateFormatCaseCDFront : VTTemplateFormatCaseCDBack;
        orientation = LPaperSizeOrientationLandscape;
        return dvdProject ? _VTContainerUse::Skip : _VTContainerUse::Read;
    }
    if (strcmp(type, "dvd") == 0) {
        format = VTTemplateFormatCaseDVD;
        return dvdProject ? _VTContainerUse::Read : _VTContainerUse::Skip;
    }
    return _VTContainerUse::Invalid;
}

// Runs a step whose failure is not the caller's: its error text is kept, not shown.
class _VTQuietProcess : public LProcessInterfaceNested {
public:
    using LProcessInterfaceNested::LProcessInterfaceNested;
    void SetError(const char* text) override
    {
        if (error.empty() && text)
            error = text;
    }
    std::string error;
};

constexpr const char* kVTUnreadPicture = "Det gick inte att läsa in en överlagringsbild korrekt";
constexpr size_t kVTUnreadPicturesNamed = 10;

// The line that names a picture that could not be read: its path as the element gives it (cut,
// at a character's start, when longer than any path) and the reader's reason.
std::string _VTUnreadPictureLine(const char* path, const std::string& reason)
{
    char name[kLPathSize];
    utf8strlcpy(name, path, sizeof name);
    const std::string shown = std::strlen(path) < sizeof name ? name : std::string(name) + "…";
    std::string line = "”" + shown + "”";
    if (!reason.empty())
        line += " (" + reason + ")";
    return line;
}

// Reads a picture file into picture on a worker of the project's set, with its source for the
// screen; a file that cannot be read is noted in its outcome (the picture stays empty), not an
// error of the whole.
LProcessResult _VTReadPictureFile(LParallelJobs::Job& job, VTCountableImageBuffer& picture,
    const std::string& path, _VTPictureRead& outcome)
{
    LProcessImageLoadFile request(path.c_str(), 3000, nullptr, picture);
    _VTQuietProcess quiet(job);
    const LProcessResult result = Process(quiet, request);
    if (result == LProcessResultStopped)
        return LProcessResultStopped;
    if (result != LProcessResultSuccess) {
        picture.Reset();
        outcome.failed = true;
        outcome.reason = quiet.error;
        return LProcessResultSuccess;
    }
    LImageBuffer source;
    if (!job.IsToStop() && LScreenImageCopies::MakeSource(picture, source))
        picture.GetScreenCopies().KeepSource(picture, std::move(source));
    return LProcessResultSuccess;
}

// The one message for the pictures that could not be read: the headline, then one line each
// (the first ten, and how many more).
std::string _VTUnreadPicturesText(const std::vector<std::string>& pictures)
{
    std::string text = std::string(kVTUnreadPicture) + ":";
    for (size_t i = 0; i < pictures.size() && i < kVTUnreadPicturesNamed; ++i)
        text += "\n" + pictures[i];
    if (pictures.size() > kVTUnreadPicturesNamed)
        text += "\noch " + std::to_string(pictures.size() - kVTUnreadPicturesNamed) + " till.";
    return text;
}

} // namespace

// Overlays

LProcessResult VTOverlaySerialiseFromXML(
    LProcessInterface&, VTOverlay& overlay, const LXMLElement& element)
{
    const float x = float(_VTInteger(element, "x", "0"));
    const float y = float(_VTInteger(element, "y", "0"));
    const float w = float(std::max<int32_t>(_VTInteger(element, "w", "0"), 0));
    const float h = float(std::max<int32_t>(_VTInteger(element, "h", "0"), 0));
    const int32_t angle = _VTInteger(element, "angle", "0");
    overlay.centreX = (x + w * 0.5f) / 100.0f;
    overlay.centreY = (y + h * 0.5f) / 100.0f;
    overlay.width = w / 100.0f;
    overlay.height = h / 100.0f;
    overlay.rotation = float(angle);
    // The stored transform turns the picture of the image kinds with the box.
    overlay.transform = VTPlacementMatrix(overlay.rotation, 0.0f, 0.0f);
    if ((angle >= 89 && angle <= 91) || (angle >= 269 && angle <= 271))
        std::swap(overlay.width, overlay.height);
    return LProcessResultSuccess;
}

LProcessResult VTOverlayTextSerialiseFromXML(
    LProcessInterface& process, VTOverlayText& overlay, const LXMLElement& element)
{
    if (LProcessResult result = VTOverlaySerialiseFromXML(process, overlay, element))
        return result;
    overlay.text = _VTAttribute(element, "text", "");

    // The face is kept as the file names it, installed or not: drawing falls back through
    // fontconfig where it is missing.
    const char* face = _VTAttribute(element, "font", kVTOverlayTextDefaultFace);
    const int64_t size = int64_t(_VTInteger(element, "font_size", "7")) * 3 / 10;
    const int points = int(std::clamp<int64_t>(size, kVTXMLMinPointSize, kVTXMLMaxPointSize));
    const int32_t style = _VTInteger(element, "font_style", "0");
    overlay.font = LGuiFontEx(LGuiFont(points, (style & 1) != 0, (style & 4) != 0, (style & 2) != 0,
        face[0] ? face : kVTOverlayTextDefaultFace, false));
    overlay.alignment = _VTAlignment(_VTInteger(element, "font_alignment", "0"));

    const uint32_t colour = _VTHex(element, "color", "0");
    overlay.textColour
        = LPFB8G8R8A8 { uint8_t(colour >> 8), uint8_t(colour >> 16), uint8_t(colour >> 24), 255 };
    const uint32_t background = _VTHex(element, "bgcolor", "ffffffff");
    overlay.backgroundColour = LPFB8G8R8A8 { uint8_t(background >> 8), uint8_t(background >> 16),
        uint8_t(background >> 24), uint8_t(background) };
    return LProcessResultSuccess;
}

LProcessResult VTOverlayImageSerialiseFromXML(
    LProcessInterface& process, VTOverlayImage& overlay, const LXMLElement& element)
{
    if (LProcessResult result = VTOverlaySerialiseFromXML(process, overlay, element))
        return result;
    const char* path = _VTAttribute(element, "img", "");
    // A project only checked leaves its pictures unread: whether they can be read or not, the
    // project opens.
    if (!path[0] || VTPicturesOnlyChecked::Here())
        return LProcessResultSuccess;
    // Loaded straight into the overlay's own buffer; the box stays as placed and the source
    // path is not kept. A picture that cannot be read leaves the overlay empty and is named to
    // the user (once for the whole project when a project is being read), so that a save does
    // not drop it unnoticed. A project's pictures are read on its workers.
    if (tVTXMLPictureReads && tVTXMLPictureOutcomes) {
        LCountedPtr<VTCountableImageBuffer> picture(new VTCountableImageBuffer);
        _VTPictureRead& outcome = tVTXMLPictureOutcomes->emplace_back();
        outcome.named = path;
        tVTXMLPictureReads->Add(
            [picture, file = _VTPicturePath(path), &outcome](LParallelJobs::Job& job) {
                return _VTReadPictureFile(job, *picture, file, outcome);
            });
        overlay.image = picture;
        return LProcessResultSuccess;
    }
    auto* picture = new VTCountableImageBuffer;
    LProcessImageLoadFile request(_VTPicturePath(path).c_str(), 3000, nullptr, *picture);
    _VTQuietProcess quiet(process);
    const LProcessResult result = Process(quiet, request);
    if (result == LProcessResultStopped) {
        delete picture;
        return LProcessResultStopped;
    }
    if (result == LProcessResultSuccess) {
        overlay.image.reset(picture);
        return LProcessResultSuccess;
    }
    delete picture;
    const std::string line = _VTUnreadPictureLine(path, quiet.error);
    if (tVTXMLUnreadPictures)
        tVTXMLUnreadPictures->push_back(line);
    else
        process.SetError(_VTUnreadPicturesText({ line }).c_str());
    return LProcessResultSuccess;
}

// Designs

LProcessResult VTProjectTemplateSerialiseFromXML(LProcessInterface& process,
    VTProjectTemplate& projectTemplate, const LXMLElement& container, VTLabelLayout& layout,
    LPaperSizeOrientation orientation)
{
    VTLabelLayoutPage* page = layout.AddPage();
    page->SetOrientation(orientation);
    VTLabelLayoutTemplate* position
        = page->AddTemplate(projectTemplate.format, layout.NewTemplateID());
    if (!position) {
        process.SetError("Ogiltig malltyp.");
        return LProcessResultError;
    }
    if (orientation == LPaperSizeOrientationLandscape)
        position->Rotate(90);
    projectTemplate.AddMappingToLabelLayoutTemplateID(position->GetID());

    double paperWidth = 0, paperHeight = 0;
    LPaperSizeGetPhysicalDimensionsMm(
        layout.printMedium == VTPrintMediumPaper ? layout.paperSize : LPaperSizeInvalid, paperWidth,
        paperHeight);
    if (orientation == LPaperSizeOrientationLandscape)
        std::swap(paperWidth, paperHeight);
    float tw = 0, th = 0;
    position->GetDimensions(tw, th);
    float x = 0, y = 0;
    if (!_VTIsTrue(container, "h_print_centered"))
        x = tw / 2 + float(_VTInteger(container, "h_print_offset", "0")) / 10.0f
            - float(paperWidth) / 2;
    if (!_VTIsTrue(container, "v_print_centered"))
        y = th / 2 + float(_VTInteger(container, "v_print_offset", "0")) / 10.0f
            - float(paperHeight) / 2;
    if (orientation == LPaperSizeOrientationLandscape) {
        position->centreX = -y;
        position->centreY = x;
    } else {
        position->centreX = x;
        position->centreY = y;
    }
    position->NotifyTransformChanged();

    const uint32_t colour = _VTHex(container, "bgcolor", "ffffffff");
    auto* brush = new LBrushInfo;
    brush->kind = LBrushInfoKindSolid;
    brush->color = LGuiColorAlpha(uint16_t((colour >> 24) << 8),
        uint16_t(((colour >> 16) & 255) << 8), uint16_t(((colour >> 8) & 255) << 8), 255);
    projectTemplate.backgroundBrush.Reset(brush);

    size_t count = 0, done = 0;
    for (LXMLElement::ConstNamedElementIterator it(container, "element"); it; it.Next())
        ++count;
    // An element is read in microseconds: the stop is asked for every few milliseconds.
    LProcessStopPacing stop(&process);
    for (LXMLElement::ConstNamedElementIterator it(container, "element"); it; it.Next()) {
        if (stop.IsToStop())
            return LProcessResultStopped;
        if (++done % 1024 == 0)
            process.SetProgress(double(done) / double(count));
        const char* type = _VTAttribute(*it, "type", "");
        VTOverlay* overlay = nullptr;
        if (strcmp(type, "text") == 0)
            overlay = new VTOverlayText();
        else if (strcmp(type, "image") == 0)
            overlay = new VTOverlayImage();
        else
            continue;
        // Each kind reads the element through its own reader.
        const LProcessResult result = overlay->SerialiseFromXML(process, *it);
        if (result != LProcessResultSuccess) {
            delete overlay;
            return result;
        }
        projectTemplate.InsertOverlay(overlay, true);
    }
    return LProcessResultSuccess;
}

// Projects

LProcessResult VTProjectSerialiseFromXML(
    LProcessInterface& process, VTProject& project, const LXMLElement& document)
{
    const LXMLElement* root = document.GetElement("vorantel_project");
    if (!root) {
        process.SetError("Filen är inte ett Vorantel-projekt.");
        return LProcessResultError;
    }
    const char* projectType = _VTAttribute(*root, "type", "");
    const bool dvdProject = strcmp(projectType, "dvd") == 0;
    if (!dvdProject && strcmp(projectType, "cd") != 0) {
        process.SetError("Ogiltig projekttyp.");
        return LProcessResultError;
    }

    // Read into a layout and designs of our own; the project takes them only when all is read.
    LPtr<VTLabelLayout> layout(new VTLabelLayoutDataCustom);
    LList<VTProjectTemplate> designs;
    // The progress goes with the elements read.
    size_t elements = 0, read = 0;
    for (LXMLElement::ConstNamedElementIterator it(*root, "container"); it; it.Next())
        for (LXMLElement::ConstNamedElementIterator e(*it, "element"); e; e.Next())
            ++elements;
    for (LXMLElement::ConstNamedElementIterator it(*root, "container"); it; it.Next()) {
        VTTemplateFormat format = VTTemplateFormatDisc;
        LPaperSizeOrientation orientation = LPaperSizeOrientationPortrait;
        switch (
            _VTContainerFormat(_VTAttribute(*it, "type", ""), dvdProject, format, orientation)) {
        case _VTContainerUse::Skip:
            continue;
        case _VTContainerUse::Invalid:
            process.SetError("Ogiltig malltyp.");
            return LProcessResultError;
        case _VTContainerUse::Read:
            break;
        }
        size_t own = 0;
        for (LXMLElement::ConstNamedElementIterator e(*it, "element"); e; e.Next())
            ++own;
        LProcessInterfaceSubProcess part(process, elements ? double(read) / double(elements) : 0,
            elements ? double(own) / double(elements) : 0);
        read += own;
        auto* design = new VTProjectTemplate(format);
        if (LProcessResult result = design->SerialiseFromXML(part, *it, *layout, orientation)) {
            delete design;
            return result;
        }
        designs.AddTail(design);
    }
    if (designs.IsEmpty()) {
        process.SetError("Inga mallar hittades.");
        return LProcessResultError;
    }

    project.templates.Clear();
    while (VTProjectTemplate* design = designs.DetachHead())
        project.AppendTemplate(design);
    project.layout = std::move(layout);
    return LProcessResultSuccess;
}

LProcessResult VTProjectLoadXML(LProcessInterface& process, VTProject& project, const char* path)
{
    char error[kLPathSize] = "";
    LProcessResult result = LProcessResultSuccess;
    std::vector<std::string> unreadPictures;
    // The pictures are read side by side on workers while the elements are read here (the
    // workers end before the outcomes they write go).
    std::deque<_VTPictureRead> outcomes;
    LParallelJobs reads(kVTPictureReadersName);
    {
        _VTDocumentFolderScope folder(path);
        std::vector<std::string>* outerUnread
            = std::exchange(tVTXMLUnreadPictures, &unreadPictures);
        LParallelJobs* outerReads = std::exchange(tVTXMLPictureReads, &reads);
        std::deque<_VTPictureRead>* outerOutcomes = std::exchange(tVTXMLPictureOutcomes, &outcomes);
        struct Restore {
            std::vector<std::string>* previous;
            LParallelJobs* reads;
            std::deque<_VTPictureRead>* outcomes;
            ~Restore()
            {
                tVTXMLUnreadPictures = previous;
                tVTXMLPictureReads = reads;
                tVTXMLPictureOutcomes = outcomes;
            }
        } restore { outerUnread, outerReads, outerOutcomes };
        LXMLDocument document;
        // Reading the text is the first half of the work, making the overlays the second.
        LProcessInterfaceSubProcess reading(process, 0, 0.5);
        result = document.LoadFromFile(reading, path, error);
        // The reader goes on after an error and keeps what it could read: a document cut off
        // before its root element closes, or one that is not well-formed, would open as part of a
        // project. Such a file is refused whole.
        if (result == LProcessResultError || (result == LProcessResultSuccess && error[0])) {
            process.SetError("Det gick inte att tolka filen.");
            return LProcessResultError;
        }
        if (result == LProcessResultStopped)
            return LProcessResultStopped;
        // Then the elements, and what is left of the pictures.
        LProcessInterfaceSubProcess making(process, 0.5, 0.1);
        result = VTProjectSerialiseFromXML(making, project, document);
        if (result == LProcessResultSuccess) {
            LProcessInterfaceSubProcess pictures(process, 0.6, 0.4);
            result = reads.Finish(pictures);
        } else {
            reads.Stop();
        }
    }
    if (result != LProcessResultSuccess)
        return result;
    for (const _VTPictureRead& outcome : outcomes)
        if (outcome.failed)
            unreadPictures.push_back(_VTUnreadPictureLine(outcome.named.c_str(), outcome.reason));
    // The project is saved beside the old file under its name with the new extension. A path
    // with no room for the longer extension leaves the project untitled rather than pointing it
    // at the old file.
    char newPath[kLLongPathSize];
    const char* slash = std::strrchr(path, '/');
    const char* name = slash ? slash + 1 : path;
    const char* dot = std::strrchr(name, '.');
    const size_t keep = dot ? size_t(dot - path) : std::strlen(path);
    if (keep + sizeof ".vtproj" <= sizeof newPath) {
        std::memcpy(newPath, path, keep);
        std::memcpy(newPath + keep, ".vtproj", sizeof ".vtproj");
    } else {
        utf8strlcpy(newPath, "Namnlöst.vtproj", sizeof newPath);
    }
    project.SetPath(newPath);
    // The project opens without the pictures; the user learns which before anything is saved.
    if (!unreadPictures.empty())
        process.SetError(_VTUnreadPicturesText(unreadPictures).c_str());
    return LProcessResultSuccess;
}
