// The microphone and speaker sliders over the sound card's mixer.
#include "app/main_window.h"

#include "common/utilities.h"
#include "platform/mixer.h"
#include "recording/slider.h"
#include "settings/registry.h"

#include <QSlider>

#include <charconv>
#include <cstdlib>
#include <optional>

namespace brisa {

namespace {

// A stored volume as a whole number; nothing when the text is not one.
std::optional<int32_t> StoredVolume(const std::string& pText) {
    const std::string text = TrimSpace(pText);
    long long value = 0;
    const char* first = text.data();
    const char* last = text.data() + text.size();
    const auto [end, error] = std::from_chars(first, last, value);
    if (text.empty() || error == std::errc::invalid_argument || end != last) return std::nullopt;
    // Too large a number is as good as full volume (the slider stops at its
    // top anyway).
    if (error == std::errc::result_out_of_range || value > 65000) return 65000;
    if (value < -65000) return -65000;
    return static_cast<int32_t>(value);
}

uint32_t MixerValue(int32_t pPosition) { return static_cast<uint32_t>(std::abs(pPosition)); }

} // namespace

void frmMM::InitVolumes() {
    IMixer* mixer = m_Services.mixer;
    m_MixerOpen = mixer && mixer->Open();
    if (!m_MixerOpen) {
        m_InSlider->SetEnabled(false);
        m_OutSlider->SetEnabled(false);
        return;
    }
    struct Line {
        cSlider* slider;
        MixerLine line;
        std::string stored;
    };
    for (const Line& l : {Line{m_InSlider.get(), MixerLine::Microphone, gRegistry->InVolume()},
                          Line{m_OutSlider.get(), MixerLine::Speakers, gRegistry->OutVolume()}}) {
        if (!mixer->HasVolume(l.line)) {
            l.slider->SetEnabled(false);
            continue;
        }
        // Nothing stored (or something that is not a number): a third of
        // full volume.
        const std::optional<int32_t> stored = StoredVolume(l.stored);
        if (stored) l.slider->SetTracBarPos(-*stored);
        else l.slider->SetTracBarPos(-((l.slider->GetTracBarMax() - l.slider->GetTracBarMin()) / 3));
        mixer->SetVolume(l.line, MixerValue(l.slider->GetTracBarPos()));
    }
}

void frmMM::OnVerticalScroll(intptr_t lParam) {
    // Any other source of the notification counts as the speaker slider.
    const bool mic = m_InSlider->GetTracBarHwnd() &&
                     lParam == reinterpret_cast<intptr_t>(m_InSlider->GetTracBarHwnd());
    cSlider* slider = mic ? m_InSlider.get() : m_OutSlider.get();
    if (slider->IsEnabled()) {
        if (m_Services.mixer)
            m_Services.mixer->SetVolume(mic ? MixerLine::Microphone : MixerLine::Speakers,
                                        MixerValue(slider->GetTracBarPos()));
    } else {
        // No control behind it: the slider only snaps back to the top.
        slider->SetTracBarPos(slider->GetTracBarMin());
    }
}

} // namespace brisa
