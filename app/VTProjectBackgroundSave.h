// A save of a project that never holds the window's thread, for the autosave: the pictures whose
// PNG bytes are not at hand are encoded side by side on threads of their own, a snapshot of the
// file (VTProjectSnapshot: the pictures' bytes shared, not copied) is made on the main thread once
// they are, and the worker writes it out through a temporary file beside the target. The project's
// path and save state are left as they are.
//
// Main thread. The outcome comes back through the callback, on the main thread, unless the save
// was abandoned first (the object destroyed). The object may be destroyed from its callback.
#pragma once

#include "app/VTProject.h"

#include <functional>
#include <memory>
#include <string>

class VTProjectBackgroundSave {
public:
    // saved: the file is in place.
    using Done = std::function<void(bool saved)>;

    // Starts at once; the project must outlive the object (or the object be destroyed first).
    // With an origin the file is an autosave of the project saved there (VTProjectFile.h).
    VTProjectBackgroundSave(
        VTProject& project, std::string path, Done done, std::string origin = std::string());
    // Abandons the save: the callback never comes, a write under way is stopped and waited for
    // (its temporary file removed; a file already moved into place stays for the owner to
    // remove).
    ~VTProjectBackgroundSave();
    VTProjectBackgroundSave(const VTProjectBackgroundSave&) = delete;
    VTProjectBackgroundSave& operator=(const VTProjectBackgroundSave&) = delete;

    // Why the save failed, in Swedish (a full disk, a refused folder), once its callback said
    // so; "" before, and for a save that was stopped.
    std::string GetError() const;

    struct State;

private:
    std::shared_ptr<State> fState;
};
