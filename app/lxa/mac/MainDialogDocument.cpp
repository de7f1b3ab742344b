// The main window's document commands: new, open, save, close, export, print, the requests of
// the command line and of a second start, dropped files and the audio CD's texts.
#include "app/lxa/mac/MainDialog.h"

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
#include "lfw/mac/LAlert.h"
#include "lfw/mac/LPaperSize.h"
#include "lfw/mac/LProgressDialog.h"
#include "lfw/snd/LAudioCDInfoDialog.h"
#include "platform/ui/LModalLoop.h"

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

std::string _Folder(const char* path)
{
    char folder[kLLongPathSize] = "";
    LFile::_GetFolderFromPath(folder, path ? path : "");
    return folder;
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

// A regular file of at least one byte.
bool _IsNonEmptyRegularFile(const char* path, off_t* size = nullptr)
{
    struct stat st = {};
    if (stat(path, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size <= 0)
        return false;
    if (size)
        *size = st.st_size;
    return true;
}

} // namespace

bool MainDialog::LoadOverlayText(const char* path, LStringLongTemplate<char>& text)
{
    off_t size = 0;
    if (!_IsNonEmptyRegularFile(path, &size) || size > kMaxTextFileSize)
        return false;
    if (!LLoadTextAutoChar(path, text))
        return false;
    const char* s = text.GetString();
    size_t n = std::strlen(s);
    if (!LCharsetsIsValidUTF8(s, n))
        return false;
    for (size_t i = 0; i < n; ++i) {
        unsigned char c = static_cast<unsigned char>(s[i]);
        if ((c < 0x20 && c != '\t' && c != '\n' && c != '\r') || c == 0x7F)
            return false;
    }
    return n > 0;
}

// ---- Unsaved changes, closing, new ------------------------------------------------------------

bool MainDialog::CmProjectPromptUnsavedChanges()
{
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
    char current[260] = "";
    _LUserSettingGetString("AutoSave", "FileName", "", current);
    if (reopenedAutoSave == current)
        LUserSettingSetString("AutoSave", "FileName", "");
    reopenedAutoSave.clear();
}

void MainDialog::CmNewDocument(VTLabelLayout* layout)
{
    if (!CmProjectPromptUnsavedChanges()) {
        delete layout;
        return;
    }
    if (!layout)
        layout = _SelectLabelLayout();
    if (!layout)
        return;
    if (!CmCloseDocument(false)) {
        delete layout;
        return;
    }
    welcomeAllowed = false;
    auto* created = new VTProject(layout);
    _SetProject(created);
    firstTextTipPending = true;
    UpdateCaption();
    EnableControls();
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
    LStringShortTemplate<char> recent;
    VTOptions::RecentFolderProjectGet(recent);
    char folder[kLLongPathSize] = "";
    std::snprintf(folder, sizeof folder, "%s", recent.GetString());
    char path[kLLongPathSize] = "";
    if (!LFile::BrowseReadFilePath(GetContentView(), path, "Läs in projekt", folder, filter.c_str(),
            ".vtproj", "Ladda upp"))
        return false;
    std::string extension = _Extension(path);
    if (extension == "vtproj" || extension == "vtx") {
        LUserSettingSetString("Settings", kVTOptionsRecentFolderProject, _Folder(path).c_str());
        return CmProjectLoad(path, true);
    }
    LUserSettingSetString("Settings", kVTOptionsRecentFolderImage, _Folder(path).c_str());
    return _AddImageFile(path);
}

bool MainDialog::CmProjectLoad()
{
    if (!CmProjectPromptUnsavedChanges())
        return false;
    LStringShortTemplate<char> recent;
    VTOptions::RecentFolderProjectGet(recent);
    char folder[kLLongPathSize] = "";
    std::snprintf(folder, sizeof folder, "%s", recent.GetString());
    char path[kLLongPathSize] = "";
    std::string filter(kProjectFilter, kProjectFilterSize);
    if (!LFile::BrowseReadFilePath(GetContentView(), path, "Läs in projekt", folder, filter.c_str(),
            ".vtproj", "Ladda upp"))
        return false;
    LUserSettingSetString("Settings", kVTOptionsRecentFolderProject, _Folder(path).c_str());
    return CmProjectLoad(path, false);
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

void MainDialog::EvRecentFileOpen(const char* path)
{
    if (path && *path)
        CmProjectLoad(path, true);
}

// ---- Saving -----------------------------------------------------------------------------------

bool MainDialog::CmProjectSave()
{
    if (!project || project->GetSaveState() == VTProjectSaveStateSaved)
        return false;
    if (!_HasFolder(project->GetPath()))
        return CmProjectSaveAs();
    std::string path = project->GetPath();
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
    dialog.Open(GetContentView());
    if (dialog.result != LProcessResultSuccess)
        return false;
    RecentFileListAdd(path);
    // Saved work needs its autosave no more.
    _RemoveReopenedAutoSave();
    UpdateCaption();
    return true;
}

bool MainDialog::CmProjectSaveAs()
{
    if (!project)
        return false;
    LStringShortTemplate<char> recent;
    VTOptions::RecentFolderProjectGet(recent);
    char folder[kLLongPathSize] = "";
    std::snprintf(folder, sizeof folder, "%s", recent.GetString());
    char path[kLLongPathSize] = "";
    std::snprintf(path, sizeof path, "%s", _FileName(project->GetPath()).c_str());
    static const char kFilter[] = "Vorantel-projekt (*.vtproj)\0*.vtproj\0";
    if (!LFile::BrowseSaveFilePathOverwrite(
            GetContentView(), path, "Spara projekt", folder, kFilter, "vtproj"))
        return false;
    LUserSettingSetString("Settings", kVTOptionsRecentFolderProject, _Folder(path).c_str());
    if (!CmProjectSave(path))
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
    char folder[kLLongPathSize] = "";
    _LUserSettingGetString("Settings", "SavePDFFolder", "", folder);
    if (!folder[0])
        std::snprintf(folder, sizeof folder, "%s", _Folder(p.GetPath()).c_str());
    char path[kLLongPathSize] = "";
    std::snprintf(path, sizeof path, "%s", ProjectBareName(p.GetPath()).c_str());
    static const char kFilter[] = "PDF-fil\0*.pdf\0";
    if (!LFile::BrowseSaveFilePathOverwrite(
            GetContentView(), path, "Spara som PDF", folder, kFilter, "pdf"))
        return;
    LUserSettingSetString("Settings", "SavePDFFolder", _Folder(path).c_str());
    if (LFile::TestFileShareWriteBlocked(path)) {
        PopupBoxInfo("Dokumentet används av ett annat program och kan inte nås", "Spara i PDF-fil");
        return;
    }
    VTExport record;
    record.targetPath = path;
    record.project = &p;
    record.page = page;
    LProcessDialog<VTExport> dialog("Spara till PDF", record);
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
    char folder[kLLongPathSize] = "";
    char pictures[kLLongPathSize] = "";
    LFile::GetUserPicturesFolder(pictures);
    _LUserSettingGetString("Settings", "ImageFolder", pictures, folder);
    if (!folder[0])
        std::snprintf(folder, sizeof folder, "%s", _Folder(p.GetPath()).c_str());
    char path[kLLongPathSize] = "";
    std::snprintf(path, sizeof path, "%s", ProjectBareName(p.GetPath()).c_str());
    if (!LFile::BrowseSaveFilePathOverwrite(
            GetContentView(), path, "Exportera till bild", folder, filter.GetString(), ""))
        return;
    if (!path[0])
        return;
    LUserSettingSetString("Settings", "ImageFolder", _Folder(path).c_str());
    // Failures (a format that is not offered, a sheet without size, a write error) are told
    // under the export's title.
    VTImageExport record;
    record.targetPath = path;
    record.project = &p;
    record.page = page;
    record.pixelsPerInch = 300;
    LProcessDialog<VTImageExport> dialog("Exportera till bild", record);
    dialog.Open(GetContentView());
}

// ---- Requests of the command line and of a second start ----------------------------------------

int MainDialog::EvAPICommand(int argc, const char* const* argv, char* reply)
{
    LStringFormat(reply, kLZORAPIReplySize, "OK");
    welcomeAllowed = false;
    if (argc < 1 || !argv)
        return 0;
    // A request that arrives while a modal window runs waits for it to close: the project under
    // a print preview or an editor must not change. One that arrives while another is under way
    // (in a loop that one runs), or inside any wait of ours (a clipboard answer, a job), waits
    // for it to finish; and one never overtakes those waiting before it.
    if (_MustWait() || !deferred.empty()) {
        std::vector<std::string> copy;
        for (int i = 0; i < argc; ++i)
            copy.emplace_back(argv[i] ? argv[i] : "");
        RunWhenNoModal([this, copy] {
            std::vector<const char*> args;
            for (const std::string& a : copy)
                args.push_back(a.c_str());
            char later[kLZORAPIReplySize];
            LStringFormat(later, kLZORAPIReplySize, "OK");
            _RunRequest(int(args.size()), args.data(), later);
        });
        return 0;
    }
    ++busy;
    int result = _RunRequest(argc, argv, reply);
    --busy;
    return result;
}

int MainDialog::_RunRequest(int argc, const char* const* argv, char* reply)
{
    if (argc == 1) {
        if (!CmProjectLoad(argv[0], true)) {
            LStringFormat(
                reply, kLZORAPIReplySize, "Det gick inte att läsa in projektfilen: %s", argv[0]);
            return -1;
        }
        return 0;
    }
    std::vector<std::string> images;
    for (int i = 0; i + 1 < argc; i += 2) {
        const char* key = argv[i] ? argv[i] : "";
        const char* value = argv[i + 1] ? argv[i + 1] : "";
        if (strcasecmp(key, "-open") == 0) {
            if (!CmProjectLoad(value, true)) {
                LStringFormat(
                    reply, kLZORAPIReplySize, "Det gick inte att läsa in projektfilen: %s", value);
                return -1;
            }
        } else if (strcasecmp(key, "-new") == 0) {
            VTLabelLayout* layout = nullptr;
            if (strcasecmp(value, "cd") == 0)
                layout = new VTLabelLayoutDataGenericCDStandard;
            else if (strcasecmp(value, "dvd") == 0)
                layout = new VTLabelLayoutDataGenericDVDStandard;
            else if (strcasecmp(value, "bluray") == 0)
                layout = new VTLabelLayoutDataGenericBluRayStandard;
            else if (strcasecmp(value, "direct2disc") == 0)
                layout = new VTLabelLayoutDataDirectToCDDVDStandard;
            if (!layout) {
                LStringFormat(reply, kLZORAPIReplySize,
                    "Det gick inte att skapa ett nytt projekt av typ %s", value);
                return -1;
            }
            CmNewDocument(layout);
        } else if (strcasecmp(key, "-custom") == 0) {
            auto* layout = new VTLabelLayout;
            VTLabelLayoutLoad record;
            record.layout = layout;
            std::snprintf(record.path, sizeof record.path, "%s", value);
            LProcessDialog<VTLabelLayoutLoad> dialog("Läsa in etikettlayout", record);
            dialog.Open(GetContentView());
            if (dialog.result != LProcessResultSuccess) {
                delete layout;
                LStringFormat(reply, kLZORAPIReplySize, "Det gick inte att läsa etikettlayouten.");
                return -1;
            }
            CmNewDocument(layout);
        } else if (strcasecmp(key, "-addtext") == 0) {
            LStringLongTemplate<char> text;
            if (project && LoadOverlayText(value, text))
                _ViewerAddText(text.GetString());
        } else if (strcasecmp(key, "-addimage") == 0) {
            // The path is what is queued; the file is only checked to be there and not empty.
            if (_IsNonEmptyRegularFile(value))
                images.emplace_back(value);
        }
    }
    if (!images.empty())
        _ViewerAddImages(images);
    return 0;
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

void MainDialog::RunWhenNoModal(std::function<void()> work)
{
    if (!_MustWait() && deferred.empty()) {
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
    if (self->_MustWait()) {
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
