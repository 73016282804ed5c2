// The save dialog's aids: the target size (input, search on its worker,
// cancel), the source's quality with its warning, and the difference view.
#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>

#include <QAction>
#include <QLabel>
#include <QScrollBar>
#include <QTest>
#include <QThreadPool>

#include "controls/file_list_box.h"
#include "encoder/save_jpeg.h"
#include "encoder/target_size.h"
#include "form_fixture.h"
#include "forms/image/image_window.h"
#include "forms/main/main_window.h"
#include "forms/save/save_dialog.h"
#include "runtime/forms.h"
#include "runtime/texts.h"
#include "test_files.h"

namespace {

// Waits for the workers and hands their results over, twice: a search's answer starts a preview.
void settle()
{
    for (int round = 0; round < 2; ++round) {
        QThreadPool::globalInstance()->waitForDone();
        QCoreApplication::sendPostedEvents();
    }
}

const QString badTarget = QStringLiteral("目標サイズには 0 より大きい数を入力してください。\n例: 20 なら 20000 バイトまで");

// The program started and one picture, the only file in its folder, clicked in the file list.
class SaveDialogAids : public FormTest {
protected:
    SaveDialog& openWith(const QString& name, int jpegQuality = 0)
    {
        startProgram();
        const QString path = scratch_.filePath(name);
        if (jpegQuality)
            EXPECT_EQ(saveJpeg(picture_, 320, 240, path, std::uint8_t(jpegQuality), 0), JpegStatus::Written);
        else
            EXPECT_TRUE(picture_.save(path, "BMP"));
        mainWindow().fileList->setPath(scratch_.path());
        mainWindow().fileList->setListIndex(0);
        mainWindow().openSaveDialog();
        settle();
        SaveDialog* dialog = forms::loaded<SaveDialog>();
        return dialog ? *dialog : throw std::runtime_error("the save dialog did not open");
    }
    static MainWindow& mainWindow() { return forms::get<MainWindow>(); }
    qint64 sizeAt(int quality) const { return *encodedJpegSize(picture_, quality); }
    ~SaveDialogAids() override { settle(); }

    QImage picture_ = testPicture(320, 240);
    QTemporaryDir scratch_;
};

TEST_F(SaveDialogAids, ATargetSizeMovesTheSliderToTheHighestQualityWithinItOrSaysWhyNot)
{
    SaveDialog& dialog = openWith(QStringLiteral("photo.bmp"));
    EXPECT_EQ(dialog.targetSizeAction->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_T));
    for (const QString& typed : {QString(), QStringLiteral("abc"), QStringLiteral("-5"), QStringLiteral("0")}) {
        dialogs_->answerInput(typed).answerMessage();
        dialog.targetSizeAction->trigger();
        EXPECT_EQ(dialogs_->boxes().at(dialogs_->boxes().size() - 2).title, QStringLiteral("目標サイズ"));
        EXPECT_EQ(dialogs_->last().text, badTarget) << typed.toStdString();
        EXPECT_FALSE(dialog.searchingTargetSize());
    }

    // Thousands of bytes as the size label shows them, decimals and full-width digits too.
    const qint64 limit = sizeAt(30) + 1;
    for (const QString& typed : {QString::number(limit / 1000.0, 'f', 3), sizeText(limit).replace(QLatin1Char('1'), QChar(0xFF11))}) {
        dialog.qualitySlider->setValue(90);
        settle();
        dialogs_->answerInput(typed);
        dialog.targetSizeAction->trigger();
        settle();
        EXPECT_EQ(dialog.qualitySlider->value(), 30) << typed.toStdString();
        EXPECT_EQ(dialog.sizeValue->text(), sizeText(sizeAt(30)));
        EXPECT_EQ(dialog.mousePointer(), 0);
    }

    dialogs_->answerInput(QStringLiteral("0.2")).answerMessage();
    dialog.targetSizeAction->trigger();
    settle();
    EXPECT_EQ(dialogs_->last().text, QStringLiteral("指定サイズより小さくできません"));
    EXPECT_EQ(dialog.qualitySlider->value(), 30);
}

// The search's sizes wait for a release each; each size is the quality in thousands.
struct BlockingSizes {
    void installIn(SaveDialog& dialog)
    {
        dialog.encodedSize = [this](const QImage&, int quality, const std::function<bool()>&) -> std::optional<qint64> {
            std::unique_lock lock(mutex);
            ++started;
            changed.notify_all();
            changed.wait(lock, [&] { return releases > 0; });
            --releases;
            return quality * 1000;
        };
    }
    void waitForStart()
    {
        std::unique_lock lock(mutex);
        changed.wait(lock, [&] { return started > 0; });
    }
    void releaseAll()
    {
        const std::lock_guard lock(mutex);
        releases = 1000;
        changed.notify_all();
    }
    std::mutex mutex;
    std::condition_variable changed;
    int started = 0;
    int releases = 0;
};

TEST_F(SaveDialogAids, EscapeOrASliderMoveStopsTheSearchAndNothingElse)
{
    SaveDialog& dialog = openWith(QStringLiteral("photo.bmp"));
    dialog.show();
    dialog.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
    BlockingSizes sizes;
    sizes.installIn(dialog);
    const std::vector<std::function<void()>> stops = {
        [&] { QTest::keyClick(&dialog, Qt::Key_Escape); },
        [&] { QTest::keyClick(dialog.qualitySlider, Qt::Key_Right); },
    };
    for (const auto& stop : stops) {
        const int before = dialog.qualitySlider->value();
        dialogs_->answerInput(QStringLiteral("20"));
        QTest::keyClick(&dialog, Qt::Key_T, Qt::ControlModifier);
        sizes.waitForStart();
        EXPECT_TRUE(dialog.searchingTargetSize());
        EXPECT_EQ(dialog.mousePointer(), 11);
        stop();
        EXPECT_FALSE(dialog.searchingTargetSize());
        EXPECT_NE(dialog.mousePointer(), 11);
        const int after = dialog.qualitySlider->value();
        sizes.releaseAll();
        settle();
        EXPECT_EQ(forms::loaded<SaveDialog>(), &dialog);
        EXPECT_EQ(dialog.qualitySlider->value(), after);
        EXPECT_NE(after, 20);
        EXPECT_LE(after - before, 1);
        sizes.releases = 0;
        sizes.started = 0;
    }
    // Unhindered, the same search ends at 20.
    sizes.releaseAll();
    dialogs_->answerInput(QStringLiteral("20"));
    dialog.targetSizeAction->trigger();
    settle();
    EXPECT_EQ(dialog.qualitySlider->value(), 20);
}

TEST_F(SaveDialogAids, AJpegSourceGivesItsQualityAndTheSizeTurnsRedAboveItOrAboveItsSize)
{
    SaveDialog& dialog = openWith(QStringLiteral("photo.kir"), 90);
    const auto textColour = [](const QLabel* label) { return label->palette().color(label->foregroundRole()); };
    const QColor plain = textColour(dialog.sizeValue);
    EXPECT_EQ(dialog.qualitySlider->toolTip(), QStringLiteral("元画像の画質: 約90"));
    const QString larger = QStringLiteral("\n元ファイルより大きくなります（元 ") + sizeText(sizeAt(90)) + QStringLiteral("）");
    struct Case { int quality; QString warning; };
    // Compressing a compressed picture again at its own quality already makes it bigger.
    for (const Case& c : {Case{91, larger + QStringLiteral("\n元画像より高い画質です")},
                          Case{90, larger}, Case{50, QString()}}) {
        dialog.qualitySlider->setValue(c.quality);
        settle();
        EXPECT_EQ(dialog.sizeValue->toolTip(), QStringLiteral("バイト数") + c.warning) << c.quality;
        EXPECT_EQ(textColour(dialog.sizeValue), c.warning.isEmpty() ? plain : QColor(Qt::red));
    }
    dialog.cancel();
    settle();

    // A picture from no JPEG file leaves the slider and the size as they always were.
    forms::get<ImageWindow>().showPicture(testPicture(320, 240));
    mainWindow().openSaveDialog();
    settle();
    SaveDialog& plainDialog = *forms::loaded<SaveDialog>();
    plainDialog.qualitySlider->setValue(100);
    settle();
    EXPECT_EQ(plainDialog.qualitySlider->toolTip(), QString());
    EXPECT_EQ(plainDialog.sizeValue->toolTip(), QStringLiteral("バイト数"));
    EXPECT_EQ(textColour(plainDialog.sizeValue), plain);
}

TEST_F(SaveDialogAids, HoldingDOrTheMenuShowsTheAmplifiedDifferenceAndTheTooltipMeasuresIt)
{
    SaveDialog& dialog = openWith(QStringLiteral("photo.bmp"));
    const QImage compressed = dialog.preview->picture();
    const auto darkShare = [](const QImage& picture) {
        int dark = 0;
        for (int y = 0; y < picture.height(); ++y)
            for (int x = 0; x < picture.width(); ++x)
                dark += qGray(picture.pixel(x, y)) < 64;
        return double(dark) / (picture.width() * picture.height());
    };
    ASSERT_LT(darkShare(compressed), 0.5);
    for (const bool byKey : {true, false}) {
        if (byKey)
            QTest::keyPress(&dialog, Qt::Key_D);
        else
            dialog.differenceAction->setChecked(true);
        settle();
        const QImage difference = dialog.preview->picture();
        EXPECT_EQ(difference.size(), compressed.size());
        EXPECT_GT(darkShare(difference), 0.5); // errors are small, so the view is mostly dark
        EXPECT_NE(difference, compressed);
        EXPECT_TRUE(dialog.preview->toolTip().contains(QStringLiteral("元画像との差を8倍に強調")));
        EXPECT_TRUE(dialog.preview->toolTip().contains(QStringLiteral("PSNR ")));
        if (byKey)
            QTest::keyRelease(&dialog, Qt::Key_D);
        else
            dialog.differenceAction->setChecked(false);
        EXPECT_EQ(dialog.preview->picture(), compressed);
        EXPECT_FALSE(dialog.preview->toolTip().contains(QStringLiteral("強調")));
    }
    EXPECT_TRUE(dialog.preview->toolTip().startsWith(QStringLiteral("画像のプレビュー\nPSNR ")));
}

} // namespace
