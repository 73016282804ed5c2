// Must not compile: the runtime room cannot see the forms above it.
#include "forms/main/main_window.h"
