// Receiving drops on windows.
//
// Data formats are known by small ids from a process-wide registry of type names (the names GTK
// drags carry: MIME types or the application's own names); 'hfs ' stands for a list of files
// (text/uri-list). Two receivers can be hooked to a window's view: an LDragDropHandler takes
// files dropped from other applications and walks them with LDroppedFilesIterator; an
// LDropTarget takes drags that carry a format it accepts (drags inside the application, and file
// drops when its own format is the file list) as an LDropDataFilePathList or LDropDataByteArray.
#pragma once

#include "lfw/gen/LStringList.h"
#include "lfw/graphics/LGeometry.h"
#include "lfw/mac/LMacWindow.h"
#include "lfw/mac/cocoa/LCocoaBridges.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// The file list.
inline constexpr uint32_t kLDragFormatFileList = 0x68667320; // 'hfs '
inline constexpr const char* kLDragFileListType = "text/uri-list";

// The id of a type name, registering it when new (ids count from 1). Names are kept whole.
uint32_t GetDragFormatIdFromString(const char* name);
// The name of an id: "" for 0 and for ids never given; 'hfs ' is the file list.
const char* GetStringFromDragFormatId(unsigned int id);

// The local paths of a text/uri-list, in its order: comments, non-local and invalid URIs and
// paths of 260 bytes or more are skipped.
std::vector<std::string> LDragParseUriList(const uint8_t* data, size_t size);

// A drop of files from another application.
struct LDroppedFileData {
    const LUiDragInfo& info;
    LView* view;
};

class LDroppedFilesIterator {
public:
    LDroppedFilesIterator(const LDroppedFileData& data, bool unused = false);
    // Moves to the next path; false after the last.
    bool Next();

    const char* GetPath() const { return currentPath; }
    size_t GetCount() const { return count; }

    char currentPath[260] = {};

private:
    [[maybe_unused]] const LDroppedFileData& data;
    size_t count = 0;
    size_t position = 0;
    LStringListTemplate<char> paths;
};

// Takes files dropped on a window from other applications.
class LDragDropHandler : public LCocoaDragDropBridge {
public:
    virtual void EvDropFiles(LDroppedFileData& data) = 0;
    // Hooks the handler to the window's content view (which then takes file drops), or unhooks it.
    void DragDropInit(LWindow& window);
    void DragDropDestroy(LWindow& window);

protected:
    ~LDragDropHandler() = default;

private:
    void EvDropFiles(const LUiDragInfo& info, LView* view) final;
};

class LDropData {
public:
    virtual ~LDropData() = default;
};

class LDropDataFilePathList : public LDropData {
public:
    struct Node {
        Node* next;
        char path[260];
    };
    ~LDropDataFilePathList() override;
    // Puts a path at the head (cut to 259 bytes).
    void Push(const char* path);
    size_t GetCount() const;

    Node* first = nullptr;
};

class LDropDataByteArray : public LDropData {
public:
    LDropDataByteArray(const uint8_t* data, size_t n);
    ~LDropDataByteArray() override { delete[] bytes; }
    LDropDataByteArray(const LDropDataByteArray&) = delete;
    LDropDataByteArray& operator=(const LDropDataByteArray&) = delete;

    unsigned char* bytes = nullptr;
    size_t size = 0;
};

class LDropTarget : public LCocoaDropTargetBridge {
public:
    LDropTarget(LWindow* window, int ownFormatId)
        : ownFormatId(ownFormatId)
        , window(window)
    {
    }
    virtual ~LDropTarget();

    // Hooks the target to a view of its window (null: the content view): the view takes drags
    // of the own format, of the file list and of every other registered format.
    void DropTargetInit(LView* view = nullptr);
    void DropTargetDestroy();

    // What the window supplies.
    virtual bool AcceptsDropFormat(int formatId) = 0;
    virtual void EvDragEntered(const LPoint& position) { (void)position; }
    virtual void EvDragOver(const LPoint& position) { (void)position; }
    virtual void EvDragLeave() { }
    // May take the data by setting the pointer to null.
    virtual void EvDrop(int formatId, LDropData*& data, const LPoint& position) = 0;

    // The bridge of the view.
    bool IsFileListDrop() const override;
    bool EvDraggingEntered(const LUiDragInfo& info, LView* view) override;
    void EvDraggingUpdated(const LUiDragInfo& info, LView* view) override;
    void EvDraggingExited() override;
    void EvDraggingEnded() override;
    bool EvPerformDragOperation(const LUiDragInfo& info, LView* view) override;

    // The first offered type the target accepts becomes the current format.
    bool GetItemFromPasteboard(const LUiDragInfo& info);
    // The drag's position in the content view in backing pixels, the toolbar's height added on
    // a real window.
    LPoint GetWindowMousePosition(const LUiDragInfo& info, LView* view) const;

    int GetCurrentFormat() const { return currentFormat; }

    int ownFormatId;
    LWindow* window;

protected:
    bool inDrag = false;
    int currentFormat = 0;
    int itemIndex = -1;
    LStringListTemplate<char> promisedPaths;
    LView* hookedView = nullptr;
};
