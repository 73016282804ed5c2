#include <gtest/gtest.h>

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImageWriter>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include "app/forms.h"
#include "app/module1.h"
#include "form_fixture.h"
#include "forms/image/form2.h"
#include "forms/main/form1.h"
#include "platform/dir_list_box.h"
#include "platform/file_list_box.h"
#include "platform/files.h"
#include "platform/native_names.h"
#include "platform/texts.h"

namespace {

QByteArray jpegBytes(int width, int height, QColor colour = QColor(200, 40, 40))
{
    QImage picture(width, height, QImage::Format_RGB32);
    picture.fill(colour);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "jpeg");
    writer.setQuality(90);
    EXPECT_TRUE(writer.write(picture));
    return bytes;
}

QByteArray bmpBytes(int width, int height)
{
    QImage picture(width, height, QImage::Format_RGB32);
    picture.fill(Qt::blue);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    picture.save(&buffer, "BMP");
    return bytes;
}

// A GIF whose header claims an absurd screen and image size.
QByteArray hugeGif()
{
    QByteArray gif("GIF89a");
    auto le16 = [&](int v) { gif.append(char(v & 0xff)).append(char(v >> 8)); };
    le16(60000);
    le16(60000);
    gif.append(char(0x80)).append(char(0)).append(char(0));
    gif.append(QByteArray(6, '\0'));                 // two-colour palette
    gif.append(',');                                  // image descriptor
    le16(0), le16(0), le16(60000), le16(60000);
    gif.append(char(0)).append(char(2));              // no local palette, LZW minimum code size
    gif.append(char(2)).append(char(0x4c)).append(char(0x01)).append(char(0)).append(';');
    return gif;
}

// A JPEG whose frame header claims 60000 x 60000 pixels.
QByteArray hugeJpeg()
{
    QByteArray jpeg = jpegBytes(16, 16);
    const int sof = jpeg.indexOf(QByteArray("\xff\xc0", 2));
    EXPECT_GT(sof, 0);
    jpeg[sof + 5] = char(60000 >> 8);
    jpeg[sof + 6] = char(60000 & 0xff);
    jpeg[sof + 7] = char(60000 >> 8);
    jpeg[sof + 8] = char(60000 & 0xff);
    return jpeg;
}

class SelectTest : public FormTest {
protected:
    SelectTest() { startProgram(); }

    // Writes a file into the folder (by native bytes, so any name works).
    void write(const QString& name, const QByteArray& bytes)
    {
        QFile file;
        const QByteArray native = native_names::encode(folder() + QLatin1Char('/') + name);
        FILE* f = std::fopen(native.constData(), "wb");
        ASSERT_NE(f, nullptr) << native.toStdString();
        std::fwrite(bytes.constData(), 1, bytes.size(), f);
        std::fclose(f);
    }
    QString folder() const { return dir_.path(); }
    QString pathOf(const QString& name) const { return folder() + QLatin1Char('/') + name; }

    // Lists the folder and clicks the named entry.
    void click(const QString& name)
    {
        form.Dir1->setPath(folder());
        form.File1->Refresh();
        for (int i = 0; i < form.File1->ListCount(); ++i)
            if (form.File1->List(i) == name) {
                form.File1->setListIndex(i);
                return;
            }
        ADD_FAILURE() << "not listed: " << name.toStdString();
    }

    void expectShown(const QString& name, QSize pixels)
    {
        EXPECT_EQ(form.Text1->text(), pathOf(name));
        EXPECT_EQ(form.selpath, pathOf(name));
        EXPECT_EQ(Module1::curpath, pathOf(name));
        EXPECT_EQ(form2.Picture1.picture().size(), pixels);
        EXPECT_EQ(Module1::imgwidth, (pixels.width() + 4) * 15.0f);
        EXPECT_EQ(Module1::imgheight, (pixels.height() + 4) * 15.0f);
        EXPECT_TRUE(form2.isVisible());
        EXPECT_EQ(form.MousePointer(), 0);
    }

    void expectFallback(const QString& name)
    {
        ASSERT_EQ(dialogs_->messageCount(), 1) << name.toStdString();
        EXPECT_EQ(dialogs_->last().text, QStringLiteral("ファイルが空です"));
        EXPECT_EQ(dialogs_->last().title, QStringLiteral("エラー"));
        EXPECT_EQ(dialogs_->last().style, MsgBoxStyle::OkOnly);
        EXPECT_EQ(form2.Picture1.picture(), form2.Picture2.picture());
        EXPECT_EQ(form2.Image1->picture(), form2.Picture2.picture());
        EXPECT_EQ(Module1::imgwidth, 810.0f);
        EXPECT_EQ(Module1::curpath, programFolder());
        EXPECT_EQ(form.Text1->text(), pathOf(name));
        EXPECT_EQ(form.selpath, pathOf(name));
        EXPECT_EQ(form.MousePointer(), 0);
        EXPECT_FLOAT_EQ(form2.Width(), 3000.0f);
        EXPECT_FLOAT_EQ(form2.Height(), 3000.0f);
    }

    QTemporaryDir dir_;
    Form1& form = forms::get<Form1>();
    Form2& form2 = forms::get<Form2>();
};

TEST_F(SelectTest, ClickShowsThePictureWithItsDateAndSize)
{
    write(QStringLiteral("photo.jpg"), jpegBytes(640, 480));
    click(QStringLiteral("photo.jpg"));

    expectShown(QStringLiteral("photo.jpg"), QSize(640, 480));
    EXPECT_TRUE(dialogs_->boxes().empty());
    EXPECT_EQ(form.Label2->text(), dateText(FileDateTime(pathOf(QStringLiteral("photo.jpg")))));
    EXPECT_EQ(form.Label5->text(), sizeText(QFile(pathOf(QStringLiteral("photo.jpg"))).size()));
    EXPECT_FLOAT_EQ(form2.Width(), 3000.0f);
    EXPECT_EQ(form2.Height(), 2255.0f);
    EXPECT_EQ(form2.Image1->picture().pixelColor(10, 10).red(), form2.Picture1.picture().pixelColor(10, 10).red());
}

TEST_F(SelectTest, SizeLabelShowsThousandsOfBytes)
{
    QByteArray bytes = jpegBytes(32, 32);
    bytes.append(QByteArray(123456 - bytes.size(), '\0')); // trailing bytes after the picture
    write(QStringLiteral("sized.jpg"), bytes);
    click(QStringLiteral("sized.jpg"));
    EXPECT_EQ(form.Label5->text(), QStringLiteral("123.456"));
    EXPECT_EQ(form.Label6->text(), QStringLiteral("バイト"));
}

TEST_F(SelectTest, KirFileHoldingJpegLoadsLikeAJpg)
{
    write(QStringLiteral("same.kir"), jpegBytes(100, 50));
    click(QStringLiteral("same.kir"));
    expectShown(QStringLiteral("same.kir"), QSize(100, 50));
    EXPECT_TRUE(dialogs_->boxes().empty());
}

TEST_F(SelectTest, BmpUnderAJpgNameLoadsByContent)
{
    write(QStringLiteral("really-a-bitmap.jpg"), bmpBytes(30, 20));
    click(QStringLiteral("really-a-bitmap.jpg"));
    expectShown(QStringLiteral("really-a-bitmap.jpg"), QSize(30, 20));
}

TEST_F(SelectTest, TallAndWidePicturesAreFittedIntoTheBox)
{
    write(QStringLiteral("tall.jpg"), jpegBytes(480, 640));
    write(QStringLiteral("wide.bmp"), bmpBytes(1024, 768));
    click(QStringLiteral("tall.jpg"));
    EXPECT_NEAR(form2.Width(), 2254.66, 0.01);
    EXPECT_EQ(form2.Height(), 3000.0f);
    click(QStringLiteral("wide.bmp"));
    EXPECT_FLOAT_EQ(form2.Width(), 3000.0f);
    EXPECT_EQ(form2.Height(), 2253.0f);
}

TEST_F(SelectTest, EmptyFileShowsItsSizeThenTheFallback)
{
    write(QStringLiteral("empty.jpg"), {});
    dialogs_->answerMessage();
    click(QStringLiteral("empty.jpg"));
    expectFallback(QStringLiteral("empty.jpg"));
    EXPECT_EQ(form.Label5->text(), QStringLiteral("0"));
    EXPECT_FALSE(form.Label2->text().isEmpty());
}

TEST_F(SelectTest, EveryBadFileEndsInTheFallbackWithoutACrash)
{
    QByteArray truncated = jpegBytes(400, 300);
    truncated.truncate(truncated.size() / 3);
    QByteArray random(5000, '\0');
    std::uint32_t seed = 7;
    for (char& c : random)
        c = char((seed = seed * 1103515245u + 12345u) >> 16);

    const std::pair<QString, QByteArray> files[] = {
        {QStringLiteral("truncated.jpg"), truncated},
        {QStringLiteral("random.jpg"), random},
        {QStringLiteral("huge.gif"), hugeGif()},
        {QStringLiteral("huge.jpg"), hugeJpeg()},
        {QStringLiteral("text.kir"), QByteArray("not a picture at all")},
    };
    for (const auto& [name, bytes] : files) {
        SCOPED_TRACE(name.toStdString());
        write(name, bytes);
        ScriptedDialogs local;
        local.answerMessage();
        click(name);
        ASSERT_EQ(local.messageCount(), 1);
        EXPECT_EQ(local.last().text, QStringLiteral("ファイルが空です"));
        EXPECT_EQ(form2.Picture1.picture(), form2.Picture2.picture());
        EXPECT_EQ(Module1::curpath, programFolder());
        EXPECT_EQ(form.MousePointer(), 0);
    }
}

TEST_F(SelectTest, FileDeletedBetweenListingAndClickKeepsTheEarlierLabels)
{
    write(QStringLiteral("first.jpg"), jpegBytes(20, 20));
    write(QStringLiteral("second.jpg"), jpegBytes(20, 20));
    click(QStringLiteral("first.jpg"));
    const QString date = form.Label2->text();
    const QString size = form.Label5->text();
    ASSERT_FALSE(date.isEmpty());

    ASSERT_TRUE(QFile::remove(pathOf(QStringLiteral("second.jpg"))));
    dialogs_->answerMessage();
    form.File1->setListIndex(1); // still listed
    expectFallback(QStringLiteral("second.jpg"));
    EXPECT_EQ(form.Label2->text(), date);
    EXPECT_EQ(form.Label5->text(), size);
}

TEST_F(SelectTest, FolderNamedLikeAPictureIsNotListed)
{
    ASSERT_TRUE(QDir(folder()).mkdir(QStringLiteral("x.jpg")));
    form.Dir1->setPath(folder());
    EXPECT_EQ(form.File1->ListCount(), 0);
}

TEST_F(SelectTest, ClickReturnsFromEnlargedAndClosedViews)
{
    write(QStringLiteral("a.jpg"), jpegBytes(64, 48));
    click(QStringLiteral("a.jpg"));
    form.Command2_Click();
    ASSERT_EQ(form.enlarged, 1);
    ASSERT_FLOAT_EQ(form2.Width(), 10000.0f);

    form.File1->setListIndex(-1);
    form.File1->setListIndex(0);
    EXPECT_EQ(form.enlarged, 0);
    EXPECT_FLOAT_EQ(form2.Width(), 3000.0f);
    EXPECT_TRUE(form.Command2->isEnabled());

    form.Command1_Click();
    ASSERT_FALSE(form2.isVisible());
    form.File1->setListIndex(-1);
    form.File1->setListIndex(0);
    EXPECT_TRUE(form2.isVisible());
    EXPECT_TRUE(form.Command1->isEnabled());
    EXPECT_TRUE(form.Command2->isEnabled());
}

TEST_F(SelectTest, ArrowKeysSelectLikeAClick)
{
    write(QStringLiteral("1.jpg"), jpegBytes(10, 10));
    write(QStringLiteral("2.jpg"), jpegBytes(30, 10));
    click(QStringLiteral("1.jpg"));
    form.File1->setFocus();
    QTest::keyClick(form.File1, Qt::Key_Down);
    expectShown(QStringLiteral("2.jpg"), QSize(30, 10));
}

TEST_F(SelectTest, NamesAsPeopleHaveThem)
{
    const QString names[] = {
        QStringLiteral("with space.jpg"),
        QStringLiteral("a & b.jpg"),
        QStringLiteral("it's \"quoted\".jpg"),
        QStringLiteral("写真 ２０２６.jpg"),
        native_names::decode(QByteArray("latin1-\xe9t\xe9.jpg")), // not valid UTF-8
    };
    for (const QString& name : names) {
        SCOPED_TRACE(native_names::encode(name).toStdString());
        write(name, jpegBytes(12, 8));
        click(name);
        expectShown(name, QSize(12, 8));
    }
    EXPECT_TRUE(dialogs_->boxes().empty());
}

} // namespace
