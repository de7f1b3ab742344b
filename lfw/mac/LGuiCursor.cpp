#include "lfw/mac/LGuiCursor.h"

#include "lfw/gen/LFile.h"
#include "lfw/gen/LFileLock.h"
#include "lfw/mac/LGuiImage.h"
#include "platform/system/FileRead.h"
#include "platform/ui/LUiImage.h"
#include "platform/ui/LView.h"

#include <cstdint>
#include <cstdio>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

bool LGuiCursor::bHidden = false;

namespace {

void ShowIfHidden()
{
    // GDK has no process-wide hide: setting a cursor shows it again.
    LGuiCursor::bHidden = false;
}

uint16_t Le16(const unsigned char* p)
{
    return uint16_t(p[0] | p[1] << 8);
}

} // namespace

void LGuiCursor::Restore()
{
    ShowIfHidden();
    LUiCursorSetNamed("default");
}

void LGuiCursor::SetSystem(System kind)
{
    static const char* const kNames[] = { "default", "pointer", "ns-resize", "ew-resize" };
    ShowIfHidden();
    LUiCursorSetNamed(kNames[kind >= Arrow && kind <= ResizeLeftRight ? kind : Arrow]);
}

bool LGuiCursor::GetCursorFileHotspot(const char* path, int& x, int& y)
{
    if (!path || !LFile::TestFileExists(path))
        return false;
    const int fd = platform::system::OpenForReading(path);
    if (fd < 0)
        return false;
    flocktimed(fd, LOCK_SH | LOCK_NB, 3000);
    unsigned char header[14];
    const bool read = ::pread(fd, header, sizeof header, 0) == ssize_t(sizeof header);
    ::close(fd);
    if (!read || Le16(header + 2) != 2 || Le16(header + 4) == 0)
        return false;
    x = Le16(header + 10);
    y = Le16(header + 12);
    return true;
}

void LGuiCursor::SetResource(int id, int imageId, int hotX, int hotY)
{
    char name[16];
    LGuiCocoaImage image;
    if (imageId != 0) {
        std::snprintf(name, sizeof name, "%d", imageId);
        image.LoadFromResource(name);
    }

    int x = hotX, y = hotY;
    if (hotX == 0 && hotY == 0) {
        char base[kLPathSize], path[kLPathSize];
        x = y = 0;
        if (LGuiGetResourcesPath(base, sizeof base)) {
            const int n = std::snprintf(path, sizeof path, "%s/%s/%d.%s", base, "cur", id, "cur");
            if (n > 0 && size_t(n) < sizeof path && !GetCursorFileHotspot(path, x, y))
                x = y = 0;
        }
    }

    ShowIfHidden();
    if (!image.HasImage()) {
        LGuiJPG bitmap;
        std::snprintf(name, sizeof name, "%d", id);
        if (bitmap.LoadFromResource(name))
            image = bitmap.GetCocoaImage();
    }
    if (image.HasImage())
        LUiCursorSetImage(image.GetImage(), x, y);
}

void LGuiCursor::SetAsDefault(LView* view)
{
    if (view)
        LUiCursorKeepForWidget(view->ExistingWidget());
}
