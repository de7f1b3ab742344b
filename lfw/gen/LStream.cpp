#include "lfw/gen/LStream.h"

#include "lfw/gen/LFileLock.h"
#include "platform/system/FileRead.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <new>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// read() that retries after interrupting signals.
ssize_t ReadRetry(int fd, void* dst, size_t n)
{
    for (;;) {
        ssize_t got = ::read(fd, dst, n);
        if (got >= 0 || errno != EINTR)
            return got;
    }
}

} // namespace

// ---- LReadFileBuffered -------------------------------------------------------------------------

LReadFileBuffered::~LReadFileBuffered()
{
    Close();
}

bool LReadFileBuffered::Open(const char* path, unsigned int lockTimeoutMs)
{
    Close();
    if (!path || !*path)
        return false;
    int fd = platform::system::OpenForReading(path);
    if (fd < 0)
        return false;
    if (lockTimeoutMs)
        flocktimed(fd, LOCK_SH | LOCK_NB, lockTimeoutMs);
    Attach(fd);
    m_owned = true;
    return true;
}

void LReadFileBuffered::Attach(int fd)
{
    Close();
    m_fd = fd;
    m_owned = false;
    m_position = m_fill = 0;
    off_t offset = fd >= 0 ? ::lseek(fd, 0, SEEK_CUR) : -1;
    m_bufferOffset = offset > 0 ? static_cast<uint64_t>(offset) : 0;
}

void LReadFileBuffered::Close()
{
    if (m_fd >= 0 && m_owned)
        ::close(m_fd);
    m_fd = -1;
    m_owned = false;
    m_position = m_fill = 0;
    m_bufferOffset = 0;
}

bool LReadFileBuffered::Refill()
{
    m_bufferOffset += m_fill;
    m_position = m_fill = 0;
    if (m_fd < 0)
        return false;
    ssize_t got = ReadRetry(m_fd, m_buffer, kBufferSize);
    if (got <= 0)
        return false;
    m_fill = static_cast<size_t>(got);
    return true;
}

size_t LReadFileBuffered::ReadSlow(void* dst, size_t n)
{
    unsigned char* out = static_cast<unsigned char*>(dst);
    size_t done = 0;
    while (done < n) {
        size_t available = m_fill - m_position;
        if (available) {
            size_t take = std::min(available, n - done);
            std::memcpy(out + done, m_buffer + m_position, take);
            m_position += take;
            done += take;
            continue;
        }
        if (m_fd < 0)
            break;
        if (n - done >= kDirectReadMinimum) {
            // Large read with an empty buffer: straight into the caller's memory.
            m_bufferOffset += m_fill;
            m_position = m_fill = 0;
            ssize_t got = ReadRetry(m_fd, out + done, n - done);
            if (got <= 0)
                break;
            m_bufferOffset += static_cast<uint64_t>(got);
            done += static_cast<size_t>(got);
            continue;
        }
        if (!Refill())
            break;
    }
    return done;
}

bool LReadFileBuffered::ReadLine(char* buf, size_t size)
{
    size_t stored = 0;
    bool any = false;
    for (;;) {
        if (m_position == m_fill && !Refill())
            break;
        unsigned char c = m_buffer[m_position++];
        any = true;
        if (c == '\n')
            break;
        if (c == '\r') {
            // A CR LF pair is one line break, also when the LF comes with the next refill.
            if (m_position < m_fill || Refill()) {
                if (m_buffer[m_position] == '\n')
                    ++m_position;
            }
            break;
        }
        if (stored + 1 < size)
            buf[stored++] = static_cast<char>(c);
    }
    if (size)
        buf[stored] = '\0';
    return any;
}

bool LReadFileBuffered::SeekSlow(int64_t offset)
{
    uint64_t here = Tell64();
    if (offset < 0 && static_cast<uint64_t>(-(offset + 1)) + 1 > here)
        return false;
    uint64_t target = here + static_cast<uint64_t>(offset);
    if (target >= m_bufferOffset && target <= m_bufferOffset + m_fill) {
        // Still inside the buffer: no system call.
        m_position = static_cast<size_t>(target - m_bufferOffset);
        return true;
    }
    if (m_fd < 0)
        return false;
    off_t at = ::lseek(m_fd, static_cast<off_t>(target), SEEK_SET);
    if (at >= 0) {
        m_bufferOffset = static_cast<uint64_t>(at);
        m_position = m_fill = 0;
        return static_cast<uint64_t>(at) == target;
    }
    if (offset < 0)
        return false;
    // Not seekable (a pipe): read forward and drop the bytes.
    m_bufferOffset += m_position;
    m_fill -= m_position;
    std::memmove(m_buffer, m_buffer + m_position, m_fill);
    m_position = 0;
    uint64_t left = target - Tell64();
    while (left) {
        if (m_position == m_fill && !Refill())
            return false;
        size_t take = static_cast<size_t>(std::min<uint64_t>(left, m_fill - m_position));
        m_position += take;
        left -= take;
    }
    return true;
}

uint64_t LReadFileBuffered::GetSize64() const
{
    struct stat st { };
    if (m_fd < 0 || ::fstat(m_fd, &st) != 0 || !S_ISREG(st.st_mode))
        return kLStreamSizeUnknown;
    return static_cast<uint64_t>(st.st_size);
}

bool LInputStreamFile::SkipSlow(uint64_t n)
{
    if (n > static_cast<uint64_t>(INT64_MAX))
        return false;
    uint64_t size = GetSize64();
    if (size != kLStreamSizeUnknown && n > size - std::min(size, Tell64()))
        return false;
    return SeekOffset64(static_cast<int64_t>(n));
}

// ---- LInputStreamBuffer ------------------------------------------------------------------------

void LInputStreamBuffer::Set(const void* data, size_t size)
{
    m_start = m_current = static_cast<const unsigned char*>(data);
    m_size = m_remaining = data ? size : 0;
}

size_t LInputStreamBuffer::Read(void* dst, size_t n)
{
    size_t take = std::min(n, m_remaining);
    if (take)
        std::memcpy(dst, m_current, take);
    m_current += take;
    m_remaining -= take;
    return take;
}

bool LInputStreamBuffer::Skip(uint64_t n)
{
    size_t take = static_cast<size_t>(std::min<uint64_t>(n, m_remaining));
    m_current += take;
    m_remaining -= take;
    return take == n;
}

// ---- LOutputStreamFile -------------------------------------------------------------------------

LOutputStreamFile::~LOutputStreamFile()
{
    Close();
    delete[] m_buffer;
}

bool LOutputStreamFile::Open(const char* path)
{
    Close();
    if (!path || !*path)
        return false;
    int fd = ::open(path, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0)
        return false;
    Attach(fd);
    return true;
}

void LOutputStreamFile::Attach(int fd)
{
    Close();
    m_fd = fd;
    m_failed = false;
    m_errno = 0;
    m_buffered = 0;
    off_t offset = fd >= 0 ? ::lseek(fd, 0, SEEK_CUR) : -1;
    m_flushedEnd = offset > 0 ? static_cast<uint64_t>(offset) : 0;
}

int LOutputStreamFile::Detach()
{
    Flush();
    int fd = m_fd;
    m_fd = -1;
    m_buffered = 0;
    m_flushedEnd = 0;
    return fd;
}

bool LOutputStreamFile::Close()
{
    if (m_fd < 0)
        return !m_failed;
    bool ok = Flush();
    if (::close(m_fd) != 0 && errno != EINTR) {
        if (!m_errno)
            m_errno = errno;
        ok = false;
    }
    m_fd = -1;
    m_buffered = 0;
    m_flushedEnd = 0;
    ok = ok && !m_failed;
    m_failed = false;
    return ok;
}

void LOutputStreamFile::Failed(int error)
{
    m_failed = true;
    if (!m_errno)
        m_errno = error;
}

bool LOutputStreamFile::WriteAll(const void* data, size_t n)
{
    const unsigned char* p = static_cast<const unsigned char*>(data);
    while (n) {
        ssize_t put = ::write(m_fd, p, n);
        if (put < 0 && errno == EINTR)
            continue;
        if (put <= 0) {
            Failed(put < 0 ? errno : EIO);
            return false;
        }
        p += put;
        n -= static_cast<size_t>(put);
        m_flushedEnd += static_cast<uint64_t>(put);
    }
    return true;
}

bool LOutputStreamFile::Flush()
{
    if (m_fd < 0 || m_failed)
        return false;
    if (!m_buffered)
        return true;
    size_t n = m_buffered;
    m_buffered = 0;
    return WriteAll(m_buffer, n);
}

bool LOutputStreamFile::WriteSlow(const void* data, size_t n)
{
    if (m_fd < 0 || m_failed)
        return false;
    if (n == 0)
        return true;
    if (!m_buffer) {
        m_buffer = new (std::nothrow) unsigned char[kBufferSize];
        if (!m_buffer)
            return WriteAll(data, n); // no memory for a buffer: write through
    }
    if (n <= kBufferSize - m_buffered) {
        std::memcpy(m_buffer + m_buffered, data, n);
        m_buffered += n;
        return true;
    }
    if (!Flush())
        return false;
    if (n >= kBufferSize)
        return WriteAll(data, n);
    std::memcpy(m_buffer, data, n);
    m_buffered = n;
    return true;
}

unsigned char* LOutputStreamFile::ReserveSlow(size_t n)
{
    if (m_fd < 0 || m_failed || n > kBufferSize)
        return nullptr;
    if (!m_buffer) {
        m_buffer = new (std::nothrow) unsigned char[kBufferSize];
        if (!m_buffer)
            return nullptr;
    }
    if (n > kBufferSize - m_buffered && !Flush())
        return nullptr;
    return m_buffer + m_buffered;
}

LProcessResult LOutputStreamFile::Write(LProcessInterface& process, const void* data, size_t n)
{
    if (m_fd < 0 || m_failed)
        return LProcessResultError;
    const unsigned char* p = static_cast<const unsigned char*>(data);
    size_t remaining = n;
    while (remaining) {
        size_t step = std::min<size_t>(remaining, 8192);
        if (!Write(p, step))
            return LProcessResultError;
        p += step;
        remaining -= step;
        process.SetProgress(1.0 - static_cast<double>(remaining) / static_cast<double>(n));
        if (process.IsToStop())
            return LProcessResultStopped;
    }
    return LProcessResultSuccess;
}

bool LOutputStreamFile::PatchSlow(uint64_t offset, const void* data, size_t n)
{
    if (m_fd < 0 || m_failed)
        return false;
    if (offset > Tell() || n > Tell() - offset)
        return false;
    const unsigned char* p = static_cast<const unsigned char*>(data);
    // The part that already went to the file.
    while (n && offset < m_flushedEnd) {
        size_t part = static_cast<size_t>(std::min<uint64_t>(n, m_flushedEnd - offset));
        ssize_t put = ::pwrite(m_fd, p, part, static_cast<off_t>(offset));
        if (put < 0 && errno == EINTR)
            continue;
        if (put <= 0) {
            Failed(put < 0 ? errno : EIO);
            return false;
        }
        p += put;
        n -= static_cast<size_t>(put);
        offset += static_cast<uint64_t>(put);
    }
    // The part still in the buffer.
    if (n)
        std::memcpy(m_buffer + (offset - m_flushedEnd), p, n);
    return true;
}

// ---- LOutputStreamByteArray -------------------------------------------------------------------

LOutputStreamByteArray::LOutputStreamByteArray(LSizedArray<unsigned char>& array)
    : m_array(&array)
    , m_capacity(array.GetCapacity())
{
    m_array->SetSize(0);
}

bool LOutputStreamByteArray::Grow(size_t needed)
{
    size_t larger = m_capacity + m_capacity / 2;
    size_t capacity = std::max(larger, needed);
    LSizedArray<unsigned char> grown;
    if (!grown.SetArrayCapacityLarge(capacity)) {
        m_failed = true;
        return false;
    }
    size_t used = m_array->GetSize();
    if (used)
        std::memcpy(grown.GetData(), m_array->GetData(), used);
    grown.SetSize(used);
    *m_array = std::move(grown);
    m_capacity = capacity;
    return true;
}

bool LOutputStreamByteArray::WriteSlow(const void* data, size_t n)
{
    if (m_failed)
        return false;
    if (n == 0)
        return true;
    if (n > SIZE_MAX - m_position) {
        m_failed = true;
        return false;
    }
    size_t end = m_position + n;
    if (end > m_capacity && !Grow(end))
        return false;
    std::memcpy(m_array->GetData() + m_position, data, n);
    m_position = end;
    if (m_position > m_array->GetSize())
        m_array->SetSize(m_position);
    return true;
}

unsigned char* LOutputStreamByteArray::ReserveSlow(size_t n)
{
    if (m_failed || n > SIZE_MAX - m_position) {
        m_failed = true;
        return nullptr;
    }
    size_t end = m_position + n;
    if (end > m_capacity && !Grow(end))
        return nullptr;
    if (!m_array->GetData()) {
        m_failed = true; // nothing to write into (n == 0 on an empty array)
        return nullptr;
    }
    return m_array->GetData() + m_position;
}

// ---- LOutputStreamPieces -----------------------------------------------------------------------

bool LOutputStreamPieces::NewBlock(size_t n)
{
    const size_t size = std::max(n, kBlockSize);
    try {
        if (!m_blocks.empty())
            m_blocks.back().used = size_t(m_at - m_blocks.back().data.get());
        std::unique_ptr<unsigned char[]> data(new (std::nothrow) unsigned char[size]);
        if (!data) {
            m_failed = true;
            return false;
        }
        m_at = data.get();
        m_end = m_at + size;
        m_blocks.push_back(Block { std::move(data), m_ownSize, 0 });
    } catch (const std::bad_alloc&) {
        m_failed = true;
        return false;
    }
    return true;
}

size_t LOutputStreamPieces::Used(size_t block) const
{
    return block + 1 == m_blocks.size() ? size_t(m_at - m_blocks[block].data.get())
                                        : m_blocks[block].used;
}

bool LOutputStreamPieces::WriteSlow(const void* data, size_t n)
{
    if (m_failed)
        return false;
    if (n > UINT64_MAX - Tell()) {
        m_failed = true;
        return false;
    }
    const unsigned char* p = static_cast<const unsigned char*>(data);
    while (n) {
        if (m_at == m_end && !NewBlock(n))
            return false;
        const size_t part = std::min(n, size_t(m_end - m_at));
        std::memcpy(m_at, p, part);
        m_at += part;
        m_ownSize += part;
        p += part;
        n -= part;
    }
    return true;
}

unsigned char* LOutputStreamPieces::ReserveSlow(size_t n)
{
    if (m_failed || n > UINT64_MAX - Tell()) {
        m_failed = true;
        return nullptr;
    }
    if (n <= size_t(m_end - m_at) && m_at)
        return m_at;
    if (!NewBlock(n))
        return nullptr;
    return m_at;
}

bool LOutputStreamPieces::WriteShared(std::shared_ptr<const void> owner, const void* data, size_t n)
{
    if (!IsGood())
        return false;
    if (n == 0)
        return true;
    if (!data || n > UINT64_MAX - Tell()) {
        m_failed = true;
        return false;
    }
    try {
        m_shared.push_back(Shared {
            m_ownSize, Tell(), std::move(owner), static_cast<const unsigned char*>(data), n });
    } catch (const std::bad_alloc&) {
        m_failed = true;
        return false;
    }
    m_sharedSize += n;
    return true;
}

bool LOutputStreamPieces::Patch(uint64_t offset, const void* data, size_t n)
{
    if (!IsGood() || offset > Tell() || n > Tell() - offset)
        return false;
    // The shared pieces before the offset, and whether the bytes reach into one.
    auto after = std::upper_bound(m_shared.begin(), m_shared.end(), offset,
        [](uint64_t o, const Shared& piece) { return o < piece.offset; });
    uint64_t sharedBefore = 0;
    if (after != m_shared.begin()) {
        const Shared& last = *(after - 1);
        if (offset < last.offset + last.size)
            return false;
        sharedBefore = last.offset + last.size - last.ownBefore;
    }
    if (after != m_shared.end() && offset + n > after->offset)
        return false;
    // The own bytes there, in the block that holds them and those after it.
    uint64_t own = offset - sharedBefore;
    auto block = std::upper_bound(m_blocks.begin(), m_blocks.end(), own,
        [](uint64_t o, const Block& b) { return o < b.start; });
    if (block == m_blocks.begin())
        return n == 0;
    size_t index = size_t(block - m_blocks.begin()) - 1;
    const unsigned char* p = static_cast<const unsigned char*>(data);
    while (n && index < m_blocks.size()) {
        const size_t at = size_t(own - m_blocks[index].start);
        const size_t used = Used(index);
        if (at < used) {
            const size_t part = std::min(n, used - at);
            std::memcpy(m_blocks[index].data.get() + at, p, part);
            p += part;
            n -= part;
            own += part;
        }
        ++index;
    }
    return n == 0;
}

void LOutputStreamPieces::AddOwn(std::vector<Piece>& pieces, uint64_t from, uint64_t to) const
{
    auto block = std::upper_bound(m_blocks.begin(), m_blocks.end(), from,
        [](uint64_t o, const Block& b) { return o < b.start; });
    if (block == m_blocks.begin())
        return;
    for (size_t index = size_t(block - m_blocks.begin()) - 1; from < to && index < m_blocks.size();
         ++index) {
        const size_t at = size_t(from - m_blocks[index].start);
        const size_t used = Used(index);
        if (at >= used)
            continue;
        const size_t part = size_t(std::min<uint64_t>(to - from, used - at));
        pieces.push_back(Piece { m_blocks[index].data.get() + at, part });
        from += part;
    }
}

std::vector<LOutputStreamPieces::Piece> LOutputStreamPieces::GetPieces() const
{
    std::vector<Piece> pieces;
    pieces.reserve(2 * m_shared.size() + m_blocks.size());
    uint64_t done = 0;
    for (const Shared& shared : m_shared) {
        if (shared.ownBefore > done)
            AddOwn(pieces, done, shared.ownBefore);
        pieces.push_back(Piece { shared.data, shared.size });
        done = shared.ownBefore;
    }
    if (m_ownSize > done)
        AddOwn(pieces, done, m_ownSize);
    return pieces;
}

// ---- LReadFileRef, LWriteFileRef ---------------------------------------------------------------

bool LReadFileRef::ReadLine(char* buf, size_t size)
{
    size_t stored = 0;
    bool any = false;
    unsigned char c;
    while (m_fd >= 0 && ReadRetry(m_fd, &c, 1) == 1) {
        any = true;
        if (c == '\n' || c == '\r') {
            unsigned char other;
            if (ReadRetry(m_fd, &other, 1) == 1) {
                bool pair = (c == '\r' && other == '\n') || (c == '\n' && other == '\r');
                if (!pair)
                    ::lseek(m_fd, -1, SEEK_CUR);
            }
            break;
        }
        if (stored + 1 < size)
            buf[stored++] = static_cast<char>(c);
    }
    if (size)
        buf[stored] = '\0';
    return any;
}

bool LWriteFileRef::WriteString(const char* text)
{
    size_t n = text ? std::strlen(text) : 0;
    if (m_fd < 0)
        return n == 0;
    const char* p = text;
    while (n) {
        ssize_t put = ::write(m_fd, p, n);
        if (put < 0 && errno == EINTR)
            continue;
        if (put <= 0)
            return false;
        p += put;
        n -= static_cast<size_t>(put);
    }
    return true;
}
