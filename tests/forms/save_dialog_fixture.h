#pragma once

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QString>

#include "app/forms.h"
#include "app/module1.h"
#include "encoder/save_jpg.h"
#include "form_fixture.h"
#include "forms/about/frmabout.h"
#include "forms/image/form2.h"
#include "forms/main/form1.h"
#include "forms/save/form3.h"

// A small photo-like picture: gradients, a few shapes and fine noise, so
// that JPEG sizes and artefacts change with the quality.
inline QImage photoLikePicture(int width, int height)
{
    QImage picture(width, height, QImage::Format_RGB32);
    quint32 seed = 12345;
    for (int y = 0; y < height; ++y) {
        auto* row = reinterpret_cast<QRgb*>(picture.scanLine(y));
        for (int x = 0; x < width; ++x) {
            seed = seed * 1664525u + 1013904223u;
            const int noise = int(seed >> 27) - 16;
            const bool disc = (x - width / 3) * (x - width / 3) + (y - height / 2) * (y - height / 2) < height * height / 9;
            const int r = (disc ? 220 : x * 255 / width) + noise;
            const int g = (y * 255 / height + noise / 2);
            const int b = ((x / 16 + y / 16) % 2 ? 180 : 60) + noise;
            row[x] = qRgb(qBound(0, r, 255), qBound(0, g, 255), qBound(0, b, 255));
        }
    }
    return picture;
}

inline QByteArray fileBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The program started, a 320 x 240 photo shown in the image window as a
// file click would show it, and helpers to open the save dialog.
class SaveDialogTest : public FormTest {
protected:
    SaveDialogTest()
    {
        startProgram();
        showPicture(photoLikePicture(320, 240));
        Module1::curpath = programFolder() + QStringLiteral("/photo.bmp");
    }

    void showPicture(const QImage& picture)
    {
        form2.Picture1.setPicture(picture);
        form2.Image1->setPicture(picture);
        Module1::imgwidth = form2.Picture1.Width();
        Module1::imgheight = form2.Picture1.Height();
        form2.setWidth(3000);
        form2.setHeight(3000);
        Module1::FitImage();
    }

    // Opens the dialog through the menu command; fails when it did not open.
    Form3& openDialog()
    {
        form1.mnusave_Click();
        Form3* form3 = forms::loaded<Form3>();
        if (!form3)
            throw std::runtime_error("the save dialog did not open");
        return *form3;
    }

    QString previewPath() const { return programFolder() + QStringLiteral("/Sample.jpg"); }

    // What the encoder writes for the shown picture at a quality.
    QByteArray encoded(int quality)
    {
        const QString path = QDir(scratch_.path()).filePath(QStringLiteral("expected%1.jpg").arg(quality));
        const QImage& picture = form2.Picture1.picture();
        if (DCSavetoJPEG(picture, picture.width(), picture.height(), path, std::uint8_t(quality), 0) != 0)
            return {};
        return fileBytes(path);
    }

    // True when the main window, the image window and the version dialog (if loaded) are all usable.
    bool otherWindowsEnabled() const
    {
        const frmAbout* about = forms::loaded<frmAbout>();
        return form1.isEnabled() && form2.isEnabled() && (!about || about->isEnabled());
    }
    bool otherWindowsDisabled() const
    {
        const frmAbout* about = forms::loaded<frmAbout>();
        return !form1.isEnabled() && !form2.isEnabled() && (!about || !about->isEnabled());
    }

    Form1& form1 = forms::get<Form1>();
    Form2& form2 = forms::get<Form2>();
    QTemporaryDir scratch_;
};
