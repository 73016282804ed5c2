// The save dialog: the preview at each opening and slider step, drag and zoom, saving and every way
// out; its aids: the target size, the source's quality and its warning, the difference view and its
// measurement, and a save under a proposed name that is not UTF-8.
#include <atomic>
#include <filesystem>
#include <functional>
#include <semaphore>

#include <unistd.h>

#include <QAction>
#include <QFile>
#include <QFileInfo>
#include <QHelpEvent>
#include <QPointer>
#include <QScrollBar>
#include <QThreadPool>

#include "about_dialog/about_dialog.h"
#include "desktop/user_files.h"
#include "encoder/save_jpeg.h"
#include "files/native_names.h"
#include "files/paths.h"
#include "form_fixture.h"
#include "jpeg/quality_estimate.h"
#include "measure/target_size.h"
#include "runtime/texts.h"
#include "save_dialog/preview_encoder.h"
#include "save_dialog/save_dialog.h"
#include "ui/questions.h"

namespace {

const QString overwriteQuestion = QStringLiteral("同名のファイルが存在します。上書きしますか？");
// Stands in for the preview encoding: each job notes its start, waits for a release, notes whether it was
// told to give up and, if it heeds that, does; else it gives a picture `quality` pixels wide and a size of
// `quality` thousand bytes.
struct BlockingEncoder {
    static std::shared_ptr<BlockingEncoder> install()
    {
        auto self = std::make_shared<BlockingEncoder>();
        services().encodePreview = [self](const PreviewJob& job, std::stop_token stop) {
            self->started.push_back(job.quality);
            self->begun.release();
            self->released.acquire();
            const bool abandon = stop.stop_requested();
            if (abandon)
                self->abandonedOnes.push_back(job.quality);
            // A picture even when abandoned: showing it would be the fault.
            return PreviewResult{abandon && self->heedsAbandon ? JpegStatus::Abandoned : JpegStatus::Written,
                                 QImage(job.quality, 10, QImage::Format_RGB32), QByteArray(), job.quality * 1000};
        };
        return self;
    }
    std::counting_semaphore<> begun{0}, released{0};
    std::vector<int> started, abandonedOnes; // read once the workers are done
    bool heedsAbandon = true;
};

// What the label draws inside its left and right edges: its darkest text, whether any text pixel is red,
// and whether its top or bottom border is.
struct Drawn {
    int darkest = 255;
    bool redText = false, redBorder = false;
};
Drawn drawn(QLabel* label)
{
    const QImage image = label->grab().toImage();
    Drawn result;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 1; x < image.width() - 1; ++x) {
            const QColor c = image.pixelColor(x, y);
            const bool border = y == 0 || y == image.height() - 1;
            (border ? result.redBorder : result.redText) |= c.red() > 160 && c.green() < 100 && c.blue() < 100;
            if (!border && x > 1 && x < image.width() - 2 && y > 1 && y < image.height() - 2)
                result.darkest = std::min(result.darkest, qGray(c.rgb()));
        }
    return result;
}

// The program started with the version dialog shown; the picture is a 323 x 241 one, the only file in
// its folder (a JPEG when given a quality), clicked in the file list when a dialog is opened for it.
class SaveDialogTest : public FormTest {
protected:
    SaveDialogTest()
    {
        startProgram();
        mainWindow().aboutDialog().show();
    }
    ~SaveDialogTest() override { settleWorkers(); }
    void select(const QString& name = QStringLiteral("photo.bmp"), int jpegQuality = 0)
    {
        write(name, encodedAs(picture_, "BMP"));
        if (jpegQuality) {
            EXPECT_EQ(saveJpeg(picture_, 323, 241, at(name), std::uint8_t(jpegQuality), JpegTarget::Chosen), JpegStatus::Written);
        }
        mainWindow().fileList->setPath(folderOf(at(name)));
        mainWindow().fileList->setListIndex(0);
        waitForPicture();
    }
    SaveDialog& openDialog(const QString& name = QStringLiteral("photo.bmp"), int jpegQuality = 0)
    {
        if (mainWindow().selectedPath.isEmpty())
            select(name, jpegQuality);
        mainWindow().openSaveDialog();
        settleWorkers();
        SaveDialog* saveDialog = FormTest::saveDialog();
        return saveDialog ? *saveDialog : throw std::runtime_error("the save dialog did not open");
    }
    QByteArray encoded(int quality)
    {
        const QString path = programFolder() + "/expected.jpg";
        EXPECT_EQ(saveJpeg(imageWindow().picture.picture(), 323, 241, path, std::uint8_t(quality), JpegTarget::Chosen), JpegStatus::Written);
        return readBytes(path);
    }
    qint64 sizeAt(int quality) const { return *encodedJpegSize(picture_, quality); }
    // The main window, the image window and the version dialog take input; off: the save dialog
    // is the modal window in front of all of them.
    bool othersEnabled(bool on = true) const
    {
        const bool enabled = mainWindow().isEnabled() && imageWindow().isEnabled() && mainWindow().aboutDialog().isEnabled();
        const SaveDialog* saveDialog = FormTest::saveDialog();
        const bool blocked = saveDialog && saveDialog->windowModality() == Qt::ApplicationModal
            && QApplication::activeModalWidget() == saveDialog;
        return on ? enabled && !QApplication::activeModalWidget() : enabled && blocked;
    }
    static QRectF box(const ImageControl& image)
    {
        return QRectF(image.twipsLeft().value(), image.twipsTop().value(), image.twipsWidth().value(), image.twipsHeight().value());
    }
    // Puts the cache folder under a plain file, where it cannot be made, not even by root; gives the plain file.
    static QString makePreviewUnwritable()
    {
        const QString plain = App::path() + QStringLiteral("/plain");
        EXPECT_TRUE(writeBytes(plain, "x"));
        services().userEnvironment = [plain] { return userfiles::Environment{[](const QString&) { return false; }, plain, {}, {}}; };
        return plain;
    }
    // The mouse rests on the preview: its tooltip asks for the measurement. Gives the tooltip's text.
    static QString hover(SaveDialog& dialog)
    {
        QHelpEvent event(QEvent::ToolTip, QPoint(1, 1), dialog.preview->mapToGlobal(QPoint(1, 1)));
        QCoreApplication::sendEvent(dialog.preview, &event);
        return dialog.preview->toolTip();
    }

    QImage picture_ = testPicture(323, 241); // no side a multiple of 8, nor 4:3
};

// Wherever the last one left the slider and the preview, two thirds of the shown size.
TEST_F(SaveDialogTest, EachOpeningPreviewsAtFiftyCentredAtTwoThirds)
{
    select();
    const QSizeF shown(imageWindow().pictureView->twipsWidth().value(), imageWindow().pictureView->twipsHeight().value());
    SaveDialog& first = openDialog();
    first.qualitySlider->setValue(80);
    first.dropOnPreviewArea(first.preview, 100, 100);
    first.zoomIn();
    first.cancel();
    SaveDialog& again = openDialog();
    EXPECT_EQ(again.qualitySlider->value(), 50);
    EXPECT_EQ(readBytes(SaveDialog::previewPath()), encoded(50)) << "the preview file is not quality 50";
    EXPECT_EQ(box(*again.preview).toAlignedRect(), QRectF(QPointF(720, 360), shown / 1.5).toAlignedRect()); // to the twip
}

// Dropped off the area's centre, the preview is centred where it lands; each zoom step then adds
// half the first size about that centre, eight steps in, nine out, none beyond.
TEST_F(SaveDialogTest, ADropCentresThePreviewAndZoomKeepsTheCentre)
{
    SaveDialog& saveDialog = openDialog();
    ImageControl& image = *saveDialog.preview;
    const QPoint emptyPart(image.geometry().right() + 20, 10); // in previewArea's pixels
    QTest::mousePress(&image, Qt::LeftButton, {}, QPoint(0, 0));
    QTest::mouseRelease(&image, Qt::LeftButton, {}, image.mapFrom(saveDialog.previewArea, emptyPart));
    const QRectF former = box(image);
    ASSERT_EQ(former.center().toPoint(), emptyPart * 15);
    const QSizeF step = QSizeF((*FormTest::saveDialog()).previewBaseWidth(), (*FormTest::saveDialog()).previewBaseHeight()) / 2;
    for (const auto& [clicks, size] : {std::pair(9, former.size() + 8 * step), std::pair(10, former.size() - step),
                                       std::pair(1, former.size())}) {
        for (int click = 0; click < clicks; ++click)
            clicks == 10 ? saveDialog.zoomOut() : saveDialog.zoomIn();
        const QRectF now = box(*saveDialog.preview);
        EXPECT_NEAR(now.width(), size.width(), 0.01) << "after " << clicks << " clicks";
        EXPECT_NEAR(now.height(), size.height(), 0.01) << "after " << clicks << " clicks";
        EXPECT_EQ(now.center().toPoint(), former.center().toPoint()) << "after " << clicks << " clicks";
    }
}

TEST_F(SaveDialogTest, WithoutAWritablePreviewTheDialogDoesNotOpen)
{
    select();
    const QString folder = makePreviewUnwritable();
    dialogs_->answerMessage();
    mainWindow().openSaveDialog();
    settleWorkers();
    services().userEnvironment = nullptr;
    EXPECT_EQ(dialogs_->last().text, QStringLiteral("プレビューを作成できません\n") + folder + QStringLiteral("/.cache/kiriview/Sample.jpg"));
    EXPECT_TRUE(!FormTest::saveDialog() && othersEnabled()) << "the dialog stayed loaded, or a window disabled";
}

// An unwritable folder does not pass someone else's file there off as the preview.
TEST_F(SaveDialogTest, AnUnwritablePreviewKeepsTheLastPreviewAndSize)
{
    SaveDialog& saveDialog = openDialog();
    const QString shownSize = saveDialog.sizeValue->text();
    const QImage shownPicture = saveDialog.preview->picture();
    ASSERT_EQ(saveJpeg(testPicture(40, 30), 40, 30, SaveDialog::previewPath(), 10, JpegTarget::Chosen), JpegStatus::Written);
    makePreviewUnwritable();
    QTest::keyClick(saveDialog.qualitySlider, Qt::Key_Right);
    settleWorkers();
    services().userEnvironment = nullptr;
    EXPECT_EQ(saveDialog.sizeValue->text(), shownSize);
    EXPECT_EQ(saveDialog.preview->picture(), shownPicture) << "another file shown as the preview";
    // No preview of 51 was ever shown: a save encodes 51 itself.
    dialogs_->answerSave(at("saved.jpg"));
    dialogs_->answerMessage();
    saveDialog.save();
    waitForPicture();
    EXPECT_EQ(readBytes(at("saved.jpg")), encoded(51)) << "the preview of 50 saved for 51";
}

// The size beside a quality it is not the size of is greyed until its own preview comes.
TEST_F(SaveDialogTest, PreviewsComeNewestFirstTheSizeGreyedMeanwhile)
{
    SaveDialog& saveDialog = openDialog();
    ASSERT_LT(drawn(saveDialog.sizeValue).darkest, 80) << "the size shown is not in black";
    const auto fake = BlockingEncoder::install();
    const QImage firstPicture = saveDialog.preview->picture();
    const QString firstSize = saveDialog.sizeValue->text();
    QStringList numbers;
    for (int press = 0; press < 3; ++press) { // 52 and 53 are asked for while 51 is being made
        QTest::keyClick(saveDialog.qualitySlider, Qt::Key_Right);
        numbers << saveDialog.qualityValue->text();
        if (press == 0)
            fake->begun.acquire();
    }
    EXPECT_EQ(numbers, QStringList({"51", "52", "53"}));
    EXPECT_EQ(saveDialog.mousePointer(), MousePointer::Busy);
    EXPECT_GT(drawn(saveDialog.sizeValue).darkest, 120) << "the size of 50 beside 53 is not greyed";

    // 51 gives up once released; until 53 is done the first preview stays.
    fake->released.release();
    fake->begun.acquire(); // 53
    QCoreApplication::sendPostedEvents();
    EXPECT_TRUE(saveDialog.preview->picture() == firstPicture && saveDialog.sizeValue->text() == firstSize)
        << "an abandoned preview replaced the first one";
    fake->released.release();
    settleWorkers();
    EXPECT_EQ(fake->started, std::vector({51, 53}));
    EXPECT_EQ(fake->abandonedOnes, std::vector({51}));
    EXPECT_EQ(saveDialog.preview->picture().width(), 53) << "not 53's preview";
    EXPECT_EQ(saveDialog.sizeValue->text(), sizeText(53000));
    EXPECT_EQ(saveDialog.mousePointer(), MousePointer::Default);
    EXPECT_LT(drawn(saveDialog.sizeValue).darkest, 80) << "53's own size is greyed";
}

TEST_F(SaveDialogTest, ClosingWhileAPreviewIsMadeIsImmediateAndDropsIt)
{
    SaveDialog& saveDialog = openDialog();
    const QPointer<SaveDialog> alive(&saveDialog);
    const auto fake = BlockingEncoder::install();
    QTest::keyClick(saveDialog.qualitySlider, Qt::Key_Right);
    fake->begun.acquire();
    EXPECT_TRUE(saveDialog.close());
    EXPECT_TRUE(!FormTest::saveDialog() && othersEnabled()) << "the dialog stayed loaded, or a window disabled";
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(alive.isNull());
    // Even a late result that ignored the abandonment reaches no destroyed
    // widget (the sanitizers would tell).
    fake->heedsAbandon = false;
    fake->released.release();
    settleWorkers();
    EXPECT_EQ(fake->abandonedOnes, std::vector({51}));
}

TEST_F(SaveDialogTest, SavesWriteTheEncodersBytesAndAreListed)
{
    select();
    for (const QString& target : {at("saved.jpg"), at("saved.kir"), model().savePath()}) {
        SCOPED_TRACE(target.toStdString());
        SaveDialog& saveDialog = openDialog();
        QTest::keyClick(saveDialog.qualitySlider, Qt::Key_Right);
        dialogs_->answerSave(target);
        if (target == model().savePath()) // the proposed name, whatever its extension
            dialogs_->answerMessage(MsgBoxResult::Ok);
        // The windows are usable again by the time the outcome shows; the dialog may be gone by then
        // (unloaded while the save was written on its worker).
        const QPointer<SaveDialog> dialog(&saveDialog);
        dialogs_->whileNextBoxOpen([&] { EXPECT_TRUE(othersEnabled() && !(dialog && dialog->isVisible())) << "a window still disabled, or the dialog shown"; }).answerMessage();
        saveDialog.save();
        waitForPicture();
        EXPECT_EQ(dialogs_->last().text + dialogs_->last().title, QStringLiteral("JPEG変換完了♪保存情況"));
        EXPECT_EQ(readBytes(target), encoded(51)) << "not the encoder's bytes at 51";
    }
    EXPECT_EQ(mainWindow().fileList->findItems(QStringLiteral("saved.kir"), Qt::MatchExactly).size(), 1);
    const ScriptedDialogs::Box& question = dialogs_->boxes().end()[-2];
    EXPECT_EQ(question.text + question.title, overwriteQuestion + QStringLiteral("photo.bmp"));
}

// A name that is a link: the question names the file the save replaces.
TEST_F(SaveDialogTest, TheOverwriteQuestionNamesTheFileALinkLeadsTo)
{
    select();
    const QString real = write("real.jpg", "an older picture");
    ASSERT_EQ(::symlink("real.jpg", QFile::encodeName(at("link.jpg")).constData()), 0);
    SaveDialog& saveDialog = openDialog();
    dialogs_->answerSave(at("link.jpg")).answerMessage(MsgBoxResult::Cancel);
    saveDialog.save();
    waitForPicture();
    const ScriptedDialogs::Box& question = dialogs_->last();
    EXPECT_EQ(question.title, QStringLiteral("link.jpg"));
    EXPECT_TRUE(question.text.startsWith(overwriteQuestion) && question.text.contains(QFileInfo(real).canonicalFilePath()))
        << question.text.toStdString();
}

// A file nobody may write, its overwrite confirmed, stays as it was, and the user is told.
TEST_F(SaveDialogTest, EveryWayOutEnablesTheOthersAndKeepsTheFiles)
{
    select();
    const QByteArray picture = readBytes(model().savePath());
    const QString readOnly = write("kept.jpg", "an older picture");
    ASSERT_TRUE(QFile::setPermissions(readOnly, QFile::ReadOwner | QFile::ReadOther));
    const auto save = [&](SaveDialog& saveDialog, const QString& target, MsgBoxResult answer = MsgBoxResult::Ok) {
        dialogs_->answerSave(target).answerMessage(answer);
        saveDialog.save();
        waitForPicture();
    };
    const struct { const char* name; std::function<void(SaveDialog&)> leave; QString report; } ways[] = {
        {"キャンセル", [](SaveDialog& saveDialog) { saveDialog.cancel(); }, {}},
        {"close box", [](SaveDialog& saveDialog) { EXPECT_TRUE(saveDialog.close()); }, {}},
        {"save-file dialog cancelled", [&](SaveDialog& saveDialog) { dialogs_->answerSave({}); saveDialog.save(); waitForPicture(); }, {}},
        {"overwrite declined", [&](SaveDialog& saveDialog) { save(saveDialog, model().savePath(), MsgBoxResult::Cancel); },
         overwriteQuestion},
        {"encoder failure", [&](SaveDialog& saveDialog) { save(saveDialog, at("none/x.jpg")); }, "ファイルがオープンできません"},
        {"read-only target", [&](SaveDialog& saveDialog) { dialogs_->answerSave(readOnly).answerMessage().answerMessage(); saveDialog.save(); waitForPicture(); },
         "ファイルがオープンできません"},
    };
    for (const auto& way : ways) {
        SCOPED_TRACE(way.name);
        SaveDialog& saveDialog = openDialog();
        ASSERT_TRUE(othersEnabled(false));
        const int messages = dialogs_->messageCount();
        way.leave(saveDialog);
        EXPECT_TRUE(!FormTest::saveDialog() && othersEnabled()) << "the dialog stayed loaded, or a window disabled";
        // The double fails on any box not scripted here.
        EXPECT_EQ(dialogs_->messageCount() > messages ? dialogs_->last().text : QString(), way.report);
    }
    EXPECT_EQ(readBytes(model().savePath()), picture);
    EXPECT_EQ(readBytes(readOnly), "an older picture");
}


// 保存 right after End: the save waits for the preview of 100, shows it, and
// writes exactly the bytes shown.
TEST_F(SaveDialogTest, SaveDuringANewerPreviewWritesThatPreview)
{
    SaveDialog& saveDialog = openDialog();
    waitForPreview();
    QTest::keyClick(saveDialog.qualitySlider, Qt::Key_End);
    ASSERT_TRUE(saveDialog.previewEncoder->busy());
    dialogs_->answerSave(at("saved.jpg")).answerMessage();
    saveDialog.save();
    waitForPicture();
    EXPECT_EQ(dialogs_->last().text, QStringLiteral("JPEG変換完了♪"));
    const QByteArray saved = readBytes(at("saved.jpg"));
    EXPECT_EQ(saved, readBytes(SaveDialog::previewPath())) << "saved other bytes than the preview's";
    EXPECT_EQ(estimateJpegQualityFromBytes(saved).quality, 100);
}

// The file is written on a worker: the window thread goes on, the program held
// meanwhile with the hourglass, and a path handed over waits.
TEST_F(SaveDialogTest, TheSaveIsWrittenOffTheWindowThread)
{
    std::binary_semaphore reached{0}, release{0};
    services().beforeRename = [&](const QString& target, const QString&) {
        if (target.endsWith(QStringLiteral("saved.jpg"))) {
            reached.release();
            (void)release.try_acquire_for(std::chrono::seconds(20)); // a guard against hanging, not a measurement
        }
        return true;
    };
    SaveDialog& saveDialog = openDialog();
    waitForPreview();
    dialogs_->answerSave(at("saved.jpg")).answerMessage();
    saveDialog.save();
    reached.acquire(); // the window thread got here while the file is being written
    QCoreApplication::processEvents();
    EXPECT_EQ(mainWindow().mousePointer(), MousePointer::Hourglass);
    EXPECT_FALSE(mainWindow().isEnabled());
    EXPECT_TRUE(questions::anyOpen()) << "a path handed over would change the picture under the save";
    release.release();
    waitForPicture();
    EXPECT_EQ(dialogs_->last().text, QStringLiteral("JPEG変換完了♪"));
    EXPECT_TRUE(mainWindow().isEnabled());
    EXPECT_EQ(mainWindow().mousePointer(), MousePointer::Default);
}


const QString sliderHint = QStringLiteral("右クリックでメニュー・Ctrl+T で目標サイズ");



// Not above zero, refused with an example; below quality 1's size, refused with that size; in
// full-width digits and points, as an input method types them, read all the same.
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
        SCOPED_TRACE(typed.toStdString());
        dialogs_->answerInput(typed);
        if (!message.isEmpty())
            dialogs_->answerMessage();
        dialog.targetSizeAction->trigger();
        settleWorkers();
        EXPECT_EQ(dialog.qualitySlider->value(), quality);
        EXPECT_EQ(dialogs_->last().kind == ScriptedDialogs::Box::Message ? dialogs_->last().text : QString(), message);
    }
    // The box opens with the size shown; cancelled, no message and no search follow.
    dialogs_->cancelInput();
    dialog.targetSizeAction->trigger();
    EXPECT_EQ(dialogs_->last().title, QStringLiteral("目標サイズ"));
    EXPECT_EQ(dialogs_->last().defaultText, dialog.sizeValue->text());
    EXPECT_FALSE(dialog.sizeValue->text().isEmpty());
    EXPECT_EQ(dialogs_->boxes().back().kind, ScriptedDialogs::Box::Input) << "a message followed the input box";
    EXPECT_FALSE(dialog.searchingTargetSize());
}

TEST_F(SaveDialogTest, EscapeOrASliderMoveStopsTheSearchAndNothingElse)
{
    SaveDialog& dialog = openDialog();
    dialog.show();
    dialog.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
    // Each size (the quality in thousands) waits to be released, unless the sizes run free.
    std::counting_semaphore<> begun{0}, released{0};
    std::atomic<bool> free{false};
    services().encodedSize = [&](const QImage&, int quality, std::stop_token) -> std::optional<qint64> {
        if (!free) {
            begun.release();
            released.acquire();
        }
        return quality * 1000;
    };
    const std::function<void()> stops[] = {[&] { QTest::keyClick(&dialog, Qt::Key_Escape); },
                                           [&] { QTest::keyClick(dialog.qualitySlider, Qt::Key_Right); }};
    for (const auto& stop : stops) {
        dialogs_->answerInput(QStringLiteral("20"));
        QTest::keyClick(&dialog, Qt::Key_T, Qt::ControlModifier);
        begun.acquire();
        EXPECT_TRUE(dialog.searchingTargetSize());
        EXPECT_EQ(dialog.mousePointer(), MousePointer::Hourglass);
        stop();
        EXPECT_FALSE(dialog.searchingTargetSize());
        EXPECT_NE(dialog.mousePointer(), MousePointer::Hourglass);
        const int after = dialog.qualitySlider->value();
        free = true;
        released.release();
        settleWorkers();
        free = false;
        EXPECT_EQ(FormTest::saveDialog(), &dialog);
        EXPECT_EQ(dialog.qualitySlider->value(), after);
    }
    // Unhindered, the same search ends at 20.
    free = true;
    dialogs_->answerInput(QStringLiteral("20"));
    dialog.targetSizeAction->trigger();
    settleWorkers();
    EXPECT_EQ(dialog.qualitySlider->value(), 20);
}

// Both figures are of the bytes shown, not of the file saved over at 50 since, as a save from the
// dialog does. Whether a quality's file is larger than the source is the encoder's to tell.
TEST_F(SaveDialogTest, OnlyAJpegSourceGivesAQualityAndWarnsFromIt)
{
    openDialog(QStringLiteral("photo.kir"), 90).cancel();
    ASSERT_EQ(saveJpeg(picture_, 323, 241, at("photo.kir"), 50, JpegTarget::Chosen), JpegStatus::Written);
    SaveDialog& dialog = openDialog();
    EXPECT_EQ(dialog.qualitySlider->toolTip(), QStringLiteral("元画像の画質: 約90\n") + sliderHint);
    const QString larger = QStringLiteral("\n元ファイルより大きくなります（元 ") + sizeText(sizeAt(90)) + QStringLiteral("）");
    const QString higher = QStringLiteral("\n元画像より高い画質です");
    const QImage shown = model().fullPicture();
    const auto largerAt = [&](int quality) { return *encodedJpegSize(shown, quality) > sizeAt(90); };
    ASSERT_TRUE(largerAt(98) && !largerAt(50)) << "both sides of the size warning";
    for (const int quality : {98, 91, 90, 50}) {
        const QString warning = (largerAt(quality) ? larger : QString()) + (quality > 90 ? higher : QString());
        dialog.qualitySlider->setValue(quality);
        settleWorkers();
        EXPECT_EQ(dialog.sizeValue->toolTip(), QStringLiteral("バイト数") + warning) << quality;
        const Drawn size = drawn(dialog.sizeValue);
        EXPECT_EQ(size.redText, !warning.isEmpty()) << "the size text's colour at " << quality;
        EXPECT_FALSE(size.redBorder) << quality; // the text alone turns red
    }
    // A picture from no file leaves the slider and the size as they always were.
    dialog.cancel();
    model().showInMemory(picture_);
    SaveDialog& plainDialog = openDialog();
    plainDialog.qualitySlider->setValue(100);
    settleWorkers();
    EXPECT_EQ(plainDialog.qualitySlider->toolTip(), sliderHint);
    EXPECT_EQ(plainDialog.sizeValue->toolTip(), QStringLiteral("バイト数"));
    EXPECT_FALSE(drawn(plainDialog.sizeValue).redText);
}


// Smooth gradients at quality 95 are off by a few levels at most; shown, the strongest reach white, PSNR and SSIM over them.
TEST_F(SaveDialogTest, TheDifferencePeaksAtWhiteWithItsFiguresOverIt)
{
    for (int y = 0; y < picture_.height(); ++y)
        for (int x = 0; x < picture_.width(); ++x)
            picture_.setPixel(x, y, qRgb(x * 255 / picture_.width(), y * 255 / picture_.height(), 128));
    SaveDialog& dialog = openDialog();
    dialog.qualitySlider->setValue(95);
    settleWorkers();
    const QImage compressed = dialog.preview->picture();
    for (const bool byKey : {true, false}) {
        byKey ? QTest::keyPress(&dialog, Qt::Key_D) : dialog.differenceAction->setChecked(true);
        settleWorkers();
        SCOPED_TRACE(byKey ? "holding D" : "the menu");
        const QImage shown = dialog.preview->picture();
        EXPECT_EQ(shown.size(), dialog.preview->size()) << "not reduced to the size on screen";
        int brightest = 0;
        for (int y = 0; y < shown.height(); ++y)
            for (int x = 0; x < shown.width(); ++x)
                brightest = std::max(brightest, qGray(shown.pixel(x, y)));
        EXPECT_EQ(brightest, 255) << "not amplified";
        EXPECT_TRUE(dialog.preview->toolTip().contains(QStringLiteral("\n差分表示: 元画像との差を")));
        const QString figures = dialog.figuresLabel->text();
        EXPECT_TRUE(figures.startsWith(QStringLiteral("PSNR ")) && figures.contains(QStringLiteral(" dB・SSIM 0."))
                    && figures.contains(QStringLiteral("倍に強調")))
            << figures.toStdString();
        EXPECT_TRUE(dialog.figuresLabel->isVisibleTo(&dialog) && dialog.previewArea->rect().contains(dialog.figuresLabel->geometry()))
            << "hidden, or not over the preview";
        byKey ? QTest::keyRelease(&dialog, Qt::Key_D) : dialog.differenceAction->setChecked(false);
        EXPECT_FALSE(dialog.figuresLabel->isVisibleTo(&dialog));
        EXPECT_EQ(dialog.preview->picture(), compressed) << "the compressed preview did not come back";
        EXPECT_FALSE(dialog.preview->toolTip().contains(QStringLiteral("強調")));
        EXPECT_TRUE(dialog.preview->toolTip().endsWith(QStringLiteral("\n右クリックでメニュー・D を押す間は差分・O を押す間は元画像")));
    }
}

// At quality 1 the preview is far from the original; O shows the original itself, where the preview is.
TEST_F(SaveDialogTest, HoldingOShowsTheOriginalWhereThePreviewIs)
{
    SaveDialog& dialog = openDialog();
    dialog.zoomIn();
    dialog.dropOnPreviewArea(dialog.preview, 1000, 900);
    dialog.qualitySlider->setValue(1);
    settleWorkers();
    const QImage compressed = dialog.preview->picture();
    const QRect place = dialog.preview->geometry();
    // The mean distance per channel from the original at the same size.
    const auto distance = [&](const QImage& shown) {
        const QImage original = picture_.scaled(shown.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        double sum = 0;
        for (int y = 0; y < shown.height(); ++y)
            for (int x = 0; x < shown.width(); ++x)
                sum += std::abs(qRed(shown.pixel(x, y)) - qRed(original.pixel(x, y)))
                    + std::abs(qGreen(shown.pixel(x, y)) - qGreen(original.pixel(x, y)))
                    + std::abs(qBlue(shown.pixel(x, y)) - qBlue(original.pixel(x, y)));
        return sum / (3.0 * shown.width() * shown.height());
    };
    ASSERT_GT(distance(compressed), 4);
    for (const bool byKey : {true, false}) {
        byKey ? QTest::keyPress(&dialog, Qt::Key_O) : dialog.originalAction->setChecked(true);
        settleWorkers();
        SCOPED_TRACE(byKey ? "holding O" : "the menu");
        EXPECT_LT(distance(dialog.preview->picture()), 1.5);
        EXPECT_EQ(dialog.preview->geometry(), place);
        EXPECT_EQ(dialog.figuresLabel->text(), QStringLiteral("元画像"));
        byKey ? QTest::keyRelease(&dialog, Qt::Key_O) : dialog.originalAction->setChecked(false);
        EXPECT_EQ(dialog.preview->picture(), compressed) << "the compressed preview did not come back";
    }
}

// Once 51's preview is shown, a hover does not show what was measured at 50; nor, while the
// slider moves to 52 and 52's preview is still being made, what was measured at 51.
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
        PreviewResult failed;
        failed.status = JpegStatus::CannotWrite;
        return failed;
    };
    dialog.qualitySlider->setValue(52);
    QCoreApplication::sendPostedEvents();
    const QString at52 = dialog.preview->toolTip();
    released->release();
    EXPECT_FALSE(at52.contains(QStringLiteral(" dB"))) << at52.toStdString();
}

// The proposed name is the picture's own, in a folder and under a name that are
// not UTF-8; the dialog sees them through a stand-in, the save writes the bytes.
TEST_F(SaveDialogTest, ProposedNameNotUtf8IsSavedUnderItsOwnBytes)
{
    const QByteArray folder = native_names::encode(pictures()) + "/bad\xff\xfe";
    const QByteArray file = folder + "/photo\xfe.bmp";
    ASSERT_TRUE(std::filesystem::create_directories(folder.constData()));
    SaveDialog& dialog = openDialog(native_names::decode(file).mid(pictures().size() + 1));
    ASSERT_EQ(dialog.subject().path, native_names::decode(file));
    dialogs_->acceptProposedSave().answerMessage().answerMessage(); // overwrite, then done
    dialog.save();
    waitForPicture();
    EXPECT_EQ(dialogs_->last().text, QStringLiteral("JPEG変換完了♪"));
    EXPECT_TRUE(readBytes(native_names::decode(file)).startsWith("\xFF\xD8\xFF"));
    EXPECT_EQ(native_names::entries(native_names::decode(folder), native_names::EntryKind::Files),
              QStringList{native_names::decode("photo\xfe.bmp")});
    std::filesystem::remove_all(folder.constData()); // Qt's clean-up cannot reach it
}

} // namespace
