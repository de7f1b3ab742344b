#include "lfw/gen/LLocale.h"

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <gtest/gtest.h>
#include <string>

namespace {

void SetEnv(const char* lcAll, const char* lang, const char* measurement = nullptr)
{
    for (auto [name, value] : { std::pair { "LC_ALL", lcAll }, { "LANG", lang },
             { "LC_MEASUREMENT", measurement }, { "LC_MESSAGES", nullptr } }) {
        if (value)
            setenv(name, value, 1);
        else
            unsetenv(name);
    }
}

} // namespace

TEST(Locale, TheUsersLocaleLeavesNumbersAlone)
{
    SetEnv(nullptr, "sv_SE.UTF-8");
    const char* name = LGetLocale(LC_CTYPE);
    EXPECT_STREQ(LGetLocale(LC_TIME), name); // cached whatever the category
    EXPECT_STREQ(setlocale(LC_NUMERIC, nullptr), "C");
    char text[32];
    snprintf(text, sizeof text, "%.1f", 0.2);
    EXPECT_STREQ(text, "0.2");
    EXPECT_DOUBLE_EQ(strtod("0.25", nullptr), 0.25);
    if (std::string(setlocale(LC_CTYPE, nullptr)).rfind("sv_SE", 0) != 0)
        GTEST_SKIP() << "the Swedish locale is not installed";
    EXPECT_STREQ(name, setlocale(LC_CTYPE, nullptr));
    EXPECT_STREQ(setlocale(LC_COLLATE, nullptr), name);
}

TEST(Locale, LanguageCode)
{
    char code[260];
    SetEnv(nullptr, "sv_SE.UTF-8");
    LGetLocaleLanguageISO639(code);
    EXPECT_STREQ(code, "sv");
    SetEnv("de_AT.UTF-8@euro", "sv_SE.UTF-8");
    LGetLocaleLanguageISO639(code);
    EXPECT_STREQ(code, "de");
    SetEnv(nullptr, "C.UTF-8");
    LGetLocaleLanguageISO639(code);
    EXPECT_STREQ(code, "sv"); // no language: Swedish
    SetEnv(nullptr, nullptr);
    LGetLocaleLanguageISO639(code);
    EXPECT_STREQ(code, "sv");
    SetEnv("POSIX", "en_GB.UTF-8");
    LGetLocaleLanguageISO639(code);
    EXPECT_STREQ(code, "sv");
}

TEST(Locale, MetricOrImperial)
{
    SetEnv(nullptr, "sv_SE.UTF-8");
    EXPECT_TRUE(LLocaleIsMetric());
    EXPECT_EQ(LLocaleGetDefaultMeasurementUnit(), 0);
    SetEnv(nullptr, "sv_SE.UTF-8", "en_US.UTF-8");
    EXPECT_FALSE(LLocaleIsMetric());
    EXPECT_EQ(LLocaleGetDefaultMeasurementUnit(), 1);
    SetEnv("en_US", "sv_SE.UTF-8");
    EXPECT_FALSE(LLocaleIsMetric());
    SetEnv(nullptr, "en_GB.UTF-8");
    EXPECT_TRUE(LLocaleIsMetric());
    SetEnv(nullptr, nullptr);
    EXPECT_TRUE(LLocaleIsMetric());
}
