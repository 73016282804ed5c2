#include "platform/picture_box.h"

#include "platform/twips.h"

float PictureBox::Width() const
{
    return static_cast<float>(twips::fromPixels(picture_.width() + 2 * borderPixels));
}

float PictureBox::Height() const
{
    return static_cast<float>(twips::fromPixels(picture_.height() + 2 * borderPixels));
}
