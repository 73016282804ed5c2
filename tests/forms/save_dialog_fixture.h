// The save dialog driven on the real windows: the program started, a picture selected and the
// dialog opened for it, with a stand-in encoder for the preview where a test must hold it.
#pragma once

#include <atomic>
#include <semaphore>

#include <QAction>
#include <QHelpEvent>
#include <QPointer>
#include <QScrollBar>
#include <QThreadPool>

#include "about_dialog/about_dialog.h"
#include "desktop/user_files.h"
#include "encoder/save_jpeg.h"
#include "files/paths.h"
#include "form_fixture.h"
#include "measure/target_size.h"
#include "runtime/texts.h"
#include "save_dialog/preview_encoder.h"

inline const QString overwriteQuestion = QStringLiteral("同名のファイルが存在します。上書きしますか？");
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
inline Drawn drawn(QLabel* label)
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
        EXPECT_TRUE(!jpegQuality || saveJpeg(picture_, 323, 241, at(name), std::uint8_t(jpegQuality), JpegTarget::Chosen) == JpegStatus::Written);
        click(name);
    }
    SaveDialog& openDialog()
    {
        if (mainWindow().selectedPath.isEmpty())
            select();
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
    // The main window, the image window and the version dialog take input; off: the modal save dialog is in front.
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
