// Handlers whose behaviour arrives with later work; each moves to its own
// file when it is built.
#include "forms/main/form1.h"

void Form1::File1_Click() {}
void Form1::Command4_Click() {}
void Form1::Command5_Click() {}
void Form1::Command7_Click() {}
void Form1::mnupassc_Click() {}
void Form1::Command6_Click() {}
void Form1::mnugazoc_Click() {}
void Form1::mnucliclear_Click() {}
void Form1::mnuviewclip_Click() {}
void Form1::Command8_Click() {}
void Form1::Command9_Click() {}
void Form1::mnuhelp_Click() {}
void Form1::mnuver_Click() {}
void Form1::mnusave_Click() {}
void Form1::loadFavorites() {}
void Form1::mnuokiniplus_Click() {}
void Form1::mnuokiniclear_Click() {}
void Form1::mnurec_Click(int) {}
