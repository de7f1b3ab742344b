#include "lfw/zor/LClipartDialog.h"

#include "lfw/gen/LFile.h"
#include "lfw/gen/LString.h"
#include "lfw/gen/LUserSettings.h"
#include "lfw/graphics/LImage.h"
#include "lfw/graphics/LImageFile.h"
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

namespace {

const char* const kSection = "ClipartDialog";
const char* const kRootText = "Images";

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

void Alert(LWindow& window, const char* text, const char* title)
{
    LAlert alert(window.GetContentView(), text, title);
    alert.type = 2;
    alert._Run();
}

} // namespace

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
    job.SetStatus("Ansluter till server...", 0);
    char cache[kLPathSize];
    if (!dialog.GetLocalClipartLocation(cache))
        return LProcessResultError;
    char root[kLPathSize];
    if (!LFile::_MakeFilePath(root, cache, "index.csv", "")
        || (!LFile::TestFileExists(root) && !dialog.DownloadRootIndex(job))) {
        Alert(dialog,
            "Det gick inte att ansluta till servern. Kontrollera din internetuppkoppling och "
            "försök igen.",
            "Anslutningsfel");
        return LProcessResultError;
    }

    char index[kLPathSize];
    char folderCache[kLPathSize];
    if (data.folder[0]) {
        if (!LClipartIsSafeName(data.folder)
            || !LFile::_MakeFilePath(folderCache, cache, data.folder, ""))
            return LProcessResultError;
        ::mkdir(folderCache, 0777);
        char relative[kLPathSize];
        if (LStringFormat(relative, sizeof relative, "%s/index.csv", data.folder)
            >= sizeof relative - 1)
            return LProcessResultError;
        if (dialog.GetFileFromServer(job, relative, index) == LProcessResultStopped)
            return LProcessResultStopped;
        if (!index[0])
            return LProcessResultError;
    } else {
        std::memcpy(index, root, sizeof index);
        std::memcpy(folderCache, cache, sizeof folderCache);
    }

    return LClipartReadIndex(job, index, [&](const LClipartIndexEntry& e) {
        if (e.folder) {
            dialog.AddFolderItem(e.name, data.item);
            return;
        }
        char picture[kLPathSize];
        const bool fetched = LFile::_MakeFilePath(picture, folderCache, e.name, ".png")
            && LFile::TestFileExists(picture);
        dialog.AddPictureRow(e.name, e.size, fetched, data.item, data.folder);
    });
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
    FillTreeView();
}

// Laid out again once the window is on the screen with its final size and backing scale.
void LClipartDialog::EvWindowReady()
{
    int w = 0, h = 0;
    GetClientSize(w, h);
    LayoutControls(w, h);
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
        if (!up || std::strcmp(parent, kRootText) == 0 || up == root) {
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
        PostCommand(kLCmdCancel);
        break;
    default:
        LResizableDialog::Command(id, code);
        return;
    }
    EnableControls();
}

void LClipartDialog::EnableControls()
{
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

LProcessResult LClipartDialog::GetFileFromServer(
    LProcessInterface& job, const char* relativePath, char* localPathOut)
{
    char url[kLPathSize];
    if (!GetURLAndFilePath(relativePath, url, localPathOut))
        return LProcessResultError;
    if (LFile::TestFileExists(localPathOut))
        return LProcessResultSuccess;
    return LClipartDownload(job, url, localPathOut);
}

bool LClipartDialog::DownloadRootIndex(LProcessInterface& job)
{
    char cache[kLPathSize];
    if (!GetLocalClipartLocation(cache))
        return false;
    LFile::CreateFolderTree(cache);
    char local[kLPathSize];
    return GetFileFromServer(job, "index.csv", local) == LProcessResultSuccess;
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

void LClipartDialog::FillTreeView()
{
    LCocoaTreeNode* root = TVAddItemFirst(kTree, kRootText, -1, 0, nullptr);
    LClipartProcessTreeData data;
    data.dialog = this;
    data.item = root;
    LProcessInterfaceVoid job; // the root index is read under a job that never stops
    if (Process(job, data) != LProcessResultSuccess) {
        PostCommand(kLCmdCancel);
        return;
    }
    LVSelectNone(kList);
    if (root)
        TVSelectItem(kTree, root);
}

void LClipartDialog::AddFolderItem(const char* name, LCocoaTreeNode* parent)
{
    TVAddItemSorted(kTree, name, -1, 0, parent);
}

void LClipartDialog::AddPictureRow(
    const char* name, const char* size, bool fetched, LCocoaTreeNode* item, const char* folder)
{
    LVAddRow(kList, name, size, fetched ? "Hämtad" : "", nullptr);
    fShownItems.push_front(ShownItem { item, folder });
}

void LClipartDialog::HandleTreeViewSelectionChange()
{
    LVClear(kList);
    LVSelectNone(kList);
    SetText(kProgress, "");
    fPreview->ClearPreview();
    LCocoaTreeNode* sel = TVGetSel(kTree);
    szCurrentFolder[0] = 0;
    if (!sel)
        return;
    char text[kLPathSize];
    TVGetText(kTree, sel, text);
    if (std::strcmp(text, kRootText) != 0) {
        std::string path = text;
        for (LCocoaTreeNode* up = sel->parentNode(); up; up = up->parentNode()) {
            char name[kLPathSize] = {};
            TVGetText(kTree, up, name);
            if (!name[0] || std::strcmp(name, kRootText) == 0)
                break;
            path = std::string(name) + "/" + path;
        }
        utf8strlcpy(szCurrentFolder, path.c_str(), sizeof szCurrentFolder);
    }
    if (sel->isLeaf()) {
        LClipartProcessTreeData data;
        data.dialog = this;
        utf8strlcpy(data.folder, szCurrentFolder, sizeof data.folder);
        data.item = sel;
        LProcessDialog<LClipartProcessTreeData> progress("Laddar bilder...", data);
        progress.Open(GetContentView());
        // The rows follow the column the user sorted by last; by name, ascending, at first.
        if (LCocoaListViewImpl* list = ListViewGetImplById(kList))
            if (LCocoaListViewManager* m = list->manager())
                m->sortRows();
    }
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
    for (const ShownItem& item : fShownItems)
        if (item.item == sel) {
            folder = item.folder;
            break;
        }
    char name[kLPathSize];
    LVGetString(kList, row, name);
    char relative[kLPathSize];
    if (LStringFormat(relative, sizeof relative, "%s%s%s.png", folder.c_str(),
            folder.empty() ? "" : "/", name)
        >= sizeof relative - 1)
        return;
    char result[kLPathSize] = {};
    LClipartPreviewProcess job(*this);
    // A second press while the first download runs is ignored: one download.
    bBusy = true;
    EnableControls();
    LProcessResult r = GenerateImage(job, relative, result);
    bBusy = false;
    SetText(kProgress, "");
    if (r != LProcessResultSuccess || !result[0])
        return;
    LVSetColumnString(kList, row, 2, "Hämtad");
    if (pResult)
        utf8strlcpy(pResult, result, kLPathSize);
    PostCommand(kLCmdCancel);
}

LProcessResult LClipartDialog::GenerateImage(
    LProcessInterface& job, const char* relativePath, char* resultOut)
{
    return GetFileFromServer(job, relativePath, resultOut);
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
    char downloaded[kLPathSize];
    if (fFrameWidth < 1 || fFrameHeight < 1 || fFrameWidth > 16384 || fFrameHeight > 16384
        || GetFileFromServer(job, relativePath, downloaded) != LProcessResultSuccess) {
        Alert(*this, "Det gick inte att hämta rampanelen.", "Hämtningsfel");
        return LProcessResultError;
    }
    LImageBuffer picture;
    LProcessInterfaceVoid never;
    if (LImage::Load(never, picture, downloaded, 3000) == 0 || !picture.IsValid()
        || picture.GetWidth() < 1 || picture.GetHeight() < 1) {
        Alert(*this, "Tidsbilden är ogiltig.", "Ogiltig bild");
        return LProcessResultError;
    }
    LImageBuffer frame;
    char cache[kLPathSize], file[kLPathSize], name[kLPathSize], target[kLPathSize];
    LFile::_GetFileFromPath(file, relativePath);
    LStringFormat(name, sizeof name, "border_%s", file);
    if (LImage::Resize(never, picture, frame, int(fFrameWidth), int(fFrameHeight), false,
            LImage::ResizeBicubic)
            != LProcessResultSuccess
        || !GetLocalClipartLocation(cache) || !LFile::_MakeFilePath(target, cache, name, "")
        || !LImage::Save(frame, target)) {
        // A frame that cannot be written is a failure, never a path handed back as if made.
        Alert(*this, "Det gick inte att hämta rampanelen.", "Hämtningsfel");
        return LProcessResultError;
    }
    utf8strlcpy(resultOut, target, kLPathSize);
    return LProcessResultSuccess;
}
