// The save dialog on the real windows: the program started, a picture selected and the dialog opened for it.
#pragma once

#include <semaphore>

#include <QAction>
#include <QHelpEvent>
#include <QPointer>
#include <QScrollBar>
#include <QThreadPool>

#include "about_dialog/about_dialog.h"
#include "desktop/user_files.h"
#include "encoder/save_jpeg.h"
#include "form_fixture.h"
#include "measure/target_size.h"
#include "runtime/texts.h"
#include "save_dialog/preview_encoder.h"

inline const QString overwriteQuestion = QStringLiteral("同名のファイルが存在します。上書きしますか？");
// Stands in for the preview encoding: each job waits for a release and, unless told to give up (and heeding it),
// gives a picture `quality` pixels wide and a size of `quality` thousand bytes.
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

// What the label draws inside its border: its darkest text, and whether any of it is red.
struct Drawn {
    int darkest = 255;
    bool red = false;
};
inline Drawn drawn(QLabel* label)
{
    const QImage image = label->grab().toImage();
    Drawn result;
    for (int y = 2; y < image.height() - 2; ++y)
        for (int x = 2; x < image.width() - 2; ++x) {
            const QColor c = image.pixelColor(x, y);
            result.darkest = std::min(result.darkest, qGray(c.rgb()));
            result.red |= c.red() > 160 && c.green() < 100 && c.blue() < 100;
        }
    return result;
}

// The program started with the version dialog shown; the picture a 323 x 241 one.
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
        EXPECT_TRUE(!jpegQuality || saveJpeg(picture_, 323, 241, at(name), std::uint8_t(jpegQuality), JpegTarget::Chosen) == JpegStatus::Written)
            << "the JPEG source";
        click(name);
    }
    SaveDialog& openDialog()
    {
        if (mainWindow().selectedPath.isEmpty())
            select();
        mainWindow().openSaveDialog();
        waitForPicture();
        settleWorkers();
        return saveDialog() ? *saveDialog() : throw std::runtime_error("the save dialog did not open");
    }
    QByteArray encoded(int quality)
    {
        const QString path = programFolder() + "/expected.jpg";
        const QImage& shown = imageWindow().picture.picture();
        EXPECT_EQ(saveJpeg(shown, 323, 241, path, std::uint8_t(quality), JpegTarget::Chosen), JpegStatus::Written);
        return readBytes(path);
    }
    // The main window, the image window and the version dialog take input; off: the modal save dialog is in front.
    static bool othersEnabled(bool on = true)
    {
        const bool enabled = mainWindow().isEnabled() && imageWindow().isEnabled() && mainWindow().aboutDialog().isEnabled();
        const bool blocked = saveDialog() && saveDialog()->windowModality() == Qt::ApplicationModal
            && QApplication::activeModalWidget() == saveDialog();
        return on ? enabled && !QApplication::activeModalWidget() : enabled && blocked;
    }
    // Puts the cache folder under a plain file, where it cannot be made, not even by root; gives the plain file.
    static QString makePreviewUnwritable()
    {
        const QString plain = App::path() + QStringLiteral("/plain");
        EXPECT_TRUE(writeBytes(plain, "x"));
        services().userEnvironment = [plain] { return userfiles::Environment{[](const QString&) { return false; }, plain, {}, {}}; };
        return plain;
    }
    // The mouse rests on the preview: its tooltip asks for the measurement.
    static QString hover(SaveDialog& dialog)
    {
        QHelpEvent event(QEvent::ToolTip, QPoint(1, 1), dialog.preview->mapToGlobal(QPoint(1, 1)));
        QCoreApplication::sendEvent(dialog.preview, &event);
        return dialog.preview->toolTip();
    }

    QImage picture_ = testPicture(323, 241); // no side a multiple of 8, nor 4:3
};
