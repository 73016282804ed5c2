// The save dialog: the preview at each opening and slider step, drag and zoom,
// the quality and target chosen, saving and every way out.
#include <functional>
#include <semaphore>

#include <unistd.h>

#include <QFile>
#include <QFileInfo>
#include <QPointer>
#include <QScrollBar>
#include <QThreadPool>

#include "desktop/user_files.h"
#include "encoder/save_jpeg.h"
#include "form_fixture.h"
#include "about_dialog/about_dialog.h"
#include "save_dialog/preview_encoder.h"
#include "save_dialog/save_dialog.h"
#include "jpeg/quality_estimate.h"
#include "ui/questions.h"
#include "runtime/texts.h"

namespace {

const QString overwriteQuestion = QStringLiteral("同名のファイルが存在します。上書きしますか？");
// Waits for the preview worker to finish and hands its results to the dialog.
void settle()
{
    QThreadPool::globalInstance()->waitForDone();
    QCoreApplication::sendPostedEvents();
}

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

// The program started and a 320 x 240 picture, the only file in its folder, clicked in the file list.
class SaveDialogTest : public FormTest {
protected:
    SaveDialogTest()
    {
        startProgram();
        write("photo.bmp", encodedAs(testPicture(320, 240), "BMP"));
        mainWindow().fileList->setPath(pictures());
        mainWindow().fileList->setListIndex(0);
        waitForPicture();
        mainWindow().aboutDialog().show();
    }
    SaveDialog& openDialog()
    {
        mainWindow().openSaveDialog();
        settle();
        SaveDialog* saveDialog = FormTest::saveDialog();
        return saveDialog ? *saveDialog : throw std::runtime_error("the save dialog did not open");
    }
    QByteArray encoded(int quality)
    {
        const QString path = programFolder() + "/expected.jpg";
        EXPECT_EQ(saveJpeg(imageWindow().picture.picture(), 320, 240, path, std::uint8_t(quality), JpegTarget::Chosen), JpegStatus::Written);
        return readBytes(path);
    }
    // The main window, the image window and the version dialog all enabled, or all disabled.
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
    ~SaveDialogTest() override { settle(); }
    // The darkest pixel inside the label's border: its text's colour.
    static int darkestText(QLabel* label)
    {
        const QImage drawn = label->grab().toImage();
        int darkest = 255;
        for (int y = 2; y < drawn.height() - 2; ++y)
            for (int x = 2; x < drawn.width() - 2; ++x)
                darkest = std::min(darkest, qGray(drawn.pixel(x, y)));
        return darkest;
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
};

// Wherever the last one left the slider and the preview, two thirds of the shown size.
TEST_F(SaveDialogTest, EachOpeningPreviewsAtFiftyCentredAtTwoThirds)
{
    const QSizeF shown(imageWindow().pictureView->twipsWidth().value(), imageWindow().pictureView->twipsHeight().value());
    SaveDialog& first = openDialog();
    first.qualitySlider->setValue(80);
    first.dropOnPreviewArea(first.preview, 100, 100);
    first.zoomIn();
    first.cancel();
    SaveDialog& again = openDialog();
    EXPECT_EQ(again.qualitySlider->value(), 50);
    EXPECT_EQ(readBytes(SaveDialog::previewPath()), encoded(50)) << "the preview file is not quality 50";
    EXPECT_EQ(box(*again.preview), QRectF(QPointF(720, 360), shown / 1.5));
}

// Enlarged, a sixth instead; 1503 / 6 = 250.5 and 1509 / 6 = 251.5 round to even.
TEST_F(SaveDialogTest, EnlargedThePreviewIsASixthRoundedToEven)
{
    mainWindow().enlargeImage();
    const float enlargedWidth = imageWindow().pictureView->twipsWidth().value();
    for (const auto& [height, rounded] : {std::pair(1503, 250), std::pair(1509, 252)}) {
        imageWindow().pictureView->setTwipsHeight(Twips(height));
        SaveDialog& saveDialog = openDialog();
        EXPECT_FLOAT_EQ(saveDialog.previewBaseWidth(), float(enlargedWidth / 6));
        EXPECT_EQ(saveDialog.previewBaseHeight(), rounded) << "for a height of " << height;
        saveDialog.cancel();
    }
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
    const QString folder = makePreviewUnwritable();
    dialogs_->answerMessage();
    mainWindow().openSaveDialog();
    settle();
    services().userEnvironment = nullptr;
    EXPECT_EQ(dialogs_->last().text, QStringLiteral("プレビューを作成できません\n") + folder + QStringLiteral("/.cache/kiriview/Sample.jpg"));
    EXPECT_TRUE(!FormTest::saveDialog() && othersEnabled()) << "the dialog stayed loaded, or a window disabled";
}

// Page keys and clicks in the trough move the quality one step, as the arrow keys do.
TEST_F(SaveDialogTest, PagesMoveOneStepAndRewriteThePreview)
{
    SaveDialog& saveDialog = openDialog();
    QScrollBar* bar = saveDialog.qualitySlider;
    QStringList shown;
    for (Qt::Key key : {Qt::Key_PageUp, Qt::Key_PageDown, Qt::Key_PageDown}) {
        QTest::keyClick(bar, key);
        shown << saveDialog.qualityValue->text();
    }
    for (int x : {bar->width() / 4, bar->width() * 3 / 4}) { // in the trough left, then right of the thumb
        QTest::mouseClick(bar, Qt::LeftButton, {}, {x, bar->height() / 2});
        shown << saveDialog.qualityValue->text();
    }
    EXPECT_EQ(shown, QStringList({"49", "50", "51", "50", "51"}));
    settle();
    EXPECT_EQ(readBytes(SaveDialog::previewPath()), encoded(51)) << "the preview file is not quality 51";
    EXPECT_EQ(saveDialog.sizeValue->text(), sizeText(encoded(51).size()));
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
    settle();
    services().userEnvironment = nullptr;
    EXPECT_EQ(saveDialog.sizeValue->text(), shownSize);
    EXPECT_EQ(saveDialog.preview->picture(), shownPicture) << "another file shown as the preview";
}

// The size beside a quality it is not the size of is greyed until its own preview comes.
TEST_F(SaveDialogTest, PreviewsComeNewestFirstTheSizeGreyedMeanwhile)
{
    SaveDialog& saveDialog = openDialog();
    ASSERT_LT(darkestText(saveDialog.sizeValue), 80) << "the size shown is not in black";
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
    EXPECT_GT(darkestText(saveDialog.sizeValue), 120) << "the size of 50 beside 53 is not greyed";

    // 51 gives up once released; until 53 is done the first preview stays.
    fake->released.release();
    fake->begun.acquire(); // 53
    QCoreApplication::sendPostedEvents();
    EXPECT_TRUE(saveDialog.preview->picture() == firstPicture && saveDialog.sizeValue->text() == firstSize)
        << "an abandoned preview replaced the first one";
    fake->released.release();
    settle();
    EXPECT_EQ(fake->started, std::vector({51, 53}));
    EXPECT_EQ(fake->abandonedOnes, std::vector({51}));
    EXPECT_EQ(saveDialog.preview->picture().width(), 53) << "not 53's preview";
    EXPECT_EQ(saveDialog.sizeValue->text(), sizeText(53000));
    EXPECT_EQ(saveDialog.mousePointer(), MousePointer::Default);
    EXPECT_LT(darkestText(saveDialog.sizeValue), 80) << "53's own size is greyed";
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
    settle();
    EXPECT_EQ(fake->abandonedOnes, std::vector({51}));
}

TEST_F(SaveDialogTest, SavesWriteTheEncodersBytesAndAreListed)
{
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

// A name that is a link: the question names the file the save replaces. Another user's link is not
// written through (a person saving into a folder anyone may write to).
TEST_F(SaveDialogTest, TheOverwriteQuestionNamesTheFileALinkLeadsTo)
{
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
    if (::geteuid() != 0)
        GTEST_SKIP() << "a link of another user needs root to make (lchown); not checked as this user";
    ASSERT_EQ(::lchown(QFile::encodeName(at("link.jpg")).constData(), 65534, 65534), 0);
    SaveDialog& again = openDialog();
    dialogs_->answerSave(at("link.jpg")).answerMessage().answerMessage();
    again.save();
    waitForPicture();
    EXPECT_EQ(dialogs_->last().text, QStringLiteral("ファイルがオープンできません"));
    EXPECT_EQ(readBytes(real), "an older picture");
}

// A file nobody may write, its overwrite confirmed, stays as it was, and the user is told.
TEST_F(SaveDialogTest, EveryWayOutEnablesTheOthersAndKeepsTheFiles)
{
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

} // namespace

namespace {

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

} // namespace
