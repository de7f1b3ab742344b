#include "app/VTOptions.h"
#include "lfw/gen/LFile.h"
#include "lfw/gen/LUserSettings.h"
#include "lfw/mac/LPaintSurface.h"
#include "support/DrawCanvas.h"
#include "support/TemporaryFolder.h"

#include <cstdlib>
#include <gtest/gtest.h>
#include <string>

namespace {

class Options : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_folder.IsValid());
        setenv("XDG_CONFIG_HOME", (m_folder / "config").c_str(), 1);
        setenv("HOME", m_folder.Path().c_str(), 1);
    }
    static std::string Stored(const char* key)
    {
        char value[kLStringShortSize];
        _LUserSettingGetString("Settings", key, "<none>", value);
        return value;
    }
    TemporaryFolder m_folder;
};

} // namespace

TEST_F(Options, PaperSize)
{
    // Nothing stored: by the measurement unit.
    LSettingSetMeasurementUnit(1);
    EXPECT_EQ(VTOptions::PaperSizeIDGet(), LPaperSizeUSLetter);
    LSettingSetMeasurementUnit(0);
    EXPECT_EQ(VTOptions::PaperSizeIDGet(), LPaperSizeA4);

    EXPECT_TRUE(VTOptions::PaperSizeIDSet(LPaperSizeA5));
    EXPECT_EQ(Stored("PaperSize"), "a5");
    EXPECT_EQ(VTOptions::PaperSizeIDGet(), LPaperSizeA5);
    EXPECT_TRUE(VTOptions::PaperSizeIDSet(LPaperSizeManual));
    EXPECT_EQ(VTOptions::PaperSizeIDGet(), LPaperSizeManual);

    // Ids without a row of their own store nothing.
    for (LPaperSizeID id : { LPaperSizeInvalid, LPaperSizeMax, LPaperSizeCustom }) {
        EXPECT_FALSE(VTOptions::PaperSizeIDSet(id));
        EXPECT_EQ(Stored("PaperSize"), "zormanual");
    }

    // A stored size the table does not give reads as the default.
    LUserSettingSetString("Settings", "PaperSize", "custom");
    EXPECT_EQ(VTOptions::PaperSizeIDGet(), LPaperSizeA4);
    LUserSettingSetString("Settings", "PaperSize", "A4");
    EXPECT_EQ(VTOptions::PaperSizeIDGet(), LPaperSizeA4);
    LSettingSetMeasurementUnit(1);
    LUserSettingSetString("Settings", "PaperSize", "");
    EXPECT_EQ(VTOptions::PaperSizeIDGet(), LPaperSizeUSLetter);
}

TEST_F(Options, PrinterTray)
{
    EXPECT_EQ(VTOptions::PrinterTrayIDGet(), 36);
    EXPECT_FALSE(VTOptions::PrinterTrayIDSet(254));
    EXPECT_FALSE(VTOptions::PrinterTrayIDSet(0));
    EXPECT_FALSE(VTOptions::PrinterTrayIDSet(-1));
    EXPECT_EQ(Stored("PrinterTray"), "<none>");
    EXPECT_TRUE(VTOptions::PrinterTrayIDSet(36));
    EXPECT_EQ(Stored("PrinterTray"), "cMG5350");
    EXPECT_TRUE(VTOptions::PrinterTrayIDSet(253));
    EXPECT_EQ(Stored("PrinterTray"), "dymo");
    EXPECT_EQ(VTOptions::PrinterTrayIDGet(), 253);
    EXPECT_FALSE(VTOptions::PrinterTrayIDSet(254));
    EXPECT_EQ(Stored("PrinterTray"), "dymo");

    // A key the table does not know (a printer dropped from it): no printer.
    LUserSettingSetString("Settings", "PrinterTray", "cOldPrinter");
    EXPECT_EQ(VTOptions::PrinterTrayIDGet(), 0);
    LUserSettingSetString("Settings", "PrinterTray", "");
    EXPECT_EQ(VTOptions::PrinterTrayIDGet(), 36);
}

TEST_F(Options, RecentFolders)
{
    char documents[kLPathSize], pictures[kLPathSize];
    ASSERT_TRUE(LFile::GetUserDocumentsFolder(documents));
    ASSERT_TRUE(LFile::GetUserPicturesFolder(pictures));
    std::string folder;
    VTOptions::RecentFolderProjectGet(folder);
    EXPECT_EQ(folder, documents);
    VTOptions::RecentFolderImageGet(folder);
    EXPECT_EQ(folder, pictures);

    LUserSettingSetString("Settings", "RecentFolderProject", "/srv/projekt/skivor");
    LUserSettingSetString("Settings", "RecentFolderImage", "/srv/bilder");
    VTOptions::RecentFolderProjectGet(folder);
    EXPECT_EQ(folder, "/srv/projekt/skivor");
    VTOptions::RecentFolderImageGet(folder);
    EXPECT_EQ(folder, "/srv/bilder");
    // Folders longer than 259 bytes come back whole.
    const std::string deep = "/srv/" + std::string(300, 'd') + "/" + std::string(300, 'e');
    LUserSettingSetString("Settings", "RecentFolderImage", deep.c_str());
    VTOptions::RecentFolderImageGet(folder);
    EXPECT_EQ(folder, deep);
}

TEST_F(Options, ScreenSize)
{
    DrawCanvas canvas(20, 20);
    LPaintContext& ctx = canvas.ctx();
    EXPECT_FLOAT_EQ(VTScreenGetSize(ctx, 8), 8);
    EXPECT_FLOAT_EQ(VTScreenGetSize(ctx, -8), 8);
    // 4 device units per millimetre: 8 units are 2 mm; the move plays no part.
    LPaintSurface::Transform(
        ctx, LMatrix<float>::Scaling(4, 4) * LMatrix<float>::Translation(100, 50));
    EXPECT_FLOAT_EQ(VTScreenGetSize(ctx, 8), 2);
    // Different scales: the shorter length.
    LPaintSurface::TransformReset(ctx);
    LPaintSurface::Transform(ctx, LMatrix<float>::Scaling(2, 8));
    EXPECT_FLOAT_EQ(VTScreenGetSize(ctx, 8), 1);
    // A quarter turn changes nothing.
    LPaintSurface::TransformReset(ctx);
    LPaintSurface::Transform(ctx, LMatrix<float>::RotationZ(1.5707964f));
    EXPECT_NEAR(VTScreenGetSize(ctx, 8), 8, 1e-4);
}
