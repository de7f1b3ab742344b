#include "lfw/mac/LFileBrowse.h"

#include "lfw/gen/LCharSet.h"
#include "lfw/gen/LFile.h"
#include "lfw/mac/LAlert.h"
#include "lfw/mac/LMacWindow.h"
#include "platform/ui/LNativeWindow.h"
#include "platform/ui/LUiFilePanel.h"
#include "platform/ui/LUiSystem.h"
#include "platform/ui/LView.h"

#include <glib.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <strings.h>

namespace {

// The default extension without its leading dot.
const char* WithoutDot(const char* extension)
{
    if (!extension)
        return "";
    return extension[0] == '.' ? extension + 1 : extension;
}

// The extension of a path with its dot: from the last "." after the last separator; "" when none.
std::string ExtensionOf(const char* path)
{
    const char* name = path;
    for (const char* p = path; *p; p++)
        if (*p == '/' || *p == '\\')
            name = p + 1;
    const char* dot = std::strrchr(name, '.');
    return dot ? std::string(dot) : std::string();
}

void CopyBuffer(char* out, const std::string& text)
{
    size_t n = std::min<size_t>(text.size(), kLPathSize - 1);
    std::memcpy(out, text.data(), n);
    out[n] = 0;
}

// What the callers' buffers hold: 260 bytes for the char* forms, the platform's whole path for
// the std::string forms.
constexpr size_t kWholePathSize = kLLongPathSize;

std::string FolderOf(const std::string& path)
{
    gchar* dir = g_path_get_dirname(path.c_str());
    std::string folder = dir;
    g_free(dir);
    return folder;
}

std::string DesktopFolder()
{
    const char* desktop = g_get_user_special_dir(G_USER_DIRECTORY_DESKTOP);
    if (desktop && *desktop)
        return desktop;
    gchar* fallback = g_build_filename(g_get_home_dir(), "Desktop", nullptr);
    std::string folder = fallback;
    g_free(fallback);
    return folder;
}

// The parent view's window: shown first when it is hidden or disabled, then the panel's parent.
LNativeWindow* AttachToParent(LView* parent)
{
    LNativeWindow* window = parent ? parent->Window() : nullptr;
    if (!window)
        return nullptr;
    auto* owner = dynamic_cast<LMacWindow*>(LCocoaWindow::GetThisProperty(window->ContentView()));
    if (!owner)
        return window;
    if (!owner->IsWindowEnabled() || !owner->IsWindowVisible())
        owner->ShowWindow(true);
    return window;
}

// Yes, no, cancel: 1, 3, 2 (every other end is cancel).
int Ask(LView* parent, const char* text, const char* title, const char* yes, const char* no,
    const char* cancel)
{
    return LAlertWithButtonText::DisplayYesNoCancel(parent, text, title, yes, no, cancel);
}

void TellPathTooLong(LView* parent, const std::string& path, size_t limit)
{
    std::string text = "Sökvägen är för lång: högst " + std::to_string(limit - 1)
        + " byte får användas.\r\n\r\n\"" + path + "\"";
    LAlert alert(parent, text.c_str(), "Sökvägen är för lång");
    alert.type = 2;
    alert._Run();
}

// The parsed filter and the panel's type list.
struct Filters {
    LStringListTemplate<char> types;
    LVector<int> indices;
    LStringListTemplate<char> groups;
    LSavePanelFileTypesControl control;
    bool shown = false;

    void Parse(const char* filter, const char* defaultExtension, int defaultGroup, bool save)
    {
        float widest = 0;
        LParseFileTypes(types, &indices, groups, defaultExtension, defaultGroup, widest, filter);
        shown = control.Init(groups, types, indices, defaultGroup, widest, save);
    }

    void Fill(LUiFilePanelRequest& request) const
    {
        if (!shown)
            return;
        for (size_t i = 0; i < control.GroupCount(); i++)
            request.filters.push_back(
                LUiFileFilter { control.GroupName(i), control.TypesOfGroup(int(i)) });
        request.selectedFilter = control.iSelectedGroupIndex - 1;
    }
};

bool RunOpen(LView* parent, LUiFilePanelRequest::Kind kind, const char* title, const char* folder,
    const char* filter, const char* defaultExtension, const char* prompt, int* filterIndex,
    bool allowFolders, size_t limit, LUiFilePanelResult& result)
{
    LUiFilePanelRequest request;
    request.kind = kind;
    request.title = title ? title : "";
    if (prompt)
        request.acceptLabel = prompt;
    if (folder && folder[0])
        request.startFolder = folder;
    request.allowFolders = allowFolders;
    Filters filters;
    filters.Parse(filter, defaultExtension, filterIndex ? *filterIndex : 0, false);
    filters.Fill(request);
    request.parent = AttachToParent(parent);
    if (!LUiRunFilePanel(request, result))
        return false;
    for (const std::string& p : result.paths) {
        if (p.size() >= limit) {
            TellPathTooLong(parent, p, limit);
            return false;
        }
    }
    if (filterIndex && filters.shown)
        *filterIndex = result.selectedFilter + 1;
    return true;
}

bool SaveOnce(LView* parent, std::string& path, const char* title, std::string* folder,
    const char* filter, const char* defaultExtension, int& filterIndex, size_t limit)
{
    if (!defaultExtension)
        defaultExtension = "";
    LUiFilePanelRequest request;
    request.kind = LUiFilePanelRequest::kSave;
    request.title = title ? title : "";
    if (folder && !folder->empty())
        request.startFolder = *folder;
    Filters filters;
    filters.Parse(filter, defaultExtension, 0, true);
    filters.Fill(request);
    // The name field takes UTF-8 only: a name of another encoding is proposed as the window's
    // caption shows it, its bad bytes replaced. What the user accepts comes back as the path.
    request.proposedName
        = LMacNSStringFromString(LSaveProposedName(path.c_str(), defaultExtension).c_str()).c_str();
    request.parent = AttachToParent(parent);
    LUiFilePanelResult result;
    bool accepted = LUiRunFilePanel(request, result);
    filterIndex = filters.shown ? result.selectedFilter + 1 : 0;
    if (!accepted || result.paths.empty())
        return false;
    const std::string& chosen = result.paths.front();
    if (chosen.size() >= limit) {
        TellPathTooLong(parent, chosen, limit);
        return false;
    }
    std::string extension;
    switch (LSaveCheckExtension(
        chosen.c_str(), defaultExtension, filters.types.GetCount(), extension)) {
    case LSaveExtensionOK:
        break;
    case LSaveExtensionMissing:
        switch (Ask(parent,
            "Du angav en fil utan tillägg. Vill du upprepa markeringen så att du kan infoga en?",
            "Markeringen har inget filtillägg", "Upprepa markering", "Fortsätt utan tillägg",
            "Avbryt")) {
        case 1:
            return SaveOnce(
                parent, path, title, folder, filter, defaultExtension, filterIndex, limit);
        case 3:
            break;
        default:
            return false;
        }
        break;
    case LSaveExtensionDiffers: {
        char text[260];
        char use[260];
        std::snprintf(text, sizeof text,
            "Du angav en fil med tillägget \"%s\" medan standardvärdet är \"%s\". Vill du "
            "upprepa markeringen?",
            extension.c_str(), defaultExtension);
        std::snprintf(use, sizeof use, "Använd %s", extension.c_str());
        switch (Ask(
            parent, text, "Markeringen har olika filtillägg", "Upprepa markering", use, "Avbryt")) {
        case 1:
            return SaveOnce(
                parent, path, title, folder, filter, defaultExtension, filterIndex, limit);
        case 3:
            break;
        default:
            return false;
        }
        break;
    }
    }
    const std::string chosenFolder = FolderOf(chosen);
    path = chosen;
    if (folder)
        *folder = chosenFolder;
    return true;
}

// The 260-byte buffers' form.
bool SaveOnce(LView* parent, char* path, const char* title, char* folder, const char* filter,
    const char* defaultExtension, int& filterIndex)
{
    std::string whole = path ? path : "";
    std::string where = folder ? folder : "";
    if (!SaveOnce(parent, whole, title, folder ? &where : nullptr, filter, defaultExtension,
            filterIndex, kLPathSize))
        return false;
    CopyBuffer(path, whole);
    if (folder)
        CopyBuffer(folder, where);
    return true;
}

} // namespace

// ------------------------------------------------------------------------------------------------

void LParseFileTypes(LStringListTemplate<char>& fileTypes, LVector<int>* fileTypeIndices,
    LStringListTemplate<char>& groupNames, const char* defaultExtension, int& defaultGroup,
    float& widest, const char* filter)
{
    if (!filter || !*filter)
        return;
    widest = 0;
    const char* wanted = WithoutDot(defaultExtension);
    int group = 0;
    int count = int(fileTypes.GetCount());
    const char* p = filter;
    while (*p) {
        const char* description = p;
        const char* pattern = description + std::strlen(description) + 1;
        if (!*pattern)
            break;
        group++;
        groupNames.Add(description);
        double w = 0, h = 0;
        LUiMeasureText(description, nullptr, LUiSystemFontSize(), false, w, h);
        if (float(w) > widest)
            widest = float(w);
        bool first = true;
        for (const char* item = std::strstr(pattern, "*."); item;) {
            const char* extension = item + 2;
            const char* end = std::strchr(extension, ';');
            std::string e(extension, end ? size_t(end - extension) : std::strlen(extension));
            if (e != "*") {
                if (defaultGroup < 1 && *wanted && strcasecmp(wanted, e.c_str()) == 0)
                    defaultGroup = group;
                if (fileTypeIndices && first)
                    fileTypeIndices->Add(count);
                fileTypes.Add(e.c_str());
                count++;
            } else if (fileTypeIndices && first) {
                fileTypeIndices->Add(-1);
            }
            first = false;
            item = end ? std::strstr(end + 1, "*.") : nullptr;
        }
        // A group without any item: all files, so the start indices stay one per group.
        if (first && fileTypeIndices)
            fileTypeIndices->Add(-1);
        p = pattern + std::strlen(pattern) + 1;
    }
}

bool LSavePanelFileTypesControl::Init(const LStringListTemplate<char>& groups,
    const LStringListTemplate<char>& types, const LVector<int>& indices, int defaultGroup,
    float widest, bool savePanel)
{
    if (groups.GetCount() == 0 || types.GetCount() == 0 || indices.GetCount() == 0)
        return false;
    naFileGroups = &groups;
    naFileTypes = &types;
    naFileTypeIndices = &indices;
    iDefaultGroupIndex = std::max(defaultGroup, 1);
    iSelectedGroupIndex = iDefaultGroupIndex;
    fMaxGroupNameWidth = widest;
    bSavePanel = savePanel;
    handleSelection(std::min<int>(iDefaultGroupIndex, int(groups.GetCount())) - 1);
    return true;
}

std::vector<std::string> LSavePanelFileTypesControl::TypesOfGroup(int index) const
{
    std::vector<std::string> out;
    if (!naFileTypeIndices || index < 0 || size_t(index) >= naFileTypeIndices->GetCount())
        return out;
    const LVector<int>& indices = *naFileTypeIndices;
    int start = indices[size_t(index)];
    if (start < 0)
        return out;
    int end = int(naFileTypes->GetCount());
    if (size_t(index) + 1 < indices.GetCount() && indices[size_t(index) + 1] != -1)
        end = indices[size_t(index) + 1];
    for (int i = start; i < end && size_t(i) < naFileTypes->GetCount(); i++)
        out.push_back((*naFileTypes)[size_t(i)]);
    return out;
}

std::vector<std::string> LSavePanelFileTypesControl::handleSelection(int index)
{
    iSelectedGroupIndex = index + 1;
    return TypesOfGroup(index);
}

LSaveExtensionCheck LSaveCheckExtension(
    const char* path, const char* defaultExtension, size_t typeCount, std::string& extension)
{
    extension = ExtensionOf(path ? path : "");
    if (!defaultExtension || !*defaultExtension)
        return LSaveExtensionOK;
    if (extension.empty())
        return LSaveExtensionMissing;
    if (typeCount >= 2)
        return LSaveExtensionOK;
    const bool dotted = defaultExtension[0] == '.';
    const char* chosen = dotted ? extension.c_str() : extension.c_str() + 1;
    return strcasecmp(chosen, defaultExtension) == 0 ? LSaveExtensionOK : LSaveExtensionDiffers;
}

std::string LSaveProposedName(const char* path, const char* defaultExtension)
{
    std::string name;
    if (path && *path) {
        const char* file = path;
        for (const char* p = path; *p; p++)
            if (*p == '/' || *p == '\\')
                file = p + 1;
        name = file;
        size_t dot = name.rfind('.');
        if (dot != std::string::npos)
            name.resize(dot);
    }
    if (name.empty())
        name = "Namnlös";
    if (!defaultExtension || !*defaultExtension)
        return name;
    return defaultExtension[0] == '.' ? name + defaultExtension : name + "." + defaultExtension;
}

// ------------------------------------------------------------------------------------------------

bool LFile::BrowseReadFilePath(LView* parent, char* path, const char* title, char* folder,
    const char* filter, const char* defaultExtension, const char* prompt, int* filterIndex,
    const char*)
{
    LUiFilePanelResult result;
    if (!RunOpen(parent, LUiFilePanelRequest::kOpen, title, folder, filter, defaultExtension,
            prompt, filterIndex, false, kLPathSize, result))
        return false;
    const std::string& chosen = result.paths.front();
    const bool same = folder == path;
    CopyBuffer(path, chosen);
    if (folder && !same)
        CopyBuffer(folder, FolderOf(chosen));
    return true;
}

bool LFile::BrowseReadFilePath(LView* parent, std::string& path, const char* title,
    std::string& folder, const char* filter, const char* defaultExtension, const char* prompt,
    int* filterIndex)
{
    LUiFilePanelResult result;
    if (!RunOpen(parent, LUiFilePanelRequest::kOpen, title, folder.c_str(), filter,
            defaultExtension, prompt, filterIndex, false, kWholePathSize, result))
        return false;
    path = result.paths.front();
    folder = FolderOf(path);
    return true;
}

bool LFile::BrowseMultipleRead(LView* parent, LStringListTemplate<char>& paths, const char* title,
    char* folder, const char* filter, const char* defaultExtension, const char* prompt,
    int* filterIndex, bool allowFolders)
{
    LUiFilePanelResult result;
    if (!RunOpen(parent, LUiFilePanelRequest::kOpenMultiple, title, folder, filter,
            defaultExtension, prompt, filterIndex, allowFolders, kLPathSize, result))
        return false;
    if (folder)
        CopyBuffer(folder, FolderOf(result.paths.front()));
    paths.Clear();
    for (const std::string& p : result.paths)
        paths.Add(p.c_str());
    return true;
}

bool LFile::BrowseMultipleReadFiles(LView* parent, LStringListTemplate<char>& paths,
    const char* title, std::string& folder, const char* filter, const char* defaultExtension,
    const char* prompt)
{
    LUiFilePanelResult result;
    if (!RunOpen(parent, LUiFilePanelRequest::kOpenMultiple, title, folder.c_str(), filter,
            defaultExtension, prompt, nullptr, false, kWholePathSize, result))
        return false;
    folder = FolderOf(result.paths.front());
    paths.Clear();
    for (const std::string& p : result.paths)
        paths.Add(p.c_str());
    return true;
}

bool LFile::BrowseMultipleReadFiles(LView* parent, LStringListTemplate<char>& paths,
    const char* title, char* folder, const char* filter, const char* defaultExtension,
    const char* prompt, int* filterIndex, const char*)
{
    return BrowseMultipleRead(
        parent, paths, title, folder, filter, defaultExtension, prompt, filterIndex, false);
}

namespace {

// The folder panel: it starts in folder when that is an existing folder, else on the Desktop,
// which folder then holds even when the user cancels; folder receives the chosen one, which is
// refused with a message when it is limit bytes or longer.
bool RunFolder(LView* parent, std::string& folder, const char* title,
    const LBrowseFolderFlags& flags, const char* prompt, size_t limit)
{
    LUiFilePanelRequest request;
    request.kind = LUiFilePanelRequest::kFolder;
    request.title = title ? title : "";
    request.acceptLabel = prompt ? prompt : "Välj";
    request.createFolders = flags.allowCreateFolders;
    if (!folder.empty() && g_file_test(folder.c_str(), G_FILE_TEST_IS_DIR)) {
        request.startFolder = folder;
    } else {
        std::string desktop = DesktopFolder();
        if (desktop.size() < limit)
            folder = desktop;
        request.startFolder = desktop;
    }
    request.parent = AttachToParent(parent);
    LUiFilePanelResult result;
    if (!LUiRunFilePanel(request, result))
        return false;
    if (result.paths.front().size() >= limit) {
        TellPathTooLong(parent, result.paths.front(), limit);
        return false;
    }
    folder = result.paths.front();
    return true;
}

} // namespace

bool LFile::BrowseFolder(LView* parent, char* folder, const char* title,
    const LBrowseFolderFlags& flags, const char* prompt)
{
    std::string where = folder;
    const bool chosen = RunFolder(parent, where, title, flags, prompt, kLPathSize);
    if (where != folder)
        CopyBuffer(folder, where);
    return chosen;
}

bool LFile::BrowseFolder(LView* parent, std::string& folder, const char* title,
    const LBrowseFolderFlags& flags, const char* prompt)
{
    return RunFolder(parent, folder, title, flags, prompt, kWholePathSize);
}

bool LFile::BrowseSaveFilePathOverwrite(LView* parent, char* path, const char* title, char* folder,
    const char* filter, const char* defaultExtension, int& filterIndex)
{
    return SaveOnce(parent, path, title, folder, filter, defaultExtension, filterIndex);
}

bool LFile::BrowseSaveFilePathOverwrite(LView* parent, char* path, const char* title, char* folder,
    const char* filter, const char* defaultExtension)
{
    int index = -1;
    return SaveOnce(parent, path, title, folder, filter, defaultExtension, index);
}

bool LFile::BrowseSaveFilePathOverwrite(LView* parent, std::string& path, const char* title,
    std::string& folder, const char* filter, const char* defaultExtension)
{
    int index = -1;
    return SaveOnce(parent, path, title, &folder, filter, defaultExtension, index, kWholePathSize);
}
