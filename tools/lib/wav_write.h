// WAV output for the sound generator and its tests.
#pragma once
#include <cstdint>
#include <vector>

// Encodes mono samples (-1..1, clipped) as a 16-bit PCM stereo WAV with both
// channels equal.
std::vector<uint8_t> encode_wav_stereo(int rate, const std::vector<double> &samples);
// encode_wav_stereo, then writes the bytes to path; 0 on success, -1 on failure.
int write_wav_stereo(const char *path, int rate, const std::vector<double> &samples);
