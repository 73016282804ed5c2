// What the saved file carries from its source besides the pixels, and the
// slider menu's choice to leave the location out.
#include "save_dialog/save_dialog.h"

#include <QAction>

#include "desktop/user_files.h"
#include "jpeg/jpeg_metadata.h"
#include "ui/handler_guard.h"
#include "profile/profile.h"
#include "ui/forms.h"

namespace {

// A section of its own, beside the favorites'.
Profile saveSettings()
{
    Profile settings;
    settings.setFileName(userfiles::current().settingsFile());
    settings.setSection(QStringLiteral("save"));
    return settings;
}

const QString dropLocationKey = QStringLiteral("removeLocation");

} // namespace

void SaveDialog::buildMetadataChoice()
{
    dropLocationAction = new QAction(QStringLiteral("位置情報を削除(&L)"), this);
    dropLocationAction->setCheckable(true);
    dropLocationAction->setChecked(saveSettings().getValue(dropLocationKey, 0) != 0);
    QObject::connect(dropLocationAction, &QAction::toggled, this,
                     [this](bool drop) { guarded([this, drop] { dropLocationChanged(drop); })(); });
}

// The picture's own markers, from the very bytes shown, with the changes the
// save makes to them.
void SaveDialog::readMetadata()
{
    sourceMarkers_ = subject_.source ? subject_.source->markers() : JpegMarkers();
    if (sourceMarkers_.isEmpty()) {
        keptMarkers_.reset();
        return;
    }
    const MetadataChanges changes{subject_.picture.size(), dropLocationAction->isChecked()};
    keptMarkers_ = std::make_shared<const JpegMarkers>(keptMetadata(sourceMarkers_, changes));
}

void SaveDialog::dropLocationChanged(bool drop)
{
    Profile settings = saveSettings();
    settings.writeValue(dropLocationKey, drop ? 1 : 0);
    if (sourceMarkers_.exif.isEmpty() && sourceMarkers_.xmp.isEmpty())
        return; // nothing to leave out
    readMetadata();
    // The preview file is what a save writes, location included or not.
    requestPreview();
}
