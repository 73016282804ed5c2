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

QByteArray encoded(int width, int height, const char* format = "JPEG")
{
    QImage picture(width, height, QImage::Format_RGB32);
    picture.fill(QColor(200, 40, 40));
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    EXPECT_TRUE(picture.save(&buffer, format));
    return bytes;
}

// A GIF and a JPEG whose headers claim 60000 x 60000 pixels.
const QByteArray hugeGif = QByteArray::fromHex("47494638396160ea60ea800000000000000000002c0000000060ea60ea0002024c01003b");
QByteArray hugeJpeg()
{
    QByteArray jpeg = encoded(16, 16);
    const int sof = jpeg.indexOf(QByteArray("\xff\xc0", 2));
    jpeg.replace(sof + 5, 4, QByteArray::fromHex("ea60ea60"));
    return jpeg;
}

class SelectTest : public FormTest {
protected:
    SelectTest() { startProgram(); }

    // Writes a file into the folder (by native bytes, so any name works).
    void write(const QString& name, const QByteArray& bytes)
    {
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
        const auto found = form.File1->findItems(name, Qt::MatchExactly);
        ASSERT_EQ(found.size(), 1) << "not listed: " << name.toStdString();
        form.File1->setListIndex(form.File1->row(found.front()));
    }

    void expectShown(const QString& name, QSize pixels)
    {
        EXPECT_EQ(QStringList({form.Text1->text(), form.selpath, Module1::curpath}), QStringList(3, pathOf(name)));
        EXPECT_EQ(form2.Picture1.picture().size(), pixels);
        EXPECT_EQ(QSizeF(Module1::imgwidth, Module1::imgheight), QSizeF(pixels + QSize(4, 4)) * 15);
        EXPECT_TRUE(form2.isVisible());
        EXPECT_EQ(form.MousePointer(), 0);
    }

    void expectFallback(const ScriptedDialogs& boxes, const QString& name)
    {
        ASSERT_EQ(boxes.messageCount(), 1);
        EXPECT_EQ(boxes.last().text + boxes.last().title, QStringLiteral("ファイルが空ですエラー"));
        EXPECT_EQ(boxes.last().style, MsgBoxStyle::OkOnly);
        EXPECT_EQ(form2.Image1->picture(), form2.Picture2.picture());
        EXPECT_EQ(QSizeF(Module1::imgwidth, Module1::imgheight), QSizeF(810, 810));
        EXPECT_EQ(QStringList({form.Text1->text(), form.selpath, Module1::curpath}),
                  QStringList({pathOf(name), pathOf(name), programFolder()}));
        EXPECT_EQ(form.MousePointer(), 0);
        EXPECT_EQ(QSizeF(form2.Width(), form2.Height()), QSizeF(3000, 3000));
    }

    QTemporaryDir dir_;
    Form1& form = forms::get<Form1>();
    Form2& form2 = forms::get<Form2>();
};

TEST_F(SelectTest, ClickShowsThePictureFittedWithItsDateAndSize)
{
    QByteArray sized = encoded(640, 480);
    sized.append(QByteArray(123456 - sized.size(), '\0')); // bytes after the picture are ignored
    write(QStringLiteral("photo.jpg"), sized);
    write(QStringLiteral("same.kir"), encoded(100, 50));
    write(QStringLiteral("bitmap.jpg"), encoded(480, 640, "BMP")); // decided by content
    click(QStringLiteral("photo.jpg"));
    expectShown(QStringLiteral("photo.jpg"), QSize(640, 480));
    EXPECT_EQ(form.Label2->text(), dateText(FileDateTime(pathOf(QStringLiteral("photo.jpg")))));
    EXPECT_EQ(form.Label5->text(), QStringLiteral("123.456"));
    EXPECT_EQ(form2.Width(), 3000.0f);
    EXPECT_EQ(form2.Height(), 2255.0f);

    click(QStringLiteral("same.kir"));
    expectShown(QStringLiteral("same.kir"), QSize(100, 50));
    click(QStringLiteral("bitmap.jpg"));
    expectShown(QStringLiteral("bitmap.jpg"), QSize(480, 640));
    EXPECT_NEAR(form2.Width(), 2254.66, 0.01);
    EXPECT_EQ(form2.Height(), 3000.0f);
    EXPECT_TRUE(dialogs_->boxes().empty());
}

TEST_F(SelectTest, EveryBadFileEndsInTheFallbackWithoutACrash)
{
    QByteArray truncated = encoded(400, 300);
    truncated.truncate(truncated.size() / 3);
    QByteArray random(5000, '\0');
    std::uint32_t seed = 7;
    for (char& c : random)
        c = char((seed = seed * 1103515245u + 12345u) >> 16);
    const std::pair<QString, QByteArray> files[] = {
        {QStringLiteral("empty.jpg"), {}},
        {QStringLiteral("truncated.jpg"), truncated},
        {QStringLiteral("random.jpg"), random},
        {QStringLiteral("huge.gif"), hugeGif},
        {QStringLiteral("huge.jpg"), hugeJpeg()},
        {QStringLiteral("text.kir"), QByteArray("not a picture at all")},
    };
    for (const auto& [name, bytes] : files) {
        SCOPED_TRACE(name.toStdString());
        write(name, bytes);
        ScriptedDialogs local;
        local.answerMessage();
        click(name);
        expectFallback(local, name);
        EXPECT_EQ(form.Label5->text(), sizeText(bytes.size())); // written before the load failed
    }
}

TEST_F(SelectTest, FileDeletedBetweenListingAndClickKeepsTheEarlierLabels)
{
    write(QStringLiteral("first.jpg"), encoded(20, 20));
    write(QStringLiteral("second.jpg"), encoded(20, 20));
    click(QStringLiteral("first.jpg"));
    const QString date = form.Label2->text(), size = form.Label5->text();
    ASSERT_TRUE(QFile::remove(pathOf(QStringLiteral("second.jpg"))));
    dialogs_->answerMessage();
    form.File1->setListIndex(1); // still listed
    expectFallback(*dialogs_, QStringLiteral("second.jpg"));
    EXPECT_EQ(form.Label2->text(), date);
    EXPECT_EQ(form.Label5->text(), size);
}

TEST_F(SelectTest, ClickOrArrowKeyReturnsFromEnlargedAndClosedViews)
{
    write(QStringLiteral("1.jpg"), encoded(10, 10));
    write(QStringLiteral("2.jpg"), encoded(30, 10));
    click(QStringLiteral("1.jpg"));
    form.Command2_Click();
    form.File1->setFocus();
    QTest::keyClick(form.File1, Qt::Key_Down);
    expectShown(QStringLiteral("2.jpg"), QSize(30, 10));
    EXPECT_EQ(form.enlarged, 0);
    EXPECT_EQ(form2.Width(), 3000.0f);
    EXPECT_TRUE(form.Command2->isEnabled());

    form.Command1_Click();
    QTest::keyClick(form.File1, Qt::Key_Up);
    expectShown(QStringLiteral("1.jpg"), QSize(10, 10));
    EXPECT_TRUE(form.Command1->isEnabled());
    EXPECT_TRUE(form.Command2->isEnabled());
}

TEST_F(SelectTest, NamesAsPeopleHaveThem)
{
    ASSERT_TRUE(QDir(folder()).mkdir(QStringLiteral("x.jpg"))); // a folder is never listed as a file
    const QString names[] = {
        QStringLiteral("with space.jpg"),
        QStringLiteral("a & b.jpg"),
        QStringLiteral("it's \"quoted\".jpg"),
        QStringLiteral("写真 ２０２６.jpg"),
        native_names::decode(QByteArray("latin1-\xe9t\xe9.jpg")), // not valid UTF-8
    };
    for (const QString& name : names) {
        SCOPED_TRACE(native_names::encode(name).toStdString());
        write(name, encoded(12, 8));
        click(name);
        expectShown(name, QSize(12, 8));
    }
    EXPECT_EQ(form.File1->ListCount(), 5);
    EXPECT_TRUE(dialogs_->boxes().empty());
    std::remove(native_names::encode(pathOf(names[4])).constData()); // Qt cannot remove it with its folder
}

} // namespace
