// Synthesises the game's two sound effects as 22050 Hz, 16-bit stereo WAV
// files (the mixer's own format, so nothing is resampled at play time):
//   snd0.wav  a soft wooden click, 40 ms, played on every tile selection
//   snd1.wav  a two-note bell chime, 180 ms, played after a deal and on
//             every tile-set or background switch
// Both effects block the game while they play, so they are kept short.
// Usage: make_sounds OUTPUT_DIR
#include "wav_write.h"

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

namespace {

const int RATE = 22050;
const double PI = 3.14159265358979323846;

// Small deterministic noise source (xorshift), so the files regenerate
// byte for byte.
unsigned noise_state = 0x2545f491u;
double noise() {
    noise_state ^= noise_state << 13;
    noise_state ^= noise_state >> 17;
    noise_state ^= noise_state << 5;
    return (noise_state & 0xffff) / 32767.5 - 1.0;
}

// A short knock: a damped resonance at 1.9 kHz excited by a burst of
// low-passed noise, with a lower body tone. Peak level is kept low.
std::vector<double> make_click() {
    const int n = RATE * 40 / 1000;
    std::vector<double> out(n);
    double lp = 0.0;
    for (int i = 0; i < n; i++) {
        double t = double(i) / RATE;
        double burst = i < RATE * 3 / 1000 ? noise() : 0.0;
        lp += 0.35 * (burst - lp);
        double body = std::sin(2 * PI * 1900 * t) * std::exp(-t / 0.0045) +
                      0.6 * std::sin(2 * PI * 820 * t) * std::exp(-t / 0.008);
        out[i] = 0.55 * lp + 0.30 * body;
    }
    return out;
}

// One bell stroke: partials with bell-like (inharmonic) ratios, each
// decaying at its own rate.
void add_bell(std::vector<double> &out, int start, double freq, double level) {
    static const double ratios[4] = {1.0, 2.0, 2.76, 5.40};
    static const double amps[4] = {1.0, 0.45, 0.30, 0.12};
    static const double decays[4] = {0.090, 0.060, 0.040, 0.020};
    for (int i = start; i < (int)out.size(); i++) {
        double t = double(i - start) / RATE;
        double attack = t < 0.002 ? t / 0.002 : 1.0;
        double v = 0.0;
        for (int p = 0; p < 4; p++)
            if (freq * ratios[p] < 9000) // nothing shrill near the 11 kHz limit
                v += amps[p] * std::sin(2 * PI * freq * ratios[p] * t) * std::exp(-t / decays[p]);
        out[i] += level * attack * v;
    }
}

// E6 then B6 a fifth above, 45 ms apart; the tail is faded to silence so
// the effect ends without a click.
std::vector<double> make_chime() {
    const int n = RATE * 180 / 1000;
    std::vector<double> out(n, 0.0);
    add_bell(out, 0, 1318.51, 0.30);
    add_bell(out, RATE * 45 / 1000, 1975.53, 0.26);
    return out;
}

// Fades the last `ms` milliseconds linearly to zero.
void fade_out(std::vector<double> &s, int ms) {
    int len = RATE * ms / 1000;
    int n = (int)s.size();
    for (int i = 0; i < len && i < n; i++)
        s[n - 1 - i] *= double(i) / len;
}

} // namespace

int main(int argc, char **argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT_DIR\n", argv[0]);
        return 2;
    }
    std::string dir = argv[1];
    std::vector<double> click = make_click();
    fade_out(click, 8);
    std::vector<double> chime = make_chime();
    fade_out(chime, 30);
    if (write_wav_stereo((dir + "/snd0.wav").c_str(), RATE, click) != 0 ||
        write_wav_stereo((dir + "/snd1.wav").c_str(), RATE, chime) != 0) {
        std::fprintf(stderr, "make_sounds: cannot write into %s\n", dir.c_str());
        return 1;
    }
    return 0;
}
