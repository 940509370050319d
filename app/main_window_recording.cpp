// Recording, pause, resume, playback and the recording clock.
//
// The wave-audio device does all the work under the alias "brisamsg"; the
// window only sends it commands and counts the seconds itself, because the
// device reports neither its position nor the end of a playback.
#include "app/main_window.h"

#include "common/utilities.h"
#include "language/translation.h"
#include "platform/mci.h"
#include "platform/message_box.h"
#include "platform/mixer.h"
#include "platform/program_folder.h"
#include "platform/sound.h"
#include "recording/slider.h"
#include "settings/registry.h"
#include "skin/anigif.h"
#include "skin/label_button.h"

#include <QLabel>

#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <optional>

namespace brisa {

namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }

// Seconds as m:ss (65 -> "1:05", 5 -> "0:05").
std::string TimeText(int32_t pSeconds) {
    char seconds[8];
    std::snprintf(seconds, sizeof seconds, "%02d", static_cast<int>(pSeconds % 60));
    return std::to_string(pSeconds / 60) + ":" + seconds;
}

// The AutoStop setting as a number; nothing when it is not one.
std::optional<int32_t> AutoStopSeconds() {
    if (!gRegistry) return std::nullopt;
    const std::string text = TrimSpace(gRegistry->AutoStop());
    int32_t value = 0;
    const char* last = text.data() + text.size();
    const auto [end, error] = std::from_chars(text.data(), last, value);
    if (text.empty() || error != std::errc() || end != last) return std::nullopt;
    return value;
}

// Sets the record button's caption and tooltip; a missing text leaves
// what the button shows.
void RecordButtonTexts(frmMM& pWindow, const char* pCaption, const char* pTip) {
    if (const auto text = Tr(pCaption)) pWindow.cmdRecord->SetCaption(Q(*text));
    if (const auto text = Tr(pTip)) pWindow.cmdRecord->setToolTip(Q(*text));
}

void Status(frmMM& pWindow, const std::string& pText) { pWindow.lblStatus->setText(Q(pText)); }

// Writes the speaker slider's position to the mixer (|position|), when the
// slider has a mixer control behind it.
void ApplySpeakerVolume(frmMM& pWindow) {
    cSlider& slider = *pWindow.m_OutSlider;
    if (!slider.IsEnabled() || !pWindow.Svc().mixer) return;
    const int32_t position = slider.GetTracBarPos();
    pWindow.Svc().mixer->SetVolume(MixerLine::Speakers,
                                   static_cast<uint32_t>(std::abs(static_cast<long>(position))));
}

// While the microphone is live the speakers are turned down to the slider's
// quietest end; the position to return to is remembered.
void SpeakerPullDown(frmMM& pWindow) {
    cSlider& slider = *pWindow.m_OutSlider;
    slider.SetOldValue(slider.GetTracBarPos());
    slider.SetTracBarPos(slider.GetTracBarMax());
    ApplySpeakerVolume(pWindow);
}

// Puts the speaker slider back where the last pull-down found it.
void SpeakerRestore(frmMM& pWindow) {
    cSlider& slider = *pWindow.m_OutSlider;
    slider.SetTracBarPos(slider.GetOldValue());
    ApplySpeakerVolume(pWindow);
}

// Sends one command to the wave-audio device; a failure is shown under
// pTitle and the caller carries on regardless.
void Mci(frmMM& pWindow, const std::string& pCommand, const std::string& pTitle) {
    IMci* mci = pWindow.Svc().mci;
    if (!mci) return;
    const uint32_t code = mci->Send(pCommand);
    if (code != 0) pWindow.ShowMciError(code, pTitle);
}

} // namespace

// Record starts a new recording, pauses the running one or resumes it.
void frmMM::cmdRecord_Click() {
    // The click has ended before the microphone opens.
    if (SoundsEnabled()) PlaySound("/sounds/click.wav", SND_SYNC);

    if (m_RecordState.empty()) {
        // A new recording; the previous one is discarded.
        m_RecordState = "record";
        gifLogo->Start();
        if (const auto text = Tr("mm0003")) Status(*this, *text);
        DoEvents();
        std::remove(ProgramPath("/in.wav").c_str());
        // Closes the device a previous recording left open; usually it is not.
        if (m_Services.mci) m_Services.mci->Send("close brisamsg");
        Mci(*this, "open new type waveaudio alias brisamsg", "BrisaMail");
        Mci(*this, "record brisamsg overwrite", "BrisaMail");
        if (const auto text = Tr("mm0050")) m_Mode = *text;
        RecordButtonTexts(*this, "mm0077", "mm0078");
        SpeakerPullDown(*this);
        SetButtons(-1, 0, 1, 0, 0, 0);
        Refresh();
        // The first second shows at once.
        m_Elapsed = 0;
        tmrRecording.start();
        tmrRecording_Timer();
    } else if (EqualsNoCase(m_RecordState, "record")) {
        // Pause.
        m_RecordState = "pause";
        Mci(*this, "pause brisamsg", "command1 - pause brisamsg");
        RecordButtonTexts(*this, "mm0079", "mm0080");
        SetButtons(-1, 0, 0, 0, 0, 0);
        Refresh();
        SpeakerRestore(*this);
        // The count stands still while paused.
        tmrRecording.stop();
        if (const auto text = Tr("mm0081")) m_Mode = *text;
        Status(*this, m_Mode);
    } else if (EqualsNoCase(m_RecordState, "pause")) {
        // Resume: the recording goes on where it paused.
        m_RecordState = "record";
        Mci(*this, "record brisamsg", "command1 - record brisamsg");
        RecordButtonTexts(*this, "mm0077", "mm0078");
        SpeakerPullDown(*this);
        SetButtons(-1, 0, 1, 0, 0, 0);
        Refresh();
        tmrRecording.start();
    }
}

// Play plays the recording from its start.
void frmMM::cmdPlay_Click() {
    if (SoundsEnabled()) PlaySound("/sounds/click.wav", SND_SYNC);
    gifLogo->Start();
    if (const auto text = Tr("mm0004")) Status(*this, *text);
    DoEvents();
    m_RecordState.clear();
    Mci(*this, "play brisamsg from 1", "BrisaMail");
    m_Elapsed = 0;
    if (const auto text = Tr("mm0051")) m_Mode = *text;
    tmrRecording.start();
    SetButtons(0, 0, 1, 0, 0, 0);
    Refresh();
}

// Stop ends a recording or a playback.
void frmMM::cmdStop_Click() {
    Mci(*this, "stop brisamsg", "BrisaMail");
    Mci(*this, "seek brisamsg to start", "BrisaMail");
    // The click comes after the device has stopped.
    if (SoundsEnabled()) PlaySound("/sounds/click.wav", SND_ASYNC);
    SpeakerRestore(*this);
    RecordButtonTexts(*this, "mm0063", "mm0038");
    SetButtons(1, 1, 0, 1, 1, 1);
    Refresh();
    gifLogo->Stop();
    gifLogo->SetFrame(1);
    tmrRecording.stop();
    if (EqualsNoCase(m_RecordState, "record")) m_RecordedLength = m_Elapsed;
    m_RecordState.clear();
    m_Mode.clear();
    if (const auto text = Tr("mm0049")) Status(*this, *text);
}

// Shows the wave-audio device's error text in a box with the given title.
void frmMM::ShowMciError(uint32_t pCode, const std::string& pTitle) {
    if (m_Services.mci) m_MciError = m_Services.mci->ErrorText(pCode);
    if (m_Services.messageBox) m_Services.messageBox->Show(m_MciError, pTitle, vbOKOnly);
    m_MciError.clear();
}

// Counts the seconds of a recording or playback once a second.
void frmMM::tmrRecording_Timer() {
    const std::optional<std::string> playing = Tr("mm0051");
    if (playing && EqualsNoCase(m_Mode, *playing)) {
        ++m_Elapsed;
        if (m_Elapsed < m_RecordedLength) {
            Status(*this, *playing + ": " + TimeText(m_Elapsed) + " - " + TimeText(m_RecordedLength));
            return;
        }
        // The whole recording has been played; the device stays open at
        // its end and the next Play starts it again.
        tmrRecording.stop();
        Status(*this,
               *playing + ": " + TimeText(m_RecordedLength) + " - " + TimeText(m_RecordedLength));
        tmrFocus.stop();
        tmrFocus_Timer();
        SetButtons(1, 1, 0, 1, 1, 1);
        Refresh();
        gifLogo->Stop();
        gifLogo->SetFrame(1);
        m_Mode.clear();
        m_Elapsed = 0;
        return;
    }

    // Recording.
    ++m_Elapsed;
    m_RecordedLength = m_Elapsed;
    const std::optional<int32_t> limit = AutoStopSeconds();
    if (limit && *limit == m_Elapsed) {
        cmdStop_Click();
        if (SoundsEnabled()) PlaySound("/sounds/error.wav", SND_ASYNC);
        return;
    }
    if (const auto text = Tr("mm0050")) Status(*this, *text + ": " + TimeText(m_Elapsed));
}

} // namespace brisa
