#include "platform/linux/alsa_mixer.h"

#include <alsa/asoundlib.h>

#include <poll.h>

#include <cmath>
#include <cstdlib>
#include <mutex>
#include <vector>

namespace brisa {

namespace {

// alsa-lib writes its complaints to stderr; a missing mixer is no error here.
void QuietAlsa(const char*, int, const char*, int, const char*, ...) {}

void SilenceAlsaOnce() {
    static std::once_flag once;
    std::call_once(once, [] { snd_lib_error_set_handler(QuietAlsa); });
}

std::string DeviceFromEnvironment() {
    const char* name = std::getenv("BRISAMAIL_AUDIO_DEVICE");
    return name && *name ? std::string(name) : std::string("default");
}

// The card that a PCM plays or records on, or -1 (a sound server, a plugin
// without a card, no such PCM). Opened without blocking, so a busy or
// missing device answers at once.
int CardOfPcm(const std::string& pDevice) {
    for (snd_pcm_stream_t stream : {SND_PCM_STREAM_CAPTURE, SND_PCM_STREAM_PLAYBACK}) {
        snd_pcm_t* pcm = nullptr;
        if (snd_pcm_open(&pcm, pDevice.c_str(), stream, SND_PCM_NONBLOCK) < 0) continue;
        snd_pcm_info_t* info = nullptr;
        int card = -1;
        if (snd_pcm_info_malloc(&info) == 0) {
            if (snd_pcm_info(pcm, info) == 0) card = snd_pcm_info_get_card(info);
            snd_pcm_info_free(info);
        }
        snd_pcm_close(pcm);
        if (card >= 0) return card;
    }
    return -1;
}

} // namespace

struct AlsaMixer::Impl {
    snd_mixer_t* mixer = nullptr;
    snd_mixer_elem_t* mic = nullptr;     // with a capture volume
    snd_mixer_elem_t* speaker = nullptr; // with a playback volume

    ~Impl() { Close(); }

    void Close() {
        if (mixer) snd_mixer_close(mixer);
        mixer = nullptr;
        mic = speaker = nullptr;
    }

    // Attaches the simple mixer to one control device; false when there is
    // no such device.
    bool Attach(const std::string& pName) {
        Close();
        if (snd_mixer_open(&mixer, 0) < 0) {
            mixer = nullptr;
            return false;
        }
        if (snd_mixer_attach(mixer, pName.c_str()) < 0 ||
            snd_mixer_selem_register(mixer, nullptr, nullptr) < 0 || snd_mixer_load(mixer) < 0) {
            Close();
            return false;
        }
        // Reading the card's events must never wait (see Refresh).
        snd_hctl_t* hctl = nullptr;
        if (snd_mixer_get_hctl(mixer, pName.c_str(), &hctl) == 0 && hctl) snd_hctl_nonblock(hctl, 1);
        return true;
    }

    // Takes in what changed on the card since the last look (another
    // program moved a volume). The simple mixer skips a write that equals
    // the value it remembers, so without this a volume changed elsewhere
    // could not be set back to the same value. Never waits.
    void Refresh() {
        if (!mixer) return;
        const int count = snd_mixer_poll_descriptors_count(mixer);
        if (count <= 0) return;
        std::vector<pollfd> fds(static_cast<size_t>(count));
        const int filled = snd_mixer_poll_descriptors(mixer, fds.data(), static_cast<unsigned>(count));
        if (filled <= 0 || ::poll(fds.data(), static_cast<nfds_t>(filled), 0) <= 0) return;
        unsigned short revents = 0;
        if (snd_mixer_poll_descriptors_revents(mixer, fds.data(), static_cast<unsigned>(filled), &revents) < 0)
            return;
        if (revents & (POLLIN | POLLPRI)) snd_mixer_handle_events(mixer);
    }

    snd_mixer_elem_t* Find(std::initializer_list<const char*> pNames, bool pCapture) {
        for (const char* name : pNames) {
            for (snd_mixer_elem_t* elem = snd_mixer_first_elem(mixer); elem;
                 elem = snd_mixer_elem_next(elem)) {
                if (!snd_mixer_selem_is_active(elem)) continue;
                const char* elemName = snd_mixer_selem_get_name(elem);
                if (!elemName || std::string(elemName) != name) continue;
                const bool has = pCapture ? snd_mixer_selem_has_capture_volume(elem)
                                          : snd_mixer_selem_has_playback_volume(elem);
                if (has) return elem;
            }
        }
        return nullptr;
    }
};

AlsaMixer::AlsaMixer(std::string pDevice)
    : m_Device(pDevice.empty() ? DeviceFromEnvironment() : std::move(pDevice)),
      m_Impl(std::make_unique<Impl>()) {
    SilenceAlsaOnce();
}

AlsaMixer::~AlsaMixer() = default;

std::vector<std::string> AlsaMixer::CandidateNames(const std::string& pDevice) {
    std::vector<std::string> names{pDevice};
    // "plughw:1,0", "hw:CARD=PCH,DEV=0", "sysdefault:CARD=PCH": the card is
    // the first argument.
    const size_t colon = pDevice.find(':');
    if (colon != std::string::npos) {
        std::string card = pDevice.substr(colon + 1);
        card = card.substr(0, card.find(','));
        if (card.rfind("CARD=", 0) == 0) card = card.substr(5);
        if (card.size() >= 2 && (card.front() == '\'' || card.front() == '"') &&
            card.back() == card.front())
            card = card.substr(1, card.size() - 2);
        if (!card.empty() && card.find_first_of("=:{}/ ") == std::string::npos) {
            const std::string hw = "hw:" + card;
            if (hw != pDevice) names.push_back(hw);
        }
    }
    return names;
}

long AlsaMixer::Scale(uint32_t pValue, long pMin, long pMax) {
    if (pMax <= pMin) return pMin;
    const uint32_t value = pValue > kMixerFullScale ? kMixerFullScale : pValue;
    const double span = static_cast<double>(pMax) - static_cast<double>(pMin);
    return pMin + std::lround(span * value / kMixerFullScale);
}

bool AlsaMixer::Open() {
    bool attached = false;
    for (const std::string& name : CandidateNames(m_Device)) {
        if (m_Impl->Attach(name)) {
            attached = true;
            break;
        }
    }
    if (!attached) {
        // A PCM defined in the configuration under a name of its own: the
        // mixer of the card it ends on.
        const int card = CardOfPcm(m_Device);
        attached = card >= 0 && m_Impl->Attach("hw:" + std::to_string(card));
    }
    if (!attached) return false;
    m_Impl->mic = m_Impl->Find({"Capture", "Mic"}, true);
    m_Impl->speaker = m_Impl->Find({"Master", "Speaker", "PCM"}, false);
    return true;
}

bool AlsaMixer::HasVolume(MixerLine pLine) {
    return (pLine == MixerLine::Microphone ? m_Impl->mic : m_Impl->speaker) != nullptr;
}

bool AlsaMixer::SetVolume(MixerLine pLine, uint32_t pValue) {
    m_Impl->Refresh();
    long min = 0, max = 0;
    if (pLine == MixerLine::Microphone) {
        snd_mixer_elem_t* elem = m_Impl->mic;
        if (!elem || snd_mixer_selem_get_capture_volume_range(elem, &min, &max) < 0) return false;
        return snd_mixer_selem_set_capture_volume_all(elem, Scale(pValue, min, max)) == 0;
    }
    snd_mixer_elem_t* elem = m_Impl->speaker;
    if (!elem || snd_mixer_selem_get_playback_volume_range(elem, &min, &max) < 0) return false;
    return snd_mixer_selem_set_playback_volume_all(elem, Scale(pValue, min, max)) == 0;
}

} // namespace brisa
