// Must not compile: the runtime room cannot see the windows above it.
#include "main_window/main_window.h"
