// Test pictures made at test time by tests/support/make-pictures.py straight from the formats'
// byte layouts: large or hostile pictures without large files in the tree. Header only.
#pragma once

#include "support/ProgramRun.h"

#include <string>

// Runs make-pictures.py with the words (a kind, the file, its numbers): "" when it made the
// picture, else what it said.
inline std::string MakePicture(const std::string& words)
{
    int status = -1;
    const std::string out = programrun::Shell("python3 "
            + programrun::Quote(std::string(VT_SOURCE_DIR) + "/tests/support/make-pictures.py")
            + " " + words + " 2>&1",
        &status);
    return status == 0 ? "" : out.empty() ? "failed" : out;
}
