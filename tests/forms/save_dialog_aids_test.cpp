// The save dialog's aids: target size, the source's quality, difference and original views, measurement, location.
#include <exiv2/exiv2.hpp>

#include "jpeg/jpeg_markers.h"
#include "jpeg/jpeg_metadata.h"
#include "photo_files.h"
#include "save_dialog_fixture.h"

namespace {

const QString sliderHint = QStringLiteral("右クリックでメニュー・Ctrl+T で目標サイズ");

// Full-width digits and points, as an input method types them, read all the same.
TEST_F(SaveDialogTest, TypedTargetSizesAreReadOrRefusedWithAReason)
{
    SaveDialog& dialog = openDialog();
    services().encodedSize = [](const QImage&, int quality, std::stop_token) -> std::optional<qint64> { return quality * 1000; };
    const QString example = QStringLiteral("目標サイズには 0 より大きい数を入力してください。\n例: 20 なら 20000 バイトまで");
    const QString belowOne = QStringLiteral("指定サイズより小さくできません\n最も小さくて %1 バイト（画質 1）").arg(sizeText(1000));
    const struct { QString typed; int quality; QString message; } cases[] = {
        {"", 50, example}, {"abc", 50, example}, {"-5", 50, example}, {"0", 50, example},
        {"0.9", 50, belowOne}, {"0.9996", 50, belowOne}, // a fraction of a byte under quality 1's size
        {"２０", 20, {}}, {"１.５", 1, {}}, {"３．５", 3, {}}, {"1.9995", 1, {}}, {"2", 2, {}}};
    for (const auto& [typed, quality, message] : cases) {
        dialogs_->answerInput(typed);
        if (!message.isEmpty())
            dialogs_->answerMessage();
        dialog.targetSizeAction->trigger();
        settleWorkers();
        EXPECT_EQ(dialog.qualitySlider->value(), quality) << typed.toStdString();
        const ScriptedDialogs::Box& last = dialogs_->last();
        EXPECT_EQ(last.kind == ScriptedDialogs::Box::Message ? last.text : QString(), message) << typed.toStdString();
    }
    dialogs_->cancelInput();
    dialog.targetSizeAction->trigger();
    EXPECT_EQ(dialogs_->last().defaultText, dialog.sizeValue->text());
    EXPECT_FALSE(dialog.sizeValue->text().isEmpty() || dialog.searchingTargetSize());
}

TEST_F(SaveDialogTest, EscapeOrASliderMoveStopsTheSearchAndNothingElse)
{
    SaveDialog& dialog = openDialog();
    dialog.show();
    dialog.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
    std::counting_semaphore<> begun{0}, released{0};
    std::atomic<bool> free{false};
    services().encodedSize = [&](const QImage&, int quality, std::stop_token) -> std::optional<qint64> {
        if (!free) {
            begun.release();
            released.acquire();
        }
        return quality * 1000;
    };
    for (const Qt::Key key : {Qt::Key_Escape, Qt::Key_Right}) {
        dialogs_->answerInput(QStringLiteral("20"));
        QTest::keyClick(&dialog, Qt::Key_T, Qt::ControlModifier);
        begun.acquire();
        EXPECT_TRUE(dialog.searchingTargetSize() && dialog.mousePointer() == MousePointer::Hourglass);
        QTest::keyClick(key == Qt::Key_Escape ? static_cast<QWidget*>(&dialog) : static_cast<QWidget*>(dialog.qualitySlider), key);
        EXPECT_FALSE(dialog.searchingTargetSize() || dialog.mousePointer() == MousePointer::Hourglass);
        const int after = dialog.qualitySlider->value();
        free = true;
        released.release();
        settleWorkers();
        free = false;
        EXPECT_EQ(saveDialog(), &dialog);
        EXPECT_EQ(dialog.qualitySlider->value(), after);
    }
}

// Both figures are of the bytes shown, not of the file saved over at 50 since, as a save from the
// dialog does. Whether a quality's file is larger than the source is the encoder's to tell.
TEST_F(SaveDialogTest, OnlyAJpegSourceGivesAQualityAndWarnsFromIt)
{
    select(QStringLiteral("photo.kir"), 90);
    openDialog().cancel();
    ASSERT_EQ(saveJpeg(picture_, 323, 241, at("photo.kir"), 50, JpegTarget::Chosen), JpegStatus::Written);
    SaveDialog& dialog = openDialog();
    EXPECT_EQ(dialog.qualitySlider->toolTip(), QStringLiteral("元画像の画質: 約90\n") + sliderHint);
    const qint64 sourceSize = *encodedJpegSize(picture_, 90);
    const QString larger = QStringLiteral("\n元ファイルより大きくなります（元 ") + sizeText(sourceSize) + QStringLiteral("）");
    const auto largerAt = [&](int quality) { return *encodedJpegSize(model().fullPicture(), quality) > sourceSize; };
    ASSERT_TRUE(largerAt(98) && !largerAt(50)) << "both sides of the size warning";
    for (const int quality : {98, 91, 90, 50}) {
        const QString warning = (largerAt(quality) ? larger : QString()) + (quality > 90 ? QStringLiteral("\n元画像より高い画質です") : QString());
        dialog.qualitySlider->setValue(quality);
        settleWorkers();
        EXPECT_EQ(dialog.sizeValue->toolTip(), QStringLiteral("バイト数") + warning) << quality;
        EXPECT_EQ(drawn(dialog.sizeValue).red, !warning.isEmpty()) << "the size text's colour at " << quality;
    }
    dialog.cancel();
    model().showInMemory(picture_);
    SaveDialog& plainDialog = openDialog();
    plainDialog.qualitySlider->setValue(100);
    settleWorkers();
    EXPECT_EQ(plainDialog.qualitySlider->toolTip() + '|' + plainDialog.sizeValue->toolTip(), sliderHint + QStringLiteral("|バイト数"));
}

// Held by key or checked in the menu: D shows the difference amplified until its peak is white, with PSNR and SSIM;
// O the original (at quality 1 the preview is far from it). Both go back.
TEST_F(SaveDialogTest, DifferenceAndOriginalShowByKeyOrMenuAndGoBack)
{
    SaveDialog& dialog = openDialog();
    dialog.qualitySlider->setValue(1);
    settleWorkers();
    const QImage compressed = dialog.preview->picture();
    const auto distance = [&](const QImage& shown) {
        const QImage original = picture_.scaled(shown.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        double sum = 0;
        int brightest = 0;
        for (int y = 0; y < shown.height(); ++y)
            for (int x = 0; x < shown.width(); ++x) {
                const QRgb p = shown.pixel(x, y), o = original.pixel(x, y);
                sum += std::abs(qRed(p) - qRed(o)) + std::abs(qGreen(p) - qGreen(o)) + std::abs(qBlue(p) - qBlue(o));
                brightest = std::max(brightest, qGray(p));
            }
        return std::pair(brightest, sum / (3.0 * shown.width() * shown.height()));
    };
    ASSERT_GT(distance(compressed).second, 4);
    const std::pair<Qt::Key, QAction*> ways[] = {
        {Qt::Key_D, nullptr}, {Qt::Key_D, dialog.differenceAction}, {Qt::Key_O, nullptr}, {Qt::Key_O, dialog.originalAction}};
    for (const auto& [key, action] : ways) {
        const bool difference = key == Qt::Key_D;
        SCOPED_TRACE(testing::Message() << char(key) << (action ? " by the menu" : " by its key"));
        action ? action->setChecked(true) : QTest::keyPress(&dialog, key);
        settleWorkers();
        const auto [brightest, mean] = distance(dialog.preview->picture());
        const QString figures = dialog.figuresLabel->text();
        if (difference) {
            EXPECT_EQ(brightest, 255) << "not amplified";
            EXPECT_TRUE(QRegularExpression(QStringLiteral("^PSNR [0-9.]+ dB・SSIM 0\\.[0-9]+\n差を[0-9]+倍に強調$")).match(figures).hasMatch())
                << figures.toStdString();
        } else {
            EXPECT_LT(mean, 1.5) << "not the original";
            EXPECT_EQ(figures, QStringLiteral("元画像"));
        }
        EXPECT_TRUE(dialog.figuresLabel->isVisibleTo(&dialog));
        action ? action->setChecked(false) : QTest::keyRelease(&dialog, key);
        EXPECT_FALSE(dialog.figuresLabel->isVisibleTo(&dialog));
        EXPECT_EQ(dialog.preview->picture(), compressed) << "the compressed preview did not come back";
    }
}

// Neither 50's measurement beside 51's preview, nor 51's while 52's preview is being made.
TEST_F(SaveDialogTest, AMeasurementShowsOnlyWithItsOwnQuality)
{
    SaveDialog& dialog = openDialog();
    hover(dialog);
    settleWorkers();
    ASSERT_TRUE(dialog.preview->toolTip().contains(QStringLiteral(" dB"))) << "measured at 50";
    dialog.qualitySlider->setValue(51);
    settleWorkers();
    const QString at51 = hover(dialog);
    EXPECT_TRUE(at51.contains(QStringLiteral("計算中")) && !at51.contains(QStringLiteral(" dB"))) << at51.toStdString();
    QThreadPool::globalInstance()->waitForDone(); // 51 measured; its result waits in the queue
    // Held by the job too: the worker still touches it on its way out of acquire().
    const auto released = std::make_shared<std::binary_semaphore>(0);
    services().encodePreview = [released](const PreviewJob&, std::stop_token) {
        released->acquire();
        return PreviewResult{JpegStatus::CannotWrite, {}, {}, 0};
    };
    dialog.qualitySlider->setValue(52);
    QCoreApplication::sendPostedEvents();
    const QString at52 = dialog.preview->toolTip();
    released->release();
    EXPECT_FALSE(at52.contains(QStringLiteral(" dB"))) << at52.toStdString();
}

bool hasGps(const QString& path)
{
    const JpegMarkers markers = readJpegMarkersOfFile(path);
    Exiv2::ExifData exif;
    if (!markers.exif.isEmpty())
        Exiv2::ExifParser::decode(exif, reinterpret_cast<const Exiv2::byte*>(markers.exif.constData()), uint32_t(markers.exif.size()));
    return std::any_of(exif.begin(), exif.end(), [](const Exiv2::Exifdatum& d) { return d.groupName() == "GPSInfo"; })
        || markers.xmp.contains("GPSLatitude");
}

// EXIF alone, no XMP: the location is still there to leave out. The choice is remembered beside the favorites.
TEST_F(SaveDialogTest, APhotosLocationLeftOutWhenAskedAndRemembered)
{
    click("exif.jpg", withSegments(texturedRedJpeg(320, 240), exifApp1(cameraExif(6, true)) + iccSegments(swappedRedGreenProfile(), 1)));
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

// A camera's photo held turned, with EXIF, XMP and a profile in two pieces: the target search and the size shown
// count the bytes of the metadata the save keeps. Sizes need not grow with quality everywhere: the quality found
// fits and its next one does not.
TEST_F(SaveDialogTest, TargetSizeAndSizeLabelCountTheMetadataBytes)
{
    const QByteArray segments = exifApp1(cameraExif(6, true)) + xmpApp1(cameraXmp(6)) + iccSegments(swappedRedGreenProfile(), 2, {2, 1});
    click("photo.jpg", withSegments(texturedRedJpeg(320, 240), segments));
    SaveDialog& dialog = openDialog();
    const JpegMarkers kept = keptMetadata(readJpegMarkersOfFile(at("photo.jpg")), {QSize(240, 320), false});
    const QImage picture = model().fullPicture();
    const auto sizeAt = [&](int quality) { return *encodedJpegSize(picture, quality) + markersByteCount(kept); };
    const qint64 limit = sizeAt(30);
    dialogs_->answerInput(QString::number(limit / 1000.0, 'f', 3));
    dialog.targetSizeAction->trigger();
    settleWorkers();
    const int found = dialog.qualitySlider->value();
    EXPECT_TRUE(sizeAt(found) <= limit && sizeAt(found + 1) > limit) << found;
    EXPECT_EQ(dialog.sizeValue->text(), sizeText(sizeAt(found)));
    EXPECT_EQ(QFileInfo(SaveDialog::previewPath()).size(), sizeAt(found));
}

} // namespace
