// Project files (".vtproj"): an SDF container of file type 7, version 3 (readers take versions up
// to 3), holding one chunk tree under the root:
//
//   1 container: project
//     1 container: program information (1 string program version "6.27", 2 string platform
//                  "mac")
//     2 container: the label layout (see VTLabelLayout.h)
//     3 container: the designs, one per design in list order, each a container whose id is its
//                  format + 1 (1 disc ... 6 Blu-ray case) holding
//       6 container: background brush
//         15 container: 13 int brush kind (0: no brush, the design shows a background image)
//         then 16 container (17 string background image path) for no brush, 11 container
//         (1 int red, 2 int green, 3 int blue, 4 int alpha, 0-255) for a solid colour, or for
//         gradients 12 container: one 10 container per stop (5 float position, 1-4 the colour)
//         and a 14 container (6 float start x, 7 start y, 8 end x, 9 end y)
//       the overlays from the bottom up (see VTOverlaySerialise.h)
//       4 container: the mapped label-position ids, one 1 int each
//       5 container: the disc's printable ring (disc designs only)
//       1 container: read, never written: an older solid background colour
//     4 string: in an autosave only, first: the path of the project it was made of (the
//               project's own path, with or without a folder)
//     5 string: in an autosave only, next: the modification time of that project's file when
//               the autosave was made (VTProjectFileStamp); absent when there was no such file
//
// Saving writes a temporary file beside the target and renames it over the target, so a failed
// save leaves the target as it was. Errors are reported in Swedish through the job's error text.
//
// A save runs in three steps: the pictures whose PNG bytes are not at hand yet are encoded, a
// snapshot of the file is made, and the snapshot is written out. The first and the last take long
// for large pictures and touch nothing but the pictures' pixels and the bytes, so they run on
// worker threads. The snapshot reads the project and is made where the save was asked (the
// window's thread): it holds the file's bytes in pieces, the pictures' PNG bytes shared with the
// pictures, not copied, so that it costs what the project's other parts cost, and no array ever
// holds the whole file.
#pragma once

#include "app/VTOverlayImage.h"
#include "app/VTProject.h"
#include "lfw/gen/LCountedPtr.h"
#include "lfw/gen/LFile.h"
#include "lfw/gen/LProcess.h"
#include "lfw/gen/LSDF.h"
#include "lfw/gen/LStream.h"
#include "lfw/ios/LParallelJobs.h"
#include "lfw/mac/LBrushInfo.h"

#include <memory>
#include <string>
#include <vector>

inline constexpr uint32_t kVTProjectFileType = 7;
inline constexpr uint16_t kVTProjectFileVersion = 3;
inline constexpr const char* kVTProjectProgramVersion = "6.27";
inline constexpr const char* kVTProjectPlatform = "mac";

struct VTProjectSave {
    VTProject* project = nullptr;
    char path[kLLongPathSize] = "";
    // Keep the project's path and save state (a copy saved elsewhere).
    bool leaveProjectUnchanged = false;
};

struct VTProjectLoad {
    VTProject* project = nullptr; // a new, empty project made by the caller
    char path[kLLongPathSize] = "";
    // Only read to learn whether the file opens: its pictures are decoded and let go of at once
    // (an old project's are not read, see VTPicturesOnlyChecked); the project, filled but for
    // them, is the caller's to throw away.
    bool checkOnly = false;
};

// Saves the project to the record's path; on success the project takes the path and is saved
// (unless leaveProjectUnchanged). The encoding and the writing run on worker threads, waited for
// through the interface (a progress window keeps the windows turning meanwhile).
LProcessResult Process(LProcessInterface& process, VTProjectSave& job);

// The pictures of the project whose PNG bytes are not kept yet, each once.
std::vector<LCountedPtr<VTCountableImageBuffer>> VTProjectPicturesToEncode(VTProject& project);

// Encodes the pictures' PNG bytes and keeps them on the pictures, side by side on the
// processors (VTPictureEncoder::EncodeAll). Any thread but the main one.
struct VTProjectEncodePictures {
    std::vector<LCountedPtr<VTCountableImageBuffer>> pictures;
    int workers = 0; // the most threads side by side; 0: one a processor
};
LProcessResult Process(LProcessInterface& process, VTProjectEncodePictures& job);

// The project file's bytes, immutable once made: read on any thread.
using VTProjectSnapshot = std::shared_ptr<const LOutputStreamPieces>;

// The project file as a snapshot (null on failure), an autosave of the project at origin when
// one is given. Where the project is read; a picture whose bytes are not kept is encoded here.
LProcessResult VTProjectMakeSnapshot(LProcessInterface& process, VTProject& project,
    VTProjectSnapshot& snapshot, const char* origin = nullptr);

// Writes a snapshot through a temporary file beside the target, the progress moving with the
// bytes written. Any thread.
struct VTProjectWriteSnapshot {
    std::string path;
    VTProjectSnapshot snapshot;
};
LProcessResult Process(LProcessInterface& process, VTProjectWriteSnapshot& job);
// Writes the project straight into a temporary file beside the target, where the job runs, with
// no copy of the whole file made first: what the end of the session writes, on the window's
// thread, as fast as the disk takes it (an autosave of the project saved at origin when one is
// given). The pictures not encoded yet are encoded here. A refusal or a full disk is told with
// its reason.
struct VTProjectWriteAtOnce {
    std::string path;
    VTProject* project = nullptr;
    std::string origin;
};
LProcessResult Process(LProcessInterface& process, VTProjectWriteAtOnce& job);
// Loads a ".vtproj" (or an older ".vtx") file into the record's project; on success the project
// is saved. A failed load leaves the project partly filled. The pictures are read and decoded on
// workers side by side (LParallelJobs, named kVTPictureReadersName), as many at once as there
// are processors and as the memory free allows, while the rest is read where the job runs; the
// job then waits for them through its interface. Any thread: the load touches nothing but the
// record's project, the file and what is safe from every thread (fonts, settings).
LProcessResult Process(LProcessInterface& process, VTProjectLoad& job);

inline constexpr const char* kVTPictureReadersName = "Bildläsning";

// The whole file over a stream: header, chunk 1 and trailer (LOutputStreamFile,
// LOutputStreamByteArray, LOutputStreamPieces); with an origin, an autosave of the project
// saved there.
template <class S>
LProcessResult VTProjectWriteSDF(
    LProcessInterface& process, S& stream, VTProject& project, const char* origin = nullptr);
// The path of the project an autosave file was made of; "" for a file that names none (a
// project saved by the user, an autosave of an older version) or that cannot be read. With
// stamp: that project file's stamp when the autosave was made ("" when it had no file).
std::string VTProjectReadAutoSaveOrigin(const char* path, std::string* stamp = nullptr);
// When the file at path was last written, as "<seconds>.<nanoseconds>"; "" when it is no file.
// Compared with an earlier stamp of the same file: it tells a file written since, on the file's
// own clock.
std::string VTProjectFileStamp(const char* path);
// What tells the file at path from any other and from itself before a change: its device, inode,
// size and modification time; "" when it is no regular file. Another program that writes the
// file, moves another one over it or makes it anew changes it.
std::string VTProjectFileIdentity(const char* path);
// Whether the project's own file is no longer the one it was opened from or last saved to
// (another program replaced or changed it): saving would overwrite that program's file. A file
// that is gone has nothing to lose.
bool VTProjectFileChangedOnDisk(const VTProject& project);
// The whole file from a stream into a new, empty project (LInputStreamFile, LInputStreamBuffer):
// the file type, the version and chunk 1 are checked.
template <class S>
LProcessResult VTProjectReadSDF(LProcessInterface& process, S& stream, VTProject& project);

// The serialisers of the project tree (over the streams named above). Each returns 0, 1 when
// the job was asked to stop, or 2 with the error text set. Given a set of parallel jobs, the
// readers leave the pictures to jobs of it (see VTOverlaySerialise.h), which the caller finishes.
template <class T>
LProcessResult VTSerialiseProjectToSDF(
    LProcessInterface& process, LSDFWriter<T>& writer, VTProject& project);
template <class T>
LProcessResult VTSerialiseProjectFromSDF(LProcessInterface& process, LSDFReader<T>& reader,
    const LSDFChunkInfo<T>& container, VTProject& project, LParallelJobs* reads = nullptr);
template <class T>
LProcessResult VTSerialiseProjectTemplateToSDF(
    LProcessInterface& process, LSDFWriter<T>& writer, const VTProjectTemplate& design);
template <class T>
LProcessResult VTSerialiseProjectTemplateFromSDF(LProcessInterface& process, LSDFReader<T>& reader,
    const LSDFChunkInfo<T>& container, VTProjectTemplate& design, LParallelJobs* reads = nullptr);
// The brush container 6 (a null brush writes the background image path). Always 0: the writer
// keeps its first failure for the save job.
template <class T>
LProcessResult VTSerialiseBrushToSDF(LProcessInterface& process, LSDFWriter<T>& writer,
    const LBrushInfo* brush, const char* backgroundImagePath);
// Reads container 6: a brush into `brush`, or (for no brush) null and the path into
// backgroundImagePath (kLStringShortSize bytes; a longer path is cut to 259 bytes).
template <class T>
LProcessResult VTSerialiseBrushFromSDF(LProcessInterface& process, LSDFReader<T>& reader,
    const LSDFChunkInfo<T>& container, LPtr<LBrushInfo>& brush, char* backgroundImagePath);
