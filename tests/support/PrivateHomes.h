// Fresh configuration and data folders for one test: tests that run in parallel processes never
// share settings or the crash-record folder.
#pragma once

#include "support/TemporaryFolder.h"

#include <cstdlib>

class PrivateHomes {
public:
    PrivateHomes()
    {
        setenv("XDG_CONFIG_HOME", (fFolder / "config").c_str(), 1);
        setenv("XDG_DATA_HOME", (fFolder / "data").c_str(), 1);
        setenv("XDG_CACHE_HOME", (fFolder / "cache").c_str(), 1);
    }

private:
    TemporaryFolder fFolder;
};
