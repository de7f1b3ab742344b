// The main window's document commands: new, open, save, close, export, print, dropped files and
// the audio CD's texts (the requests of the command line and of later starts are
// MainDialogRequests.cpp's).
#include "app/lxa/mac/MainDialog.h"

#include "app/VTAutoSaveFiles.h"
#include "app/VTExport.h"
#include "app/VTLabelLayoutData.h"
#include "app/VTOptions.h"
#include "app/VTPrinterTray.h"
#include "app/VTProjectFile.h"
#include "lfw/gen/LCharSet.h"
#include "lfw/gen/LFile.h"
#include "lfw/gen/LFormat.h"
#include "lfw/gen/LUserSettings.h"
#include "lfw/graphics/LImage.h"
#include "lfw/graphics/LImageCodec.h"
#include "lfw/ios/LProcessThread.h"
#include "lfw/mac/LAlert.h"
#include "lfw/mac/LPaperSize.h"
#include "lfw/mac/LProgressDialog.h"
#include "lfw/snd/LAudioCDInfoDialog.h"
#include "platform/ui/LModalLoop.h"
#include "platform/ui/LNativeWindow.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr const char* kProjectFilter = "Vorantel-projekt (*.vtproj;*.vtx)\0*.vtproj;*.vtx\0";
constexpr size_t kProjectFilterSize = sizeof "Vorantel-projekt (*.vtproj;*.vtx)\0*.vtproj;*.vtx\0";
constexpr const char* kDropErrorTitle = "Dra och släpp-fel";
// A text added from a file is at most this long; bigger files are refused unread.
constexpr off_t kMaxTextFileSize = 1 << 20;
// The unsupported files a drop message names.
constexpr size_t kMaxNamedFiles = 20;

// Everything before the last "/" ("/" for a file at the root, "" without one), however long.
std::string _Folder(const char* path)
{
    const std::string p = path ? path : "";
    const size_t slash = p.rfind('/');
    if (slash == std::string::npos)
        return "";
    return slash == 0 ? "/" : p.substr(0, slash);
}

// A folder remembered under the key, whole however long; def when none is stored.
std::string _StoredFolder(const char* key, const char* def)
{
    LStringLongTemplate<char> value;
    _LUserSettingGetString("Settings", key, def, value);
    return value.c_str();
}

bool _HasFolder(const char* path)
{
    return path && std::strchr(path, '/') != nullptr;
}

std::string _Extension(const char* path)
{
    const char* slash = std::strrchr(path, '/');
    const char* dot = std::strrchr(path, '.');
    if (!dot || (slash && dot < slash))
        return "";
    return dot + 1;
}

std::string _FileName(const char* path)
{
    const char* slash = std::strrchr(path, '/');
    return slash ? slash + 1 : path;
}

} // namespace

MainDialog::TextFileRefusal MainDialog::CheckOverlayText(
    const char* path, LStringLongTemplate<char>& text)
{
    text.Clear();
    struct stat st = {};
    if (!path || stat(path, &st) != 0)
        return TextFileRefusal::kMissing;
    if (!S_ISREG(st.st_mode))
        return TextFileRefusal::kUnreadable;
    if (st.st_size == 0)
        return TextFileRefusal::kEmpty;
    if (st.st_size > kMaxTextFileSize)
        return TextFileRefusal::kTooBig;
    // UTF-16 by its byte-order mark: a NUL unit would vanish in the conversion.
    LStringLongTemplate<char> raw;
    if (!LLoadText(path, raw))
        return TextFileRefusal::kUnreadable;
    const auto* b = reinterpret_cast<const unsigned char*>(raw.c_str());
    if (raw.GetLength() >= 2 && ((b[0] == 0xFF && b[1] == 0xFE) || (b[0] == 0xFE && b[1] == 0xFF)))
        for (size_t i = 2; i + 1 < raw.GetLength(); i += 2)
            if (b[i] == 0 && b[i + 1] == 0)
                return TextFileRefusal::kBinary;
    if (!LLoadTextAutoChar(path, text))
        return TextFileRefusal::kUnreadable;
    const char* s = text.GetString();
    const size_t n = text.GetLength();
    // A NUL anywhere (the text would end there) or another control character: not a text file.
    for (size_t i = 0; i < n; ++i) {
        unsigned char c = static_cast<unsigned char>(s[i]);
        if ((c < 0x20 && c != '\t' && c != '\n' && c != '\r') || c == 0x7F) {
            text.Clear();
            return TextFileRefusal::kBinary;
        }
    }
    if (!LCharsetsIsValidUTF8(s, n)) {
        text.Clear();
        return TextFileRefusal::kNotUTF8;
    }
    return n > 0 ? TextFileRefusal::kNone : TextFileRefusal::kEmpty;
}

std::string MainDialog::TextFileRefusalText(TextFileRefusal refusal, const char* path)
{
    const std::string name = "”" + _FileName(path ? path : "") + "”";
    switch (refusal) {
    case TextFileRefusal::kNone:
        return "";
    case TextFileRefusal::kEmpty:
        return "Textfilen " + name + " är tom och lades inte till.";
    case TextFileRefusal::kMissing:
        return "Det gick inte att hitta filen " + name + ".";
    case TextFileRefusal::kUnreadable:
        return "Det gick inte att läsa filen " + name + ".";
    case TextFileRefusal::kTooBig:
        return "Textfilen " + name + " är större än 1 MiB och lades inte till.";
    case TextFileRefusal::kNotUTF8:
        return "Textfilen " + name + " är inte giltig UTF-8-text och lades inte till.";
    case TextFileRefusal::kBinary:
        return "Filen " + name + " är ingen textfil och lades inte till.";
    }
    return "";
}

// ---- Unsaved changes, closing, new ------------------------------------------------------------

bool MainDialog::CmProjectPromptUnsavedChanges()
{
    // Text typed a moment before closing or quitting is an unsaved change too.
    if (project)
        projectViewer.CommitPendingEdits();
    if (!project || project->GetSaveState() != VTProjectSaveStateModified)
        return true;
    LAlert alert(GetContentView(), "Vill du spara projektet innan du stänger?",
        "Ändringar som inte sparats");
    LAlertCopyField(alert.button1, "Spara");
    LAlertCopyField(alert.button2, "Avbryt");
    LAlertCopyField(alert.button3, "Spara inte");
    switch (alert.RunField()) {
    case 1:
        return CmProjectSave();
    case 3:
        return true;
    default:
        // "Avbryt", and also Escape or the close box: nothing is thrown away unasked.
        return false;
    }
}

bool MainDialog::CmCloseDocument(bool prompt)
{
    if (prompt && !CmProjectPromptUnsavedChanges())
        return false;
    _SetProject(nullptr);
    UpdateCaption();
    EnableControls();
    return true;
}

void MainDialog::_SetProject(VTProject* p)
{
    VTProject* old = project;
    if (old == p)
        return;
    _ViewerSetProject(nullptr);
    if (old) {
        old->RemoveNotifyee(*this);
        delete old;
        // The autosave a closed project came from is not offered again.
        _RemoveReopenedAutoSave();
    }
    project = p;
    if (p) {
        p->AddNotifyee(*this);
        _ViewerSetProject(p);
    }
}

void MainDialog::_RemoveReopenedAutoSave()
{
    if (reopenedAutoSave.empty())
        return;
    unlink(reopenedAutoSave.c_str());
    LStringLongTemplate<char> current;
    _LUserSettingGetString("AutoSave", "FileName", "", current);
    if (reopenedAutoSave == current.c_str())
        LUserSettingSetString("AutoSave", "FileName", "");
    reopenedAutoSave.clear();
}

bool MainDialog::CmNewDocument(VTLabelLayout* layout)
{
    if (!CmProjectPromptUnsavedChanges()) {
        delete layout;
        return false;
    }
    const bool chosen = !layout;
    if (!layout)
        layout = _SelectLabelLayout();
    if (!layout)
        return false;
    if (!CmCloseDocument(false)) {
        delete layout;
        return false;
    }
    welcomeAllowed = false;
    auto* created = new VTProject(layout);
    _SetProject(created);
    firstTextTipPending = true;
    UpdateCaption();
    EnableControls();
    // A layout chosen in "Välj etikettlayout" (by keys, maybe): the keyboard comes back to the
    // window on the canvas of the new design unless a control has it, so that it is somewhere the
    // keys act and the focus can be drawn.
    LView* content = GetContentView();
    LNativeWindow* window = content ? content->Window() : nullptr;
    if (chosen && window && !window->FirstResponder())
        if (LView* canvas = projectViewer.canvas.GetHostView())
            canvas->MakeFocus();
    return true;
}

// ---- Opening ----------------------------------------------------------------------------------

bool MainDialog::CmOpenDocument()
{
    if (!project)
        return CmProjectLoad();
    VTImageCodecVetoer vetoer;
    LImageCodecFilterList list;
    LStringLongTemplate<char> images;
    if (!list.Init(images, LImageIOTypeLoad, vetoer))
        return false;
    // The project filter first, then the image filters (both lists of NUL-ended pairs).
    std::string filter(kProjectFilter, kProjectFilterSize - 1);
    const char* p = images.GetString();
    size_t n = 0;
    while (p[n] || p[n + 1])
        ++n;
    filter.append(p, n + 1);
    filter.push_back('\0');
    std::string folder;
    VTOptions::RecentFolderProjectGet(folder);
    std::string path;
    if (!LFile::BrowseReadFilePath(GetContentView(), path, "Läs in projekt", folder, filter.c_str(),
            ".vtproj", "Ladda upp"))
        return false;
    std::string extension = _Extension(path.c_str());
    if (extension == "vtproj" || extension == "vtx") {
        LUserSettingSetString("Settings", kVTOptionsRecentFolderProject, folder.c_str());
        return CmProjectLoad(path.c_str(), true);
    }
    LUserSettingSetString("Settings", kVTOptionsRecentFolderImage, folder.c_str());
    _AddImageFile(path.c_str());
    return true;
}

bool MainDialog::CmProjectLoad()
{
    if (!CmProjectPromptUnsavedChanges())
        return false;
    std::string folder;
    VTOptions::RecentFolderProjectGet(folder);
    std::string path;
    std::string filter(kProjectFilter, kProjectFilterSize);
    if (!LFile::BrowseReadFilePath(GetContentView(), path, "Läs in projekt", folder, filter.c_str(),
            ".vtproj", "Ladda upp"))
        return false;
    LUserSettingSetString("Settings", kVTOptionsRecentFolderProject, folder.c_str());
    return CmProjectLoad(path.c_str(), false);
}

bool MainDialog::CmProjectLoad(const char* path, bool prompt)
{
    welcomeAllowed = false;
    if (!path || !*path)
        return false;
    if (prompt && !CmProjectPromptUnsavedChanges())
        return false;
    auto* loaded = new VTProject;
    VTProjectLoad record;
    record.project = loaded;
    std::snprintf(record.path, sizeof record.path, "%s", path);
    LProcessDialog<VTProjectLoad> dialog("Laddar projekt", record);
    dialog.Open(GetContentView());
    if (dialog.result != LProcessResultSuccess || !loaded->GetLabelLayout()) {
        delete loaded;
        return false;
    }
    _SetProject(loaded);
    RecentFileListAdd(path);
    UpdateCaption();
    EnableControls();
    return true;
}

void MainDialog::EvLoadFile(const char* path)
{
    if (path && *path) {
        std::string copy = path;
        RunWhenNoModal([this, copy] { CmProjectLoad(copy.c_str(), true); });
    }
}

bool MainDialog::EvRecentFileOpen(const char* path)
{
    return path && *path && CmProjectLoad(path, true);
}

bool MainDialog::RecentFileListTakes(const char* path) const
{
    return !VTIsAutoSavePath(path);
}

// ---- Saving -----------------------------------------------------------------------------------

bool MainDialog::CmProjectSave()
{
    if (!project || project->GetSaveState() == VTProjectSaveStateSaved)
        return false;
    if (!_HasFolder(project->GetPath()))
        return CmProjectSaveAs();
    std::string path = project->GetPath();
    // Another program wrote the file since it was opened or saved here: it is not overwritten
    // unasked, and the answer that comes first keeps it.
    if (VTProjectFileChangedOnDisk(*project)) {
        const std::string text = "Filen ”" + _FileName(path.c_str())
            + "” har ändrats av ett annat program sedan projektet öppnades eller sparades. Vill "
              "du ersätta den med projektet?";
        LAlert alert(GetContentView(), text.c_str(), "Filen har ändrats");
        alert.type = 0;
        LAlertCopyField(alert.button1, "Behåll filen");
        LAlertCopyField(alert.button2, "Spara som...");
        LAlertCopyField(alert.button3, "Ersätt");
        switch (alert.RunField()) {
        case 2:
            return CmProjectSaveAs();
        case 3:
            break;
        default:
            return false;
        }
    }
    return CmProjectSave(path.c_str());
}

bool MainDialog::CmProjectSave(const char* path)
{
    if (!project || !path || !*path)
        return false;
    VTProjectSave record;
    record.project = project;
    std::snprintf(record.path, sizeof record.path, "%s", path);
    LProcessDialog<VTProjectSave> dialog("Spara projekt", record);
    // The save writes a snapshot: what is typed meanwhile (a quit too) comes after it.
    dialog.SetKeysGoToParent(true);
    dialog.Open(GetContentView());
    if (dialog.result != LProcessResultSuccess)
        return false;
    RecentFileListAdd(path);
    // Saved work needs its autosave no more (unless it was saved over it).
    if (VTAutoSaveSameFile(reopenedAutoSave, path))
        reopenedAutoSave.clear();
    _RemoveReopenedAutoSave();
    UpdateCaption();
    return true;
}

bool MainDialog::CmProjectSaveAs()
{
    if (!project)
        return false;
    std::string folder;
    VTOptions::RecentFolderProjectGet(folder);
    std::string path = _FileName(project->GetPath());
    static const char kFilter[] = "Vorantel-projekt (*.vtproj)\0*.vtproj\0";
    if (!LFile::BrowseSaveFilePathOverwrite(
            GetContentView(), path, "Spara projekt", folder, kFilter, "vtproj"))
        return false;
    LUserSettingSetString("Settings", kVTOptionsRecentFolderProject, folder.c_str());
    if (!CmProjectSave(path.c_str()))
        return false;
    UpdateCaption();
    EnableControls();
    return true;
}

// ---- Export -----------------------------------------------------------------------------------

void MainDialog::CmExportToPDF()
{
    if (VTLabelLayoutPage* page = project ? CurrentPage() : nullptr)
        ExportToPDF(*project, page);
}

void MainDialog::ExportToPDF(VTProject& p, VTLabelLayoutPage* page)
{
    std::string folder = _StoredFolder("SavePDFFolder", "");
    if (folder.empty())
        folder = _Folder(p.GetPath());
    std::string path = ProjectBareName(p.GetPath());
    static const char kFilter[] = "PDF-fil\0*.pdf\0";
    if (!LFile::BrowseSaveFilePathOverwrite(
            GetContentView(), path, "Spara som PDF", folder, kFilter, "pdf"))
        return;
    LUserSettingSetString("Settings", "SavePDFFolder", folder.c_str());
    if (LFile::TestFileShareWriteBlocked(path.c_str())) {
        PopupBoxInfo("Dokumentet används av ett annat program och kan inte nås", "Spara i PDF-fil");
        return;
    }
    VTExport record;
    record.targetPath = path.c_str();
    record.project = &p;
    record.page = page;
    // Drawn and written on a worker: the window and its progress window go on answering while
    // the pictures are packed into the file (seconds for a photograph).
    LProcessThreadData<VTExport> worker(record);
    LProcessDialog<LProcessThreadData<VTExport>> dialog("Spara till PDF", worker);
    dialog.Open(GetContentView());
}

void MainDialog::CmExportToImage()
{
    if (VTLabelLayoutPage* page = project ? CurrentPage() : nullptr)
        ExportToImage(*project, page);
}

void MainDialog::ExportToImage(VTProject& p, VTLabelLayoutPage* page)
{
    VTImageExportCodecVetoer vetoer;
    LImageCodecFilterList list;
    LStringLongTemplate<char> filter;
    if (!list.Init(filter, LImageIOTypeSave, vetoer))
        return;
    char pictures[kLPathSize] = "";
    LFile::GetUserPicturesFolder(pictures);
    std::string folder = _StoredFolder("ImageFolder", pictures);
    if (folder.empty())
        folder = _Folder(p.GetPath());
    std::string path = ProjectBareName(p.GetPath());
    if (!LFile::BrowseSaveFilePathOverwrite(
            GetContentView(), path, "Exportera till bild", folder, filter.GetString(), ""))
        return;
    if (path.empty())
        return;
    LUserSettingSetString("Settings", "ImageFolder", folder.c_str());
    // Failures (a format that is not offered, a sheet without size, a write error) are told
    // under the export's title.
    VTImageExport record;
    record.targetPath = path.c_str();
    record.project = &p;
    record.page = page;
    record.pixelsPerInch = 300;
    LProcessThreadData<VTImageExport> worker(record);
    LProcessDialog<LProcessThreadData<VTImageExport>> dialog("Exportera till bild", worker);
    dialog.Open(GetContentView());
}

// ---- Dropped files ----------------------------------------------------------------------------

void MainDialog::EvDropFiles(LDroppedFileData& data)
{
    std::vector<std::string> paths;
    // The iterator stands on the first path already.
    LDroppedFilesIterator files(data);
    for (size_t i = 0; i < files.GetCount(); ++i, files.Next())
        paths.emplace_back(files.GetPath());
    // Answered once the drop itself has finished: the questions below run modal loops.
    LRunLoop::Post([this, paths] {
        if (!IsDestroyed())
            RunWhenNoModal([this, paths] { DropPaths(paths); });
    });
}

void MainDialog::DropPaths(const std::vector<std::string>& paths)
{
    std::vector<std::string> projects, images, unsupported;
    VTImageCodecVetoer vetoer;
    for (const std::string& path : paths) {
        std::string extension = _Extension(path.c_str());
        if (strcasecmp(extension.c_str(), "vtproj") == 0
            || strcasecmp(extension.c_str(), "vtx") == 0) {
            projects.push_back(path);
            continue;
        }
        LImageCodec codec;
        if (codec.InitFromFilePath(path.c_str()) && vetoer.IsEnabled(codec, LImageIOTypeLoad))
            images.push_back(path);
        else
            unsupported.push_back(path);
    }
    if (projects.size() >= 2) {
        PopupBoxWarning("Det går inte att läsa in flera projekt samtidigt.", kDropErrorTitle);
        return;
    }
    if (projects.empty() && !project)
        return;
    if (projects.size() == 1 && !images.empty()) {
        PopupBoxWarning("Det går inte att läsa in projekt och bilder samtidigt.", kDropErrorTitle);
        return;
    }
    if (!unsupported.empty()) {
        std::string text = "Det går inte att läsa in följande filer:\n";
        for (size_t i = 0; i < unsupported.size(); ++i) {
            if (i == kMaxNamedFiles) {
                text += "\n   …";
                break;
            }
            text += "\n   " + _FileName(unsupported[i].c_str());
        }
        if (projects.empty() && images.empty()) {
            PopupBoxWarning(text.c_str(), kDropErrorTitle);
            return;
        }
        LAlert alert(GetContentView(), text.c_str(), kDropErrorTitle);
        alert.type = 0;
        LAlertCopyField(alert.button1, "Fortsätt");
        LAlertCopyField(alert.button2, "Avbryt");
        if (alert.RunField() != 1)
            return;
    }
    if (projects.empty()) {
        if (!images.empty())
            _ViewerAddImages(images);
        return;
    }
    CmProjectLoad(projects[0].c_str(), true);
}

void MainDialog::EvProjectViewerAutoSaveFailed(VTProjectViewer&, const char* reason)
{
    // Told once, when no other question is open: the work is kept only if the user saves it.
    const std::string text = std::string(reason ? reason : "")
        + " Ändringarna sparas inte automatiskt förrän det går igen; spara projektet för att "
          "behålla dem.";
    RunWhenNoModal(
        [this, text] { PopupBoxWarning(text.c_str(), "Projektet sparas inte automatiskt"); });
}

void MainDialog::RunWhenNoModal(std::function<void()> work)
{
    if (!_MustWait() && deferred.empty() && IsStartRequestDone() && !runningStart) {
        ++busy;
        work();
        --busy;
        return;
    }
    deferred.push_back([this, work = std::move(work)] {
        ++busy;
        work();
        --busy;
    });
    deferredTimer.Arm(100);
}

void MainDialog::_DeferredTimer(LRunLoopTimer* timer, void* data)
{
    auto* self = static_cast<MainDialog*>(data);
    if (self->IsDestroyed())
        return;
    if (self->_MustWait() || !self->IsStartRequestDone() || self->runningStart) {
        timer->Arm(100);
        return;
    }
    std::vector<std::function<void()>> work;
    work.swap(self->deferred);
    for (auto& w : work) {
        if (self->IsDestroyed())
            break;
        w();
    }
}

bool MainDialog::_MustWait() const
{
    return busy > 0 || LModalLoop::Busy();
}

// ---- The audio CD -----------------------------------------------------------------------------

bool MainDialog::GetCDInfo(int type, LStringLongTemplate<char>& text) const
{
    return LAudioCDInfoGet(GetContentView(), type, text);
}

void MainDialog::CmOverlayAddTextCDAlbum()
{
    LStringLongTemplate<char> text;
    if (GetCDInfo(VTProcessAudioCDInfo::kTitle, text) && project)
        _ViewerAddText(text.GetString());
}

void MainDialog::CmOverlayAddTextCDArtist()
{
    LStringLongTemplate<char> text;
    if (GetCDInfo(VTProcessAudioCDInfo::kArtist, text) && project)
        _ViewerAddText(text.GetString());
}

void MainDialog::CmOverlayAddTextCDTrackList()
{
    LStringLongTemplate<char> text;
    if (GetCDInfo(VTProcessAudioCDInfo::kTrackList, text) && project)
        _ViewerAddText(text.GetString());
}
