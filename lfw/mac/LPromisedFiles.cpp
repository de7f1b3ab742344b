#include "lfw/mac/LPromisedFiles.h"

#include "lfw/gen/LFile.h"
#include "lfw/gen/LUserSettings.h"
#include "lfw/mac/LAlert.h"
#include "lfw/mac/LProgressDialog.h"
#include "lfw/unix/LReveal.h"
#include "platform/system/FileRead.h"
#include "platform/ui/LUiDirectSave.h"

#include <glib.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <string>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

// The whole text, or "" when it does not fit: a cut path could name another file.
template <size_t N> void CopyPath(char (&out)[N], const char* text)
{
    const size_t n = text ? std::strlen(text) : 0;
    out[0] = 0;
    if (n < N && text)
        std::memcpy(out, text, n + 1);
}

// folder/name when nothing stands there, else the first free of folder/stem_0.ext, stem_1.ext,
// ... ("" when none is free).
std::string FreePath(const std::string& folder, const std::string& name)
{
    std::string stem = name, extension;
    size_t dot = stem.rfind('.');
    if (dot != std::string::npos && dot > 0) {
        extension = stem.substr(dot);
        stem.resize(dot);
    }
    struct stat st;
    std::string candidate = folder + "/" + name;
    for (unsigned int i = 0; lstat(candidate.c_str(), &st) == 0; ++i) {
        if (i == 0xFFFFFFFFu)
            return "";
        candidate = folder + "/" + stem + "_" + std::to_string(i) + extension;
    }
    return candidate;
}

const char* NameOf(const char* path)
{
    const char* slash = std::strrchr(path, '/');
    return slash ? slash + 1 : path;
}

// The size of a complete regular file; false while a writer holds it (or it is no regular file,
// or it cannot be opened).
bool CompleteFileSize(const std::string& path, uint64_t& size)
{
    struct stat st;
    if (lstat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        return false;
    int fd = platform::system::OpenForReading(path.c_str(), O_NOFOLLOW);
    if (fd < 0)
        return false;
    bool ok = flock(fd, LOCK_SH | LOCK_NB) == 0;
    if (ok) {
        size = fstat(fd, &st) == 0 && S_ISREG(st.st_mode) ? uint64_t(st.st_size) : 0;
        flock(fd, LOCK_UN);
    }
    close(fd);
    return ok;
}

// Moves one file into the destination; its path becomes the target's when it moved.
void MoveFile(LProcessInterface& job, LMacPasteBoardGetPromisedFilePathsData::Node& file,
    const char* destination)
{
    const char* name = NameOf(file.path);
    job.SetStatus(name, 1);
    const std::string wanted = std::string(destination) + "/" + name;
    const std::string target = FreePath(destination, name);
    if (target.empty() || target.size() >= sizeof file.path) {
        job.SetErrorF("Det gick inte att flytta \"%s\" till \"%s\"", file.path, wanted.c_str());
        return;
    }
    if (target != wanted)
        job.SetErrorF("\"%s\" finns redan i målmappen. Det kommer att döpas om till \"%s\"", name,
            target.c_str());
    bool moved = rename(file.path, target.c_str()) == 0;
    if (!moved && errno == EXDEV) {
        // Across volumes: the source goes only once the copy is complete.
        moved = LFile::CopyFile(file.path, target.c_str());
        if (moved)
            unlink(file.path);
    }
    if (!moved) {
        job.SetErrorF("Det gick inte att flytta \"%s\" till \"%s\"", file.path, target.c_str());
        return;
    }
    CopyPath(file.path, target.c_str());
}

} // namespace

LMacPasteBoardGetPromisedFilePathsData::LMacPasteBoardGetPromisedFilePathsData(
    LStringListTemplate<char>& list, const char* folderPath, unsigned long expected,
    const char* destinationPath)
    : paths(list)
    , expectedCount(expected)
{
    CopyPath(folder, folderPath);
    CopyPath(destination, destinationPath);
}

LMacPasteBoardGetPromisedFilePathsData::~LMacPasteBoardGetPromisedFilePathsData()
{
    ClearFiles();
}

void LMacPasteBoardGetPromisedFilePathsData::ClearFiles()
{
    while (files) {
        Node* next = files->next;
        delete files;
        files = next;
    }
}

size_t LMacPasteBoardGetPromisedFilePathsData::FileCount() const
{
    size_t n = 0;
    for (Node* f = files; f; f = f->next)
        n++;
    return n;
}

LProcessResult Process(LProcessInterface& job, LMacPasteBoardGetPromisedFilePathsData& data)
{
    data.ClearFiles();
    job.SetStatus("Väntar på att filer ska kopieras...", 0);
    while (!job.IsToStop()) {
        DIR* dir = opendir(data.folder);
        if (!dir) {
            data.ClearFiles();
            job.SetErrorF("Mappen \"%s\" finns inte längre.", data.folder);
            return LProcessResultError;
        }
        bool changed = false;
        while (dirent* e = readdir(dir)) {
            if (std::strcmp(e->d_name, ".") == 0 || std::strcmp(e->d_name, "..") == 0)
                continue;
            std::string path = std::string(data.folder) + "/" + e->d_name;
            uint64_t size = 0;
            if (path.size() >= kLLongPathSize || !CompleteFileSize(path, size))
                continue;
            LMacPasteBoardGetPromisedFilePathsData::Node* known = nullptr;
            for (auto* f = data.files; f; f = f->next)
                if (path == f->path)
                    known = f;
            if (!known) {
                auto* node
                    = new LMacPasteBoardGetPromisedFilePathsData::Node { data.files, {}, size };
                CopyPath(node->path, path.c_str());
                data.files = node;
                job.SetStatus(e->d_name, 1);
                changed = true;
            } else if (size > known->size) {
                known->size = size;
                changed = true;
            }
        }
        closedir(dir);
        const size_t count = data.FileCount();
        if (!changed && count >= data.expectedCount && count > 0) {
            if (data.destination[0]) {
                job.SetStatus("Flytta filer...", 0);
                for (auto* f = data.files; f; f = f->next)
                    MoveFile(job, *f, data.destination);
                // Only an empty folder goes: files that did not move stay where they are.
                rmdir(data.folder);
            }
            for (auto* f = data.files; f; f = f->next)
                data.paths.Add(f->path);
            return LProcessResultSuccess;
        }
        if (count > 1 && data.expectedCount > 0)
            job.SetProgress(double(count - 1) / double(data.expectedCount));
        if (job.ProcessWait(data.pollMs) == LProcessResultStopped)
            break;
    }
    data.ClearFiles();
    LFile::DeleteFolderAndFiles(data.folder);
    return LProcessResultStopped;
}

// ------------------------------------------------------------------------------------------------

namespace {

// The drag last served: its folder, what was received for it, whether it was canceled.
struct PromisedState {
    GdkDragContext* served = nullptr; // held, so that its address is not reused while served
    char folder[260] = {};
    bool requested = false; // the source was asked to save (once per drop)
    bool canceled = false;
    std::string name; // the file the source proposed
    LStringListTemplate<char> received;

    void Forget()
    {
        if (served)
            g_object_unref(served);
        served = nullptr;
        folder[0] = 0;
        requested = false;
        canceled = false;
        name.clear();
        received.Clear();
    }
    void Serve(GdkDragContext* context)
    {
        Forget();
        served = GDK_DRAG_CONTEXT(g_object_ref(context));
    }
};

PromisedState& State()
{
    static PromisedState* state = new PromisedState; // lives for the process
    return *state;
}

// A name the source may write: one plain component, no control characters.
bool SafeName(const std::string& name)
{
    if (name.empty() || name == "." || name == ".." || name.size() > 255)
        return false;
    for (unsigned char c : name)
        if (c == '/' || c < 0x20 || c == 0x7f)
            return false;
    return true;
}

bool AllExist(const LStringListTemplate<char>& list)
{
    for (const char* p : list) {
        struct stat st;
        if (lstat(p, &st) != 0)
            return false;
    }
    return true;
}

bool MakePrivateFolder(char (&folder)[260])
{
    char temp[260];
    folder[0] = 0;
    if (!LFile::GetTempFolder(temp))
        return false;
    std::string pattern = std::string(temp);
    if (!pattern.empty() && pattern.back() != '/')
        pattern += '/';
    pattern += "0XXXXXX";
    if (pattern.size() >= sizeof folder)
        return false;
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back(0);
    if (!mkdtemp(buffer.data()))
        return false;
    chmod(buffer.data(), 0700);
    CopyPath(folder, buffer.data());
    return true;
}

// Asks where the files go: 1 keep them in the folder, 3 move them (destination set), 2 cancel.
int AskDestination(LView* view, const char* folder, std::string& destination)
{
    destination.clear();
    for (;;) {
        char message[1024];
        std::snprintf(message, sizeof message,
            "Källprogrammet kopierar filerna till den här mappen:\n\"%s\"\n\nKlicka på \"Kopiera\" "
            "för att fortsätta. Du kan också välja att flytta dem till en annan mapp. Klicka på "
            "\"Flytta till mapp\" för att välja plats för detta.",
            folder);
        LAlert alert(view, message, "Målmapp för källprogram");
        LAlertCopyField(alert.button1, "Kopiera");
        LAlertCopyField(alert.button2, "Avbryt");
        LAlertCopyField(alert.button3, "Flytta till mapp...");
        int answer = alert._Run();
        if (answer != 3)
            return answer;
        char temp[260] = {};
        LFile::GetTempFolder(temp);
        LStringLongTemplate<char> remembered;
        _LUserSettingGetString(
            "Settings", "PasteboardPromisedFilesDestinationFolder", temp, remembered);
        std::string chosen = remembered.c_str();
        LBrowseFolderFlags flags;
        flags.allowCreateFolders = true;
        if (LFile::BrowseFolder(view, chosen, "Välj målmapp", flags)) {
            LUserSettingSetString(
                "Settings", "PasteboardPromisedFilesDestinationFolder", chosen.c_str());
            destination = chosen;
            return 3;
        }
    }
}

} // namespace

int LMacPasteBoardGetPromisedFilePaths(
    const LUiDragInfo& info, LView* view, bool receive, LStringListTemplate<char>& paths)
{
    PromisedState& state = State();
    paths.Clear();
    if (!info.context || !LUiDirectSaveOffered(info)) {
        state.Forget();
        return 2;
    }
    if (state.served == info.context) {
        if (state.canceled)
            return 2;
    } else {
        // Read once: once asked, the property holds our answer instead of the name.
        const std::string name = LUiDirectSaveProposedName(info);
        if (!SafeName(name)) {
            state.Forget();
            return 2;
        }
        state.Serve(info.context);
        state.name = name;
    }
    const std::string& name = state.name;
    if (!receive) {
        paths.Add(name.c_str());
        return 0;
    }
    if (state.received.GetCount() > 0 && AllExist(state.received)) {
        for (const char* p : state.received)
            paths.Add(p);
        return 0;
    }
    if (!state.requested) {
        // The source is asked once per drop, before the user is: it holds the drop open until
        // it has answered.
        state.requested = true;
        std::string target;
        if (MakePrivateFolder(state.folder))
            target = std::string(state.folder) + "/" + name;
        gchar* uri = target.empty() || target.size() >= kLLongPathSize
            ? nullptr
            : g_filename_to_uri(target.c_str(), nullptr, nullptr);
        char answer = uri ? LUiDirectSaveRequest(info, view, uri) : 0;
        g_free(uri);
        LUiDragFinishEarly(info, answer == 'S');
        if (answer != 'S') {
            if (state.folder[0])
                LFile::DeleteFolderAndFiles(state.folder);
            state.Forget();
            return 2;
        }
    }
    std::string destination;
    if (AskDestination(view, state.folder, destination) == 2) {
        LFile::DeleteFolderAndFiles(state.folder);
        state.canceled = true;
        return 1;
    }
    LStringListTemplate<char> arrived;
    LMacPasteBoardGetPromisedFilePathsData data(arrived, state.folder, 1, destination.c_str());
    LProcessDialog<LMacPasteBoardGetPromisedFilePathsData> dialog(
        "Hämta filer från källprogrammet", data);
    dialog.Open(view);
    state.received.Clear();
    if (dialog.result == LProcessResultStopped) {
        state.canceled = true;
        return 1;
    }
    if (dialog.result != LProcessResultSuccess)
        return dialog.result;
    for (const char* p : arrived) {
        paths.Add(p);
        state.received.Add(p);
    }
    LAlert done(view, "Kopiering av filer har slutförts. Vill du se dem i Finder?",
        "Lyckad kopia från källprogrammet");
    LAlertCopyField(done.button1, "Visa i Finder");
    LAlertCopyField(done.button2, "Avbryt");
    if (done._Run() == 1)
        LRevealInFinder(destination.empty() ? state.folder : destination.c_str());
    return LProcessResultSuccess;
}
