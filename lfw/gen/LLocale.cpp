#include "lfw/gen/LLocale.h"

#include <cctype>
#include <clocale>
#include <cstdlib>
#include <cstring>
#include <langinfo.h>
#include <locale.h>
#include <mutex>

namespace {

// The first non-empty of the variables, in order.
const char* _Env(const char* a, const char* b, const char* c)
{
    for (const char* name : { a, b, c }) {
        if (!name)
            continue;
        const char* value = getenv(name);
        if (value && value[0])
            return value;
    }
    return "";
}

bool _IsNeutral(const char* name)
{
    return !name[0] || strcmp(name, "C") == 0 || strcmp(name, "POSIX") == 0
        || strncmp(name, "C.", 2) == 0;
}

} // namespace

const char* LGetLocale(int category)
{
    static std::once_flag once;
    static char cached[260];
    std::call_once(once, [category] {
        // The empty name takes the locale from the environment (LC_ALL, LC_*, LANG).
        setlocale(LC_ALL, "");
        setlocale(LC_NUMERIC, "C");
        const char* name = setlocale(category, nullptr);
        strncpy(cached, name ? name : "C", sizeof cached - 1);
    });
    return cached;
}

void LGetLocaleLanguageISO639(char* out)
{
    const char* name = _Env("LC_ALL", "LC_MESSAGES", "LANG");
    size_t n = 0;
    if (!_IsNeutral(name)) {
        while (n < 259 && name[n] && name[n] != '_' && name[n] != '.' && name[n] != '@'
            && isalpha(static_cast<unsigned char>(name[n]))) {
            out[n] = static_cast<char>(tolower(static_cast<unsigned char>(name[n])));
            ++n;
        }
    }
    if (n == 0) {
        strcpy(out, "sv");
        return;
    }
    out[n] = '\0';
}

bool LLocaleIsMetric()
{
    const char* name = _Env("LC_ALL", "LC_MEASUREMENT", "LANG");
    if (_IsNeutral(name))
        return true;
    // Read the measurement category of that locale without touching the process locale.
    if (locale_t loc = newlocale(LC_MEASUREMENT_MASK, name, static_cast<locale_t>(0))) {
        const char* value = nl_langinfo_l(_NL_MEASUREMENT_MEASUREMENT, loc);
        int measurement = value ? static_cast<unsigned char>(value[0]) : 1;
        freelocale(loc);
        return measurement != 2; // 1 metric, 2 imperial
    }
    // Not installed: judge by the territory ("en_US.UTF-8").
    const char* territory = strchr(name, '_');
    if (!territory)
        return true;
    char code[3] = { 0, 0, 0 };
    for (int i = 0; i < 2 && territory[i + 1]; ++i)
        code[i] = static_cast<char>(toupper(static_cast<unsigned char>(territory[i + 1])));
    return strcmp(code, "US") != 0 && strcmp(code, "LR") != 0 && strcmp(code, "MM") != 0;
}

int LLocaleGetDefaultMeasurementUnit()
{
    return LLocaleIsMetric() ? 0 : 1;
}
