#include "controls/picture_box.h"

#include "runtime/twips.h"

Twips PictureBox::Width() const
{
    return Twips(static_cast<float>(twips::fromPixels(picture_.width() + 2 * borderPixels)));
}

Twips PictureBox::Height() const
{
    return Twips(static_cast<float>(twips::fromPixels(picture_.height() + 2 * borderPixels)));
}
