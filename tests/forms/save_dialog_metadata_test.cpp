// A photo in the save dialog: the location left out when the slider's menu says so (and
// remembered), and the metadata's bytes counted in the sizes.
#include <QAction>
#include <QFileInfo>
#include <QScrollBar>

#include <exiv2/exiv2.hpp>

#include "desktop/user_files.h"
#include "form_fixture.h"
#include "jpeg/jpeg_markers.h"
#include "jpeg/jpeg_metadata.h"
#include "measure/target_size.h"
#include "photo_files.h"
#include "runtime/texts.h"

namespace {

bool hasGps(const QString& path)
{
    const JpegMarkers markers = readJpegMarkersOfFile(path);
    Exiv2::ExifData exif;
    if (!markers.exif.isEmpty())
        Exiv2::ExifParser::decode(exif, reinterpret_cast<const Exiv2::byte*>(markers.exif.constData()), uint32_t(markers.exif.size()));
    return std::any_of(exif.begin(), exif.end(), [](const Exiv2::Exifdatum& d) { return d.groupName() == "GPSInfo"; })
        || markers.xmp.contains("GPSLatitude");
}

// A camera's photo, held turned (orientation 6), in a profile that swaps red
// and green, with EXIF (thumbnail and GPS) and XMP; clicked and its save dialog opened.
class PhotoSaveTest : public FormTest {
protected:
    PhotoSaveTest()
    {
        startProgram();
        const QByteArray segments = exifApp1(cameraExif(6, true)) + xmpApp1(cameraXmp(6))
            + iccSegments(swappedRedGreenProfile(), 2, {2, 1});
        click("photo.jpg", withSegments(texturedRedJpeg(320, 240), segments));
    }
    ~PhotoSaveTest() override { settleWorkers(); }
    static SaveDialog& openDialog()
    {
        mainWindow().openSaveDialog();
        waitForPicture();
        settleWorkers();
        return saveDialog() ? *saveDialog() : throw std::runtime_error("the save dialog did not open");
    }
};

} // namespace

TEST_F(PhotoSaveTest, LocationLeftOutWhenAskedRememberedAndFavoritesUntouched)
{
    // A camera's EXIF alone, no XMP: the location is still there to leave out.
    click("exif.jpg", withSegments(texturedRedJpeg(320, 240), exifApp1(cameraExif(6, true))));
    const QString settingsFile = userfiles::current().settingsFile();
    const QByteArray favorites = "[okini]\nkey01=/home\n";
    ASSERT_TRUE(writeBytes(settingsFile, favorites));
    ASSERT_TRUE(hasGps(openDialog().previewPath()));
    saveDialog()->dropLocationAction->setChecked(true);
    settleWorkers();
    EXPECT_FALSE(hasGps(SaveDialog::previewPath()));
    const QByteArray settings = readBytes(settingsFile);
    EXPECT_TRUE(settings.startsWith(favorites) && settings.contains("[save]")) << settings.constData();
    saveDialog()->cancel();
    SaveDialog& again = openDialog();
    EXPECT_TRUE(again.dropLocationAction->isChecked());
    again.dropLocationAction->setChecked(false);
    settleWorkers();
    EXPECT_TRUE(hasGps(SaveDialog::previewPath()));
}

TEST_F(PhotoSaveTest, TargetSizeAndSizeLabelCountTheMetadataBytes)
{
    SaveDialog& dialog = openDialog();
    const JpegMarkers kept = keptMetadata(readJpegMarkersOfFile(at("photo.jpg")), {QSize(240, 320), false});
    const QImage picture = model().fullPicture();
    const auto sizeAt = [&](int quality) { return *encodedJpegSize(picture, quality) + markersByteCount(kept); };
    const qint64 limit = sizeAt(30);
    dialogs_->answerInput(QString::number(limit / 1000.0, 'f', 3));
    dialog.targetSizeAction->trigger();
    settleWorkers();
    // Sizes need not grow with quality everywhere: a quality that fits whose next one does not.
    const int found = dialog.qualitySlider->value();
    EXPECT_TRUE(sizeAt(found) <= limit && sizeAt(found + 1) > limit) << found;
    EXPECT_EQ(dialog.sizeValue->text(), sizeText(sizeAt(found)));
    EXPECT_EQ(QFileInfo(SaveDialog::previewPath()).size(), sizeAt(found));
}
