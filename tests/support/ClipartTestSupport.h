// What the clipart tests share: a library served over HTTPS on 127.0.0.1 (a certificate authority
// made for the test process), a message-box answerer, and the dialog fixture with its real clicks.
#pragma once

#include "lfw/gen/LFile.h"
#include "lfw/gen/LUserSettings.h"
#include "lfw/graphics/LImageFile.h"
#include "lfw/mac/LMacWindow.h"
#include "lfw/mac/cocoa/LCocoaListViewImpl.h"
#include "lfw/mac/cocoa/LCocoaTreeNode.h"
#include "lfw/mac/cocoa/LCocoaTreeViewImpl.h"
#include "lfw/mac/cocoa/LCocoaWindow.h"
#include "lfw/net/LOnlineHosts.h"
#include "lfw/zor/LClipart.h"
#include "lfw/zor/LClipartDialog.h"
#include "platform/ui/LModalLoop.h"
#include "platform/ui/LNativeWindow.h"
#include "platform/ui/LUiAlert.h"
#include "platform/ui/UI.h"
#include "support/LoopbackServer.h"
#include "support/OutlineViewPoints.h"
#include "support/PrivateHomes.h"
#include "support/TemporaryFolder.h"
#include "support/UiTestSupport.h"

#include <gtest/gtest.h>
#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace cliparttest {

inline std::string Png(int w, int h, uint8_t r, uint8_t g, uint8_t b)
{
    TemporaryFolder dir;
    LImageBuffer buffer(LImageFormat(LPixelFormatB8G8R8A8, w, h));
    for (int y = 0; y < h; ++y) {
        uint8_t* row = buffer.GetPictureRow(y);
        for (int x = 0; x < w; ++x) {
            row[4 * x] = b;
            row[4 * x + 1] = g;
            row[4 * x + 2] = r;
            row[4 * x + 3] = 255;
        }
    }
    std::string path = dir / "p.png";
    EXPECT_TRUE(LImage::Save(buffer, path.c_str()));
    return TemporaryFolder::ReadFile(path);
}

// The folder of the test process's certificate authority and server certificate, made once; every
// TLS client of the process trusts that authority alone.
inline const std::string& Certificates()
{
    static TemporaryFolder folder;
    static const bool made = TrustTestCertificates(folder.Path());
    EXPECT_TRUE(made) << "openssl could not make the test certificates";
    return folder.Path();
}

// A library on https://127.0.0.1: files by their path below /components/, a pause before chosen
// answers, stalls (a chosen beginning of the answer, then nothing while the connection stays
// open), trickles (an answer sent a byte at a time), everything else 404. The log keeps the paths
// asked for, their escapes decoded. The server shows the certificate named (server: the one for
// 127.0.0.1, other: one for another name).
class Library {
public:
    static std::string Decode(const std::string& path)
    {
        std::string out;
        for (size_t i = 0; i < path.size(); ++i) {
            if (path[i] == '%' && i + 2 < path.size()) {
                out += char(std::stoi(path.substr(i + 1, 2), nullptr, 16));
                i += 2;
            } else {
                out += path[i];
            }
        }
        return out;
    }

    explicit Library(const std::string& certificate = "server")
        : server(Certificates() + "/" + certificate + ".pem",
            Certificates() + "/" + certificate + ".key")
    {
        server.SetResponder([this](const std::string& request) {
            std::string path;
            size_t a = request.find(' '), b = request.find(' ', a + 1);
            if (a != std::string::npos && b != std::string::npos)
                path = Decode(request.substr(a + 1, b - a - 1));
            std::string body;
            int pause = 0;
            bool found = false, stalled = false;
            std::string beginning;
            {
                std::lock_guard<std::mutex> lock(mutex);
                log.push_back(path);
                auto f = files.find(path);
                if (f != files.end()) {
                    found = true;
                    body = f->second;
                }
                pause = pauses.count(path) ? pauses[path] : 0;
                if (auto s = stalls.find(path); s != stalls.end()) {
                    stalled = true;
                    beginning = s->second;
                }
                if (auto t = trickles.find(path); t != trickles.end())
                    return t->second;
            }
            LoopbackScript s;
            if (stalled) {
                if (!beginning.empty())
                    s.pieces = { beginning };
                s.hold = true;
                return s;
            }
            if (!found) {
                s.pieces = { "HTTP/1.0 404 Not Found\r\nContent-Length: 0\r\n\r\n" };
                return s;
            }
            s.pieces = { "HTTP/1.0 200 OK\r\nContent-Length: " + std::to_string(body.size())
                    + "\r\n\r\n",
                body };
            s.pauseMs = pause;
            return s;
        });
        LUserSettingSetString(
            "Online", kLOnlineComponentServer, ("https://" + server.Host()).c_str());
    }
    void Put(const std::string& path, const std::string& body)
    {
        std::lock_guard<std::mutex> lock(mutex);
        files["/components/" + path] = body;
        stalls.erase("/components/" + path);
        trickles.erase("/components/" + path);
    }
    void Remove(const std::string& path)
    {
        std::lock_guard<std::mutex> lock(mutex);
        files.erase("/components/" + path);
    }
    void Pause(const std::string& path, int ms)
    {
        std::lock_guard<std::mutex> lock(mutex);
        pauses["/components/" + path] = ms;
    }
    // Sends a reply announcing a body of length bytes, a byte at a time with pauseMs between
    // them (for the length given, long after every wait of a test has ended).
    void Trickle(const std::string& path, size_t length, int pauseMs)
    {
        LoopbackScript t;
        for (char c : "HTTP/1.0 200 OK\r\nContent-Length: " + std::to_string(length) + "\r\n\r\n")
            t.pieces.push_back(std::string(1, c));
        t.pieces.resize(t.pieces.size() + length, "x");
        t.pauseMs = pauseMs;
        std::lock_guard<std::mutex> lock(mutex);
        trickles["/components/" + path] = t;
    }
    // Answers nothing at all.
    void Hold(const std::string& path) { Stall(path, ""); }
    // Sends beginning, then nothing more.
    void Stall(const std::string& path, const std::string& beginning)
    {
        std::lock_guard<std::mutex> lock(mutex);
        stalls["/components/" + path] = beginning;
    }
    std::vector<std::string> Log()
    {
        std::lock_guard<std::mutex> lock(mutex);
        return log;
    }
    int Count(const std::string& path)
    {
        int n = 0;
        for (const std::string& p : Log())
            n += p == "/components/" + path;
        return n;
    }

    // The tree of the tests: the root names Birds and Empty; Birds holds sun and four more
    // pictures, each with its preview.
    void Standard(const char* lib = "clipart")
    {
        std::string l = lib;
        Put(l + "/index.csv", "Birds/index.csv\r\nEmpty/index.csv\r\n");
        Put(l + "/Empty/index.csv", "");
        Put(l + "/Birds/index.csv", "sun,1234\nmoon,99,extra\nstar,5\nsky,6\nsea,7\n");
        for (const char* n : { "sun", "moon", "star", "sky", "sea" }) {
            Put(l + "/Birds/" + n + ".png", Png(64, 64, 200, 30, 30));
            Put(l + "/Birds/preview_" + n + ".png", Png(40, 30, 20, 160, 40));
        }
    }

    LoopbackServer server;
    std::mutex mutex;
    std::map<std::string, std::string> files;
    std::map<std::string, int> pauses;
    std::map<std::string, std::string> stalls;
    std::map<std::string, LoopbackScript> trickles;
    std::vector<std::string> log;
};

// Answers every message box with its first button while it lives and keeps their headlines and
// messages.
class AlertAnswer {
public:
    AlertAnswer()
    {
        fSource = g_timeout_add(
            20,
            +[](gpointer data) -> gboolean {
                auto* self = static_cast<AlertAnswer*>(data);
                auto* alert = static_cast<GtkWidget*>(LUiCurrentAlertWidget());
                if (!alert || !gtk_widget_get_mapped(alert) || alert == self->fAnswered)
                    return G_SOURCE_CONTINUE;
                gchar* text = nullptr;
                g_object_get(alert, "text", &text, nullptr);
                self->alerts.push_back({ text ? text : "", LUiAlertMessage(alert) });
                if (self->alerts.size() == 1) {
                    self->headline = self->alerts[0].first;
                    self->message = self->alerts[0].second;
                }
                g_free(text);
                self->fAnswered = alert;
                gtk_dialog_response(GTK_DIALOG(alert), 0);
                return G_SOURCE_CONTINUE;
            },
            this);
    }
    ~AlertAnswer() { g_source_remove(fSource); }
    AlertAnswer(const AlertAnswer&) = delete;
    AlertAnswer& operator=(const AlertAnswer&) = delete;

    // The first box's headline and message.
    std::string headline;
    std::string message;
    std::vector<std::pair<std::string, std::string>> alerts;

private:
    guint fSource = 0;
    GtkWidget* fAnswered = nullptr;
};

// The progress window of a library read ("Laddar bilder...") while it is on the screen.
inline LMacWindow* ProgressWindow()
{
    LNativeWindow* w = LModalLoop::ModalWindow();
    if (!w || !w->Gtk() || !gtk_widget_get_mapped(GTK_WIDGET(w->Gtk())))
        return nullptr;
    const char* title = gtk_window_get_title(GTK_WINDOW(w->Gtk()));
    if (!title || std::string(title) != "Laddar bilder...")
        return nullptr;
    return dynamic_cast<LMacWindow*>(LCocoaWindow::GetThisProperty(w->ContentView()));
}

// Closes the dialog when a test's steps end, also when an assertion ended them early.
struct CloseAtEnd {
    LClipartDialog& dialog;
    ~CloseAtEnd() { dialog.PostCommand(kLCmdCancel); }
};

class ClipartTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        LClipartDownloadLimits() = LHTTPDownloadLimits { uint64_t(64) << 20, 3000 };
    }
    PrivateHomes homes;
};

class ClipartDialogTest : public ClipartTest {
protected:
    void SetUp() override
    {
        ClipartTest::SetUp();
        if (!uitest::Init())
            GTEST_SKIP() << "no display";
        if (!uitest::HaveXdotool())
            GTEST_SKIP() << "xdotool missing";
    }
    static bool ClickRow(LClipartDialog& d, int id, int row, int repeat = 1)
    {
        LCocoaOutlineViewImpl* view = id == LClipartDialog::kList
            ? static_cast<LCocoaOutlineViewImpl*>(d.ListViewGetImplById(id))
            : static_cast<LCocoaOutlineViewImpl*>(d.TreeViewGetImplById(id));
        if (!view)
            return false;
        // GTK measures new rows in idle time: the row's place is taken once it holds still.
        LUiRect r = view->rectOfRow(row);
        for (int i = 0; i < 40; ++i) {
            uitest::Pump(25);
            const LUiRect again = view->rectOfRow(row);
            if (r.height > 0 && again.y == r.y && again.height == r.height)
                break;
            r = again;
        }
        LUiPoint p = RowContentPoint(view, 40, r.y + r.height / 2);
        return uitest::XClickButton(d.GetNativeWindow(), p.x, p.y, 1, repeat);
    }
    // Clicks the middle of a control of a window with the real pointer.
    static bool ClickControl(LMacWindow& w, int id)
    {
        int x = 0, y = 0, width = 0, height = 0;
        w.GetControlPixels(id, x, y, width, height);
        const double s = w.GetBackingScaleFactor();
        return uitest::XClick(w.GetNativeWindow(), (x + width / 2) / s, (y + height / 2) / s);
    }
    static std::string Cell(LClipartDialog& d, int row, int column)
    {
        LCocoaListViewImpl* list = d.ListViewGetImplById(LClipartDialog::kList);
        char text[260] = {};
        if (list && list->manager())
            list->manager()->getItemText(text, row, column);
        return text;
    }
    static int Rows(LClipartDialog& d)
    {
        int n = 0;
        while (!Cell(d, n, 0).empty())
            ++n;
        return n;
    }
    static int RowOf(LClipartDialog& d, const std::string& name)
    {
        for (int r = 0; !Cell(d, r, 0).empty(); ++r)
            if (Cell(d, r, 0) == name)
                return r;
        return -1;
    }
    // The folder's rows are in and sorted by name, one way or the other (the list is sorted
    // once the folder has been read).
    static bool Listed(LClipartDialog& d)
    {
        if (Cell(d, 0, 0).empty() || Cell(d, 1, 0).empty())
            return !Cell(d, 0, 0).empty();
        const bool up = Cell(d, 0, 0) < Cell(d, 1, 0);
        for (int r = 1; !Cell(d, r, 0).empty(); ++r)
            if ((Cell(d, r - 1, 0) < Cell(d, r, 0)) != up)
                return false;
        return true;
    }
    static std::string ListText(LClipartDialog& d)
    {
        LCocoaListViewImpl* list = d.ListViewGetImplById(LClipartDialog::kList);
        return list ? list->defaultText() : std::string();
    }
    static std::string ControlText(LMacWindow& w, int id)
    {
        char text[260] = {};
        w.GetText(id, text, sizeof text);
        return text;
    }
    // On the screen, with its library read into the tree.
    static bool Shown(LClipartDialog& d)
    {
        return d.GetNativeWindow() && d.GetNativeWindow()->Gtk()
            && gtk_widget_get_mapped(GTK_WIDGET(d.GetNativeWindow()->Gtk())) && d.IsInitialised()
            && d.TreeFilled();
    }
    static std::string Title(LClipartDialog& d)
    {
        const char* t = gtk_window_get_title(GTK_WINDOW(d.GetNativeWindow()->Gtk()));
        return t ? t : "";
    }
    static std::string Cache(const char* sub)
    {
        char cache[260];
        GetUserSpecialFolder(cache, LUserSpecialFolder::Cache, ".cache");
        return std::string(cache) + "/vorantel/Clipart/" + sub;
    }
};

} // namespace cliparttest
