#include "tools/sound_synth.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace brisa::art {

namespace {

constexpr double kTwoPi = 2.0 * std::numbers::pi;

using Buffer = std::vector<double>;

Buffer Silence(double pSeconds) {
    return Buffer(static_cast<std::size_t>(std::lround(pSeconds * kSoundRate)), 0.0);
}

double Time(std::size_t pIndex) {
    return static_cast<double>(pIndex) / kSoundRate;
}

// Raised-cosine ramp from 0 to 1 over pLength seconds.
double Ramp(double pT, double pLength) {
    if (pT <= 0)
        return 0;
    if (pT >= pLength)
        return 1;
    return 0.5 - 0.5 * std::cos(std::numbers::pi * pT / pLength);
}

// Repeatable white noise in [-1, 1].
class Noise {
public:
    double Next() {
        m_State ^= m_State << 13;
        m_State ^= m_State >> 17;
        m_State ^= m_State << 5;
        return static_cast<double>(m_State) / 2147483647.5 - 1.0;
    }

private:
    std::uint32_t m_State = 0x2545F491u;
};

// A struck bell-like note starting at pStart seconds and ringing to the end.
void AddChimeNote(Buffer& pOut, double pStart, double pFrequency, double pLevel, double pDecay) {
    for (std::size_t i = 0; i < pOut.size(); ++i) {
        const double t = Time(i) - pStart;
        if (t <= 0)
            continue;
        const double envelope = Ramp(t, 0.004) * std::exp(-t / pDecay);
        const double tone = std::sin(kTwoPi * pFrequency * t) +
                            0.30 * std::sin(kTwoPi * 2.0 * pFrequency * t) * std::exp(-t / 0.08) +
                            0.10 * std::sin(kTwoPi * 3.01 * pFrequency * t) * std::exp(-t / 0.05);
        pOut[i] += pLevel * envelope * tone;
    }
}

// A soft buzz: odd harmonics falling off quickly, shaped by attack and release.
void AddBuzz(Buffer& pOut, double pStart, double pLength, double pFrequency) {
    for (std::size_t i = 0; i < pOut.size(); ++i) {
        const double t = Time(i) - pStart;
        if (t <= 0 || t >= pLength)
            continue;
        const double envelope = Ramp(t, 0.010) * Ramp(pLength - t, 0.035);
        double tone = 0;
        for (int n = 1; n <= 7; n += 2)
            tone += std::sin(kTwoPi * n * pFrequency * t) / (n * std::sqrt(n));
        pOut[i] += envelope * tone;
    }
}

// Fades the ends, scales the peak to kSoundPeak and rounds to 16 bits.
std::vector<std::int16_t> Finish(Buffer pSound, double pFadeIn, double pFadeOut) {
    const double length = Time(pSound.size());
    double peak = 0;
    for (std::size_t i = 0; i < pSound.size(); ++i) {
        const double t = Time(i);
        pSound[i] *= Ramp(t, pFadeIn) * Ramp(length - t - 1.0 / kSoundRate, pFadeOut);
        peak = std::max(peak, std::abs(pSound[i]));
    }
    const double scale = peak > 0 ? kSoundPeak * 32767.0 / peak : 0.0;
    std::vector<std::int16_t> samples;
    samples.reserve(pSound.size());
    for (double v : pSound)
        samples.push_back(
            static_cast<std::int16_t>(std::clamp(std::lround(v * scale), -32767L, 32767L)));
    return samples;
}

} // namespace

std::vector<std::int16_t> ClickSound() {
    Buffer out = Silence(0.040);
    Noise noise;
    double smooth = 0;
    for (std::size_t i = 0; i < out.size(); ++i) {
        const double t = Time(i);
        smooth += 0.35 * (noise.Next() - smooth); // takes the hiss off the noise
        out[i] = std::exp(-t / 0.007) * (0.7 * std::sin(kTwoPi * 1750.0 * t) + 0.5 * smooth);
    }
    return Finish(std::move(out), 0.0025, 0.006);
}

std::vector<std::int16_t> SwooshSound() {
    Buffer out = Silence(0.300);
    Noise noise;
    // State-variable band-pass whose centre glides from 350 Hz to 4 kHz.
    double low = 0, band = 0;
    const double length = Time(out.size());
    for (std::size_t i = 0; i < out.size(); ++i) {
        const double t = Time(i);
        const double centre = 350.0 * std::pow(4000.0 / 350.0, t / length);
        const double f = 2.0 * std::sin(std::numbers::pi * centre / kSoundRate);
        const double damping = 0.7;
        const double high = noise.Next() - low - damping * band;
        band += f * high;
        low += f * band;
        // Swells quickly, dies away slowly.
        const double shape = std::pow(std::sin(std::numbers::pi * std::pow(t / length, 0.7)), 2.0);
        out[i] = band * shape;
    }
    return Finish(std::move(out), 0.004, 0.030);
}

std::vector<std::int16_t> StartSound() {
    Buffer out = Silence(0.600);
    AddChimeNote(out, 0.000, 587.33, 0.8, 0.20);  // D5
    AddChimeNote(out, 0.110, 739.99, 0.8, 0.20);  // F#5
    AddChimeNote(out, 0.220, 880.00, 0.9, 0.22);  // A5
    AddChimeNote(out, 0.330, 1174.66, 0.7, 0.18); // D6
    return Finish(std::move(out), 0.002, 0.060);
}

std::vector<std::int16_t> ExitSound() {
    Buffer out = Silence(0.500);
    AddChimeNote(out, 0.000, 880.00, 0.8, 0.18); // A5
    AddChimeNote(out, 0.110, 739.99, 0.8, 0.18); // F#5
    AddChimeNote(out, 0.220, 587.33, 0.9, 0.20); // D5
    return Finish(std::move(out), 0.002, 0.060);
}

std::vector<std::int16_t> ErrorSound() {
    Buffer out = Silence(0.400);
    AddBuzz(out, 0.010, 0.150, 185.0);
    AddBuzz(out, 0.215, 0.170, 165.0);
    return Finish(std::move(out), 0.002, 0.010);
}

} // namespace brisa::art
