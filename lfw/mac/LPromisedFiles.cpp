#include "lfw/mac/LPromisedFiles.h"

#include "lfw/gen/LFile.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <string>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

void CopyPath(char (&out)[260], const char* text)
{
    std::snprintf(out, sizeof out, "%s", text ? text : "");
}

const char* NameOf(const char* path)
{
    const char* slash = std::strrchr(path, '/');
    return slash ? slash + 1 : path;
}

// The size of a complete regular file; false while a writer holds it (or it is no regular file,
// or it cannot be opened). Opened without blocking: a FIFO would hang us.
bool CompleteFileSize(const std::string& path, uint64_t& size)
{
    struct stat st;
    if (lstat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        return false;
    int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0)
        return false;
    bool ok = flock(fd, LOCK_SH | LOCK_NB) == 0;
    if (ok) {
        size = fstat(fd, &st) == 0 && S_ISREG(st.st_mode) ? uint64_t(st.st_size) : 0;
        flock(fd, LOCK_UN);
    }
    close(fd);
    return ok;
}

// Moves one file into the destination; its path becomes the target's when it moved.
void MoveFile(LProcessInterface& job, LMacPasteBoardGetPromisedFilePathsData::Node& file,
    const char* destination)
{
    const char* name = NameOf(file.path);
    job.SetStatus(name, 1);
    char target[260];
    std::string wanted = std::string(destination) + "/" + name;
    if (wanted.size() >= sizeof target) {
        job.SetErrorF("Det gick inte att flytta \"%s\" till \"%s\"", file.path, wanted.c_str());
        return;
    }
    CopyPath(target, wanted.c_str());
    struct stat st;
    if (lstat(target, &st) == 0) {
        std::string stem = name, extension;
        size_t dot = stem.rfind('.');
        if (dot != std::string::npos && dot > 0) {
            extension = stem.substr(dot);
            stem.resize(dot);
        }
        if (!LFile::MakeUniqueOrderedFilePath(
                target, destination, stem.c_str(), extension.c_str())) {
            job.SetErrorF("Det gick inte att flytta \"%s\" till \"%s\"", file.path, wanted.c_str());
            return;
        }
        job.SetErrorF(
            "\"%s\" finns redan i målmappen. Det kommer att döpas om till \"%s\"", name, target);
    }
    bool moved = rename(file.path, target) == 0;
    if (!moved && errno == EXDEV) {
        // Across volumes: the source goes only once the copy is complete.
        moved = LFile::CopyFile(file.path, target);
        if (moved)
            unlink(file.path);
    }
    if (!moved) {
        job.SetErrorF("Det gick inte att flytta \"%s\" till \"%s\"", file.path, target);
        return;
    }
    CopyPath(file.path, target);
}

} // namespace

LMacPasteBoardGetPromisedFilePathsData::LMacPasteBoardGetPromisedFilePathsData(
    LStringListTemplate<char>& list, const char* folderPath, unsigned long expected,
    const char* destinationPath)
    : paths(list)
    , expectedCount(expected)
{
    CopyPath(folder, folderPath);
    CopyPath(destination, destinationPath);
}

LMacPasteBoardGetPromisedFilePathsData::~LMacPasteBoardGetPromisedFilePathsData()
{
    ClearFiles();
}

void LMacPasteBoardGetPromisedFilePathsData::ClearFiles()
{
    while (files) {
        Node* next = files->next;
        delete files;
        files = next;
    }
}

size_t LMacPasteBoardGetPromisedFilePathsData::FileCount() const
{
    size_t n = 0;
    for (Node* f = files; f; f = f->next)
        n++;
    return n;
}

LProcessResult Process(LProcessInterface& job, LMacPasteBoardGetPromisedFilePathsData& data)
{
    data.ClearFiles();
    job.SetStatus("Väntar på att filer ska kopieras...", 0);
    while (!job.IsToStop()) {
        DIR* dir = opendir(data.folder);
        if (!dir) {
            data.ClearFiles();
            job.SetErrorF("Mappen \"%s\" finns inte längre.", data.folder);
            return LProcessResultError;
        }
        bool changed = false;
        while (dirent* e = readdir(dir)) {
            if (std::strcmp(e->d_name, ".") == 0 || std::strcmp(e->d_name, "..") == 0)
                continue;
            std::string path = std::string(data.folder) + "/" + e->d_name;
            uint64_t size = 0;
            if (path.size() >= 260 || !CompleteFileSize(path, size))
                continue;
            LMacPasteBoardGetPromisedFilePathsData::Node* known = nullptr;
            for (auto* f = data.files; f; f = f->next)
                if (path == f->path)
                    known = f;
            if (!known) {
                auto* node
                    = new LMacPasteBoardGetPromisedFilePathsData::Node { data.files, {}, size };
                CopyPath(node->path, path.c_str());
                data.files = node;
                job.SetStatus(e->d_name, 1);
                changed = true;
            } else if (size > known->size) {
                known->size = size;
                changed = true;
            }
        }
        closedir(dir);
        const size_t count = data.FileCount();
        if (!changed && count >= data.expectedCount && count > 0) {
            if (data.destination[0]) {
                job.SetStatus("Flytta filer...", 0);
                for (auto* f = data.files; f; f = f->next)
                    MoveFile(job, *f, data.destination);
                // Only an empty folder goes: files that did not move stay where they are.
                rmdir(data.folder);
            }
            for (auto* f = data.files; f; f = f->next)
                data.paths.Add(f->path);
            return LProcessResultSuccess;
        }
        if (count > 1 && data.expectedCount > 0)
            job.SetProgress(double(count - 1) / double(data.expectedCount));
        if (job.ProcessWait(data.pollMs) == LProcessResultStopped)
            break;
    }
    data.ClearFiles();
    LFile::DeleteFolderAndFiles(data.folder);
    return LProcessResultStopped;
}
