// Adding picture files to the design shown. Each file is read and decoded on a worker thread
// while the progress window "Lägga till bilder" shows its name and progress with "Avbryt" live,
// and the window goes on answering; the main thread only takes each finished picture and adds it
// as an image overlay, one file after the other. A file that cannot be read is told as the add
// goes (a warning offering "Fortsätt" or "Avbryt") or only counted, as the caller chooses. Once
// the add has ended, the caller hears once, on the main thread, what came of it.
#pragma once

#include "lfw/gen/LFile.h"
#include "lfw/gen/LProcess.h"
#include "lfw/graphics/LImageBuffer.h"

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class LView;
class VTProjectViewer;

// Reading one picture file for an add, on any thread: the picture decoded (with the program's
// codec rule), the source of its screen copies for a large one, and the name its overlay keeps,
// the file's name with ".png" for its extension. 0 read, 1 stopped, 2 failed (with the error
// text set, "Det gick inte att läsa in bilden." when the reader gave none or the file held no
// usable picture).
struct VTProcessPictureFileRead {
    std::string path;
    // Only read to learn that it can be: the decoded picture is let go of at once (no screen
    // copies are made, no name is given).
    bool checkOnly = false;
    LImageBuffer picture;
    LImageBuffer screenSource; // empty for a picture small enough to reduce at once
    char name[kLPathSize] = "";
};
LProcessResult Process(LProcessInterface& process, VTProcessPictureFileRead& job);

// Reads one picture file on a worker under a progress window of that title over parent while the
// main thread waits with its loop turning ("Avbryt" stops the reading). Nothing is told: a
// failure's reason goes to error.
LProcessResult VTReadPictureFile(
    LView* parent, const char* title, VTProcessPictureFileRead& job, std::string* error = nullptr);

// What came of an add.
struct VTPictureFilesAddOutcome {
    size_t asked = 0; // files given
    size_t added = 0; // pictures added
    unsigned long failures = 0; // files that could not be read
    // "Avbryt" ended it (in the progress window or in a failure's warning), or the project went.
    bool stopped = false;
    std::string error; // the first failure's text; "" when none failed
};

class VTPictureFilesAdd {
public:
    using Done = std::function<void(const VTPictureFilesAddOutcome& outcome)>;

    // The viewer must outlive the add; done may be empty and may destroy this object.
    VTPictureFilesAdd(VTProjectViewer& viewer, std::vector<std::string> paths, Done done);
    // Stops a file being read and waits for its thread; done is not called then.
    ~VTPictureFilesAdd();
    VTPictureFilesAdd(const VTPictureFilesAdd&) = delete;
    VTPictureFilesAdd& operator=(const VTPictureFilesAdd&) = delete;

    // Opens the progress window over parent and starts the first file; returns at once. False,
    // without calling done, when there is nothing to add or the window cannot open.
    bool Start(LView* parent);
    // From Start until done has been called.
    bool IsRunning() const { return running; }

    // Each failure is told in a warning as the add goes (else it is only counted).
    bool tellFailures = true;
    // The overlays keep the files' own paths instead of their names with ".png".
    bool keepPaths = false;
    // The first file that cannot be read ends the add: those after it are not read.
    bool stopAtFailure = false;
    // When set, each picture read is handed to keep (with the index of its file) instead of
    // being added: the caller adds it later, and nothing is added here (the outcome counts the
    // pictures handed over as added). No project need be open then.
    std::function<void(size_t index, VTProcessPictureFileRead& read)> keep;

private:
    struct Item;
    void Next();
    void ItemFinished(LProcessResult result);
    void Finish();

    VTProjectViewer& viewer;
    std::vector<std::string> paths;
    Done done;
    VTPictureFilesAddOutcome outcome;
    size_t index = 0;
    bool running = false;
    std::unique_ptr<class LProgressDialogForThread> window;
    std::unique_ptr<Item> item;
    // Shared with the continuations posted to the main loop: false once this object is gone.
    std::shared_ptr<bool> alive = std::make_shared<bool>(true);
};
