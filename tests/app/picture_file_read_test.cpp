// Reading a picture file for an add (VTProcessPictureFileRead, as the add's workers do): a
// picture of more pixels than a picture may have is told with its size and the limit, in the
// error the add keeps and shows, not as a damaged picture.
#include "app/VTPictureFilesAdd.h"
#include "lfw/graphics/ImageTestSupport.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// Keeps the last error told, as the add's item does.
struct LastError : LProcessInterfaceVoid {
    void SetError(const char* text) override { error = text ? text : ""; }
    std::string error;
};

} // namespace

TEST(PictureFileRead, APictureOverTheLimitIsToldWithItsSize)
{
    imagetest::TempFolder folder;
    const std::string huge = folder / "jätte.png", damaged = folder / "trasig.png";
    ASSERT_TRUE(imagetest::WriteBytes(huge, imagetest::PngHeaderOnly(20000, 20000)));
    ASSERT_TRUE(imagetest::WriteBytes(damaged, { 0x89, 'P', 'N', 'G' }));
    VTProcessPictureFileRead read;
    read.path = huge;
    LastError job;
    EXPECT_EQ(Process(job, read), LProcessResultError);
    EXPECT_FALSE(read.picture.IsValid());
    EXPECT_EQ(job.error,
        "Bilden är för stor: den har 20000 × 20000 bildpunkter (400\u00A0000\u00A0000), och en "
        "bild får ha högst 268\u00A0435\u00A0456 bildpunkter.");
    // A damaged one is still told as one.
    read.path = damaged;
    LastError other;
    EXPECT_EQ(Process(other, read), LProcessResultError);
    EXPECT_EQ(other.error, "Det gick inte att läsa in bilden.");
}
