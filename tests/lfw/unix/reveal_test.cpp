// Which item the file manager is asked to show for a path.
#include "lfw/unix/LReveal.h"
#include "support/InstalledPrograms.h"
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

TEST(Reveal, WithoutAFileManagerTheFolderOpens)
{
    // No session bus to ask: the desktop's opener gets the folder.
    setenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/vt-no-bus", 1);
    InstalledPrograms opener;
    TemporaryFolder tmp;
    std::ofstream(tmp / "bild.png") << "x";
    EXPECT_TRUE(LRevealInFinder((tmp / "bild.png").c_str()));
    auto opened = opener.Opened(1);
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(opened[0], "file://" + tmp.Path());
    EXPECT_TRUE(LRevealInFinder(tmp.Path().c_str())); // shown opened: its folder is itself
    opened = opener.Opened(2);
    ASSERT_EQ(opened.size(), 2u);
    EXPECT_EQ(opened[1], "file://" + tmp.Path());
    unsetenv("DBUS_SESSION_BUS_ADDRESS");
}
