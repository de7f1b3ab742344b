#include "lfw/zor/LClipartDialog.h"

#include "lfw/gen/LFile.h"
#include "lfw/gen/LString.h"
#include "lfw/gen/LUserSettings.h"
#include "lfw/graphics/LImage.h"
#include "lfw/graphics/LImageFile.h"
#include "lfw/ios/LEventQueue.h"
#include "lfw/mac/LAlert.h"
#include "lfw/mac/LControlFlags.h"
#include "lfw/mac/LMonitorInfo.h"
#include "lfw/mac/LProgressDialog.h"
#include "lfw/mac/cocoa/LCocoaListViewImpl.h"
#include "lfw/mac/cocoa/LCocoaTreeNode.h"
#include "lfw/zor/LClipart.h"
#include "lfw/zor/LHelp.h"
#include "platform/ui/LUiSystem.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const char* const kSection = "ClipartDialog";
const char* const kRootText = "Images";
const char* const kListText = "Markera den bild du vill använda och tryck på hämtning.";
// An index in the cache at least this large is read under the progress window, whose "Avbryt"
// can stop it; a smaller one is read at once.
constexpr off_t kLargeIndexBytes = 128 * 1024;

int R(double v)
{
    return int(std::lround(v));
}

// Name, size in bytes and whether the picture is in the cache.
const LVColDynamicGlobal kColumns[] = {
    { "Namn", 12, 0, true },
    { "Storlek (Byte)", 11, 0, false },
    { "Hämtad", 12, 0, false },
    { nullptr, 0, 0, false },
};

} // namespace

// --- The download job.

bool LClipartPreviewProcess::StopRequested() const
{
    return pDialog->IsDownloadStopped();
}

bool LClipartPreviewProcess::IsToStop()
{
    LMacDispatchEvents();
    return StopRequested();
}

LProcessResult LClipartPreviewProcess::ProcessWait(unsigned int ms)
{
    const int r = LEventQueueRunUntilStopConditionOrTimeout(
        [this] { return StopRequested(); }, ms != LSIGNAL_WAIT_FOREVER, ms);
    return r == 1 ? LProcessResultStopped : LProcessResultSuccess;
}

LProcessResult LClipartPreviewProcess::ProcessWaitSignal(LSignalObjectRef signal, unsigned int ms)
{
    return LProcessResult(LEventQueueRunUntilSignalOrStopConditionOrTimeout(
        signal, [this] { return StopRequested(); }, ms != LSIGNAL_WAIT_FOREVER, ms));
}

LProcessResult LClipartPreviewProcess::ProcessWaitSignalObjectGroup(
    LSignalObjectGroup& group, unsigned int ms)
{
    return LProcessResult(LEventQueueRunUntilGroupSignalledOrStopConditionOrTimeout(
        group, [this] { return StopRequested(); }, ms != LSIGNAL_WAIT_FOREVER, ms));
}

void LClipartPreviewProcess::SetProgress(double p)
{
    int percent = R(p * 100);
    if (percent > 100)
        percent = 100;
    if (percent < 0)
        percent = 0;
    char text[64];
    LStringFormat(text, sizeof text, "Laddar %d%%", percent);
    pDialog->SetText(LClipartDialog::kProgress, text);
}

// --- Reading an index.

LProcessResult Process(LProcessInterface& job, LClipartProcessTreeData& data)
{
    LClipartDialog& dialog = *data.dialog;
    data.failure = {};
    data.rootFailed = false;
    char cache[kLPathSize];
    char root[kLPathSize];
    if (!dialog.GetLocalClipartLocation(cache)
        || !LFile::_MakeFilePath(root, cache, "index.csv", "")) {
        data.failure.kind = LHTTPFailure::File;
        return LProcessResultError;
    }
    if (!LFile::TestFileExists(root)) {
        job.SetStatus("Ansluter till server...", 0);
        const LProcessResult r = dialog.DownloadRootIndex(job, &data.failure);
        if (r != LProcessResultSuccess) {
            data.rootFailed = r == LProcessResultError;
            return r;
        }
    }

    char index[kLPathSize];
    char folderCache[kLPathSize];
    if (data.folder[0]) {
        if (!LClipartIsSafeName(data.folder)
            || !LFile::_MakeFilePath(folderCache, cache, data.folder, "")) {
            data.failure.kind = LHTTPFailure::Other;
            return LProcessResultError;
        }
        ::mkdir(folderCache, 0777);
        char relative[kLPathSize], url[kLPathSize];
        if (LStringFormat(relative, sizeof relative, "%s/index.csv", data.folder)
                >= sizeof relative - 1
            || !dialog.GetURLAndFilePath(relative, url, index)) {
            data.failure.kind = LHTTPFailure::Other;
            return LProcessResultError;
        }
        if (!LFile::TestFileExists(index))
            job.SetStatus("Ansluter till server...", 0);
        const LProcessResult r = dialog.GetFileFromServer(job, relative, index, &data.failure);
        if (r != LProcessResultSuccess)
            return r;
    } else {
        std::memcpy(index, root, sizeof index);
        std::memcpy(folderCache, cache, sizeof folderCache);
    }

    const LProcessResult r = LClipartReadIndex(job, index, [&](const LClipartIndexEntry& e) {
        if (e.folder) {
            if (data.folders)
                dialog.AddFolderItem(e.name, data.item);
            return;
        }
        if (!data.pictures)
            return;
        char picture[kLPathSize];
        const bool fetched = LFile::_MakeFilePath(picture, folderCache, e.name, ".png")
            && LFile::TestFileExists(picture);
        dialog.AddPictureRow(e.name, e.size, fetched, data.item, data.folder);
    });
    if (r == LProcessResultError)
        data.failure.kind = LHTTPFailure::File;
    return r;
}

// --- The dialog.

LClipartDialog::LClipartDialog()
    : fPreview(std::make_unique<LClipartPreview>())
{
    LClipartGetBaseURL(szBaseURL, false);
}

LClipartDialog::~LClipartDialog()
{
    if (fPreview) {
        fPreview->StopWorker();
        fPreview->DestroyPaintControl();
    }
    fPreview.reset();
}

bool LClipartDialog::Open(LView* parent, char* resultPath, const char* helpTopic)
{
    resultPath[0] = 0;
    pResult = resultPath;
    szHelpTopic = helpTopic;
    LWindow* parentWindow = parent ? LDialogWindowOfView(parent) : nullptr;
    // Without a parent the character is 8 points wide, in the screen's pixels.
    LUiScreen screen;
    const double scale = LUiMainScreen(screen) && screen.scale > 1 ? screen.scale : 1.0;
    const float cw = parentWindow ? parentWindow->CharWidthPixels() : float(8 * scale);
    if (R(cw) == 0)
        return false;
    LRectangle monitor;
    LMonitorInfo::GetMonitorRect(parent, monitor);
    int width = 120;
    if (monitor.right > monitor.left)
        width = std::min(int((monitor.right - monitor.left) / cw), 120);
    LResizableDialog::Open(parent, kSection, width, 30, width, 30, 0, 0);
    return pResult && pResult[0];
}

void LClipartDialog::InitDialog()
{
    CoolButtonContainerInit(*this);
    SetCaption(szTitle);
    AddTreeView(kTree, LTreeFlags {});
    TVInit(kTree);
    HandleTVSelChange(kTree, kCmdTreeSelection);

    LListFlags flags;
    flags.sortableHeader = true;
    flags.singleSelection = true;
    if (LCocoaListViewImpl* list = AddList(kList, flags)) {
        LVInit(kList, kColumns);
        fSorter.listView = list;
        if (list->manager())
            list->manager()->setLvSorter(&fSorter);
    }
    LVSetStyleDefaultText(kList, "Markera den bild du vill använda och tryck på hämtning.");
    HandleLVSelChange(kList, kCmdListSelection);
    HandleLVDoubleClick(kList, kDownload);
    if (bFrames) {
        LVShowColumn(kList, 1, false);
        LVShowColumn(kList, 2, false);
    }

    AddButton(kDownload, "Hämta");
    AddButton(kCancel, "Avbryt");
    AddGroup(kGroup, "Granska bild");
    AddPaintControl(kPreview);
    fPreview->Init(*this, kPreview);
    LStaticFlags right;
    AddStatic(kProgress, "", right);

    int w = 0, h = 0;
    GetClientSize(w, h);
    LayoutControls(w, h);
}

// Laid out again once the window is on the screen with its final size and backing scale; then
// the library is read, under a progress window when it must be fetched, so that a slow server
// leaves the program answering and the wait can be cancelled.
void LClipartDialog::EvWindowReady()
{
    int w = 0, h = 0;
    GetClientSize(w, h);
    LayoutControls(w, h);
    if (!TVGetRoot(kTree))
        FillTreeView();
}

void LClipartDialog::DestroyDialog()
{
    char text[32];
    LStringFormat(text, sizeof text, "%d", LVGetFirstSel(kList));
    LUserSettingSetString(kSection, "CurIndex", text);
    LCocoaTreeNode* sel = TVGetSel(kTree);
    LCocoaTreeNode* root = TVGetRoot(kTree);
    if (sel && sel != root) {
        char name[kLPathSize] = {}, parent[kLPathSize] = {};
        TVGetText(kTree, sel, name);
        LCocoaTreeNode* up = sel->parentNode();
        if (up)
            TVGetText(kTree, up, parent);
        if (!up || up == root) {
            LUserSettingSetString(kSection, "CurrentFolder", name);
            LUserSettingSetString(kSection, "CurrentSelection", "");
        } else {
            LUserSettingSetString(kSection, "CurrentFolder", parent);
            LUserSettingSetString(kSection, "CurrentSelection", name);
        }
    }
    if (fPreview) {
        fPreview->StopWorker();
        fPreview->DestroyPaintControl();
    }
    CoolButtonContainerDestroy(*this);
    LResizableDialog::DestroyDialog();
}

void LClipartDialog::Command(int id, int code)
{
    switch (id) {
    case kCmdTreeSelection:
        HandleTreeViewSelectionChange();
        break;
    case kCmdListSelection:
        HandleListSelectionChange();
        break;
    case kDownload:
        CmDownloadClipartFile();
        break;
    case kCancel:
        // During a download "Avbryt" stops the download; the dialog stays.
        if (bBusy)
            bStopDownload = true;
        else
            PostCommand(kLCmdCancel);
        break;
    default:
        LResizableDialog::Command(id, code);
        return;
    }
    EnableControls();
}

bool LClipartDialog::CmCancel()
{
    if (bBusy) {
        bStopDownload = true;
        bCloseWhenStopped = true;
        return false;
    }
    return LResizableDialog::CmCancel();
}

void LClipartDialog::EnableControls()
{
    EnableControl(kTree, !bBusy);
    EnableControl(kList, !bBusy);
    EnableControl(kDownload, !bBusy && LVGetSelCount(kList) == 1);
    EnableControl(kPreview, true);
    EnableControl(kCancel, true);
}

void LClipartDialog::CmHelp()
{
    if (szHelpTopic && szHelpTopic[0])
        LOpenHelpPage(GetContentView(), szHelpTopic);
}

void LClipartDialog::LayoutControls(int width, int height)
{
    const float cw = CharWidthPixels(), ch = CharHeightPixels();
    const int buttonHeight = R(1.23 * ch);
    const int previewSize = R(16 * cw);
    const int buttonWidth = MeasureTextWidth(kDownload, "Hämta") + R(2 * cw);
    const int gap = R(0.59 * ch);
    const int treeWidth = R(25 * cw);

    MoveControlPixels(kTree, 0, 0, treeWidth, height);
    LVMovePixels(kList, kColumns, treeWidth, 0,
        std::max(1, width - treeWidth - 2 * buttonHeight - previewSize), height);
    const int centre = width - buttonHeight - previewSize / 2;
    const int groupWidth = previewSize + 2 * R(1.25 * cw);
    const int groupHeight = gap + buttonHeight + previewSize;
    MoveControlPixels(kGroup, centre - groupWidth / 2, gap, groupWidth, groupHeight);
    MoveControlPixels(
        kPreview, centre - previewSize / 2, gap + buttonHeight, previewSize, previewSize);
    const int x = width - buttonWidth - R(2 * cw);
    MoveControlPixels(kProgress, x, 2 * gap + groupHeight, buttonWidth, buttonHeight);
    MoveControlPixels(kCancel, x, height - buttonHeight - gap, buttonWidth, buttonHeight);
    MoveControlPixels(kDownload, x, height - 2 * (buttonHeight + gap), buttonWidth, buttonHeight);
    EnableControls();
}

bool LClipartDialog::GetLocalClipartLocation(char* out) const
{
    char cache[kLPathSize];
    if (!GetUserSpecialFolder(cache, LUserSpecialFolder::Cache, ".cache"))
        return out[0] = 0, false;
    return LFile::_MakeFilePath(out, cache, "vorantel/Clipart/Clipart", "");
}

bool LClipartDialog::GetURLAndFilePath(
    const char* relativePath, char* urlOut, char* localPathOut) const
{
    urlOut[0] = localPathOut[0] = 0;
    char cache[kLPathSize];
    if (!LClipartIsSafeName(relativePath) || !GetLocalClipartLocation(cache)
        || !LFile::_MakeFilePath(localPathOut, cache, relativePath, ""))
        return false;
    char plain[2 * kLPathSize];
    LStringFormat(plain, sizeof plain, "%s/%s", szBaseURL, relativePath);
    if (!LClipartURIEncode(urlOut, plain)) {
        urlOut[0] = localPathOut[0] = 0;
        return false;
    }
    return true;
}

LProcessResult LClipartDialog::GetFileFromServer(LProcessInterface& job, const char* relativePath,
    char* localPathOut, LHTTPDownloadFailure* failure)
{
    if (failure)
        *failure = {};
    char url[kLPathSize];
    if (!GetURLAndFilePath(relativePath, url, localPathOut)) {
        if (failure)
            failure->kind = LHTTPFailure::Other;
        return LProcessResultError;
    }
    if (LFile::TestFileExists(localPathOut))
        return LProcessResultSuccess;
    return LClipartDownload(job, url, localPathOut, failure);
}

LProcessResult LClipartDialog::DownloadRootIndex(
    LProcessInterface& job, LHTTPDownloadFailure* failure)
{
    char cache[kLPathSize];
    if (!GetLocalClipartLocation(cache)) {
        if (failure)
            failure->kind = LHTTPFailure::File;
        return LProcessResultError;
    }
    // A cache folder that cannot be made is told as such, before the server is asked.
    if (!LFile::TestFolderExists(cache) && !LFile::CreateFolderTree(cache)
        && !LFile::TestFolderExists(cache)) {
        if (failure)
            failure->kind = LHTTPFailure::File;
        return LProcessResultError;
    }
    char local[kLPathSize];
    return GetFileFromServer(job, "index.csv", local, failure);
}

void LClipartDialog::SetPreviewImage(const char* relativePath)
{
    char folder[kLPathSize], file[kLPathSize], previewName[kLPathSize], preview[kLPathSize];
    LFile::_GetFolderFromPath(folder, relativePath);
    LFile::_GetFileFromPath(file, relativePath);
    LStringFormat(previewName, sizeof previewName, "preview_%s", file);
    if (folder[0])
        LStringFormat(preview, sizeof preview, "%s/%s", folder, previewName);
    else
        utf8strlcpy(preview, previewName, sizeof preview);
    char url[kLPathSize], local[kLPathSize];
    if (!GetURLAndFilePath(preview, url, local)) {
        fPreview->ClearPreview();
        return;
    }
    fPreview->DownloadAndDisplay(url, local);
}

LProcessResult LClipartDialog::ReadIndex(LClipartProcessTreeData& data)
{
    char cache[kLPathSize], index[kLPathSize] = {};
    if (GetLocalClipartLocation(cache)) {
        std::string relative
            = data.folder[0] ? std::string(data.folder) + "/index.csv" : "index.csv";
        if (!LClipartIsSafeName(relative.c_str())
            || !LFile::_MakeFilePath(index, cache, relative.c_str(), ""))
            index[0] = 0;
    }
    // A small index in the cache (also the root's) is read at once: nothing to wait for. The
    // root index must be there as well, or the job fetches it. A large one is read under the
    // progress window like a download, so that it can be stopped.
    char root[kLPathSize];
    struct stat info { };
    if (index[0] && ::stat(index, &info) == 0 && S_ISREG(info.st_mode)
        && info.st_size < kLargeIndexBytes && LFile::_MakeFilePath(root, cache, "index.csv", "")
        && LFile::TestFileExists(root)) {
        LProcessInterfaceVoid job;
        return Process(job, data);
    }
    LProcessDialog<LClipartProcessTreeData> progress("Laddar bilder...", data);
    progress.result = LProcessResultError;
    if (!progress.Open(GetContentView())) {
        // No window for the wait: the job runs without one, bounded by its time limit.
        LProcessInterfaceVoid job;
        return Process(job, data);
    }
    return LProcessResult(progress.result);
}

void LClipartDialog::FillTreeView()
{
    LCocoaTreeNode* root = TVAddItemFirst(kTree, kRootText, -1, 0, nullptr);
    LClipartProcessTreeData data;
    data.dialog = this;
    data.item = root;
    data.pictures = false; // the root's own pictures are listed when the root is selected
    const LProcessResult r = ReadIndex(data);
    if (r != LProcessResultSuccess) {
        // "Avbryt" closes the dialog without a word; a failure is told first: a server that
        // cannot be reached sends the user to the network, every other failure is named.
        if (r == LProcessResultError && data.rootFailed
            && data.failure.kind == LHTTPFailure::Connect)
            Alert("Det gick inte att ansluta till servern. Kontrollera din internetuppkoppling och "
                  "försök igen.",
                "Anslutningsfel");
        else if (r == LProcessResultError)
            Alert(("Biblioteket kunde inte läsas. " + FailureText(data.failure)).c_str(),
                "Hämtningsfel");
        PostCommand(kLCmdCancel);
        return;
    }
    if (root)
        fReadFolders.insert(root);
    bTreeFilled = true;
    LVSelectNone(kList);
    if (root)
        TVSelectItem(kTree, root);
}

void LClipartDialog::AddFolderItem(const char* name, LCocoaTreeNode* parent)
{
    // A folder read again after a stopped read keeps the sub-folders it has.
    if (!fFolderNames.emplace(parent, name).second)
        return;
    TVAddItemSorted(kTree, name, -1, 0, parent);
}

void LClipartDialog::AddPictureRow(
    const char* name, const char* size, bool fetched, LCocoaTreeNode* item, const char* folder)
{
    LVAddRow(kList, name, size, fetched ? "Hämtad" : "", nullptr);
    fShownItems.emplace(item, folder);
}

void LClipartDialog::HandleTreeViewSelectionChange()
{
    LVClear(kList);
    LVSelectNone(kList);
    LVSetStyleDefaultText(kList, kListText);
    SetText(kProgress, "");
    fPreview->ClearPreview();
    LCocoaTreeNode* sel = TVGetSel(kTree);
    szCurrentFolder[0] = 0;
    if (!sel || !bTreeFilled)
        return;
    // The root item is the library; a folder of the library may have its name.
    LCocoaTreeNode* root = TVGetRoot(kTree);
    if (sel != root) {
        char text[kLPathSize];
        std::string path = TVGetText(kTree, sel, text);
        for (LCocoaTreeNode* up = sel->parentNode(); up && up != root; up = up->parentNode()) {
            char name[kLPathSize] = {};
            TVGetText(kTree, up, name);
            if (!name[0])
                break;
            path = std::string(name) + "/" + path;
        }
        utf8strlcpy(szCurrentFolder, path.c_str(), sizeof szCurrentFolder);
    }
    // Every selection lists the folder's own pictures; its sub-folders are added only once.
    LClipartProcessTreeData data;
    data.dialog = this;
    utf8strlcpy(data.folder, szCurrentFolder, sizeof data.folder);
    data.item = sel;
    data.folders = fReadFolders.count(sel) == 0;
    const LProcessResult r = ReadIndex(data);
    if (r != LProcessResultSuccess) {
        LVClear(kList);
        if (r == LProcessResultStopped) {
            LVSetStyleDefaultText(kList, "Inläsningen avbröts.");
        } else {
            LVSetStyleDefaultText(kList, "Mappen kunde inte läsas.");
            Alert(("Mappen \"" + std::string(szCurrentFolder[0] ? szCurrentFolder : kRootText)
                      + "\" kunde inte läsas. " + FailureText(data.failure))
                      .c_str(),
                "Hämtningsfel");
        }
        return;
    }
    fReadFolders.insert(sel);
    // The rows follow the column the user sorted by last; by name, ascending, at first.
    if (LCocoaListViewImpl* list = ListViewGetImplById(kList))
        if (LCocoaListViewManager* m = list->manager())
            m->sortRows();
}

void LClipartDialog::HandleListSelectionChange()
{
    const int row = LVGetFirstSel(kList);
    if (row < 0) {
        fPreview->ClearPreview();
        return;
    }
    char name[kLPathSize];
    LVGetString(kList, row, name);
    char relative[kLPathSize];
    if (LStringFormat(relative, sizeof relative, "%s/%s.png", szCurrentFolder, name)
        >= sizeof relative - 1) {
        fPreview->ClearPreview();
        return;
    }
    SetPreviewImage(szCurrentFolder[0] ? relative : relative + 1);
}

void LClipartDialog::CmDownloadClipartFile()
{
    if (bBusy || LVGetSelCount(kList) != 1)
        return;
    const int row = LVGetFirstSel(kList);
    LCocoaTreeNode* sel = TVGetSel(kTree);
    std::string folder;
    if (auto found = fShownItems.find(sel); found != fShownItems.end())
        folder = found->second;
    char name[kLPathSize];
    LVGetString(kList, row, name);
    char relative[kLPathSize];
    if (LStringFormat(relative, sizeof relative, "%s%s%s.png", folder.c_str(),
            folder.empty() ? "" : "/", name)
        >= sizeof relative - 1)
        return;
    char result[kLPathSize] = {};
    LClipartPreviewProcess job(*this);
    // While the picture comes the dialog answers, but only "Avbryt" (which stops the download)
    // and closing (which stops it, then closes) do anything: one download at a time.
    bBusy = true;
    bStopDownload = false;
    bCloseWhenStopped = false;
    EnableControls();
    SetText(kProgress, "Laddar 0%");
    LProcessResult r = GenerateImage(job, relative, result);
    bBusy = false;
    if (!IsOpen())
        return;
    EnableControls();
    if (r == LProcessResultStopped) {
        SetText(kProgress, "Avbruten");
        if (bCloseWhenStopped)
            PostCommand(kLCmdCancel);
        return;
    }
    SetText(kProgress, "");
    if (r != LProcessResultSuccess || !result[0])
        return;
    LVSetColumnString(kList, row, 2, "Hämtad");
    if (pResult)
        utf8strlcpy(pResult, result, kLPathSize);
    PostCommand(kLCmdCancel);
}

std::string LClipartDialog::PictureName(const char* relativePath) const
{
    // The name as the list shows it: the path below the current folder, which may hold a '/'.
    std::string name = relativePath;
    const size_t folder = std::strlen(szCurrentFolder);
    if (folder && name.size() > folder && name.compare(0, folder, szCurrentFolder) == 0
        && name[folder] == '/')
        name.erase(0, folder + 1);
    else if (const size_t slash = name.rfind('/'); slash != std::string::npos)
        name.erase(0, slash + 1);
    if (name.size() > 4 && name.compare(name.size() - 4, 4, ".png") == 0)
        name.resize(name.size() - 4);
    return name;
}

std::string LClipartDialog::FailureText(const LHTTPDownloadFailure& failure) const
{
    char host[kLPathSize], path[kLPathSize], name[kLPathSize];
    if (!ProcessHTTPSplitHost(szBaseURL, host, path, sizeof path))
        return LClipartFailureText(failure);
    SplitPortFromAddr(host, name, 443);
    return LClipartFailureText(failure, name);
}

void LClipartDialog::Alert(const char* text, const char* title)
{
    LAlert alert(GetContentView(), text, title);
    alert.type = 2;
    alert._Run();
}

LProcessResult LClipartDialog::FetchPicture(LProcessInterface& job, const char* relativePath,
    char* localPathOut, LImageBuffer& picture, LHTTPDownloadFailure& failure)
{
    localPathOut[0] = 0;
    failure = {};
    char url[kLPathSize], local[kLPathSize];
    if (!GetURLAndFilePath(relativePath, url, local)) {
        failure.kind = LHTTPFailure::Other;
        return LProcessResultError;
    }
    bool cached = LFile::TestFileExists(local);
    for (;;) {
        if (!cached) {
            const LProcessResult r = LClipartDownload(job, url, local, &failure);
            if (r != LProcessResultSuccess)
                return r;
        }
        if (LClipartLoadPicture(local, picture)) {
            utf8strlcpy(localPathOut, local, kLPathSize);
            return LProcessResultSuccess;
        }
        // No picture: it must not stay where the next try would take it without asking.
        ::unlink(local);
        if (!cached)
            break;
        cached = false;
    }
    failure = {};
    return LProcessResultError;
}

LProcessResult LClipartDialog::GenerateImage(
    LProcessInterface& job, const char* relativePath, char* resultOut)
{
    resultOut[0] = 0;
    LImageBuffer picture;
    LHTTPDownloadFailure failure;
    const LProcessResult r = FetchPicture(job, relativePath, resultOut, picture, failure);
    if (r != LProcessResultError)
        return r;
    const std::string name = PictureName(relativePath);
    if (failure.kind == LHTTPFailure::None)
        Alert(
            ("Bilden \"" + name + "\" från servern är ingen giltig bild.").c_str(), "Ogiltig bild");
    else
        Alert(("Bilden \"" + name + "\" kunde inte hämtas. " + FailureText(failure)).c_str(),
            "Hämtningsfel");
    return LProcessResultError;
}

// --- Frames.

LFrameClipartDialog::LFrameClipartDialog(unsigned long frameWidth, unsigned long frameHeight)
    : fFrameWidth(frameWidth)
    , fFrameHeight(frameHeight)
{
    LClipartGetBaseURL(szBaseURL, true);
    szTitle = "ZOR-rambibliotek";
    bFrames = true;
}

void LFrameClipartDialog::InitDialog()
{
    LClipartDialog::InitDialog();
    SetCaption("ZOR-rambibliotek");
}

bool LFrameClipartDialog::GetLocalClipartLocation(char* out) const
{
    char cache[kLPathSize];
    if (!GetUserSpecialFolder(cache, LUserSpecialFolder::Cache, ".cache"))
        return out[0] = 0, false;
    return LFile::_MakeFilePath(out, cache, "vorantel/Clipart/Frames", "");
}

LProcessResult LFrameClipartDialog::GenerateImage(
    LProcessInterface& job, const char* relativePath, char* resultOut)
{
    resultOut[0] = 0;
    if (fFrameWidth < 1 || fFrameHeight < 1 || fFrameWidth > 16384 || fFrameHeight > 16384) {
        Alert("Det gick inte att hämta rampanelen.", "Hämtningsfel");
        return LProcessResultError;
    }
    char downloaded[kLPathSize];
    LImageBuffer picture;
    LHTTPDownloadFailure failure;
    const LProcessResult r = FetchPicture(job, relativePath, downloaded, picture, failure);
    if (r == LProcessResultStopped)
        return r;
    if (r != LProcessResultSuccess) {
        if (failure.kind == LHTTPFailure::None)
            Alert("Tidsbilden är ogiltig.", "Ogiltig bild");
        else
            Alert(("Det gick inte att hämta rampanelen.\n\nRamen \"" + PictureName(relativePath)
                      + "\" kunde inte hämtas. " + FailureText(failure))
                      .c_str(),
                "Hämtningsfel");
        return LProcessResultError;
    }
    LImageBuffer frame;
    LProcessInterfaceVoid never;
    char cache[kLPathSize], file[kLPathSize], name[kLPathSize], target[kLPathSize];
    LFile::_GetFileFromPath(file, relativePath);
    LStringFormat(name, sizeof name, "border_%s", file);
    if (LImage::Resize(never, picture, frame, int(fFrameWidth), int(fFrameHeight), false,
            LImage::ResizeBicubic)
            != LProcessResultSuccess
        || !GetLocalClipartLocation(cache) || !LFile::_MakeFilePath(target, cache, name, "")
        || !LImage::Save(frame, target)) {
        // A frame that cannot be written is a failure, never a path handed back as if made.
        Alert("Det gick inte att hämta rampanelen.", "Hämtningsfel");
        return LProcessResultError;
    }
    utf8strlcpy(resultOut, target, kLPathSize);
    return LProcessResultSuccess;
}
