// A click in the file list: the picture fitted with its date and size, the
// start-up picture for anything that cannot be shown, names as people have them.
#include <gtest/gtest.h>

#include <cstdio>

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include "runtime/forms.h"
#include "forms/viewing_state.h"
#include "form_fixture.h"
#include "forms/image/image_window.h"
#include "forms/main/main_window.h"
#include "controls/dir_list_box.h"
#include "controls/file_list_box.h"
#include "files/files.h"
#include "files/native_names.h"
#include "decoder/picture_loader.h"
#include "runtime/texts.h"
#include "test_files.h"

namespace {

QByteArray jpeg(int width, int height) { return encodedAs(testPicture(width, height), "JPEG"); }

class SelectTest : public FormTest {
protected:
    SelectTest() { startProgram(); }

    QString pathOf(const QString& name) const { return dir_.path() + QLatin1Char('/') + name; }
    void write(const QString& name, const QByteArray& bytes) { ASSERT_TRUE(writeBytes(pathOf(name), bytes)); }

    // Lists the folder and clicks the named entry.
    void click(const QString& name)
    {
        form.folderList->setPath(dir_.path());
        form.fileList->Refresh();
        const auto found = form.fileList->findItems(name, Qt::MatchExactly);
        ASSERT_EQ(found.size(), 1) << "not listed: " << name.toStdString();
        form.fileList->setListIndex(form.fileList->row(found.front()));
    }

    // The picture shown, or with fallback the start-up picture after the box, and the paths either way.
    void expectShown(const QString& name, QSize pixels, bool fallback = false)
    {
        EXPECT_EQ(QStringList({form.pathBox->text(), form.selectedPath, viewing::currentPicturePath}),
                  QStringList({pathOf(name), pathOf(name), fallback ? programFolder() : pathOf(name)}));
        if (fallback) {
            EXPECT_EQ(dialogs_->last().text + dialogs_->last().title, QStringLiteral("ファイルが空ですエラー"));
            EXPECT_EQ(imageWindow.pictureView->picture(), imageWindow.fallbackPicture.picture());
        } else {
            EXPECT_EQ(imageWindow.picture.picture().size(), pixels);
        }
        EXPECT_EQ(QSizeF(imageWindow.pictureWidth.value(), imageWindow.pictureHeight.value()), QSizeF(pixels + QSize(4, 4)) * 15);
        EXPECT_TRUE(imageWindow.isVisible());
        EXPECT_EQ(form.mousePointer(), 0);
    }

    QTemporaryDir dir_;
    MainWindow& form = forms::get<MainWindow>();
    ImageWindow& imageWindow = forms::get<ImageWindow>();
};

TEST_F(SelectTest, ClickShowsThePictureFittedWithItsDateAndSize)
{
    QByteArray sized = jpeg(640, 480);
    sized.append(QByteArray(123456 - sized.size(), '\0')); // bytes after the picture are ignored
    write("photo.jpg", sized);
    write("bitmap.jpg", encodedAs(testPicture(480, 640), "BMP")); // decided by content
    click("photo.jpg");
    expectShown("photo.jpg", QSize(640, 480));
    EXPECT_EQ(form.dateValue->text(), dateText(FileDateTime(pathOf("photo.jpg"))));
    EXPECT_EQ(form.sizeValue->text(), QStringLiteral("123.456"));
    EXPECT_EQ(QSizeF(imageWindow.Width().value(), imageWindow.Height().value()), QSizeF(3000, 2255)); // 7260 / 3.22 = 2254.66

    click("bitmap.jpg");
    expectShown("bitmap.jpg", QSize(480, 640));
    EXPECT_NEAR(imageWindow.Width().value(), 2254.66, 0.01);
    EXPECT_EQ(imageWindow.Height(), Twips(3000));
    EXPECT_TRUE(dialogs_->boxes().empty());
}

TEST_F(SelectTest, APhotoShowsDecodedSmallAndCopiesAtFullSizeFromTheBytesShown)
{
    const QByteArray shownBytes = jpeg(1600, 1200);
    write("photo.jpg", shownBytes);
    write("other.jpg", encodedAs(testPicture(1600, 1200).mirrored(true, true), "JPEG"));
    click("photo.jpg");
    EXPECT_EQ(imageWindow.picture.picture().size(), QSize(800, 600)); // half covers the 667-pixel box
    EXPECT_EQ(QSizeF(imageWindow.pictureWidth.value(), imageWindow.pictureHeight.value()), QSizeF(1604, 1204) * 15);
    EXPECT_EQ(imageWindow.Height(), Twips(2252));

    // Replaced on disk after it was shown: the copy is still what the person saw.
    ASSERT_EQ(std::rename(QFile::encodeName(pathOf("other.jpg")).constData(),
                          QFile::encodeName(pathOf("photo.jpg")).constData()), 0);
    dialogs_->answerMessage();
    form.copyPicture();
    EXPECT_EQ(dialogs_->last().text, QStringLiteral("イメージをコピーしました"));
    EXPECT_EQ(QApplication::clipboard()->image().convertToFormat(QImage::Format_RGB32), decodePicture(shownBytes));
}

TEST_F(SelectTest, EveryBadFileEndsInTheStartUpPictureAndAFileGoneKeepsTheEarlierLabels)
{
    QByteArray huge = jpeg(16, 16); // its header claims 60000 x 60000 pixels
    huge.replace(huge.indexOf("\xff\xc0") + 5, 4, QByteArray::fromHex("ea60ea60"));
    const std::pair<QString, QByteArray> files[] = {
        {"text.kir", "not a picture"}, {"empty.jpg", {}}, {"truncated.jpg", jpeg(400, 300).left(2000)}, {"huge.jpg", huge}};
    for (const auto& [name, bytes] : files) {
        SCOPED_TRACE(name.toStdString());
        write(name, bytes);
        dialogs_->answerMessage();
        click(name);
        expectShown(name, QSize(50, 50), true);
        EXPECT_EQ(form.sizeValue->text(), sizeText(bytes.size())); // written before the load failed
    }
    const QString size = form.sizeValue->text();
    const int row = form.fileList->row(form.fileList->findItems("text.kir", Qt::MatchExactly).value(0));
    ASSERT_TRUE(QDir().remove(pathOf("text.kir")));
    dialogs_->answerMessage();
    form.fileList->setListIndex(row); // still listed
    expectShown("text.kir", QSize(50, 50), true);
    EXPECT_EQ(form.sizeValue->text(), size);
}

TEST_F(SelectTest, ClickOrArrowKeyReturnsFromEnlargedAndClosedViews)
{
    write("1.jpg", jpeg(10, 10));
    write("2.jpg", jpeg(30, 10));
    click("1.jpg");
    form.enlargeImage();
    QTest::keyClick(form.fileList, Qt::Key_Down);
    expectShown("2.jpg", QSize(30, 10));
    EXPECT_FALSE(form.isEnlarged);
    EXPECT_EQ(imageWindow.Width(), Twips(3000));

    form.closeImage();
    QTest::keyClick(form.fileList, Qt::Key_Up);
    expectShown("1.jpg", QSize(10, 10));
    EXPECT_TRUE(form.closeImageButton->isEnabled() && form.enlargeButton->isEnabled());
}

TEST_F(SelectTest, NamesAsPeopleHaveThem)
{
    ASSERT_TRUE(QDir(dir_.path()).mkdir("x.jpg")); // a folder is never listed as a file
    const QString names[] = {"with space.jpg", "a & b.jpg", "it's \"quoted\".jpg", "写真 ２０２６.jpg",
                             native_names::decode("latin1-\xe9t\xe9.jpg")}; // the last not valid UTF-8
    for (const QString& name : names) {
        SCOPED_TRACE(native_names::encode(name).toStdString());
        write(name, jpeg(12, 8));
        click(name);
        expectShown(name, QSize(12, 8));
    }
    EXPECT_EQ(form.fileList->ListCount(), 5);
    EXPECT_TRUE(dialogs_->boxes().empty());
    std::remove(native_names::encode(pathOf(names[4])).constData()); // Qt cannot remove it with its folder
}

} // namespace
