#include "controls/picture_box.h"

#include "decoder/colour_profile.h"
#include "runtime/run_time_error.h"
#include "runtime/twips.h"

void PictureBox::setPicture(const QImage& picture)
{
    picture_ = picture;
    natural_ = picture.size();
    source_.reset();
    converted_ = false;
    full_ = QImage();
}

void PictureBox::setShown(const ShownPicture& shown)
{
    picture_ = shown.picture;
    natural_ = shown.natural;
    source_ = shown.source;
    converted_ = shown.converted && shown.source;
    full_ = QImage();
}

// A picture made in memory, or one decoded whole with the file's own values, is its own full picture.
bool PictureBox::holdsFull() const
{
    return !source_ || (picture_.size() == natural_ && !converted_) || !full_.isNull();
}

void PictureBox::keepFull(QImage full)
{
    if (full.size() != natural_)
        throw RunTimeError(RunTimeError::InvalidPicture, "full-size picture differs from the shown one");
    full_ = std::move(full);
}

const QImage& PictureBox::fullPicture() const
{
    if (!source_ || (picture_.size() == natural_ && !converted_))
        return picture_;
    return full_;
}

Twips PictureBox::twipsWidth() const
{
    return Twips(static_cast<float>(twips::fromPixels(natural_.width() + 2 * borderPixels)));
}

Twips PictureBox::twipsHeight() const
{
    return Twips(static_cast<float>(twips::fromPixels(natural_.height() + 2 * borderPixels)));
}

QImage PictureBox::fullPictureAsShown() const
{
    if (picture_.size() == natural_)
        return picture_;
    const QImage& full = fullPicture();
    return converted_ && !full.isNull() ? ColourProfile::of(source_->markers()).toSrgb(full) : full;
}
