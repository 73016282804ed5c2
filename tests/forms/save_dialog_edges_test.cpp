// The save dialog at its edges: a preview file spoilt on its way to disk, sizes
// typed in full-width digits, measurements of a quality no longer shown, and a
// save under a proposed name that is not UTF-8.
#include <filesystem>
#include <memory>
#include <semaphore>

#include <QHelpEvent>
#include <QScrollBar>
#include <QThreadPool>

#include "encoder/save_jpeg.h"
#include "files/native_names.h"
#include "files/paths.h"
#include "form_fixture.h"
#include "forms/save/preview_encoder.h"
#include "forms/save/save_dialog.h"

namespace {

// Waits for the workers and hands their results over, twice: a search's answer starts a preview.
void settle()
{
    for (int round = 0; round < 2; ++round) {
        QThreadPool::globalInstance()->waitForDone();
        QCoreApplication::sendPostedEvents();
    }
}

// Services whose hook, the first time a file is about to be renamed into place
// as `target`, spoils it: the write succeeds and the file cannot be read back.
Services spoilingTheWriteOf(const QString& target)
{
    Services spoiling = services();
    auto spoilt = std::make_shared<bool>(false);
    spoiling.beforeRename = [target, spoilt](const QString& renamed, const QString& temporary) {
        if (renamed == target && !std::exchange(*spoilt, true)) {
            EXPECT_TRUE(QFile::remove(temporary) && writeBytes(temporary, "not a picture")) << "could not replace the preview file";
        }
        return true;
    };
    return spoiling;
}

TEST(PreviewEncoder, UnreadablePreviewIsNotReportedWritten)
{
    QTemporaryDir folder;
    const PreviewJob job{testPicture(64, 48), folder.filePath("Sample.jpg"), 50, QSize(64, 48), nullptr};
    const ScopedServices spoiling(spoilingTheWriteOf(job.path));
    const PreviewResult result = PreviewEncoder::encodeAndLoad(job, {});
    ASSERT_EQ(readBytes(job.path), "not a picture"); // the spoiling took place
    EXPECT_NE(result.status, JpegStatus::Written) << "status " << int(result.status);
    EXPECT_TRUE(result.picture.isNull());
}

// The program started and a 320 x 240 picture, the only file in its folder, clicked in the file list.
class SaveDialogEdges : public FormTest {
protected:
    SaveDialog& openDialog(const QString& name = QStringLiteral("photo.bmp"))
    {
        startProgram();
        write(name, encodedAs(testPicture(320, 240), "BMP"));
        mainWindow().fileList->setPath(folderOf(at(name)));
        mainWindow().fileList->setListIndex(0);
        waitForPicture();
        mainWindow().openSaveDialog();
        settle();
        SaveDialog* dialog = forms::loaded<SaveDialog>();
        return dialog ? *dialog : throw std::runtime_error("the save dialog did not open");
    }
    ~SaveDialogEdges() override { settle(); }
    // The mouse rests on the preview: its tooltip asks for the measurement. Gives the tooltip's text.
    static QString hover(SaveDialog& dialog)
    {
        QHelpEvent event(QEvent::ToolTip, QPoint(1, 1), dialog.preview->mapToGlobal(QPoint(1, 1)));
        QCoreApplication::sendEvent(dialog.preview, &event);
        return dialog.preview->toolTip();
    }
};

TEST_F(SaveDialogEdges, UnreadablePreviewKeepsTheLastGoodOneAndSize)
{
    SaveDialog& dialog = openDialog();
    const QImage shown = dialog.preview->picture();
    const QString size = dialog.sizeValue->text();
    ASSERT_FALSE(shown.isNull());
    services().beforeRename = spoilingTheWriteOf(SaveDialog::previewPath()).beforeRename;
    dialog.qualitySlider->setValue(51);
    settle();
    ASSERT_EQ(readBytes(SaveDialog::previewPath()), "not a picture");
    EXPECT_EQ(dialog.preview->picture(), shown);
    EXPECT_EQ(dialog.sizeValue->text(), size);
}

// An input method types full-width digits and points; the size is read all the same.
TEST_F(SaveDialogEdges, FullWidthDigitsAreATargetSize)
{
    SaveDialog& dialog = openDialog();
    services().encodedSize = [](const QImage&, int quality, std::stop_token) -> std::optional<qint64> {
        return quality * 1000;
    };
    for (const auto& [typed, quality] : {std::pair(QStringLiteral("２０"), 20), std::pair(QStringLiteral("１.５"), 1),
                                         std::pair(QStringLiteral("３．５"), 3)}) {
        dialogs_->answerInput(typed);
        dialog.targetSizeAction->trigger();
        settle();
        EXPECT_EQ(dialog.qualitySlider->value(), quality) << typed.toStdString();
    }
}

// The measurement asked for at 50 is done while the slider moves to 51 and the
// preview for 51 is still being made: what it measured is not 51's.
TEST_F(SaveDialogEdges, LateMeasurementIsNotShownForTheNewQuality)
{
    SaveDialog& dialog = openDialog();
    hover(dialog);
    QThreadPool::globalInstance()->waitForDone(); // measured; its result waits in the queue
    // Held by the job too: the worker still touches it on its way out of acquire().
    const auto released = std::make_shared<std::binary_semaphore>(0);
    services().encodePreview = [released](const PreviewJob&, std::stop_token) {
        released->acquire();
        PreviewResult failed;
        failed.status = JpegStatus::CannotWrite;
        return failed;
    };
    dialog.qualitySlider->setValue(51);
    QCoreApplication::sendPostedEvents();
    const QString toolTip = dialog.preview->toolTip();
    released->release();
    EXPECT_FALSE(toolTip.contains(QStringLiteral(" dB"))) << toolTip.toStdString();
}

// Once 51's preview is shown, a hover does not show what was measured at 50.
TEST_F(SaveDialogEdges, NewPreviewDropsTheOldQualitysMeasurement)
{
    SaveDialog& dialog = openDialog();
    hover(dialog);
    settle();
    ASSERT_TRUE(dialog.preview->toolTip().contains(QStringLiteral(" dB"))) << "measured at 50";
    dialog.qualitySlider->setValue(51);
    settle();
    const QString at51 = hover(dialog);
    EXPECT_TRUE(at51.contains(QStringLiteral("計算中")) && !at51.contains(QStringLiteral(" dB"))) << at51.toStdString();
}

// The proposed name is the picture's own, in a folder and under a name that are
// not UTF-8; the dialog sees them through a stand-in, the save writes the bytes.
TEST_F(SaveDialogEdges, ProposedNameNotUtf8IsSavedUnderItsOwnBytes)
{
    const QByteArray folder = native_names::encode(pictures()) + "/bad\xff\xfe";
    const QByteArray file = folder + "/photo\xfe.bmp";
    ASSERT_TRUE(std::filesystem::create_directories(folder.constData()));
    SaveDialog& dialog = openDialog(native_names::decode(file).mid(pictures().size() + 1));
    ASSERT_EQ(dialog.subject().path, native_names::decode(file));
    dialogs_->acceptProposedSave().answerMessage().answerMessage(); // overwrite, then done
    dialog.save();
    EXPECT_EQ(dialogs_->last().text, QStringLiteral("JPEG変換完了♪"));
    EXPECT_TRUE(readBytes(native_names::decode(file)).startsWith("\xFF\xD8\xFF"));
    EXPECT_EQ(native_names::entries(native_names::decode(folder), native_names::EntryKind::Files),
              QStringList{native_names::decode("photo\xfe.bmp")});
    std::filesystem::remove_all(folder.constData()); // Qt's clean-up cannot reach it
}

} // namespace
