// Texts drawn on several threads at once, as a print's thread draws a design onto its PDF pages
// while the window's thread draws the same design on the screen: each thread lays out and draws
// many texts of a few fonts under a few scales, into a PDF or an image. Every thread ends: none
// aborts in the system's font code and none waits for ever on another.
#include "platform/system/TextLock.h"
#include "platform/text/ShapedLine.h"
#include "platform/text/Text.h"

#include <cairo-pdf.h>
#include <cairo.h>
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <thread>
#include <vector>

using namespace platform::text;

namespace {

cairo_status_t Discard(void*, const unsigned char*, unsigned int)
{
    return CAIRO_STATUS_SUCCESS;
}

// Draws `count` texts into a PDF or an image: most with layouts kept from one text to the next,
// as the window's thread keeps them, every sixteenth with a layout or a shaped line of its own,
// as a print's thread makes them. Pairs of threads draw at the same scales, each pair at its own.
// A PDF's pages are ended, and the PDF finished, under the text lock, as the print's document and
// the PDF writer do. Returns whether an image has ink (a PDF always "has").
bool DrawTexts(int count, bool pdf, int pair)
{
    cairo_surface_t* surface = pdf ? cairo_pdf_surface_create_for_stream(Discard, nullptr, 300, 300)
                                   : cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 300, 300);
    cairo_t* cr = cairo_create(surface);
    static const char* const kTexts[] = { "Skivetikett", "Omslag åäö 123" };
    TextLayout kept[10];
    for (int k = 0; k < 10; ++k) {
        kept[k].SetText(kTexts[k % 2]);
        kept[k].SetFont(
            FontFromFamily(k % 2 ? "DejaVu Sans" : "DejaVu Serif", float(8 + k / 2), FontStyle {}),
            false, false);
    }
    for (int i = 0; i < count; ++i) {
        const double scale = 1.5 + pair * 0.0625 + (i / 10 % 7) * 0.25;
        cairo_save(cr);
        cairo_scale(cr, scale, scale);
        if (i % 16 == 15) {
            const FontRef font = FontFromFamily("DejaVu Sans", float(9 + i % 3), FontStyle {});
            ShapedLine line(kTexts[i % 2], font);
            for (size_t k = 0; k < line.Clusters().size(); ++k)
                line.DrawCluster(cr, k, 8.0 * double(k), 5, TextPaint {}, false, true);
            TextLayout layout;
            layout.SetText(kTexts[i % 2]);
            layout.SetFont(font, true, false);
            layout.Draw(cr, 5, 20, TextPaint {});
        } else {
            kept[i % 10].Draw(cr, 5, 5, TextPaint {});
        }
        cairo_restore(cr);
        if (pdf && i % 1000 == 999) {
            platform::system::TextLock lock;
            cairo_show_page(cr);
        }
    }
    uint64_t ink = pdf ? 1 : 0;
    if (!pdf) {
        cairo_surface_flush(surface);
        const unsigned char* data = cairo_image_surface_get_data(surface);
        const int bytes = cairo_image_surface_get_stride(surface) * 300;
        for (int k = 0; k < bytes; ++k)
            ink += data[k];
    }
    platform::system::TextLock lock;
    cairo_destroy(cr);
    cairo_surface_destroy(surface);
    return ink > 0;
}

} // namespace

TEST(TextThreads, ManyTextsDrawnOnThreadsAtOnce)
{
    constexpr int kTexts = 10000;
    // More threads than cores, so that threads are interrupted in the middle of their drawing.
    const int threads = int(std::max(8u, 4 * std::thread::hardware_concurrency()));

    const auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(DrawTexts(kTexts, false, 0));
    DrawTexts(kTexts, true, 0);
    const auto reference = std::chrono::steady_clock::now() - start;

    std::mutex mutex;
    std::condition_variable ended;
    int running = threads;
    std::vector<std::thread> workers;
    for (int t = 0; t < threads; ++t)
        workers.emplace_back([&, t] {
            EXPECT_TRUE(DrawTexts(kTexts, t % 2 == 1, t / 2));
            std::lock_guard<std::mutex> lock(mutex);
            --running;
            ended.notify_all();
        });
    {
        // However busy the machine, the threads together take no more than this many times what
        // one thread took for an image and a PDF alone; a thread that waits for ever on another
        // never ends.
        const auto limit = reference * 2 * threads + std::chrono::seconds(10);
        std::unique_lock<std::mutex> lock(mutex);
        if (!ended.wait_for(lock, limit, [&] { return running == 0; })) {
            std::fprintf(stderr, "%d of %d threads drawing texts have not ended: they hang\n",
                running, threads);
            std::fflush(stderr);
            std::_Exit(1);
        }
    }
    for (std::thread& w : workers)
        w.join();
}
