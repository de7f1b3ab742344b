// Fresh configuration and data folders for one test: tests that run in parallel processes never
// share settings or the crash-record folder. The folders the environment named before are named
// again when the object goes, so that a setting written later (a suite's tear-down) does not
// make the removed folder again.
#pragma once

#include "support/TemporaryFolder.h"

#include <cstdlib>
#include <string>

class PrivateHomes {
public:
    PrivateHomes()
    {
        for (int i = 0; i < 3; ++i) {
            const char* old = std::getenv(kNames[i]);
            fHad[i] = old != nullptr;
            fOld[i] = old ? old : "";
            setenv(kNames[i], (fFolder / kFolders[i]).c_str(), 1);
        }
    }
    ~PrivateHomes()
    {
        for (int i = 0; i < 3; ++i) {
            if (fHad[i])
                setenv(kNames[i], fOld[i].c_str(), 1);
            else
                unsetenv(kNames[i]);
        }
    }
    PrivateHomes(const PrivateHomes&) = delete;
    PrivateHomes& operator=(const PrivateHomes&) = delete;

private:
    static constexpr const char* kNames[3]
        = { "XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME" };
    static constexpr const char* kFolders[3] = { "config", "data", "cache" };
    TemporaryFolder fFolder;
    bool fHad[3] = {};
    std::string fOld[3];
};
