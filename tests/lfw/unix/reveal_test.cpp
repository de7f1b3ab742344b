// Which item the file manager is asked to show for a path.
#include "lfw/unix/LReveal.h"
#include "support/TemporaryFolder.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

TEST(Reveal, FoldersShowOpenedAtTheirFirstFile)
{
    TemporaryFolder tmp;
    std::string f = tmp.Path();
    EXPECT_EQ(LRevealItemFor(f.c_str()), f); // empty
    mkdir((f + "/a-mapp").c_str(), 0755);
    ASSERT_EQ(symlink("/etc/hostname", (f + "/b-länk").c_str()), 0);
    EXPECT_EQ(LRevealItemFor(f.c_str()), f); // no plain file
    std::ofstream(f + "/d.png") << "x";
    std::ofstream(f + "/c.png") << "x";
    EXPECT_EQ(LRevealItemFor(f.c_str()), f + "/c.png");
    EXPECT_EQ(LRevealItemFor((f + "/d.png").c_str()), f + "/d.png");
    EXPECT_EQ(LRevealItemFor(""), "");
    EXPECT_FALSE(LRevealInFinder(nullptr));
}
