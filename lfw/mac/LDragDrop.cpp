#include "lfw/mac/LDragDrop.h"

#include "lfw/mac/LPromisedFiles.h"
#include "lfw/mac/cocoa/LCocoaViewBase.h"
#include "platform/ui/LUiDirectSave.h"

#include <glib.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <strings.h>

namespace {

struct FormatEntry {
    std::string name;
    uint32_t id;
};

struct Registry {
    std::vector<FormatEntry> entries; // newest first
    uint32_t counter = 1;
};

Registry& TheRegistry()
{
    static Registry* registry = new Registry; // lives for the process
    return *registry;
}

void CopyPath(char (&out)[260], const char* path)
{
    size_t n = std::min<size_t>(std::strlen(path), 259);
    std::memcpy(out, path, n);
    out[n] = 0;
}

LCocoaViewBase* AsViewBase(LView* view)
{
    return dynamic_cast<LCocoaViewBase*>(view);
}

} // namespace

uint32_t GetDragFormatIdFromString(const char* name)
{
    if (!name)
        name = "";
    Registry& r = TheRegistry();
    for (FormatEntry& e : r.entries) {
        if (e.name == name) {
            if (e.id != 0)
                return e.id;
            e.id = r.counter++;
            return e.id;
        }
    }
    uint32_t id = r.counter++;
    r.entries.insert(r.entries.begin(), FormatEntry { name, id });
    return id;
}

const char* GetStringFromDragFormatId(unsigned int id)
{
    if (id == 0)
        return "";
    Registry& r = TheRegistry();
    if (id == kLDragFormatFileList) {
        for (const FormatEntry& e : r.entries)
            if (e.id == kLDragFormatFileList)
                return e.name.c_str();
        r.entries.insert(
            r.entries.begin(), FormatEntry { kLDragFileListType, kLDragFormatFileList });
        return r.entries.front().name.c_str();
    }
    for (const FormatEntry& e : r.entries)
        if (e.id == id)
            return e.name.c_str();
    return "";
}

std::vector<std::string> LDragParseUriList(const uint8_t* data, size_t size)
{
    std::vector<std::string> paths;
    if (!data || size == 0)
        return paths;
    std::string text(reinterpret_cast<const char*>(data), size);
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find_first_of("\r\n", start);
        if (end == std::string::npos)
            end = text.size();
        std::string line = text.substr(start, end - start);
        start = end + 1;
        // Surrounding blanks and a NUL some sources end with.
        size_t nul = line.find('\0');
        if (nul != std::string::npos)
            line.resize(nul);
        while (!line.empty() && (line.back() == ' ' || line.back() == '\t'))
            line.pop_back();
        if (line.empty() || line[0] == '#')
            continue;
        gchar* path = g_filename_from_uri(line.c_str(), nullptr, nullptr);
        if (!path)
            continue;
        // Longer paths would be cut into the path of another file.
        if (std::strlen(path) < 260)
            paths.push_back(path);
        g_free(path);
    }
    return paths;
}

// ------------------------------------------------------------------------------------------------

LDroppedFilesIterator::LDroppedFilesIterator(const LDroppedFileData& data, bool)
    : data(data)
{
    if (data.info.dataType == kLDragFileListType) {
        for (const std::string& p :
            LDragParseUriList(data.info.data.data(), data.info.data.size())) {
            paths.Add(p.c_str());
            count++;
        }
    } else if (data.info.dataType == kLUiDirectSaveType) {
        // Promised files are all taken at once.
        if (LMacPasteBoardGetPromisedFilePaths(data.info, data.view, true, paths) == 0)
            count = paths.GetCount();
        else
            paths.Clear();
    }
    if (count > 0)
        Next();
}

bool LDroppedFilesIterator::Next()
{
    position++;
    if (position > count) {
        currentPath[0] = 0;
        return false;
    }
    CopyPath(currentPath, paths[position - 1]);
    return true;
}

// ------------------------------------------------------------------------------------------------

void LDragDropHandler::DragDropInit(LWindow& window)
{
    if (LCocoaViewBase* v = AsViewBase(window.GetContentView()))
        v->setDragDropHandler(this);
}

void LDragDropHandler::DragDropDestroy(LWindow& window)
{
    if (LCocoaViewBase* v = AsViewBase(window.GetContentView()))
        if (v->dragDropHandler() == this)
            v->setDragDropHandler(nullptr);
}

void LDragDropHandler::EvDropFiles(const LUiDragInfo& info, LView* view)
{
    LDroppedFileData data { info, view };
    EvDropFiles(data);
}

// ------------------------------------------------------------------------------------------------

LDropDataFilePathList::~LDropDataFilePathList()
{
    while (first) {
        Node* next = first->next;
        delete first;
        first = next;
    }
}

void LDropDataFilePathList::Push(const char* path)
{
    Node* node = new Node;
    node->next = first;
    CopyPath(node->path, path ? path : "");
    first = node;
}

size_t LDropDataFilePathList::GetCount() const
{
    size_t n = 0;
    for (Node* p = first; p; p = p->next)
        n++;
    return n;
}

LDropDataByteArray::LDropDataByteArray(const uint8_t* data, size_t n)
    : bytes(new unsigned char[n ? n : 1])
    , size(n)
{
    if (n)
        std::memcpy(bytes, data, n);
}

// ------------------------------------------------------------------------------------------------

LDropTarget::~LDropTarget()
{
    DropTargetDestroy();
}

void LDropTarget::DropTargetInit(LView* view)
{
    if (!view && window)
        view = window->GetContentView();
    LCocoaViewBase* v = AsViewBase(view);
    if (!v)
        return;
    DropTargetDestroy();
    v->setDropTarget(this);
    hookedView = v;
    hookedView->Retain();
    std::vector<std::string> types;
    if (ownFormatId != 0 && ownFormatId != int(kLDragFormatFileList))
        types.push_back(GetStringFromDragFormatId(unsigned(ownFormatId)));
    types.push_back(kLDragFileListType);
    types.push_back(kLUiDirectSaveType);
    for (const FormatEntry& e : TheRegistry().entries)
        if (std::find(types.begin(), types.end(), e.name) == types.end() && !e.name.empty())
            types.push_back(e.name);
    v->RegisterDraggedTypes(types);
}

void LDropTarget::DropTargetDestroy()
{
    if (!hookedView)
        return;
    if (LCocoaViewBase* v = AsViewBase(hookedView); v && v->dropTarget() == this) {
        v->setDropTarget(nullptr);
        v->RegisterDraggedTypes({});
    }
    hookedView->Release();
    hookedView = nullptr;
}

bool LDropTarget::IsFileListDrop() const
{
    return ownFormatId == int(kLDragFormatFileList) || currentFormat == int(kLDragFormatFileList);
}

bool LDropTarget::GetItemFromPasteboard(const LUiDragInfo& info)
{
    currentFormat = 0;
    itemIndex = -1;
    for (size_t i = 0; i < info.types.size(); i++) {
        const std::string& type = info.types[i];
        int id = type == kLDragFileListType ? int(kLDragFormatFileList)
                                            : int(GetDragFormatIdFromString(type.c_str()));
        if (AcceptsDropFormat(id)) {
            currentFormat = id;
            itemIndex = int(i);
            return true;
        }
    }
    return false;
}

bool LDropTarget::EvDraggingEntered(const LUiDragInfo& info, LView* view)
{
    if (!window || !window->IsAlive())
        return false;
    inDrag = true;
    if (!GetItemFromPasteboard(info)) {
        // Promised files count as a file list; they are received at the drop (the source holds
        // the pointer now: nobody could answer a question).
        promisedPaths.Clear();
        if (LMacPasteBoardGetPromisedFilePaths(info, view, false, promisedPaths) != 0) {
            promisedPaths.Clear();
            return false;
        }
        currentFormat = int(kLDragFormatFileList);
    }
    if (!AcceptsDropFormat(currentFormat))
        return false;
    EvDragEntered(GetWindowMousePosition(info, view));
    return true;
}

void LDropTarget::EvDraggingUpdated(const LUiDragInfo& info, LView* view)
{
    if (currentFormat != 0)
        EvDragOver(GetWindowMousePosition(info, view));
}

void LDropTarget::EvDraggingExited()
{
    if (currentFormat != 0)
        EvDragLeave();
}

void LDropTarget::EvDraggingEnded()
{
    inDrag = false;
    currentFormat = 0;
    itemIndex = -1;
    promisedPaths.Clear();
}

bool LDropTarget::EvPerformDragOperation(const LUiDragInfo& info, LView* view)
{
    if (!window || !window->IsAlive())
        return false;
    if (currentFormat == 0 && !GetItemFromPasteboard(info))
        return false;
    LDropData* data = nullptr;
    const int format = currentFormat;
    if (format == int(kLDragFormatFileList)) {
        if (info.dataType == kLUiDirectSaveType) {
            promisedPaths.Clear();
            if (LMacPasteBoardGetPromisedFilePaths(info, view, true, promisedPaths) != 0
                || promisedPaths.GetCount() == 0) {
                promisedPaths.Clear();
                return false;
            }
        }
        auto* list = new LDropDataFilePathList;
        if (promisedPaths.GetCount() == 0) {
            if (info.dataType == kLDragFileListType)
                for (const std::string& p : LDragParseUriList(info.data.data(), info.data.size()))
                    list->Push(p.c_str());
        } else {
            std::vector<std::string> sorted(promisedPaths.begin(), promisedPaths.end());
            std::sort(sorted.begin(), sorted.end(), [](const std::string& a, const std::string& b) {
                return strcasecmp(a.c_str(), b.c_str()) < 0;
            });
            // Pushed from the last, so the list runs in ascending order.
            for (auto it = sorted.rbegin(); it != sorted.rend(); ++it)
                list->Push(it->c_str());
        }
        data = list;
    } else {
        const char* name = GetStringFromDragFormatId(unsigned(format));
        if (!*name || info.dataType != name)
            return false;
        data = new LDropDataByteArray(info.data.data(), info.data.size());
    }
    LPoint position = GetWindowMousePosition(info, view);
    LDropData* given = data;
    EvDrop(format, given, position);
    delete given;
    return true;
}

LPoint LDropTarget::GetWindowMousePosition(const LUiDragInfo& info, LView* view) const
{
    LPoint p;
    if (!window || !view)
        return p;
    LUiPoint root = view->ConvertToRoot(LUiPoint { info.x, info.y });
    double scale = LMacWindow::GetBackingScaleFactor(view);
    double x = root.x, y = root.y;
    if (scale > 1) {
        x *= scale;
        y *= scale;
    }
    p.x = int32_t(std::trunc(x));
    p.y = int32_t(std::trunc(y));
    if (window->IsRealWindow())
        p.y += LMacWindow::GetToolbarHeightPixels(view);
    return p;
}
