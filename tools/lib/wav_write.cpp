#include "wav_write.h"

#include "pcx_write.h"

#include <cmath>
#include <cstdio>

namespace {

void put16(std::vector<uint8_t> &out, unsigned v) {
    out.push_back(v & 0xff);
    out.push_back((v >> 8) & 0xff);
}

void put32(std::vector<uint8_t> &out, uint32_t v) {
    put16(out, v & 0xffff);
    put16(out, v >> 16);
}

void put_tag(std::vector<uint8_t> &out, const char *tag) {
    for (int i = 0; i < 4; i++)
        out.push_back((uint8_t)tag[i]);
}

} // namespace

std::vector<uint8_t> encode_wav(int rate, int channels, const std::vector<int16_t> &samples) {
    const unsigned bytes_per_sample = 2;
    uint32_t data_size = (uint32_t)(samples.size() * bytes_per_sample);
    std::vector<uint8_t> out;
    out.reserve(44 + data_size);
    put_tag(out, "RIFF");
    put32(out, 36 + data_size);
    put_tag(out, "WAVE");
    put_tag(out, "fmt ");
    put32(out, 16);
    put16(out, 1); // PCM
    put16(out, (unsigned)channels);
    put32(out, (uint32_t)rate);
    put32(out, (uint32_t)rate * channels * bytes_per_sample);
    put16(out, channels * bytes_per_sample);
    put16(out, 16);
    put_tag(out, "data");
    put32(out, data_size);
    for (int16_t v : samples)
        put16(out, (unsigned)(v & 0xffff));
    return out;
}

int write_wav(const char *path, int rate, int channels, const std::vector<int16_t> &samples) {
    return write_file_bytes(path, encode_wav(rate, channels, samples));
}

std::vector<uint8_t> encode_wav_stereo(int rate, const std::vector<double> &samples) {
    std::vector<int16_t> frames;
    frames.reserve(samples.size() * 2);
    for (double s : samples) {
        double c = s > 1.0 ? 1.0 : (s < -1.0 ? -1.0 : s);
        int16_t v = (int16_t)std::lround(c * 32767.0);
        frames.push_back(v);
        frames.push_back(v);
    }
    return encode_wav(rate, 2, frames);
}

int write_wav_stereo(const char *path, int rate, const std::vector<double> &samples) {
    return write_file_bytes(path, encode_wav_stereo(rate, samples));
}
