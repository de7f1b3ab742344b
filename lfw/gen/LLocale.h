// The user's locale.
//
// LGetLocale sets the process locale from the user's environment once, for every category but
// LC_NUMERIC, which stays "C": numbers in settings and files are always read and written with a
// decimal point, whatever the user's language.
#pragma once

#include <cstddef>

// On the first call sets the locale (above) and returns setlocale(category, null); later calls
// return that same text whatever the category.
const char* LGetLocale(int category);

// The language code of the user's locale ("sv" for sv_SE.UTF-8), at most 259 bytes; "sv" when
// the locale names no language (C, POSIX or nothing).
void LGetLocaleLanguageISO639(char* out);

// Whether the user's locale measures in metric units. The measurement category of the
// environment's locale when it is installed, else its territory (United States, Liberia and
// Myanmar measure in imperial units); metric when nothing is known.
bool LLocaleIsMetric();

// The start-up default of the measurement unit: 0 metric, 1 imperial (from LLocaleIsMetric).
int LLocaleGetDefaultMeasurementUnit();
