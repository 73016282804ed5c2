// Where the help command finds its page when the program is installed.
#include <QDir>

#include "desktop/help_file.h"
#include "runtime/services.h"
#include "test_files.h"

using InstalledHelp = ScratchTest;

// Minimal systems drop share/doc, so the installed page lives in the program's own
// share folder; a page left under share/doc is not taken (the source tree's is).
TEST_F(InstalledHelp, PageUnderShareKiriviewIsFoundAndShareDocIsNotNeeded)
{
    Services installed;
    installed.programFolder = path("usr/bin");
    const ScopedServices scope(installed);
    ASSERT_TRUE(QDir().mkpath(path("usr/bin")) && QDir().mkpath(path("usr/share/doc/kiriview/help"))
                && QDir().mkpath(path("usr/share/kiriview/help")));
    const QString docPage = write("usr/share/doc/kiriview/help/index.html");
    EXPECT_NE(helpFile().toStdString(), docPage.toStdString());
    const QString page = write("usr/share/kiriview/help/index.html");
    QDir(path("usr/share/doc")).removeRecursively();
    EXPECT_EQ(helpFile().toStdString(), page.toStdString());
}
