// Must not compile: QWidget's integer pixels are no twips.
#include "controls/image_control.h"

void resize(ImageControl& control) { control.setTwipsWidth(control.width()); }
