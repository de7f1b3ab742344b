// The JSON reader: value kinds, error texts and positions, escapes, locale independence, limits.
#include "lfw/gen/LJSON.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <string>

namespace {

class RecordingInterface : public LProcessInterfaceVoid {
public:
    void SetError(const char* text) override
    {
        error = text;
        ++errors;
    }
    std::string error;
    int errors = 0;
};

struct Parsed {
    LProcessResult result;
    std::string error;
    LJSONValueNamed root;
};

void Parse(const std::string& text, Parsed& out)
{
    RecordingInterface pi;
    LJSONValueReader reader;
    out.result = reader.Read(pi, out.root, text.c_str());
    out.error = pi.error;
    EXPECT_LE(pi.errors, 1);
}

TEST(JsonReader, ObjectWithArrayStringAndNull)
{
    Parsed p;
    Parse(R"({"a": [1, 2.5e1, "x"], "b": null})", p);
    ASSERT_EQ(p.result, LProcessResultSuccess) << p.error;
    EXPECT_EQ(p.root.GetType(), LJSONTypeObject);
    EXPECT_STREQ(p.root.GetName(), "");
    const LJSONValueNamed* a = p.root.GetFirstMember();
    ASSERT_NE(a, nullptr);
    EXPECT_STREQ(a->GetName(), "a");
    ASSERT_EQ(a->GetType(), LJSONTypeArray);
    ASSERT_EQ(a->GetElementCount(), 3u);
    EXPECT_EQ(a->GetElement(0)->GetNumber(), 1.0);
    EXPECT_EQ(a->GetElement(1)->GetNumber(), 25.0);
    EXPECT_EQ(a->GetElement(2)->GetType(), LJSONTypeString);
    EXPECT_STREQ(a->GetElement(2)->GetString(), "x");
    const LJSONValueNamed* b = a->GetNext();
    ASSERT_NE(b, nullptr);
    EXPECT_STREQ(b->GetName(), "b");
    EXPECT_EQ(b->GetType(), LJSONTypeNull);
    EXPECT_EQ(b->GetNext(), nullptr);
}

TEST(JsonReader, ScalarsAndLenientTokens)
{
    Parsed p;
    Parse(R"([true, false, truex, 0x1A, -3, "s", {}, []])", p);
    ASSERT_EQ(p.result, LProcessResultSuccess) << p.error;
    ASSERT_EQ(p.root.GetType(), LJSONTypeArray);
    ASSERT_EQ(p.root.GetElementCount(), 8u);
    EXPECT_TRUE(p.root.GetElement(0)->IsBool() && p.root.GetElement(0)->GetBool());
    EXPECT_TRUE(p.root.GetElement(1)->IsBool() && !p.root.GetElement(1)->GetBool());
    EXPECT_TRUE(p.root.GetElement(2)->GetBool());
    EXPECT_EQ(p.root.GetElement(3)->GetNumber(), 26.0);
    EXPECT_EQ(p.root.GetElement(4)->GetNumber(), -3.0);
    EXPECT_STREQ(p.root.GetElement(5)->GetString(), "s");
    EXPECT_EQ(p.root.GetElement(6)->GetType(), LJSONTypeObject);
    EXPECT_EQ(p.root.GetElement(7)->GetType(), LJSONTypeArray);

    // Blanks before a comma; a single top-level scalar or string.
    Parse("[1 , 2]", p);
    ASSERT_EQ(p.result, LProcessResultSuccess);
    EXPECT_EQ(p.root.GetElementCount(), 2u);
    Parse("  42 ", p);
    ASSERT_EQ(p.result, LProcessResultSuccess);
    EXPECT_EQ(p.root.GetNumber(), 42.0);
    Parse(R"("top")", p);
    ASSERT_EQ(p.result, LProcessResultSuccess) << p.error;
    EXPECT_STREQ(p.root.GetString(), "top");
}

TEST(JsonReader, RepeatedMemberReplacesTheFirstInPlace)
{
    Parsed p;
    Parse(R"({"a": 1, "b": 2, "a": {"c": true}})", p);
    ASSERT_EQ(p.result, LProcessResultSuccess);
    ASSERT_EQ(p.root.GetMemberCount(), 2u);
    const LJSONValueNamed* a = p.root.GetFirstMember();
    EXPECT_STREQ(a->GetName(), "a");
    ASSERT_EQ(a->GetType(), LJSONTypeObject);
    EXPECT_TRUE(a->FindMember("c")->GetBool());
    EXPECT_STREQ(a->GetNext()->GetName(), "b");

    // Many members (looked up through an index) keep their first order and the last value.
    std::string text = "{";
    for (int i = 0; i < 200; ++i)
        text += "\"k" + std::to_string(i) + "\": " + std::to_string(i) + ",";
    for (int i = 0; i < 200; i += 7)
        text += "\"k" + std::to_string(i) + "\": -1,";
    text += "}";
    Parse(text, p);
    ASSERT_EQ(p.result, LProcessResultSuccess);
    ASSERT_EQ(p.root.GetMemberCount(), 200u);
    int i = 0;
    for (const LJSONValueNamed* m = p.root.GetFirstMember(); m; m = m->GetNext(), ++i) {
        EXPECT_EQ(m->GetName(), "k" + std::to_string(i));
        EXPECT_EQ(m->GetNumber(), i % 7 == 0 ? -1.0 : double(i));
    }
}

TEST(JsonReader, RootCountErrors)
{
    Parsed p;
    Parse("1 2", p);
    EXPECT_EQ(p.result, LProcessResultError);
    EXPECT_EQ(p.error, "Error near(1:3): Måste vara exakt ett rotvärde.");
    Parse("", p);
    EXPECT_EQ(p.result, LProcessResultError);
    EXPECT_EQ(p.error, "Error near(1:0): Måste vara exakt ett rotvärde.");
    Parse("{} []", p);
    EXPECT_EQ(p.result, LProcessResultError);
    EXPECT_EQ(p.error, "Error near(1:5): Måste vara exakt ett rotvärde.");
    // A member name and value outside any braces is no single value either.
    Parse(R"("a": 1)", p);
    EXPECT_EQ(p.result, LProcessResultError);
    EXPECT_EQ(p.error, "Error near(1:6): Måste vara exakt ett rotvärde.");
}

TEST(JsonReader, StringsAndEscapes)
{
    Parsed p;
    Parse(R"(["\u00e5", "a\\", "q\"\/\b\f\n\r\t", "x\qy", "\u0041\u20AC"])", p);
    ASSERT_EQ(p.result, LProcessResultSuccess) << p.error;
    ASSERT_EQ(p.root.GetElementCount(), 5u);
    EXPECT_STREQ(p.root.GetElement(0)->GetString(), "\xC3\xA5");
    EXPECT_STREQ(p.root.GetElement(1)->GetString(), "a\\"); // ends at the quote after "\\"
    EXPECT_STREQ(p.root.GetElement(2)->GetString(), "q\"/\b\f\n\r\t");
    EXPECT_STREQ(p.root.GetElement(3)->GetString(), "xy"); // unknown escape dropped
    EXPECT_STREQ(p.root.GetElement(4)->GetString(), "A\xE2\x82\xAC");

    Parse(R"(["\u00g5"])", p);
    EXPECT_EQ(p.result, LProcessResultError);
    EXPECT_EQ(p.error, "Error near(1:9): Tecknet är inte i intervallet [0; F]");
    Parse(R"({"a": "\u12"})", p);
    EXPECT_EQ(p.result, LProcessResultError);
    EXPECT_NE(p.error.find("Tecknet är inte i intervallet [0; F]"), std::string::npos);
}

TEST(JsonReader, SurrogatePairsStayOneCharacter)
{
    Parsed p;
    Parse(R"(["\ud83d\ude00", "\uD83D", "\uDE00x", "\ud83dA"])", p);
    ASSERT_EQ(p.result, LProcessResultSuccess) << p.error;
    EXPECT_STREQ(p.root.GetElement(0)->GetString(), "\xF0\x9F\x98\x80"); // U+1F600
    // Halves without their partner become the replacement character.
    EXPECT_STREQ(p.root.GetElement(1)->GetString(), "\xEF\xBF\xBD");
    EXPECT_STREQ(p.root.GetElement(2)->GetString(), "\xEF\xBF\xBDx");
    EXPECT_STREQ(p.root.GetElement(3)->GetString(),
        "\xEF\xBF\xBD"
        "A");
}

TEST(JsonReader, BadInputPositions)
{
    Parsed p;
    // Unterminated string: reading stops at the end of the text (line 2, after 10 bytes).
    Parse("{\"a\": 1,\r\n \"b\": \"abc", p);
    EXPECT_EQ(p.result, LProcessResultError);
    EXPECT_EQ(p.error, "Error near(2:10): Strängen avgränsas inte med dubbel citattecken.");
    // Two commas in a row: no value between them.
    Parse("[1,,2]", p);
    EXPECT_EQ(p.result, LProcessResultError);
    EXPECT_EQ(p.error, "Error near(1:3): Ett värde saknas.");
    Parse("[1,\n ,2]", p);
    EXPECT_EQ(p.error, "Error near(2:1): Ett värde saknas.");
    // A token that is no value.
    Parse("{\"a\": nope}", p);
    EXPECT_EQ(p.result, LProcessResultError);
    EXPECT_EQ(p.error, "Error near(1:10): Det gick inte att tolka värdet.");
    Parse("[0x]", p);
    EXPECT_EQ(p.error, "Error near(1:3): Det gick inte att tolka värdet.");
    // What was read before the error stays in the root.
    Parse("[1, 2, x]", p);
    EXPECT_EQ(p.result, LProcessResultError);
    ASSERT_EQ(p.root.GetElementCount(), 1u);
    EXPECT_EQ(p.root.GetElement(0)->GetElementCount(), 3u);
}

TEST(JsonReader, NumbersReadTheSameUnderASwedishLocale)
{
    const std::string text = R"([2.5, -0.125, 1.5e3, 6.02E-3, 0x1A, 12])";
    Parsed c;
    Parse(text, c);
    ASSERT_EQ(c.result, LProcessResultSuccess);

    const std::string old = std::setlocale(LC_ALL, nullptr);
    if (!std::setlocale(LC_ALL, "sv_SE.UTF-8"))
        GTEST_SKIP() << "the sv_SE.UTF-8 locale is not installed (scripts/setup.sh --tests)";
    Parsed sv;
    Parse(text, sv);
    double viaLocale = 0;
    std::sscanf("2.5", "%lf", &viaLocale); // the locale really reads a decimal comma
    std::setlocale(LC_ALL, old.c_str());

    EXPECT_EQ(viaLocale, 2.0);
    ASSERT_EQ(sv.result, LProcessResultSuccess) << sv.error;
    const double expected[] = { 2.5, -0.125, 1500.0, 0.00602, 26.0, 12.0 };
    for (size_t i = 0; i < 6; ++i) {
        EXPECT_EQ(c.root.GetElement(i)->GetNumber(), expected[i]);
        EXPECT_EQ(sv.root.GetElement(i)->GetNumber(), expected[i]);
    }
}

TEST(JsonReader, NestingDepthIsLimited)
{
    const int limit = LJSONValueReader::kMaxDepth;
    Parsed p;
    Parse(std::string(limit, '[') + std::string(limit, ']'), p);
    EXPECT_EQ(p.result, LProcessResultSuccess) << p.error;

    Parse(std::string(100000, '[') + "1", p);
    EXPECT_EQ(p.result, LProcessResultError);
    EXPECT_NE(p.error.find("för många nivåer"), std::string::npos) << p.error;
    Parse(std::string(limit + 1, '{'), p);
    EXPECT_EQ(p.result, LProcessResultError);
}

TEST(JsonValue, AddDetachAssign)
{
    LJSONValue array;
    array.SetType(LJSONTypeArray);
    for (int i = 0; i < 5; ++i) {
        LJSONValue v;
        v.SetNumber(i);
        array.AddChild(v);
        EXPECT_EQ(v.GetType(), LJSONTypeEmpty);
    }
    EXPECT_EQ(array.DetachChild(5), nullptr);
    EXPECT_EQ(array.DetachChild(-1), nullptr);
    LJSONValue* second = array.DetachChild(1);
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(second->GetNumber(), 1.0);
    delete second;
    ASSERT_EQ(array.GetElementCount(), 4u);
    EXPECT_EQ(array.GetElement(1)->GetNumber(), 2.0);
    EXPECT_EQ(array.GetElement(3)->GetNumber(), 4.0);

    // Assigning a value its own element.
    array.Assign(*array.GetElement(2));
    EXPECT_EQ(array.GetType(), LJSONTypeNumber);
    EXPECT_EQ(array.GetNumber(), 3.0);
    EXPECT_EQ(array.GetElementCount(), 0u);
}

} // namespace
