// The files room's stand-in folder: names Qt's file dialog cannot hold go
// through it and come back as the bytes they are on disk.
#include <filesystem>

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include "files/native_names.h"
#include "files/stand_in_folder.h"

namespace {

// A file name that is not UTF-8, in a folder that is UTF-8 and in one that is not.
TEST(StandInFolder, TheProposedNameComesBackAsItsOwnBytes)
{
    QTemporaryDir dir;
    const QByteArray root = native_names::encode(dir.path());
    ASSERT_TRUE(std::filesystem::create_directory((root + "/bad\xff\xfe").constData()));
    for (const QByteArray& file : {root + "/photo\xff.jpg", root + "/bad\xff\xfe/photo\xff.jpg"}) {
        SCOPED_TRACE(file.toHex().toStdString());
        const QString path = native_names::decode(file);
        const StandInFolder proposed(path);
        // What Qt's dialog gives back when the proposal is accepted: the name as Qt holds it.
        const QString accepted = QString::fromUtf8(proposed.shown().toUtf8());
        EXPECT_EQ(accepted, proposed.shown());
        EXPECT_EQ(native_names::encode(proposed.restore(accepted)), file);
    }
    std::filesystem::remove_all((root + "/bad\xff\xfe").constData()); // Qt's clean-up cannot name it
}

} // namespace
