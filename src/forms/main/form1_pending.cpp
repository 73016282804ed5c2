// Handlers whose behaviour arrives with later work; each moves to its own
// file when it is built.
#include "forms/main/form1.h"

