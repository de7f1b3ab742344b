#include "platform/ui/LUiSystem.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>
#include <cstring>

// Starting the toolkit under a Swedish environment must leave numbers in the "C" locale.
TEST(UiLocale, StartingGtkKeepsNumbersInC)
{
    setenv("LC_ALL", "sv_SE.UTF-8", 1);
    setenv("LANG", "sv_SE.UTF-8", 1);
    if (!LUiInit())
        GTEST_SKIP() << "no display";
    EXPECT_STREQ(setlocale(LC_NUMERIC, nullptr), "C");
    char text[32];
    snprintf(text, sizeof text, "%.1f", 0.2);
    EXPECT_STREQ(text, "0.2");
}
