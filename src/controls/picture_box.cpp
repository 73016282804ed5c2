#include "controls/picture_box.h"

#include "runtime/twips.h"

void PictureBox::setShown(const ShownPicture& shown)
{
    picture_ = shown.picture;
    natural_ = shown.natural;
}

Twips PictureBox::twipsWidth() const
{
    return Twips(static_cast<float>(twips::fromPixels(natural_.width() + 2 * borderPixels)));
}

Twips PictureBox::twipsHeight() const
{
    return Twips(static_cast<float>(twips::fromPixels(natural_.height() + 2 * borderPixels)));
}
