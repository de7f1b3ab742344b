// The clipart dialogs: LClipartDialog lets the user pick a picture from the online clipart
// library, LFrameClipartDialog a frame, which it turns into a frame image of the asked size. The
// folders show as a tree, the pictures of the selected folder as a list, and the selected
// picture's preview is fetched in the background. The dialog answers the local path of the chosen
// file (for frames, of the generated frame image).
#pragma once

#include "lfw/gen/LFile.h"
#include "lfw/gen/LFormat.h"
#include "lfw/gen/LProcess.h"
#include "lfw/graphics/LImageBuffer.h"
#include "lfw/gui/LSmallControls.h"
#include "lfw/mac/LDialog.h"
#include "lfw/mac/cocoa/LCocoaOutlineHooks.h"
#include "lfw/net/LHTTP.h"

#include <map>
#include <memory>
#include <set>
#include <string>
#include <utility>

class LClipartDialog;
class LClipartPreview;
class LCocoaTreeNode;

// What reading one index needs: the dialog, the folder path relative to the library root (empty
// for the root, nested folders joined by '/'), the tree item that takes the sub-folders, and
// which lines to take: sub-folders, pictures or both. After a failure it holds why.
struct LClipartProcessTreeData {
    LClipartDialog* dialog = nullptr;
    char folder[kLPathSize] = {};
    LCocoaTreeNode* item = nullptr;
    bool folders = true;
    bool pictures = true;
    LHTTPDownloadFailure failure;
    bool rootFailed = false; // the library's root index could not be fetched
};

// Reads one index, fetching it first when it is not in the cache, and fills the tree and the
// list: 0 at the end, 1 stopped, 2 when the index cannot be fetched or opened (why in the data).
LProcessResult Process(LProcessInterface& job, LClipartProcessTreeData& data);

// The job of a picture download, run on the main thread inside the dialog: its waits keep the
// event loop turning, the dialog's "Avbryt" stops it, and its progress shows in the dialog's
// progress text.
class LClipartPreviewProcess : public LProcessInterface {
public:
    explicit LClipartPreviewProcess(LClipartDialog& dialog)
        : pDialog(&dialog)
    {
    }
    bool IsToStop() override;
    LProcessResult ProcessWait(unsigned int ms) override;
    LProcessResult ProcessWaitSignal(LSignalObjectRef signal, unsigned int ms) override;
    LProcessResult ProcessWaitSignalObjectGroup(
        LSignalObjectGroup& group, unsigned int ms) override;
    void SetProgress(double p) override;

private:
    bool StopRequested() const;
    LClipartDialog* pDialog;
};

class LClipartDialog : public LResizableDialog, public LCoolButtonContainer {
public:
    enum : int {
        kTree = 100,
        kList = 101,
        kDownload = 102,
        kCancel = 103,
        kGroup = 104,
        kPreview = 105,
        kProgress = 106,
        kCmdTreeSelection = 200,
        kCmdListSelection = 201,
    };

    LClipartDialog();
    ~LClipartDialog() override;

    // Opens the dialog over parent; true when a file path was delivered into resultPath (260
    // bytes, emptied first).
    bool Open(LView* parent, char* resultPath, const char* helpTopic);

    void InitDialog() override;
    void EvWindowReady() override;
    void DestroyDialog() override;
    void Command(int id, int code) override;
    void EnableControls() override;
    void CmHelp() override;
    // While a picture downloads, closing the dialog stops the download first.
    bool CmCancel() override;
    void LayoutControls(int width, int height) override;

    // The local cache folder of the library (260 bytes); false when it cannot be had.
    virtual bool GetLocalClipartLocation(char* out) const;
    // Makes the file the dialog answers for the picture at relativePath: 0 with its path in
    // resultOut, else 1 or 2.
    virtual LProcessResult GenerateImage(
        LProcessInterface& job, const char* relativePath, char* resultOut);

    // Fetches the library's root index into the cache: 0, 1 or 2 (why in failure).
    LProcessResult DownloadRootIndex(
        LProcessInterface& job, LHTTPDownloadFailure* failure = nullptr);
    // The URL and the cache path (260 bytes each) of a file of the library; false when either
    // would not fit (nothing may be fetched then).
    bool GetURLAndFilePath(const char* relativePath, char* urlOut, char* localPathOut) const;
    // The cached file, fetched when it is not in the cache: 0, 1 or 2 (why in failure).
    LProcessResult GetFileFromServer(LProcessInterface& job, const char* relativePath,
        char* localPathOut, LHTTPDownloadFailure* failure = nullptr);
    // The picture at relativePath, loaded from the cache or fetched: 0 with its cache path in
    // localPathOut (260 bytes) and its pixels; 1 stopped; 2 failed, failure telling why, or
    // holding None when the server's file is no picture. A file that is no picture is removed
    // from the cache at once; one found so in the cache is fetched again once.
    LProcessResult FetchPicture(LProcessInterface& job, const char* relativePath,
        char* localPathOut, LImageBuffer& picture, LHTTPDownloadFailure& failure);
    void SetPreviewImage(const char* relativePath);
    void FillTreeView();
    void HandleTreeViewSelectionChange();
    void HandleListSelectionChange();
    void CmDownloadClipartFile();

    // Used while an index is read.
    void AddFolderItem(const char* name, LCocoaTreeNode* parent);
    void AddPictureRow(
        const char* name, const char* size, bool fetched, LCocoaTreeNode* item, const char* folder);

    const char* BaseURL() const { return szBaseURL; }
    const char* CurrentFolder() const { return szCurrentFolder; }
    LClipartPreview* Preview() const { return fPreview.get(); }
    // Whether the root index has been read into the tree.
    bool TreeFilled() const { return bTreeFilled; }
    // Whether a picture download runs, and whether it was asked to stop.
    bool IsDownloading() const { return bBusy; }
    bool IsDownloadStopped() const { return bStopDownload || !IsOpen(); }

protected:
    char szBaseURL[kLPathSize] = {};
    const char* szTitle = "ZOR Clipart-bibliotek";
    bool bFrames = false;

    // The name of the picture at relativePath as the user knows it (its path below the current
    // folder without ".png").
    std::string PictureName(const char* relativePath) const;
    // LClipartFailureText with this library's server named.
    std::string FailureText(const LHTTPDownloadFailure& failure) const;
    void Alert(const char* text, const char* title);

private:
    // Reads an index into the tree and list: at once when a small one is in the cache, else
    // (to be fetched, or large) under a progress window whose "Avbryt" stops it.
    LProcessResult ReadIndex(LClipartProcessTreeData& data);

    char szCurrentFolder[kLPathSize] = {};
    char* pResult = nullptr;
    const char* szHelpTopic = nullptr;
    std::unique_ptr<LClipartPreview> fPreview;
    // The folder path of each tree item whose pictures were listed.
    std::map<LCocoaTreeNode*, std::string> fShownItems;
    // The tree items whose sub-folders are in the tree.
    std::set<LCocoaTreeNode*> fReadFolders;
    // The sub-folder names added under each tree item.
    std::set<std::pair<LCocoaTreeNode*, std::string>> fFolderNames;
    LListViewSorter fSorter;
    bool bBusy = false;
    bool bStopDownload = false;
    bool bCloseWhenStopped = false;
    bool bTreeFilled = false;
};

class LFrameClipartDialog : public LClipartDialog {
public:
    LFrameClipartDialog(unsigned long frameWidth, unsigned long frameHeight);

    void InitDialog() override;
    bool GetLocalClipartLocation(char* out) const override;
    LProcessResult GenerateImage(
        LProcessInterface& job, const char* relativePath, char* resultOut) override;

private:
    unsigned long fFrameWidth;
    unsigned long fFrameHeight;
};
