// The clipart dialogs: LClipartDialog lets the user pick a picture from the online clipart
// library, LFrameClipartDialog a frame, which it turns into a frame image of the asked size. The
// folders show as a tree, the pictures of the selected folder as a list, and the selected
// picture's preview is fetched in the background. The dialog answers the local path of the chosen
// file (for frames, of the generated frame image).
#pragma once

#include "lfw/gen/LFile.h"
#include "lfw/gen/LFormat.h"
#include "lfw/gen/LProcess.h"
#include "lfw/gui/LSmallControls.h"
#include "lfw/mac/LDialog.h"
#include "lfw/mac/cocoa/LCocoaOutlineHooks.h"

#include <forward_list>
#include <memory>
#include <string>

class LClipartDialog;
class LClipartPreview;
class LCocoaTreeNode;

// What reading one index needs: the dialog, the folder path relative to the library root (empty
// for the root, nested folders joined by '/') and the tree item that takes the sub-folders.
struct LClipartProcessTreeData {
    LClipartDialog* dialog = nullptr;
    char folder[kLPathSize] = {};
    LCocoaTreeNode* item = nullptr;
};

// Reads one index and fills the tree and the list: 0 at the end, 1 stopped, 2 when the library
// cannot be reached (after an alert) or the index cannot be opened.
LProcessResult Process(LProcessInterface& job, LClipartProcessTreeData& data);

// The job of a picture download: it shows its progress in the dialog's progress text.
class LClipartPreviewProcess : public LProcessInterfaceVoid {
public:
    explicit LClipartPreviewProcess(LClipartDialog& dialog)
        : pDialog(&dialog)
    {
    }
    void SetProgress(double p) override;

private:
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
    void LayoutControls(int width, int height) override;

    // The local cache folder of the library (260 bytes); false when it cannot be had.
    virtual bool GetLocalClipartLocation(char* out) const;
    // Makes the file the dialog answers for the picture at relativePath: 0 with its path in
    // resultOut, else 1 or 2.
    virtual LProcessResult GenerateImage(
        LProcessInterface& job, const char* relativePath, char* resultOut);

    bool DownloadRootIndex(LProcessInterface& job);
    // The URL and the cache path (260 bytes each) of a file of the library; false when either
    // would not fit (nothing may be fetched then).
    bool GetURLAndFilePath(const char* relativePath, char* urlOut, char* localPathOut) const;
    // The cached file, fetched when it is not in the cache: 0, 1 or 2.
    LProcessResult GetFileFromServer(
        LProcessInterface& job, const char* relativePath, char* localPathOut);
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

protected:
    char szBaseURL[kLPathSize] = {};
    const char* szTitle = "ZOR Clipart-bibliotek";
    bool bFrames = false;

private:
    struct ShownItem {
        LCocoaTreeNode* item;
        std::string folder;
    };

    char szCurrentFolder[kLPathSize] = {};
    char* pResult = nullptr;
    const char* szHelpTopic = nullptr;
    std::unique_ptr<LClipartPreview> fPreview;
    std::forward_list<ShownItem> fShownItems;
    LListViewSorter fSorter;
    bool bBusy = false;
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
