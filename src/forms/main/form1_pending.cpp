// Handlers whose behaviour arrives with later work; each moves to its own
// file when it is built.
#include "forms/main/form1.h"

void Form1::mnusave_Click() {}
void Form1::loadFavorites() {}
void Form1::mnuokiniplus_Click() {}
void Form1::mnuokiniclear_Click() {}
void Form1::mnurec_Click(int) {}
