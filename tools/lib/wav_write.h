// WAV output for the sound generator and its tests.
#pragma once
#include <cstdint>
#include <vector>

// Encodes 16-bit samples (interleaved when channels > 1) as a PCM WAV.
std::vector<uint8_t> encode_wav(int rate, int channels, const std::vector<int16_t> &samples);
// encode_wav, then writes the bytes to path; 0 on success, -1 on failure.
int write_wav(const char *path, int rate, int channels, const std::vector<int16_t> &samples);
// Encodes mono samples (-1..1, clipped) as a 16-bit PCM stereo WAV with both
// channels equal.
std::vector<uint8_t> encode_wav_stereo(int rate, const std::vector<double> &samples);
// encode_wav_stereo, then writes the bytes to path; 0 on success, -1 on failure.
int write_wav_stereo(const char *path, int rate, const std::vector<double> &samples);
