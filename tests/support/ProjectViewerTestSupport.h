// The project viewer on a real window for the tests: a window of points filled by the viewer
// showing a CD project, the clipboard handed to xclip, the autosave's setting, folder and ticks.
#pragma once

#include "app/VTLabelLayoutData.h"
#include "app/VTProject.h"
#include "app/VTProjectViewer.h"
#include "lfw/gen/LFile.h"
#include "lfw/gen/LUserSettings.h"
#include "lfw/mac/LMacWindow.h"
#include "platform/ui/LUiClipboard.h"
#include "platform/ui/UI.h"
#include "support/PrivateHomes.h"
#include "support/Screenshot.h"
#include "support/UiTestSupport.h"

#include <algorithm>
#include <cairo.h>
#include <cstdlib>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace pvtest {

constexpr unsigned long kStyle = kLUiWindowTitled | kLUiWindowClosable;

inline int Scale()
{
    const char* s = getenv("GDK_SCALE");
    return s && atoi(s) > 1 ? atoi(s) : 1;
}

inline std::unique_ptr<VTProject> NewCDProject()
{
    return std::make_unique<VTProject>(new VTLabelLayoutDataGenericCDStandard);
}

// A window of 1000 x 600 points with the viewer filling it.
struct Fixture {
    LMacWindow window;
    VTProjectViewer viewer;
    std::unique_ptr<VTProject> project = NewCDProject();

    // Points; the real-pointer tests keep within a 1280 x 1024 screen at scale 2.
    explicit Fixture(bool withProject = true, int width = 1000, int height = 600)
    {
        const int s = Scale();
        window.CreateCocoaWindow(width * s, height * s, kStyle, false, nullptr);
        viewer.Init(window, width * s, height * s);
        viewer.MovePixels(0, 0, width * s, height * s);
        if (withProject)
            viewer.SetProject(project.get());
    }
    ~Fixture()
    {
        viewer.SetProject(nullptr);
        viewer.Destroy();
        window.DestroyCommon();
    }
    bool Show()
    {
        window.InitCommon(kLCocoaDialogCenterNone, true);
        return uitest::ShowAndWait(window.GetNativeWindow());
    }
    VTProjectTemplate* Design() { return viewer.GetCurrentTemplate(); }
    size_t Count() { return Design() ? Design()->GetCount() : 0; }
    // The canvas's pixels as the window draws them now (the whole window is kept as the
    // artefact; the panels' blinking caret stays out of the comparison).
    std::string Pixels(const char* name)
    {
        // No window has the keyboard: the selection frame is drawn the same way every time.
        uitest::FocusNowhere();
        uitest::PumpUntil([&] { return !viewer.canvas.HasKeyboardFocus(); }, 1000);
        std::string path = uitest::Screenshot(window.GetNativeWindow(), name);
        cairo_surface_t* shot = cairo_image_surface_create_from_png(path.c_str());
        std::string pixels;
        if (cairo_surface_status(shot) == CAIRO_STATUS_SUCCESS) {
            int x = 0, y = 0, w = 0, h = 0;
            viewer.GetControlPixels(kVTProjectViewerCanvasId, x, y, w, h);
            const int stride = cairo_image_surface_get_stride(shot);
            const unsigned char* data = cairo_image_surface_get_data(shot);
            const int sw = cairo_image_surface_get_width(shot);
            const int sh = cairo_image_surface_get_height(shot);
            for (int row = y; row < y + h && row < sh; ++row)
                pixels.append(reinterpret_cast<const char*>(data + row * stride + x * 4),
                    size_t(std::max(0, std::min(w, sw - x))) * 4);
        }
        cairo_surface_destroy(shot);
        return pixels;
    }
    // The same once the canvas has settled (two pictures in a row equal): the first paint after
    // showing may still be coming on a busy machine.
    std::string SettledPixels(const char* name)
    {
        std::string pixels = Pixels(name);
        for (int i = 0; i < 20; i++) {
            uitest::Pump(50);
            std::string again = Pixels(name);
            if (again == pixels)
                break;
            pixels = std::move(again);
        }
        return pixels;
    }
};

inline bool HaveXclip()
{
    return system("command -v xclip >/dev/null 2>&1") == 0;
}

// Hands the clipboard to xclip with the file under the target, and waits until it serves it.
inline void XclipPut(const std::string& file, const std::string& target)
{
    std::string cmd = "xclip -selection clipboard -t '" + target + "' -i '" + file + "'";
    ASSERT_EQ(system(cmd.c_str()), 0);
    uitest::PumpUntil([] { return !LUiClipboard::Owned(); }, 3000);
    uitest::PumpUntil(
        [&] {
            std::vector<uint8_t> got;
            return LUiClipboard::Read(target, got, 500) && !got.empty();
        },
        3000);
    // Until the offered types are the new owner's.
    uitest::PumpUntil(
        [&] {
            std::vector<std::string> targets;
            return LUiClipboard::Targets(targets)
                && std::find(targets.begin(), targets.end(), target) != targets.end();
        },
        3000);
    uitest::Pump(50);
}

inline std::string Setting(const char* section, const char* key)
{
    LStringLongTemplate<char> value;
    _LUserSettingGetString(section, key, "", value);
    return value.c_str();
}

inline std::string DataFolder()
{
    std::string f = LFile::GetUserDataFolderAppPath();
    if (!f.empty() && f.back() != '/')
        f += '/';
    return f;
}

inline bool Exists(const std::string& path)
{
    struct stat st { };
    return stat(path.c_str(), &st) == 0;
}

// n ticks of the autosave timer; an autosave one of them started is waited for (it is written
// off the window's thread).
inline void Tick(VTProjectViewer& v, int n)
{
    for (int i = 0; i < n; ++i) {
        v.EvTimer(kVTProjectViewerAutoSaveTimer);
        uitest::PumpUntil([&] { return !v.IsAutoSaving(); }, 30000);
    }
}

// A test with a display and private homes (settings, data folder), skipped without a display.
class WindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!uitest::Init())
            GTEST_SKIP() << "no display";
        homes = std::make_unique<PrivateHomes>();
    }
    std::unique_ptr<PrivateHomes> homes;
};

} // namespace pvtest
