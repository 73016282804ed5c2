#include "controls/picture_box.h"

#include "runtime/twips.h"

float PictureBox::Width() const
{
    return static_cast<float>(twips::fromPixels(picture_.width() + 2 * borderPixels));
}

float PictureBox::Height() const
{
    return static_cast<float>(twips::fromPixels(picture_.height() + 2 * borderPixels));
}
