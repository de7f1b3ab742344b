// The XML reader and writer: trees, entities, error texts with positions, the written form, files.
#include "lfw/gen/LXML.h"
#include "support/TemporaryFolder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <malloc.h>
#include <memory>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

struct Read {
    LXMLDocument doc;
    char error[260];
    LProcessResult result;
};

void Parse(const std::string& text, Read& r)
{
    r.doc.ClearChildren();
    r.result = r.doc.LoadFromText(nullptr, text.c_str(), r.error);
}

std::string Write(const LXMLElement& e, int indent = 0)
{
    LStringLongTemplate<char> out;
    e.SaveToBuffer(out, indent);
    return out.c_str();
}

// The text of the first child, which must be a text node.
std::string TextOf(const LXMLElement* e)
{
    if (!e || !e->GetFirstChild() || !e->GetFirstChild()->IsText())
        return "<no text>";
    return e->GetFirstChild()->GetText();
}

class TempDir {
public:
    TempDir()
    {
        std::string pattern = TemporaryFolder::Base() + "/vt_xml_XXXXXX";
        path = mkdtemp(pattern.data());
    }
    ~TempDir() { std::system(("rm -rf '" + path + "'").c_str()); }
    std::string File(const std::string& name, const std::string& content) const
    {
        const std::string p = path + "/" + name;
        std::ofstream(p, std::ios::binary) << content;
        return p;
    }
    std::string path;
};

class StopAfter : public LProcessInterfaceVoid {
public:
    explicit StopAfter(int n)
        : remaining(n)
    {
    }
    bool IsToStop() override { return --remaining < 0; }
    int remaining;
};

TEST(XmlReader, ElementsAttributesAndText)
{
    Read r;
    Parse("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
          "<root kind=\"settings\">\n"
          "\t<a x='1' y=\"it's\"/>\n"
          "\t<b>hello world</b>\n"
          "\t<b>second</b>\n"
          "</root>\n",
        r);
    EXPECT_EQ(r.result, LProcessResultSuccess);
    EXPECT_STREQ(r.error, "");

    const LXMLElement* decl = r.doc.GetElement("?xml");
    ASSERT_NE(decl, nullptr);
    EXPECT_STREQ(decl->GetAttribute("version"), "1.0");
    EXPECT_STREQ(decl->GetAttribute("encoding"), "UTF-8");
    EXPECT_EQ(decl->GetFirstChild(), nullptr);

    const LXMLElement* root = r.doc.GetElement("root");
    ASSERT_NE(root, nullptr);
    EXPECT_STREQ(root->GetAttribute("kind"), "settings");
    const LXMLElement* a = root->GetElement("a");
    ASSERT_NE(a, nullptr);
    EXPECT_STREQ(a->GetAttribute("x"), "1");
    EXPECT_STREQ(a->GetAttribute("y"), "it's");
    EXPECT_EQ(a->GetFirstChild(), nullptr);
    const char* def = "default";
    EXPECT_EQ(a->GetAttribute("z", def), def);

    LXMLElement::ConstNamedElementIterator it(*root, "b");
    ASSERT_TRUE(it);
    EXPECT_EQ(TextOf(it.Get()), "hello world");
    ASSERT_TRUE(it.Next());
    EXPECT_EQ(TextOf(it.Get()), "second");
    EXPECT_FALSE(it.Next());
    EXPECT_EQ(r.doc.GetElement("B"), nullptr); // names compare case-sensitively
}

TEST(XmlReader, Entities)
{
    Read r;
    Parse("<a>x &foo; y</a>", r);
    EXPECT_STREQ(r.error, "");
    EXPECT_EQ(TextOf(r.doc.GetElement("a")), "x & y");

    Parse("<a>&lt;&gt;&amp;&quot;&apos; &#x41;&#65;&#xe5;&#229;</a>", r);
    EXPECT_STREQ(r.error, "");
    EXPECT_EQ(TextOf(r.doc.GetElement("a")), "<>&\"' AA\xC3\xA5\xC3\xA5");

    // Code points past U+FFFF stay whole.
    Parse("<a v=\"&#x1F600;\">&#128512;</a>", r);
    EXPECT_EQ(TextOf(r.doc.GetElement("a")), "\xF0\x9F\x98\x80");
    EXPECT_STREQ(r.doc.GetElement("a")->GetAttribute("v"), "\xF0\x9F\x98\x80");
    // No character: NUL, a surrogate half, past U+10FFFF.
    Parse("<a>&#0;&#xD800;&#x110000;</a>", r);
    EXPECT_EQ(TextOf(r.doc.GetElement("a")), "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD");

    Parse("<a>x &amp y</a>", r);
    EXPECT_STREQ(r.error,
        "Ln 1, Col 10: Strängar som börjar med ett et-tecken (&) måste sluta med ett semikolon "
        "(;). Antingen ersätter du '&' med 'amp;' eller lägger till ett ';' i slutet av "
        "kontrollsträngen.");
    EXPECT_EQ(r.result, LProcessResultSuccess); // errors in the text still read
    Parse("<a>&abcdefghijklmnopqrstuvwxyz;</a>", r);
    EXPECT_NE(std::string(r.error).find("semikolon"), std::string::npos);
}

TEST(XmlReader, ErrorsWithLineAndColumn)
{
    Read r;
    Parse("<a><b></c></a>", r);
    EXPECT_STREQ(r.error,
        "Ln 1, Col 11: Element <b> should be terminated with </b>, was with c. Check you have "
        "terminated your element properly.");
    const LXMLElement* a = r.doc.GetElement("a");
    ASSERT_NE(a, nullptr);
    EXPECT_NE(a->GetElement("b"), nullptr);

    Parse("<a>", r);
    EXPECT_STREQ(r.error,
        "Ln 1, Col 4: (EOF) Element <a> should be terminated with </a>. Check you have "
        "terminated your element properly.");
    ASSERT_NE(r.doc.GetElement("a"), nullptr);

    Parse("<a>\r\n  1 < 2\r\n</a>", r);
    EXPECT_STREQ(r.error,
        "Ln 2, Col 6: Felplacerad < utan namn. Använd &lt; i stället för < om det är lämpligt.");

    Parse("<a/>\n</x>", r);
    EXPECT_STREQ(r.error, "Ln 2, Col 5: Misplaced </x> which does not match a <x>.");

    Parse("<a x=\"1\"", r);
    EXPECT_STREQ(r.error, "Ln 1, Col 9: Taggen <a> har ingen stängning '>'");

    // An end tag the text ends inside, with or without blanks after its name.
    Parse("<a><b/></a", r);
    EXPECT_STREQ(r.error, "Ln 1, Col 11: Taggen <a> har ingen stängning '>'");
    Parse("<a></a  ", r);
    EXPECT_STREQ(r.error, "Ln 1, Col 9: Taggen <a> har ingen stängning '>'");

    Parse("<a><!-- open", r);
    EXPECT_NE(
        std::string(r.error).find("(EOF) Element <!--> should be terminated"), std::string::npos);

    // Only the first error survives.
    Parse("<a>&x y</b>", r);
    EXPECT_NE(std::string(r.error).find("semikolon"), std::string::npos);
}

TEST(XmlReader, SpecialSectionsAndWhitespace)
{
    Read r;
    Parse("<!DOCTYPE note [<!ENTITY x \"y\">]>\n<!-- a comment -->\n"
          "<n><![CDATA[<raw> & ]]></n>\n",
        r);
    EXPECT_STREQ(r.error, "");
    EXPECT_EQ(TextOf(r.doc.GetElement("!DOCTYPE")), " note [<!ENTITY x \"y\">]");
    EXPECT_EQ(TextOf(r.doc.GetElement("!--")), " a comment ");
    const LXMLElement* cdata = r.doc.GetElement("n")->GetElement("![CDATA[");
    EXPECT_EQ(TextOf(cdata), "<raw> & ");

    // A document keeps text as it is (its elements start with its preserve flag).
    Parse("<a>\n\t text \t\n</a><b xml:space=\"default\">\n x\n</b>", r);
    EXPECT_EQ(TextOf(r.doc.GetElement("a")), "\n\t text \t\n");
    EXPECT_EQ(TextOf(r.doc.GetElement("b")), "\n x\n");
    EXPECT_STREQ(r.doc.GetElement("b")->GetAttribute("xml:space"), nullptr); // not stored
    EXPECT_TRUE(r.doc.GetElement("b")->GetPreserveWhitespace());

    // Content read into an element without the flag loses control bytes at both ends of its
    // text (blanks stay), and whitespace between elements; xml:space turns that off below it.
    LXMLElement e("x");
    char error[260];
    LXMLLoaderTemplate<char> loader(
        "\n\t text \t\n<c>\r\n</c>\n<p xml:space=\"preserve\">\n</p></x>", error, nullptr);
    e.LoadData(loader);
    EXPECT_STREQ(error, "");
    const LXMLElement* first = e.GetFirstChild();
    ASSERT_TRUE(first && first->IsText());
    EXPECT_STREQ(first->GetText(), " text ");
    ASSERT_TRUE(first->GetNext() && first->GetNext()->GetName());
    EXPECT_EQ(first->GetNext()->GetFirstChild(), nullptr);
    const LXMLElement* p = e.GetElement("p");
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(TextOf(p), "\n");
    EXPECT_EQ(p->GetNext(), nullptr);
}

TEST(XmlReader, NestingDepthIsLimited)
{
    Read r;
    std::string deep;
    for (int i = 0; i < 100000; ++i)
        deep += "<a>";
    Parse(deep, r);
    EXPECT_NE(std::string(r.error).find("för många nivåer"), std::string::npos) << r.error;

    std::string ok;
    for (int i = 0; i < LXMLLoaderTemplate<char>::kMaxDepth; ++i)
        ok += "<a>";
    for (int i = 0; i < LXMLLoaderTemplate<char>::kMaxDepth; ++i)
        ok += "</a>";
    Parse(ok, r);
    EXPECT_STREQ(r.error, "");
}

TEST(XmlWriter, WrittenForm)
{
    LXMLDocument doc;
    LXMLElement* decl = doc.AddElement("?xml");
    decl->SetAttribute("encoding", "UTF-8");
    decl->SetAttribute("version", "1.0");
    LXMLElement* root = doc.AddElement("root");
    LXMLElement* e = root->AddElement("e");
    e->SetAttribute("b", "2");
    e->SetAttribute("a", "<1> & \"q\" 'x'");
    LXMLElement* t = root->AddElement("t");
    t->AddChild(LXMLElement::CreateText("line 1\r\nline <2>"));
    LXMLElement* w = root->AddElement("w");
    w->AddChild(LXMLElement::CreateText(" \t\r\n "));
    LXMLElement* c = root->AddElement("!--");
    c->AddChild(LXMLElement::CreateText(" note "));

    EXPECT_EQ(Write(doc),
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<root>\n"
        "\t<e a=\"&lt;1&gt; &amp; &quot;q&quot; 'x'\" b=\"2\"/>\n"
        "\t<t>line 1\nline &lt;2&gt;</t>\n"
        "\t<w/>\n"
        "\t<!-- note -->\n"
        "</root>\n");

    // Deeper levels indent their closing tags; a negative indent writes no tabs.
    LXMLElement outer("o");
    outer.AddElement("m")->AddElement("i");
    EXPECT_EQ(Write(outer, 1), "\t<o>\n\t\t<m>\n\t\t\t<i/>\n\t\t</m>\n\t</o>\n");
    EXPECT_EQ(Write(outer, -1), "<o><m><i/></m>\n</o>\n");

    // A text node alone, and one of only whitespace.
    LStringLongTemplate<char> out;
    std::unique_ptr<LXMLElement> blank(LXMLElement::CreateText(" \n\t"));
    EXPECT_FALSE(blank->SaveToBuffer(out, 0));
    EXPECT_EQ(out.GetLength(), 0u);
}

TEST(XmlWriter, RoundTripAndOtherReaders)
{
    Read r;
    const std::string source = "<?xml version=\"1.0\" ?>\n"
                               "<settings>\n"
                               "  <Section>\n"
                               "    <Key value=\"a &amp; b &lt;c&gt; &quot;d&quot; \xC3\xA5\"/>\n"
                               "    <Text>two\nlines</Text>\n"
                               "  </Section>\n"
                               "</settings>\n";
    Parse(source, r);
    EXPECT_STREQ(r.error, "");
    const std::string written = Write(r.doc);
    EXPECT_EQ(written.find("?=\""), std::string::npos); // the "?" of " ?>" is no attribute

    Read again;
    Parse(written, again);
    EXPECT_STREQ(again.error, "");
    EXPECT_EQ(Write(again.doc), written);
    const LXMLElement* key
        = again.doc.GetElement("settings")->GetElement("Section")->GetElement("Key");
    EXPECT_STREQ(key->GetAttribute("value"), "a & b <c> \"d\" \xC3\xA5");

    // xmllint accepts what was written and reads the same attribute value.
    TempDir dir;
    const std::string path = dir.File("w.xml", written);
    EXPECT_EQ(std::system(("xmllint --noout '" + path + "' 2>/dev/null").c_str()), 0);
    FILE* p = popen(("xmllint --xpath 'string(//Key/@value)' '" + path + "'").c_str(), "r");
    std::string value;
    char buf[256];
    while (p && fgets(buf, sizeof buf, p))
        value += buf;
    if (p)
        pclose(p);
    if (!value.empty() && value.back() == '\n')
        value.pop_back();
    EXPECT_EQ(value, "a & b <c> \"d\" \xC3\xA5");
}

TEST(XmlDocument, LoadFromFile)
{
    TempDir dir;
    LProcessInterfaceVoid pi;
    LXMLDocument doc;
    char error[260];

    const std::string missing = dir.path + "/none.xml";
    EXPECT_EQ(doc.LoadFromFile(pi, missing.c_str(), error), LProcessResultError);
    EXPECT_EQ(std::string(error), "Filen finns inte: " + missing);

    // UTF-16 with a byte-order mark is read as UTF-8.
    std::string utf16 = "\xFF\xFE";
    for (char ch : std::string("<a v=\"\xE5\"/>")) {
        utf16 += ch;
        utf16 += '\0';
    }
    const std::string path16 = dir.File("u16.xml", utf16);
    EXPECT_EQ(doc.LoadFromFile(pi, path16.c_str(), error), LProcessResultSuccess);
    EXPECT_STREQ(error, "");
    ASSERT_NE(doc.GetElement("a"), nullptr);
    EXPECT_STREQ(doc.GetElement("a")->GetAttribute("v"), "\xC3\xA5");

    const std::string faulty = dir.File("bad.xml", "<a><b></a>");
    EXPECT_EQ(doc.LoadFromFile(pi, faulty.c_str(), error), LProcessResultSuccess);
    EXPECT_NE(std::string(error).find("Ln 1, Col 11:"), std::string::npos) << error;

    // A stop request before reading, and one while reading a large text (read for long enough
    // that the reader asks more than once: it asks every few milliseconds).
    StopAfter now(0);
    EXPECT_EQ(doc.LoadFromFile(now, path16.c_str(), error), LProcessResultStopped);
    std::string big = "<r>";
    for (int i = 0; i < 100000; ++i)
        big += "<item n=\"" + std::to_string(i) + "\">text</item>";
    big += "</r>";
    const std::string bigPath = dir.File("big.xml", big);
    StopAfter later(3);
    EXPECT_EQ(doc.LoadFromFile(later, bigPath.c_str(), error), LProcessResultStopped);
    ASSERT_NE(doc.GetElement("r"), nullptr);
    size_t items = 0;
    for (const LXMLElement* c = doc.GetElement("r")->GetFirstChild(); c; c = c->GetNext())
        ++items;
    EXPECT_GT(items, 0u);
    EXPECT_LT(items, 100000u);
}

TEST(XmlDocument, RefusesAFileTooLargeForFreeMemory)
{
    TempDir dir;
    const std::string path = dir.File("m.xml", "<a>" + std::string(200000, 'x') + "</a>");
    // In a child process whose data limit leaves less than 20 times the file's size free.
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        // The limit is the current use plus 1 MB (the file needs 20 times 200 KB).
        rlimit rl;
        getrlimit(RLIMIT_DATA, &rl);
        std::ifstream status("/proc/self/status");
        std::string line;
        uint64_t vmDataKb = 0;
        while (std::getline(status, line))
            if (line.rfind("VmData:", 0) == 0)
                vmDataKb = std::strtoull(line.c_str() + 7, nullptr, 10);
        rl.rlim_cur = rlim_t((vmDataKb + 1024) * 1024);
        if (setrlimit(RLIMIT_DATA, &rl) != 0)
            _exit(3);
        LProcessInterfaceVoid pi;
        LXMLDocument doc;
        char error[260];
        const LProcessResult result = doc.LoadFromFile(pi, path.c_str(), error);
        const std::string expected
            = "Det finns inte tillräckligt med ledigt minne för att läsa in " + path;
        _exit(result == LProcessResultError && expected == error ? 0 : 1);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);

    // Without the limit the same file reads.
    LProcessInterfaceVoid pi;
    LXMLDocument doc;
    char error[260];
    EXPECT_EQ(doc.LoadFromFile(pi, path.c_str(), error), LProcessResultSuccess);
    EXPECT_STREQ(error, "");
}

} // namespace

// Attributes as a file gives them: of two of one name the later stands, read and written once;
// set again, an attribute keeps one value; written in the order of their names.
TEST(XmlReader, RepeatedAndReplacedAttributes)
{
    Read r;
    Parse("<e b=\"1\" a=\"x\" b=\"2\" c=\"\" a=\"y\"/>", r);
    EXPECT_STREQ(r.error, "");
    LXMLElement* e = r.doc.GetElement("e");
    ASSERT_NE(e, nullptr);
    EXPECT_STREQ(e->GetAttribute("a"), "y");
    EXPECT_STREQ(e->GetAttribute("b"), "2");
    EXPECT_STREQ(e->GetAttribute("c", "ingen"), "");
    EXPECT_EQ(e->GetAttribute("d"), nullptr);
    EXPECT_EQ(Write(*e), "<e a=\"y\" b=\"2\" c=\"\"/>\n");
    e->SetAttribute("b", "3");
    e->SetAttribute("0", "först");
    e->SetAttribute("a", "z");
    EXPECT_STREQ(e->GetAttribute("b"), "3");
    EXPECT_EQ(Write(*e), "<e 0=\"först\" a=\"z\" b=\"3\" c=\"\"/>\n");

    // An element of very many attributes reads them all.
    std::string many = "<m";
    for (int i = 0; i < 20000; ++i)
        many += " a" + std::to_string(i) + "=\"" + std::to_string(i * 3) + "\"";
    many += "/>";
    Parse(many, r);
    ASSERT_NE(r.doc.GetElement("m"), nullptr);
    EXPECT_STREQ(r.doc.GetElement("m")->GetAttribute("a19999"), "59997");
    EXPECT_STREQ(r.doc.GetElement("m")->GetAttribute("a0"), "0");
}

namespace {

struct RecordedProgress : LProcessInterfaceVoid {
    void SetProgress(double fraction) override { fractions.push_back(fraction); }
    std::vector<double> fractions;
};

// The heap in use (glibc's count of allocated bytes).
size_t HeapInUse()
{
    return mallinfo2().uordblks;
}

} // namespace

// A large file tells its progress as it is read, and its elements cost memory in proportion to
// what they hold: a few hundred bytes for an element of six short attributes, not the kilobyte
// and more a tree of separately allocated names and values took.
TEST(XmlDocument, ALargeFileTellsItsProgressAndTakesLittleMemory)
{
    TempDir dir;
    constexpr int kElements = 20000;
    std::string text = "<r>\n";
    for (int i = 0; i < kElements; ++i)
        text += "<element type=\"text\" x=\"" + std::to_string(i) + "\" y=\"7\" w=\"900\" "
            + "h=\"400\" text=\"R" + std::to_string(i) + "\"/>\n";
    text += "</r>\n";
    const std::string path = dir.File("stor.xml", text);

    RecordedProgress progress;
    char error[260];
    const size_t before = HeapInUse();
    auto doc = std::make_unique<LXMLDocument>();
    ASSERT_EQ(doc->LoadFromFile(progress, path.c_str(), error), LProcessResultSuccess);
    const size_t perElement = (HeapInUse() - before) / kElements;
    EXPECT_STREQ(error, "");
    EXPECT_LT(perElement, 400u);
    ASSERT_GE(progress.fractions.size(), text.size() / (128 << 10));
    EXPECT_TRUE(std::is_sorted(progress.fractions.begin(), progress.fractions.end()));
    EXPECT_GT(progress.fractions.front(), 0.0);
    EXPECT_LT(progress.fractions.back(), 1.0);
    size_t read = 0;
    for (LXMLElement::ConstNamedElementIterator it(*doc->GetElement("r"), "element"); it;
         it.Next(), ++read)
        EXPECT_EQ(std::string(it->GetAttribute("text")), "R" + std::to_string(read));
    EXPECT_EQ(read, size_t(kElements));
}
