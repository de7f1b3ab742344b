#include "platform/prefs/Prefs.h"

#include "platform/system/FileRead.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <glib.h>
#include <map>
#include <mutex>
#include <sys/file.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

namespace platform::prefs {

namespace {

constexpr const char* kGroup = "Preferences";
constexpr unsigned int kLockTimeoutMs = 2000;

// Key files refuse some characters in key names ('=', '[', ']', line breaks, spaces at either
// end, a leading '#'): they are written as %XX, and '%' itself as %25.
std::string EncodeKey(const std::string& key)
{
    static const char* hex = "0123456789ABCDEF";
    std::string out;
    out.reserve(key.size());
    for (unsigned char c : key) {
        if (c == '%' || c == '=' || c == '[' || c == ']' || c == '#' || c == ' ' || c < 0x20
            || c == 0x7F) {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 15];
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

int HexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

std::string DecodeKey(const char* key)
{
    std::string out;
    for (const char* p = key; *p; ++p) {
        int hi, lo;
        if (*p == '%' && (hi = HexValue(p[1])) >= 0 && (lo = HexValue(p[2])) >= 0) {
            out += static_cast<char>(hi * 16 + lo);
            p += 2;
        } else {
            out += *p;
        }
    }
    return out;
}

// The string value of a key, byte for byte. g_key_file_get_string refuses a value that is not
// valid UTF-8 (a path in another encoding, say), though g_key_file_set_string stores it: such a
// value is read raw and its escapes (\s \n \t \r and a doubled backslash) undone here. False
// when the key is missing.
bool ReadString(GKeyFile* file, const char* name, std::string& value)
{
    if (gchar* text = g_key_file_get_string(file, kGroup, name, nullptr)) {
        value = text;
        g_free(text);
        return true;
    }
    gchar* raw = g_key_file_get_value(file, kGroup, name, nullptr);
    if (!raw)
        return false;
    value.clear();
    for (const char* p = raw; *p; ++p) {
        if (*p != '\\' || !p[1]) {
            value += *p;
            continue;
        }
        switch (*++p) {
        case 's':
            value += ' ';
            break;
        case 'n':
            value += '\n';
            break;
        case 't':
            value += '\t';
            break;
        case 'r':
            value += '\r';
            break;
        case '\\':
            value += '\\';
            break;
        default:
            value += '\\';
            value += *p;
        }
    }
    g_free(raw);
    return true;
}

struct Signature {
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = -1;
    struct timespec modified { };
    bool exists = false;

    bool operator==(const Signature& o) const
    {
        return exists == o.exists && device == o.device && inode == o.inode && size == o.size
            && modified.tv_sec == o.modified.tv_sec && modified.tv_nsec == o.modified.tv_nsec;
    }
};

Signature SignatureOf(const std::string& path)
{
    Signature s;
    struct stat st;
    if (::stat(path.c_str(), &st) == 0) {
        s.exists = true;
        s.device = st.st_dev;
        s.inode = st.st_ino;
        s.size = st.st_size;
        s.modified = st.st_mtim;
    }
    return s;
}

// Whether text parses as a key file.
bool Parses(const std::string& text)
{
    GKeyFile* probe = g_key_file_new();
    const bool ok = g_key_file_load_from_data(
        probe, text.data(), text.size(), G_KEY_FILE_KEEP_COMMENTS, nullptr);
    g_key_file_free(probe);
    return ok;
}

// The lines of a file that does not parse as a whole, each judged alone under the group line
// before it: a group line, a comment, a blank line or a key line that parses is kept, any other
// line (cut short, a NUL in it) is dropped. Lines before the first group line belong to the
// store's group.
GKeyFile* GoodLines(const std::string& bytes)
{
    GKeyFile* file = g_key_file_new();
    std::string group = std::string("[") + kGroup + "]";
    std::string kept = group + "\n";
    size_t start = 0;
    while (start < bytes.size()) {
        size_t end = bytes.find('\n', start);
        if (end == std::string::npos)
            end = bytes.size();
        const std::string line = bytes.substr(start, end - start);
        start = end + 1;
        if (line.find('\0') != std::string::npos)
            continue;
        if (!line.empty() && line[0] == '[' && Parses(line + "\n")) {
            group = line;
            kept += line + "\n";
        } else if (Parses(group + "\n" + line + "\n")) {
            kept += line + "\n";
        }
    }
    g_key_file_load_from_data(file, kept.data(), kept.size(), G_KEY_FILE_KEEP_COMMENTS, nullptr);
    return file;
}

// What a store's file held when it was last read.
struct Snapshot {
    Signature signature;
    GKeyFile* file = nullptr;
    bool broken = false; // the file exists but does not parse
    bool loaded = false;
};

std::mutex gMutex;
std::map<std::string, Snapshot>& Snapshots()
{
    static auto* snapshots = new std::map<std::string, Snapshot>; // lives until exit
    return *snapshots;
}

// Reads the file into the snapshot when it changed since the last read (or always with force).
// Called with gMutex held.
Snapshot& Load(const std::string& path, bool force)
{
    Snapshot& snap = Snapshots()[path];
    Signature now = SignatureOf(path);
    if (snap.loaded && !force && snap.signature == now)
        return snap;
    if (snap.file)
        g_key_file_free(snap.file);
    snap.file = g_key_file_new();
    snap.broken = false;
    snap.loaded = true;
    snap.signature = now;
    if (now.exists) {
        // A file that cannot be read (no regular file, no permission) reads as empty.
        std::string bytes;
        const bool read = platform::system::ReadWholeFile(path.c_str(), bytes);
        const bool missing = !read && errno == ENOENT;
        if (!read
            || !g_key_file_load_from_data(
                snap.file, bytes.data(), bytes.size(), G_KEY_FILE_KEEP_COMMENTS, nullptr)) {
            g_key_file_free(snap.file);
            snap.file = missing ? g_key_file_new() : GoodLines(bytes);
            snap.broken = !missing;
            if (missing)
                snap.signature = Signature();
        }
    }
    return snap;
}

std::string ConfigHome()
{
    const char* config = getenv("XDG_CONFIG_HOME");
    if (config && config[0] == '/')
        return config;
    const char* home = getenv("HOME");
    return std::string(home && home[0] ? home : g_get_home_dir()) + "/.config";
}

// Holds an exclusive lock on the store's lock file, trying for at most kLockTimeoutMs; the
// write goes on without it after that rather than hang on a stuck process.
class WriteLock {
public:
    explicit WriteLock(const std::string& path)
    {
        fFd = ::open((path + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        if (fFd < 0)
            return;
        unsigned int waited = 0, sleepMs = 1;
        while (flock(fFd, LOCK_EX | LOCK_NB) != 0) {
            if (errno != EWOULDBLOCK && errno != EINTR)
                return;
            if (waited >= kLockTimeoutMs)
                return;
            usleep(sleepMs * 1000);
            waited += sleepMs;
            sleepMs = sleepMs < 64 ? sleepMs * 2 : 64;
        }
    }
    ~WriteLock()
    {
        if (fFd >= 0)
            ::close(fFd); // releases the lock
    }

private:
    int fFd = -1;
};

bool WriteAll(int fd, const char* data, size_t length)
{
    while (length > 0) {
        ssize_t n = ::write(fd, data, length);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        data += n;
        length -= static_cast<size_t>(n);
    }
    return true;
}

// Keeps the file at path, which does not parse, beside it as "<file>.broken" (then ".broken.2",
// ".broken.3" ...), never over an earlier copy; nothing when one of those names holds this very
// file already. A hard link where the file system has them, else a copy. False when no copy
// could be made.
bool KeepBrokenCopy(const std::string& path)
{
    struct stat file { };
    if (::stat(path.c_str(), &file) != 0)
        return false;
    constexpr int kMostCopies = 1000;
    for (int n = 1; n <= kMostCopies; ++n) {
        const std::string copy = path + ".broken" + (n == 1 ? "" : "." + std::to_string(n));
        struct stat existing { };
        if (::lstat(copy.c_str(), &existing) == 0) {
            if (existing.st_dev == file.st_dev && existing.st_ino == file.st_ino)
                return true;
            continue;
        }
        // The file itself where the store is a link to it.
        if (::linkat(AT_FDCWD, path.c_str(), AT_FDCWD, copy.c_str(), AT_SYMLINK_FOLLOW) == 0)
            return true;
        if (errno == EEXIST)
            continue;
        // No hard links here: the bytes are copied into a file made for them alone.
        // A FIFO, socket or device in the store's place holds no bytes to keep.
        std::string data;
        if (!platform::system::ReadWholeFile(path.c_str(), data))
            return platform::system::IsNotAFile(errno);
        const int fd = ::open(copy.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd < 0) {
            if (errno == EEXIST)
                continue;
            return false;
        }
        bool ok = WriteAll(fd, data.data(), data.size()) && fsync(fd) == 0;
        ok = ::close(fd) == 0 && ok;
        if (!ok)
            ::unlink(copy.c_str());
        return ok;
    }
    return false;
}

std::atomic<FileWriter> gFileWriter { nullptr };

// Writes the key file through a temporary file renamed over the target. gMutex held.
bool Save(const std::string& path, Snapshot& snap)
{
    gsize length = 0;
    gchar* data = g_key_file_to_data(snap.file, &length, nullptr);
    if (!data)
        return false;
    if (FileWriter writer = gFileWriter.load()) {
        const bool written = writer(path, data, length);
        g_free(data);
        if (written) {
            snap.signature = SignatureOf(path);
            snap.broken = false;
        }
        return written;
    }
    std::string temp = path + ".XXXXXX";
    int fd = g_mkstemp_full(temp.data(), O_RDWR | O_CLOEXEC, 0600);
    bool ok = fd >= 0;
    if (ok) {
        ok = WriteAll(fd, data, length) && fsync(fd) == 0;
        ok = (::close(fd) == 0) && ok;
        if (ok)
            ok = ::rename(temp.c_str(), path.c_str()) == 0;
        if (!ok)
            ::unlink(temp.c_str());
    }
    g_free(data);
    if (ok) {
        snap.signature = SignatureOf(path);
        snap.broken = false;
    }
    return ok;
}

// Runs change on a fresh read of the store under the write lock and saves it when it asks to.
template <class Change> bool Modify(const std::string& domain, Change change)
{
    const std::string path = StorePath(domain);
    gchar* folder = g_path_get_dirname(path.c_str());
    g_mkdir_with_parents(folder, 0700);
    g_free(folder);

    WriteLock lock(path);
    std::lock_guard<std::mutex> guard(gMutex);
    Snapshot& snap = Load(path, true);
    // The file as it was is kept before its good lines are written over it.
    if (snap.broken && !KeepBrokenCopy(path))
        return false;
    bool save = false;
    bool result = change(snap.file, save);
    if (!save)
        return result;
    if (!Save(path, snap)) {
        snap.loaded = false; // what is in memory was not written: read the file again next time
        return false;
    }
    return result;
}

} // namespace

std::string StorePath(const std::string& domain)
{
    return ConfigHome() + "/" + domain + "/preferences.ini";
}

bool GetValue(const std::string& domain, const std::string& key, std::string& value)
{
    const std::string path = StorePath(domain);
    const std::string name = EncodeKey(key);
    std::lock_guard<std::mutex> guard(gMutex);
    Snapshot& snap = Load(path, false);
    return ReadString(snap.file, name.c_str(), value);
}

bool HasKey(const std::string& domain, const std::string& key)
{
    const std::string path = StorePath(domain);
    const std::string name = EncodeKey(key);
    std::lock_guard<std::mutex> guard(gMutex);
    Snapshot& snap = Load(path, false);
    return g_key_file_has_key(snap.file, kGroup, name.c_str(), nullptr);
}

bool SetValue(const std::string& domain, const std::string& key, const std::string& value)
{
    if (key.empty())
        return false;
    const std::string name = EncodeKey(key);
    return Modify(domain, [&](GKeyFile* file, bool& save) {
        std::string old;
        if (!ReadString(file, name.c_str(), old) || old != value) {
            g_key_file_set_string(file, kGroup, name.c_str(), value.c_str());
            save = true;
        }
        return true;
    });
}

bool SetValues(
    const std::string& domain, const std::vector<std::pair<std::string, std::string>>& values)
{
    for (const auto& entry : values)
        if (entry.first.empty())
            return false;
    return Modify(domain, [&](GKeyFile* file, bool& save) {
        for (const auto& [key, value] : values) {
            const std::string name = EncodeKey(key);
            std::string old;
            if (!ReadString(file, name.c_str(), old) || old != value) {
                g_key_file_set_string(file, kGroup, name.c_str(), value.c_str());
                save = true;
            }
        }
        return true;
    });
}

bool RemoveKeys(const std::string& domain, const std::vector<std::string>& keys)
{
    return Modify(domain, [&](GKeyFile* file, bool& save) {
        for (const std::string& key : keys) {
            const std::string name = EncodeKey(key);
            if (g_key_file_remove_key(file, kGroup, name.c_str(), nullptr))
                save = true;
        }
        return true;
    });
}

std::vector<std::string> GetKeys(const std::string& domain)
{
    const std::string path = StorePath(domain);
    std::vector<std::string> keys;
    std::lock_guard<std::mutex> guard(gMutex);
    Snapshot& snap = Load(path, false);
    gsize count = 0;
    gchar** names = g_key_file_get_keys(snap.file, kGroup, &count, nullptr);
    if (!names)
        return keys;
    keys.reserve(count);
    for (gsize i = 0; i < count; ++i) {
        // A name not as the store writes it (an escape of a character it never escapes, or in
        // small letters: a file edited by hand) cannot be asked for by any key: not listed.
        std::string key = DecodeKey(names[i]);
        if (EncodeKey(key) == names[i])
            keys.push_back(std::move(key));
    }
    g_strfreev(names);
    return keys;
}

void SetFileWriter(FileWriter writer)
{
    gFileWriter.store(writer);
}

} // namespace platform::prefs
