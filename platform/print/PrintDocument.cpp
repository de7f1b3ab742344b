#include "platform/print/Print.h"

#include "platform/system/TextLock.h"
#include "platform/system/WorkerQueue.h"

#include <cairo-pdf.h>

#include <cairo-ps.h>
#include <cairo-svg.h>
#include <optional>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <unistd.h>

namespace platform::print {

namespace {

// What the surface writes is gathered into pieces of this size before it goes to the file.
constexpr size_t kBufferSize = size_t(1) << 16;

// An unnamed file in the folder, open for reading and writing; -1 when none can be made.
int UnnamedFile(const std::string& folder, int& error)
{
    const std::string dir = folder.empty() ? "/tmp" : folder;
    int fd = open(dir.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    if (fd >= 0)
        return fd;
    // A file system without unnamed files: a named one, unlinked at once.
    std::string pattern = dir + "/.vorantel-utskrift-XXXXXX";
    fd = mkostemp(pattern.data(), O_CLOEXEC);
    if (fd < 0) {
        error = errno;
        return -1;
    }
    unlink(pattern.c_str());
    return fd;
}

std::string WriteReason(int error)
{
    if (error == ENOSPC || error == EDQUOT)
        return "det finns inte plats på disken för utskriftsfilen.";
    return std::string("utskriftsfilen kunde inte skrivas (") + std::strerror(error) + ").";
}

} // namespace

std::string FailureText(const std::string& reason)
{
    return "Det gick inte att skriva ut: " + reason;
}

Document::Document(const Sheets& sheets, const std::string& folder)
    : mSheets(sheets)
{
    mSheets.copies = std::max(1, mSheets.copies);
    if (!(mSheets.scale > 0))
        mSheets.scale = 1;
    int error = 0;
    mFd = UnnamedFile(folder, error);
    if (mFd < 0) {
        mFailed = true;
        mErrorText = FailureText("ingen tillfällig fil kunde göras i " + folder + " ("
            + std::strerror(error ? error : EIO) + ").");
        return;
    }
    mBuffer.reserve(kBufferSize);
    // The surface is as large as the upright sheet; each page sets its own size.
    const double w = mSheets.paperWidth > 0 ? mSheets.paperWidth : 595.28;
    const double h = mSheets.paperHeight > 0 ? mSheets.paperHeight : 841.89;
    switch (mSheets.format) {
    case Sheets::Format::PostScript:
        mSurface = cairo_ps_surface_create_for_stream(&Document::Write, this, w, h);
        break;
    case Sheets::Format::SVG: {
        mSurface = cairo_svg_surface_create_for_stream(&Document::Write, this, w, h);
        const cairo_svg_version_t* versions = nullptr;
        int count = 0;
        cairo_svg_get_versions(&versions, &count);
        // The newest version: the one that has pages.
        if (count > 0 && cairo_surface_status(mSurface) == CAIRO_STATUS_SUCCESS)
            cairo_svg_surface_restrict_to_version(mSurface, versions[count - 1]);
        break;
    }
    default:
        mSurface = cairo_pdf_surface_create_for_stream(&Document::Write, this, w, h);
        break;
    }
    if (cairo_surface_status(mSurface) != CAIRO_STATUS_SUCCESS) {
        Fail(cairo_surface_status(mSurface));
        return;
    }
    cairo_surface_set_fallback_resolution(
        mSurface, mSheets.fallbackResolution, mSheets.fallbackResolution);
}

Document::~Document()
{
    Stop();
    {
        // The pages' texts hold fonts, which go with them (see TextLock.h).
        platform::system::TextLock lock;
        if (mOpen)
            cairo_destroy(mOpen);
        if (mNowhere)
            cairo_surface_destroy(mNowhere);
        if (mSurface)
            cairo_surface_destroy(mSurface);
    }
    if (mFd >= 0) {
        // The last close of a file of gigabytes gives back its blocks, which takes the system a
        // while: it is done aside (or here, when no thread can do it).
        // Never destroyed: a print's thread that ends while the program ends still finds it.
        static auto* closing = new platform::system::WorkerQueue("Utskriftsfiler");
        const int fd = mFd;
        if (!closing->Add([fd] { close(fd); }))
            close(fd);
    }
}

bool Document::IsValid() const
{
    return !mFailed && mSurface && cairo_surface_status(mSurface) == CAIRO_STATUS_SUCCESS;
}

void Document::Stop()
{
    mStop.store(true, std::memory_order_release);
}

void Document::Fail(cairo_status_t status)
{
    if (mFailed)
        return;
    mFailed = true;
    if (Stopped())
        return;
    if (status == CAIRO_STATUS_WRITE_ERROR && mWriteErrno)
        mErrorText = FailureText(WriteReason(mWriteErrno));
    else if (status == CAIRO_STATUS_NO_MEMORY)
        mErrorText = FailureText("det finns inte tillräckligt med minne för utskriften.");
    else if (status == CAIRO_STATUS_TEMP_FILE_ERROR)
        mErrorText = FailureText("ingen tillfällig fil kunde göras för utskriften.");
    else
        mErrorText = FailureText(
            std::string("sidan kunde inte ritas (") + cairo_status_to_string(status) + ").");
}

cairo_status_t Document::Write(void* closure, const unsigned char* data, unsigned int length)
{
    auto* self = static_cast<Document*>(closure);
    // A document that is not wanted is written no further: the surface stops at its next step.
    if (self->Stopped() || self->mWriteErrno)
        return CAIRO_STATUS_WRITE_ERROR;
    if (self->mBuffer.size() + length > kBufferSize && !self->FlushBuffer())
        return CAIRO_STATUS_WRITE_ERROR;
    if (length >= kBufferSize) {
        self->mBuffer.assign(data, data + length);
        return self->FlushBuffer() ? CAIRO_STATUS_SUCCESS : CAIRO_STATUS_WRITE_ERROR;
    }
    self->mBuffer.insert(self->mBuffer.end(), data, data + length);
    return CAIRO_STATUS_SUCCESS;
}

bool Document::FlushBuffer()
{
    const unsigned char* p = mBuffer.data();
    size_t left = mBuffer.size();
    while (left > 0) {
        const ssize_t n = write(mFd, p, left);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            mWriteErrno = n < 0 ? errno : EIO;
            mBuffer.clear();
            return false;
        }
        p += n;
        left -= size_t(n);
    }
    mBuffer.clear();
    return true;
}

bool Document::Chosen(int page)
{
    if (!mSheets.ranges.empty()) {
        bool inRange = false;
        for (const auto& [first, last] : mSheets.ranges)
            inRange = inRange || (page - 1 >= first && page - 1 <= last);
        if (!inRange)
            return false;
    }
    // Odd and even count the pages the range chose: the first of them is odd.
    const int position = ++mChosenInPass;
    switch (mSheets.pageSet) {
    case 1:
        return position % 2 == 0;
    case 2:
        return position % 2 == 1;
    default:
        return true;
    }
}

void Document::SetPageSize()
{
    const bool landscape = mSheets.orientation == 1 || mSheets.orientation == 3;
    switch (mSheets.format) {
    case Sheets::Format::PostScript:
        // The upright sheet; the page's orientation is told to the printer.
        cairo_ps_surface_set_size(mSurface, mSheets.paperWidth, mSheets.paperHeight);
        cairo_ps_surface_dsc_begin_page_setup(mSurface);
        cairo_ps_surface_dsc_comment(
            mSurface, landscape ? "%%PageOrientation: Landscape" : "%%PageOrientation: Portrait");
        break;
    case Sheets::Format::PDF:
        if (mSheets.turn)
            cairo_pdf_surface_set_size(mSurface, mSheets.paperWidth, mSheets.paperHeight);
        else
            cairo_pdf_surface_set_size(mSurface, mSheets.pageWidth, mSheets.pageHeight);
        break;
    default:
        break;
    }
}

void Document::PlacePage(cairo_t* cr) const
{
    const double w = mSheets.paperWidth, h = mSheets.paperHeight;
    cairo_matrix_t m;
    if (mSheets.turn) {
        switch (mSheets.orientation) {
        case 1: // the page's left edge along the sheet's bottom edge
            cairo_matrix_init(&m, 0, -1, 1, 0, 0, h);
            cairo_transform(cr, &m);
            break;
        case 2: // upside down
            cairo_matrix_init(&m, -1, 0, 0, -1, w, h);
            cairo_transform(cr, &m);
            break;
        case 3: // the page's left edge along the sheet's top edge
            cairo_matrix_init(&m, 0, 1, -1, 0, w, 0);
            cairo_transform(cr, &m);
            break;
        default:
            break;
        }
    } else if (mSheets.orientation == 2 || mSheets.orientation == 3) {
        // The sheet has the page's orientation: the reverse ones are turned half round on it.
        cairo_matrix_init(&m, -1, 0, 0, -1, mSheets.pageWidth, mSheets.pageHeight);
        cairo_transform(cr, &m);
    }
    if (mSheets.scale != 1)
        cairo_scale(cr, mSheets.scale, mSheets.scale);
}

cairo_t* Document::BeginPage(int& error)
{
    error = 0;
    if (mOpen) {
        error = kErrorPageOpen;
        return nullptr;
    }
    if (Stopped()) {
        error = kErrorStopped;
        return nullptr;
    }
    if (!IsValid()) {
        error = kErrorCairo;
        return nullptr;
    }
    if (mPagesInPass > 0)
        mSeveralPages = true;
    ShowPending(true);
    if (!IsValid()) {
        error = Stopped() ? kErrorStopped : kErrorCairo;
        return nullptr;
    }
    ++mPagesInPass;
    cairo_t* cr = nullptr;
    if (Chosen(mPagesInPass)) {
        SetPageSize();
        cr = cairo_create(mSurface);
        PlacePage(cr);
    } else {
        // Painted as any other page, and then dropped: a recording that nothing replays.
        cairo_rectangle_t extents { 0, 0, std::max(mSheets.pageWidth, 1.0),
            std::max(mSheets.pageHeight, 1.0) };
        mNowhere = cairo_recording_surface_create(CAIRO_CONTENT_COLOR_ALPHA, &extents);
        cr = cairo_create(mNowhere);
    }
    if (cairo_status(cr) != CAIRO_STATUS_SUCCESS) {
        Fail(cairo_status(cr));
        platform::system::TextLock lock;
        cairo_destroy(cr);
        if (mNowhere) {
            cairo_surface_destroy(mNowhere);
            mNowhere = nullptr;
        }
        error = kErrorCairo;
        return nullptr;
    }
    mOpen = cr;
    mTextMark = platform::system::TextLock::TakenOnThisThread();
    return cr;
}

int Document::EndPage()
{
    // The page is painted on the thread that ends it: whether it drew any text.
    if (platform::system::TextLock::TakenOnThisThread() != mTextMark)
        mHasText = true;
    if (!mOpen)
        return kErrorNoPage;
    const cairo_status_t status = cairo_status(mOpen);
    {
        // What the page's texts drew goes with the page, and their fonts with it.
        platform::system::TextLock lock;
        cairo_destroy(mOpen);
        mOpen = nullptr;
        if (mNowhere) {
            cairo_surface_destroy(mNowhere);
            mNowhere = nullptr;
            return 0;
        }
    }
    // A page painted in part is not printed: the document fails.
    if (status != CAIRO_STATUS_SUCCESS) {
        Fail(status);
        return kErrorCairo;
    }
    mPending = true;
    return 0;
}

void Document::ShowPending(bool morePages)
{
    if (!mPending || !IsValid())
        return;
    mPending = false;
    // A document of one page has all its copies here, collated or not.
    const int times = mSheets.collate && (mSeveralPages || morePages) ? 1 : mSheets.copies;
    {
        // The page's texts are drawn into the document here, with their fonts (see TextLock.h);
        // pages of pictures alone are written out without the lock.
        std::optional<platform::system::TextLock> lock;
        if (mHasText)
            lock.emplace();
        for (int i = 1; i < times; ++i)
            cairo_surface_copy_page(mSurface);
        cairo_surface_show_page(mSurface);
    }
    if (cairo_surface_status(mSurface) != CAIRO_STATUS_SUCCESS) {
        Fail(cairo_surface_status(mSurface));
        return;
    }
    mSheetCount += times;
}

bool Document::NextPass()
{
    if (mOpen)
        EndPage();
    if (Stopped() || !IsValid() || !mSheets.collate || !mSeveralPages
        || mPass + 1 >= mSheets.copies)
        return false;
    ShowPending(true);
    ++mPass;
    mPagesInPass = 0;
    mChosenInPass = 0;
    return IsValid();
}

int Document::Finish()
{
    if (mOpen)
        EndPage();
    int result = 0;
    if (!mSurface || mFailed) {
        result = Stopped() ? kErrorStopped : kErrorCairo;
    } else {
        ShowPending(false);
        {
            // The fonts of the texts go into the document here (see TextLock.h).
            std::optional<platform::system::TextLock> lock;
            if (mHasText)
                lock.emplace();
            cairo_surface_finish(mSurface);
        }
        cairo_status_t status = cairo_surface_status(mSurface);
        if (status == CAIRO_STATUS_SUCCESS && !mBuffer.empty() && !FlushBuffer())
            status = CAIRO_STATUS_WRITE_ERROR;
        if (Stopped()) {
            result = kErrorStopped;
        } else if (status != CAIRO_STATUS_SUCCESS) {
            Fail(status);
            result = kErrorCairo;
        } else if (lseek(mFd, 0, SEEK_SET) != 0) {
            mWriteErrno = errno;
            Fail(CAIRO_STATUS_WRITE_ERROR);
            result = kErrorCairo;
        }
    }
    // The surface goes here, on the thread that finished it: letting go of its pages' pictures
    // copies what the surface still holds of them (a picture at a time), which is no work for
    // the thread that destroys the document.
    if (mSurface) {
        platform::system::TextLock lock;
        cairo_surface_destroy(mSurface);
        mSurface = nullptr;
    }
    return result;
}

} // namespace platform::print
