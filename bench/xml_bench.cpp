// Reading a generated 20 MB XML file into a tree, and "xmllint --noout" over the same file for
// comparison (both include reading the file from the page cache; xmllint also starts a process).
#include "bench/BenchSupport.h"
#include "lfw/gen/LXML.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <unistd.h>

namespace {

// Settings-like and project-like content: nested elements, attributes, text, entities, comments.
const std::string& TestFile()
{
    static const std::string path = [] {
        std::string p = benchsupport::TemporaryFolder() + "/vt_xml_bench_"
            + std::to_string(getpid()) + ".xml";
        std::string text
            = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<vorantel_project type=\"cd\">\n";
        unsigned x = 1;
        for (int c = 0; text.size() < 20u << 20; ++c) {
            text += "\t<container type=\"disc\" h_print_centered=\"true\" bgcolor=\"ffffffff\" n=\""
                + std::to_string(c) + "\">\n\t\t<!-- container " + std::to_string(c) + " -->\n";
            for (int e = 0; e < 20; ++e) {
                x = x * 1103515245u + 12345u;
                text += "\t\t<element type=\"text\" x=\"" + std::to_string(x % 12000) + "\" y=\""
                    + std::to_string((x >> 8) % 12000) + "\" w=\"3000\" h=\"400\" angle=\"0\" "
                    + "text=\"R&#xe4;tt &amp; fel &lt;" + std::to_string(e) + "&gt;\" "
                    + "font=\"DejaVu Sans\" font_size=\"12\">\n\t\t\t<note>Line one of the note "
                    + "&quot;quoted&quot; text\nline two with more words in it</note>\n"
                    + "\t\t</element>\n";
            }
            text += "\t</container>\n";
        }
        text += "</vorantel_project>\n";
        std::ofstream(p, std::ios::binary) << text;
        // The name is kept in plain storage: the string itself is gone when exit handlers run.
        static char name[256];
        std::snprintf(name, sizeof name, "%s", p.c_str());
        std::atexit([] { unlink(name); });
        return p;
    }();
    return path;
}

void BM_XmlLoadFromFile_20MB(benchmark::State& state)
{
    const std::string& path = TestFile();
    LProcessInterfaceVoid pi;
    for (auto _ : state) {
        LXMLDocument doc;
        char error[260];
        if (doc.LoadFromFile(pi, path.c_str(), error) != LProcessResultSuccess || error[0])
            state.SkipWithError(error);
        benchmark::DoNotOptimize(doc.GetFirstChild());
    }
}

void BM_XmllintNoout_20MB(benchmark::State& state)
{
    const std::string cmd = "xmllint --noout " + TestFile();
    for (auto _ : state) {
        if (std::system(cmd.c_str()) != 0)
            state.SkipWithError("xmllint failed");
    }
}

} // namespace

BENCHMARK(BM_XmlLoadFromFile_20MB)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_XmllintNoout_20MB)->Unit(benchmark::kMillisecond)->UseRealTime();
