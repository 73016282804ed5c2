// The save dialog: the preview at each opening and slider step, drag and zoom, saving and every way out.
#include <unistd.h>

#include <QFileInfo>

#include "jpeg/quality_estimate.h"
#include "save_dialog_fixture.h"
#include "ui/questions.h"
#include "controls/hscroll_bar.h"

namespace {

// Left, Up and Page Up toward the minimum, Right, Down and Page Down toward the maximum.
TEST(QualityBar, KeysMoveItAsADesktopScrollBar)
{
    HScrollBar bar(nullptr);
    bar.setRange(1, 100);
    bar.setPageStep(10);
    bar.setValue(50);
    QList<int> values;
    for (const Qt::Key key : {Qt::Key_Left, Qt::Key_Up, Qt::Key_Right, Qt::Key_Down, Qt::Key_Down, Qt::Key_PageUp,
                              Qt::Key_PageDown, Qt::Key_PageDown}) {
        QTest::keyClick(&bar, key);
        values << bar.value();
    }
    EXPECT_EQ(values, QList<int>({49, 48, 49, 50, 51, 41, 51, 61}));
}

// Each zoom step adds half the first size about the centre, eight in, nine out; the next opening starts at 50, centred.
TEST_F(SaveDialogTest, ADropAndZoomKeepTheCentreAndEachOpeningStartsAgain)
{
    const auto box = [](const ImageControl& image) {
        return QRectF(image.twipsLeft().value(), image.twipsTop().value(), image.twipsWidth().value(), image.twipsHeight().value());
    };
    select();
    const QSizeF shown(imageWindow().pictureView->twipsWidth().value(), imageWindow().pictureView->twipsHeight().value());
    SaveDialog& first = openDialog();
    first.qualitySlider->setValue(80);
    ImageControl& image = *first.preview;
    const QPoint emptyPart(image.geometry().right() + 20, 10); // in previewArea's pixels
    QTest::mousePress(&image, Qt::LeftButton, {}, QPoint(0, 0));
    QTest::mouseRelease(&image, Qt::LeftButton, {}, image.mapFrom(first.previewArea, emptyPart));
    const QRectF former = box(image);
    ASSERT_EQ(former.center().toPoint(), emptyPart * 15);
    const QSizeF step = QSizeF(first.previewBaseWidth(), first.previewBaseHeight()) / 2;
    for (const auto& [clicks, size] : {std::pair(9, former.size() + 8 * step), std::pair(10, former.size() - step),
                                       std::pair(1, former.size())}) {
        for (int click = 0; click < clicks; ++click)
            clicks == 10 ? first.zoomOut() : first.zoomIn();
        const QRectF now = box(image);
        EXPECT_NEAR(now.width(), size.width(), 0.01) << "after " << clicks << " clicks";
        EXPECT_NEAR(now.height(), size.height(), 0.01) << "after " << clicks << " clicks";
        EXPECT_EQ(now.center().toPoint(), former.center().toPoint()) << "after " << clicks << " clicks";
    }
    first.cancel();
    SaveDialog& again = openDialog();
    EXPECT_EQ(again.qualitySlider->value(), 50);
    EXPECT_EQ(readBytes(SaveDialog::previewPath()), encoded(50)) << "the preview file is not quality 50";
    EXPECT_EQ(box(*again.preview).toAlignedRect(), QRectF(QPointF(720, 360), shown / 1.5).toAlignedRect()); // to the twip
}

// Made unwritable once open, someone else's file there is not passed off as the preview, nor saved.
TEST_F(SaveDialogTest, AnUnwritablePreviewIsNeverShownNorSaved)
{
    select();
    const QString folder = makePreviewUnwritable();
    dialogs_->answerMessage();
    mainWindow().openSaveDialog();
    settleWorkers();
    services().userEnvironment = nullptr;
    EXPECT_EQ(dialogs_->last().text, QStringLiteral("プレビューを作成できません\n") + folder + QStringLiteral("/.cache/kiriview/Sample.jpg"));
    EXPECT_TRUE(!saveDialog() && othersEnabled()) << "the dialog stayed loaded, or a window disabled";
    SaveDialog& dialog = openDialog();
    const QString shownSize = dialog.sizeValue->text();
    const QImage shownPicture = dialog.preview->picture();
    ASSERT_EQ(saveJpeg(testPicture(40, 30), 40, 30, SaveDialog::previewPath(), 10, JpegTarget::Chosen), JpegStatus::Written);
    makePreviewUnwritable();
    QTest::keyClick(dialog.qualitySlider, Qt::Key_Right);
    settleWorkers();
    services().userEnvironment = nullptr;
    EXPECT_TRUE(dialog.sizeValue->text() == shownSize && dialog.preview->picture() == shownPicture) << "another file shown";
    dialogs_->answerSave(at("saved.jpg")).answerMessage();
    dialog.save();
    waitForPicture();
    EXPECT_EQ(readBytes(at("saved.jpg")), encoded(51)) << "the preview of 50 saved for 51";
}

TEST_F(SaveDialogTest, PreviewsComeNewestFirstTheSizeGreyedMeanwhile)
{
    SaveDialog& dialog = openDialog();
    ASSERT_LT(drawn(dialog.sizeValue).darkest, 80) << "the size shown is not in black";
    const auto fake = BlockingEncoder::install();
    const QImage firstPicture = dialog.preview->picture();
    const QString firstSize = dialog.sizeValue->text();
    for (int press = 0; press < 3; ++press) { // 52 and 53 are asked for while 51 is being made
        QTest::keyClick(dialog.qualitySlider, Qt::Key_Right);
        if (press == 0)
            fake->begun.acquire();
    }
    EXPECT_EQ(dialog.qualityValue->text(), "53");
    EXPECT_EQ(dialog.mousePointer(), MousePointer::Busy);
    EXPECT_GT(drawn(dialog.sizeValue).darkest, 120) << "the size of 50 beside 53 is not greyed";
    // 51 gives up once released; until 53 is done the first preview stays.
    fake->released.release();
    fake->begun.acquire(); // 53
    QCoreApplication::sendPostedEvents();
    EXPECT_TRUE(dialog.preview->picture() == firstPicture && dialog.sizeValue->text() == firstSize)
        << "an abandoned preview replaced the first one";
    fake->released.release();
    settleWorkers();
    EXPECT_EQ(fake->started, std::vector({51, 53}));
    EXPECT_EQ(fake->abandonedOnes, std::vector({51}));
    EXPECT_EQ(dialog.preview->picture().width(), 53) << "not 53's preview";
    EXPECT_EQ(dialog.sizeValue->text(), sizeText(53000));
    EXPECT_EQ(dialog.mousePointer(), MousePointer::Default);
    EXPECT_LT(drawn(dialog.sizeValue).darkest, 80) << "53's own size is greyed";
}

TEST_F(SaveDialogTest, ClosingWhileAPreviewIsMadeIsImmediateAndDropsIt)
{
    const QPointer<SaveDialog> dialog(&openDialog());
    const auto fake = BlockingEncoder::install();
    QTest::keyClick(dialog->qualitySlider, Qt::Key_Right);
    fake->begun.acquire();
    EXPECT_TRUE(dialog->close());
    EXPECT_TRUE(!saveDialog() && othersEnabled()) << "the dialog stayed loaded, or a window disabled";
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(dialog.isNull());
    // A late result that ignored the abandonment reaches no destroyed widget (the sanitizers would tell).
    fake->heedsAbandon = false;
    fake->released.release();
    settleWorkers();
    EXPECT_EQ(fake->abandonedOnes, std::vector({51}));
}

// A name that is a link: the question names the file the save replaces.
TEST_F(SaveDialogTest, TheOverwriteQuestionNamesTheFileALinkLeadsTo)
{
    select();
    const QString real = write("real.jpg", "an older picture");
    ASSERT_EQ(::symlink("real.jpg", QFile::encodeName(at("link.jpg")).constData()), 0);
    SaveDialog& dialog = openDialog();
    dialogs_->answerSave(at("link.jpg")).answerMessage(MsgBoxResult::Cancel);
    dialog.save();
    waitForPicture();
    EXPECT_EQ(dialogs_->last().title, QStringLiteral("link.jpg"));
    const QString text = dialogs_->last().text;
    EXPECT_TRUE(text.startsWith(overwriteQuestion) && text.contains(QFileInfo(real).canonicalFilePath())) << text.toStdString();
}

// Every way out leaves the windows usable, by the time the outcome shows for a save. Only a save writes, the encoder's
// bytes, under the proposed name whatever its extension too; a file nobody may write, its overwrite confirmed, stays.
TEST_F(SaveDialogTest, EveryWayOutEnablesTheOthersAndOnlyASaveWrites)
{
    select();
    const QString proposed = model().savePath(), readOnly = write("kept.jpg", "an older picture");
    ASSERT_TRUE(QFile::setPermissions(readOnly, QFile::ReadOwner | QFile::ReadOther));
    const QString cannotOpen = QStringLiteral("ファイルがオープンできません"), done = QStringLiteral("JPEG変換完了♪");
    SaveDialog& closed = openDialog();
    EXPECT_TRUE(closed.close());
    EXPECT_TRUE(!saveDialog() && othersEnabled()) << "the close box left the dialog loaded, or a window disabled";
    // The save-file dialog's answer (none: キャンセル, empty: cancelled), the boxes' answers after it, the last message.
    const struct { std::optional<QString> target; std::vector<MsgBoxResult> answers; QString report; } ways[] = {
        {std::nullopt, {}, {}}, {QString(), {}, {}}, {proposed, {MsgBoxResult::Cancel}, overwriteQuestion},
        {at("none/x.jpg"), {MsgBoxResult::Ok}, cannotOpen}, {readOnly, {MsgBoxResult::Ok, MsgBoxResult::Ok}, cannotOpen},
        {at("saved.kir"), {MsgBoxResult::Ok}, done}, {proposed, {MsgBoxResult::Ok, MsgBoxResult::Ok}, done}};
    for (const auto& [target, answers, report] : ways) {
        SCOPED_TRACE(target.value_or("キャンセル").toStdString());
        const QByteArray before = readBytes(target.value_or(QString()));
        const QPointer<SaveDialog> dialog(&openDialog());
        ASSERT_TRUE(othersEnabled(false));
        QTest::keyClick(dialog->qualitySlider, Qt::Key_Right);
        const int messages = dialogs_->messageCount();
        if (!target)
            dialog->cancel();
        else {
            dialogs_->answerSave(*target);
            for (std::size_t i = 0; i < answers.size(); ++i) {
                if (i + 1 == answers.size() && report == done)
                    dialogs_->whileNextBoxOpen([&] { EXPECT_TRUE(othersEnabled() && !(dialog && dialog->isVisible())); });
                dialogs_->answerMessage(answers[i]);
            }
            dialog->save();
            waitForPicture();
        }
        EXPECT_TRUE(!saveDialog() && othersEnabled()) << "the dialog stayed loaded, or a window disabled";
        EXPECT_EQ(dialogs_->messageCount() > messages ? dialogs_->last().text : QString(), report);
        EXPECT_EQ(readBytes(target.value_or(QString())), report == done ? encoded(51) : before);
    }
    EXPECT_EQ(mainWindow().fileList->findItems(QStringLiteral("saved.kir"), Qt::MatchExactly).size(), 1);
}

// 保存 right after End writes the preview of 100 on a worker, the program held meanwhile.
TEST_F(SaveDialogTest, SaveDuringANewerPreviewWritesThatPreviewOffTheWindowThread)
{
    std::binary_semaphore reached{0}, release{0};
    services().beforeRename = [&](const QString& target, const QString&) {
        if (target.endsWith(QStringLiteral("saved.jpg"))) {
            reached.release();
            (void)release.try_acquire_for(std::chrono::seconds(20)); // a guard against hanging, not a measurement
        }
        return true;
    };
    SaveDialog& dialog = openDialog();
    QTest::keyClick(dialog.qualitySlider, Qt::Key_End);
    ASSERT_TRUE(dialog.previewEncoder->busy());
    dialogs_->answerSave(at("saved.jpg")).answerMessage();
    dialog.save();
    bool writing = false; // the window thread goes on while the file is being written
    waitWhile([&] { return !(writing = writing || reached.try_acquire()); }, "the save");
    EXPECT_TRUE(mainWindow().mousePointer() == MousePointer::Hourglass && !mainWindow().isEnabled());
    EXPECT_TRUE(questions::anyOpen()) << "a path handed over would change the picture under the save";
    release.release();
    waitForPicture();
    EXPECT_TRUE(mainWindow().isEnabled() && mainWindow().mousePointer() == MousePointer::Default);
    const QByteArray saved = readBytes(at("saved.jpg"));
    EXPECT_EQ(saved, readBytes(SaveDialog::previewPath())) << "saved other bytes than the preview's";
    EXPECT_EQ(estimateJpegQualityFromBytes(saved).quality, 100);
}

} // namespace
