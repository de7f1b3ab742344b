// Paths, file tests, folder operations and the user's folders.
//
// Paths are NUL-terminated UTF-8 in buffers of 260 bytes (kLPathSize: at most 259 characters).
// Both "/" and "\" count as separators in every path function. A result that does not fit its
// 260-byte buffer is refused (the buffer is left "" and the function reports failure), never
// cut: a cut path can name another file.
//
// The recursive operations (delete, copy, permission changes) never follow a symbolic link
// inside the tree they walk: a link is removed, copied or left alone as a link.
#pragma once

#include <climits>
#include <cstddef>
#include <cstdint>
#include <dirent.h>
#include <string>

inline constexpr size_t kLPathSize = 260;
// A whole path held in memory (job records, a document's own path): the platform's length, so
// that no path the system can open is ever cut.
inline constexpr size_t kLLongPathSize = PATH_MAX;

class LView;
template <class T> class LStringListTemplate;

// The folder panel's options: whether the user may make new folders in it.
struct LBrowseFolderFlags {
    bool allowCreateFolders = true;
};

class LFile {
public:
    // ---- Path strings (out is a 260-byte buffer) ----

    // folder + "/" (unless folder is empty or already ends in a separator) + name + extension.
    // out may be the same buffer as folder. False (out "") when the path does not fit.
    static bool _MakeFilePath(
        char* out, const char* folder, const char* name, const char* extension);
    // Everything before the last separator; "/" when the only separator is the first character,
    // "" without one. Returns the length.
    static size_t _GetFolderFromPath(char* out, const char* path);
    // The first component: up to the first separator at index 2 or later, without it.
    static size_t _GetBaseFolderFromPath(char* out, const char* path);
    // Everything after the last separator.
    static size_t _GetFileFromPath(char* out, const char* path);
    // The file part without its extension (a dot that begins the name is not an extension).
    static size_t _GetFileNameFromPath(char* out, const char* path);
    // From the last "." after the last separator, dot included; "" when there is none.
    static size_t _GetFileExtensionFromPath(char* out, const char* path);
    // The path with the part from its last "." after the last separator replaced by extension
    // (a name that begins with its only dot is replaced whole); extension is appended when there
    // is no such dot or it is the first character of the whole path. False when it does not fit.
    static bool _ApplyNewFileExtension(char* out, const char* path, const char* extension);
    // A shortened path for display in n bytes: the path when shorter than n, else its head,
    // "..." and its tail (n - 1 bytes in all, never splitting a character; "..." cut to n - 1
    // below n = 5).
    static void CompactFilePath(char* out, const char* path, size_t n);
    // folder/name+extension when no such file exists, else the first free of name_0, name_1, ...
    static bool MakeUniqueOrderedFilePath(
        char* out, const char* folder, const char* name, const char* extension);
    // Wildcard match: "?" one character, "*" any run (also empty); case-sensitive.
    template <class T> static bool IsMatch(const T* pattern, const T* name);
    // True when path or one of its parent folders is the same file-system object as folder.
    static bool IsSubFolder(const char* folder, const char* path);

    // ---- Tests and folder operations ----

    static bool TestFileExists(const char* path);
    static bool TestFolderExists(const char* path);
    // True only when another open file holds an exclusive lock on the file.
    static bool TestFileShareWriteBlocked(const char* path);
    // Creates missing parent folders, then the folder; true when the last mkdir made it.
    static bool CreateFolderTree(const char* path);
    // Copies a file with its permissions, times and extended attributes; a symbolic link is
    // copied as a link. The copy is made beside the destination and renamed over it, so an
    // existing destination is either replaced whole or left as it was.
    static bool CopyFile(const char* source, const char* destination);
    // Copies the entries of a folder into destination (created when missing), recursively.
    static bool CopyFolderFiles(const char* source, const char* destination);
    // Deletes a folder and everything in it; true when the folder itself was removed.
    static bool DeleteFolderTree(const char* path);
    // As DeleteFolderTree, clearing the immutable and append-only marks of files first.
    static bool DeleteFolderTreeAlways(const char* path);
    // Deletes the files directly in a folder (not its sub-folders), then the folder.
    static bool DeleteFolderAndFiles(const char* path);
    // Mode 0777 on a folder and everything in it.
    static bool SetFolderSecurityAllAccess(const char* path);

    // ---- Open, save and folder panels (lfw/mac) ----
    //
    // Each runs a panel application-modally above the parent view's window (may be null) and
    // fills the caller's 260-byte buffers: true when the user confirmed and the results were
    // stored; otherwise false and the buffers as they were (the folder panel may have written the
    // Desktop path; the save panel writes the filter index in any case). The folder buffer gives
    // the starting folder and receives the chosen item's folder. The filter is a string of
    // description and pattern pairs ("PNG (*.png)\0*.png;*.PNG\0\0"); a chosen path of more than
    // 259 bytes is refused with a message. A name saved without an extension takes the first
    // extension of the type chosen in the panel (so the proposed name accepted as it stands has
    // one); only without a list of types is the user asked about a missing extension.

    static bool BrowseReadFilePath(LView* parent, char* path, const char* title, char* folder,
        const char* filter, const char* defaultExtension, const char* prompt = nullptr,
        int* filterIndex = nullptr, const char* unused = nullptr);
    static bool BrowseMultipleRead(LView* parent, LStringListTemplate<char>& paths,
        const char* title, char* folder, const char* filter, const char* defaultExtension,
        const char* prompt, int* filterIndex, bool allowFolders);
    static bool BrowseMultipleReadFiles(LView* parent, LStringListTemplate<char>& paths,
        const char* title, char* folder, const char* filter, const char* defaultExtension,
        const char* prompt = nullptr, int* filterIndex = nullptr, const char* unused = nullptr);
    static bool BrowseFolder(LView* parent, char* folder, const char* title,
        const LBrowseFolderFlags& flags, const char* prompt = nullptr);
    static bool BrowseSaveFilePathOverwrite(LView* parent, char* path, const char* title,
        char* folder, const char* filter, const char* defaultExtension, int& filterIndex);
    static bool BrowseSaveFilePathOverwrite(LView* parent, char* path, const char* title,
        char* folder, const char* filter, const char* defaultExtension);
    // The same panels for whole paths: any path the system can open (less than kLLongPathSize
    // bytes) comes back whole; the folder gives the start and receives the chosen item's folder.
    static bool BrowseReadFilePath(LView* parent, std::string& path, const char* title,
        std::string& folder, const char* filter, const char* defaultExtension,
        const char* prompt = nullptr, int* filterIndex = nullptr);
    static bool BrowseMultipleReadFiles(LView* parent, LStringListTemplate<char>& paths,
        const char* title, std::string& folder, const char* filter, const char* defaultExtension,
        const char* prompt = nullptr);
    static bool BrowseSaveFilePathOverwrite(LView* parent, std::string& path, const char* title,
        std::string& folder, const char* filter, const char* defaultExtension);
    static bool BrowseFolder(LView* parent, std::string& folder, const char* title,
        const LBrowseFolderFlags& flags, const char* prompt = nullptr);

    // ---- The user's folders (out is a 260-byte buffer; false and "" when unavailable) ----

    static bool GetUserDocumentsFolder(char* out);
    static bool GetUserPicturesFolder(char* out);
    static bool GetUserDataFolder(char* out);
    // The program's temporary folder (its cache folder), created when missing.
    static bool GetTempFolder(char* out);
    // The program's own data folder, created when missing (name is not used).
    static bool GetUserDataFolderApp(char* out, const char* name = nullptr);
    // The same folder as a whole path however long it is ("" when there is none).
    static std::string GetUserDataFolderAppPath();
    static bool GetUserDataFolderAppSubFolder(const char* sub, char* out);
    static bool GetApplicationsFolder(char* out);
    static bool GetInstalledApplicationExePath(char* out, const char* bundle);
    static bool GetHelpFolder(char* out);

    // ---- Folder iteration ----

    // Iterates the entries of a folder whose names match a wildcard pattern (ASCII case
    // ignored); ".", ".." and names beginning with "__MACOSX" are skipped.
    class FolderIterator {
    public:
        FolderIterator() = default;
        // A path naming a regular file iterates its folder with the file name as the pattern;
        // any other path is iterated with the pattern "*".
        explicit FolderIterator(const char* path);
        FolderIterator(const FolderIterator&) = delete;
        FolderIterator& operator=(const FolderIterator&) = delete;
        virtual ~FolderIterator();

        // Opens the folder and moves to the first accepted entry; false when there is none.
        bool Open(const char* folder, const char* pattern);
        void Close();
        // Moves to the next accepted entry; false (and closed) at the end.
        bool Next();
        // Reads the next entry whatever its name; false (and closed) at the end.
        bool _GetNextFile();

        bool IsOpen() const { return m_dir != nullptr; }
        // The current entry's name ("" when closed).
        const char* GetName() const;
        // True when the current entry is a folder (a link to one is not).
        bool IsFolder() const;
        const char* GetFolder() const { return m_folder; }
        // The current entry's full path; false when it does not fit 260 bytes.
        bool GetPath(char* out) const;

    protected:
        virtual bool _Matches(const char* name);

    private:
        DIR* m_dir = nullptr;
        dirent* m_entry = nullptr;
        char m_folder[kLPathSize] = "";
        char m_pattern[kLPathSize] = "";
    };

    // Accepts every name, "." and ".." included.
    class FolderIteratorAllFiles : public FolderIterator {
    public:
        using FolderIterator::FolderIterator;

    protected:
        bool _Matches(const char*) override { return true; }
    };
};

template <class T> bool LFile::IsMatch(const T* pattern, const T* name)
{
    // Greedy match with one back-track point: after a "*" the rest of the pattern is tried at
    // every later position of the name (linear in practice, never exponential).
    const T* star = nullptr;
    const T* resume = nullptr;
    while (*name) {
        if (*pattern == T('*')) {
            star = pattern++;
            resume = name;
        } else if (*pattern == T('?') || (*pattern && *pattern == *name)) {
            ++pattern;
            ++name;
        } else if (star) {
            pattern = star + 1;
            name = ++resume;
        } else {
            return false;
        }
    }
    while (*pattern == T('*'))
        ++pattern;
    return *pattern == 0;
}

// The kinds of user folder GetUserSpecialFolder looks up.
enum class LUserSpecialFolder { Documents, Pictures, Data, Cache };

// The user's configured folder of that kind (the XDG user and base directories); when none is
// configured, the home folder joined with fallback, created when missing. False and "" when it
// cannot be had or does not fit 260 bytes.
bool GetUserSpecialFolder(char* out, LUserSpecialFolder directory, const char* fallback);

// True when the folder holds no entry (also when it does not exist); "__MACOSX" entries do not
// count.
bool LFolderIsEmpty(const char* path);

// The mount point of the disc in optical drive number drive (255: none); "" when none.
void LMapDriveNumberToMountPoint(unsigned char drive, char* out);

// The program's folder, its executable and its resources folder (help pages, bitmaps); "" and
// false when unavailable or longer than size - 1 bytes.
bool LGetBundleFolder(char* out, unsigned long size);
bool LGetBundleExeFile(char* out, unsigned long size);
bool LGetBundleResourcesFolder(char* out, unsigned long size);
bool LGetInstalledApplicationResourcesFolder(char* out, unsigned long size);

// Bytes the process can still allocate: the smaller of the machine's available memory and the
// process's data-size limit less what it already uses; the largest value without a limit.
uint64_t LMemoryGetFreeHeapSize();

// Test hook: the rename used when files are moved into place (null restores rename()). A test
// can make it fail with EXDEV to exercise the cross-volume path.
void _LFileSetRenameHook(int (*hook)(const char* from, const char* to));
int _LFileRename(const char* from, const char* to);
