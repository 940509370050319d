// The interface sounds, synthesised: 16-bit mono samples at kSoundRate.
// Every sound fades in and out (its first and last samples are silent) and
// peaks at half of full scale (about -6 dBFS).
#pragma once

#include <cstdint>
#include <vector>

namespace brisa::art {

constexpr int kSoundRate = 22050;
constexpr double kSoundPeak = 0.5; // fraction of full scale

std::vector<std::int16_t> ClickSound();  // about 40 ms, a soft tick
std::vector<std::int16_t> SwooshSound(); // about 300 ms, a rising noise sweep
std::vector<std::int16_t> StartSound();  // about 600 ms, a rising three-note chime
std::vector<std::int16_t> ExitSound();   // about 500 ms, a falling three-note chime
std::vector<std::int16_t> ErrorSound();  // about 400 ms, two low buzzes

} // namespace brisa::art
