#include "app/VTPrinterTray.h"

#include <gtest/gtest.h>
#include <set>
#include <string>

TEST(PrinterTray, TablesAreIndexedByIdWithUniqueKeys)
{
    std::set<std::string> keys;
    for (int i = 0; i < kVTPrinterTrayCount; ++i) {
        const VTPrinterTray& row = VTPrinterTrayArray[i];
        EXPECT_EQ(row.id, i);
        ASSERT_NE(row.key, nullptr);
        EXPECT_TRUE(keys.insert(row.key).second) << row.key;
        EXPECT_GE(row.traySize, 0);
        EXPECT_LT(row.traySize, kVTCDDVDTraySizeCount);
        if (i > 0) {
            EXPECT_NE(row.traySize, 0) << row.key;
            const std::string name = row.name;
            const std::string suffix = " utskrivbar skiva";
            ASSERT_GT(name.size(), suffix.size());
            EXPECT_EQ(name.substr(name.size() - suffix.size()), suffix) << row.key;
            // Every key finds its own row.
            EXPECT_EQ(VTPrinterTrayGetIDFromKey(row.key), i);
        }
    }
    EXPECT_EQ(VTPrinterTrayArray[0].traySize, 0);
    EXPECT_STREQ(VTPrinterTrayArray[0].key, "Invalid");
    EXPECT_STREQ(VTPrinterTrayArray[0].name, "Invalid");
    for (int i = 0; i < kVTCDDVDTraySizeCount; ++i)
        EXPECT_EQ(VTCDDVDTraySizeInfoArray[i].id, i);
}

TEST(PrinterTray, RowsOfEachTray)
{
    // How many printers take each tray size.
    const int expected[kVTCDDVDTraySizeCount]
        = { 1, 2, 2, 23, 5, 31, 2, 13, 3, 8, 120, 26, 3, 1, 3, 1, 9, 1 };
    int counts[kVTCDDVDTraySizeCount] = {};
    for (const VTPrinterTray& row : VTPrinterTrayArray)
        ++counts[row.traySize];
    for (int t = 0; t < kVTCDDVDTraySizeCount; ++t)
        EXPECT_EQ(counts[t], expected[t]) << "tray size " << t;

    struct Row {
        int id;
        int tray;
        const char* key;
        const char* name;
    } const rows[] = {
        { 1, 1, "cTypeA", "General Canon Tray Type A utskrivbar skiva" },
        { 17, 5, "ciP4840", "Canon iP4840 utskrivbar skiva" },
        { 18, 3, "ciP4200", "Canon iP4200 utskrivbar skiva" },
        { 36, 5, "cMG5350", "Canon Pixma MG5350 utskrivbar skiva" },
        { 37, 7, "cMG5420", "Canon Pixma MG5420 utskrivbar skiva" },
        { 74, 6, "cP1", "Canon Pro-1 utskrivbar skiva" },
        { 82, 9, "eType1", "General Epson Tray Type 1 utskrivbar skiva" },
        { 91, 10, "eA50", "Epson Artisan 50 utskrivbar skiva" },
        { 209, 10, "eXP950", "Epson XP-950 utskrivbar skiva" },
        { 210, 11, "hC5200", "HP C5200 utskrivbar skiva" },
        { 235, 11, "hD7560", "HP D7560 utskrivbar skiva" },
        { 236, 12, "bMJ825DW", "Brother MFC-j825DW utskrivbar skiva" },
        { 239, 13, "iD20", "Imation D20 Disc Publisher utskrivbar skiva" },
        { 243, 15, "mS", "Microboards MX Series utskrivbar skiva" },
        { 252, 16, "pPXRN", "Primera Disc Publisher XRn utskrivbar skiva" },
        { 253, 17, "dymo", "DYMO DiscPainter utskrivbar skiva" },
    };
    for (const Row& r : rows) {
        EXPECT_EQ(VTPrinterTrayArray[r.id].traySize, r.tray) << r.key;
        EXPECT_STREQ(VTPrinterTrayArray[r.id].key, r.key);
        EXPECT_STREQ(VTPrinterTrayArray[r.id].name, r.name);
    }
}

TEST(PrinterTray, LookUpByKey)
{
    EXPECT_EQ(VTPrinterTrayGetIDFromKey("cMG5350"), 36);
    // The tray-size table has "dymo" too, but only printers are searched.
    EXPECT_EQ(VTPrinterTrayGetIDFromKey("dymo"), 253);
    EXPECT_EQ(VTPrinterTrayGetIDFromKey("cmg5350"), 0);
    EXPECT_EQ(VTPrinterTrayGetIDFromKey("DYMO"), 0);
    EXPECT_EQ(VTPrinterTrayGetIDFromKey("Invalid"), 0);
    EXPECT_EQ(VTPrinterTrayGetIDFromKey("cFG"), 0);
    EXPECT_EQ(VTPrinterTrayGetIDFromKey(""), 0);
    EXPECT_EQ(VTPrinterTrayGetIDFromKey(nullptr), 0);
    EXPECT_EQ(VTPrinterTrayGetIDFromKey(kVTPrinterTrayDefaultKey), VTPrinterTrayDefault);
}

TEST(PrinterTray, LookUpById)
{
    EXPECT_EQ(VTPrinterTrayGet(0), nullptr);
    EXPECT_EQ(VTPrinterTrayGet(254), nullptr);
    EXPECT_EQ(VTPrinterTrayGet(-1), nullptr);
    EXPECT_EQ(VTPrinterTrayGetKey(0), nullptr);
    EXPECT_EQ(VTPrinterTrayGetKey(254), nullptr);
    ASSERT_NE(VTPrinterTrayGet(1), nullptr);
    EXPECT_STREQ(VTPrinterTrayGetKey(1), "cTypeA");
    EXPECT_STREQ(VTPrinterTrayGetKey(253), "dymo");

    // The default printer's tray: "cFG".
    const VTCDDVDTraySizeInfo& tray = VTPrinterTrayGetTraySize(36);
    EXPECT_STREQ(tray.key, "cFG");
    EXPECT_STREQ(tray.name, "Canon Tray F, G");
    EXPECT_FLOAT_EQ(tray.width, 131.1f);
    EXPECT_FLOAT_EQ(tray.height, 238.8f);
    EXPECT_FLOAT_EQ(tray.offsetX, -0.05f);
    EXPECT_FLOAT_EQ(tray.offsetY, 23.4f);

    // No printer: tray-size row 0, a page of 0 by 0 with the disc at its centre.
    for (VTPrinterTrayID id : { 0, 254, -5 }) {
        const VTCDDVDTraySizeInfo& none = VTPrinterTrayGetTraySize(id);
        EXPECT_EQ(none.id, 0);
        EXPECT_FLOAT_EQ(none.width, 0);
        EXPECT_FLOAT_EQ(none.height, 0);
        EXPECT_FLOAT_EQ(none.offsetX, 0);
        EXPECT_FLOAT_EQ(none.offsetY, 0);
    }

    struct Tray {
        int printer;
        const char* key;
        float width, height, x, y;
    } const trays[] = {
        { 1, "cA", 140.1f, 238.8f, -0.05f, 41.6f },
        { 8, "cH", 152.4f, 381.0f, 0.0f, -79.7f },
        { 83, "e2", 210.0f, 297.0f, -30.0f, -81.0f },
        { 210, "h1", 130.0f, 130.0f, -0.1f, 0.1f },
        { 239, "ima", 215.9f, 279.4f, -47.95f, -79.7f },
        { 253, "dymo", 120.0f, 120.0f, 0.0f, 0.0f },
    };
    for (const Tray& t : trays) {
        const VTCDDVDTraySizeInfo& info = VTPrinterTrayGetTraySize(t.printer);
        EXPECT_STREQ(info.key, t.key);
        EXPECT_FLOAT_EQ(info.width, t.width);
        EXPECT_FLOAT_EQ(info.height, t.height);
        EXPECT_FLOAT_EQ(info.offsetX, t.x);
        EXPECT_FLOAT_EQ(info.offsetY, t.y);
    }
}
