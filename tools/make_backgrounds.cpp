// Paints the background pictures described in backgrounds.txt as 8-bit PCX
// files. Every picture is computed at the display's resolution (half the
// work surface) and written with each pixel doubled into a 2 x 2 block, so
// that the halving on the way to the screen loses nothing and the ordered
// dithering survives it.
//
// Each picture is built from up to four colour ramps of 64 shades (the
// palette), and a painter that sets a ramp and a brightness 0..1 for every
// pixel. Painters:
//   cloth      seamless woven cloth
//   waves      seamless pattern of overlapping wave arcs
//   mountains  misty mountain ridges under a moonlit sky
//   dusk       evening sky over a lake, hills and a pagoda
// Usage: make_backgrounds BACKGROUNDS.txt OUTPUT_DIR   (writes bgN.pcx)
#include "face_art.h"
#include "pcx_write.h"

#include <cmath>
#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

namespace {

const int RAMP_COUNT = 4;
const int SHADES = 64;

struct Background {
    std::string name;
    std::string painter;
    int width = 0, height = 0; // on the work surface (even numbers)
    unsigned seed = 1;
    int ramps = 0;
    double dark[RAMP_COUNT][3];  // colour at brightness 0
    double light[RAMP_COUNT][3]; // colour at brightness 1
};

// One display pixel: which ramp, how bright.
struct Shade {
    int ramp;
    double level;
};

struct Canvas {
    int w, h; // display resolution
    std::vector<Shade> px;
    Shade &at(int x, int y) {
        return px[(size_t)y * w + x];
    }
};

const double PI = 3.14159265358979323846;

// Integer hash noise, so the pictures depend on the seed only.
double hash01(unsigned seed, int x, int y) {
    unsigned h = seed * 0x9e3779b1u ^ (unsigned)x * 0x85ebca6bu ^ (unsigned)y * 0xc2b2ae35u;
    h ^= h >> 15;
    h *= 0x2c1b3c6du;
    h ^= h >> 12;
    h *= 0x297a2d39u;
    h ^= h >> 15;
    return (h & 0xffffff) / double(0xffffff);
}

double smooth(double t) {
    return t * t * (3 - 2 * t);
}

// Value noise on a lattice of cell size `cell`, wrapping every `period`
// lattice points in x and y (period 0: no wrapping).
double value_noise(unsigned seed, double x, double y, double cell, int period) {
    double fx = x / cell, fy = y / cell;
    int x0 = (int)std::floor(fx), y0 = (int)std::floor(fy);
    double tx = smooth(fx - x0), ty = smooth(fy - y0);
    auto lattice = [&](int ix, int iy) {
        if (period > 0) {
            ix = ((ix % period) + period) % period;
            iy = ((iy % period) + period) % period;
        }
        return hash01(seed, ix, iy);
    };
    double a = lattice(x0, y0), b = lattice(x0 + 1, y0);
    double c = lattice(x0, y0 + 1), d = lattice(x0 + 1, y0 + 1);
    return (a + (b - a) * tx) + ((c + (d - c) * tx) - (a + (b - a) * tx)) * ty;
}

// Three octaves of value noise, -0.5..0.5 roughly; wraps when period > 0.
double fbm(unsigned seed, double x, double y, double cell, int period) {
    double sum = 0, amp = 0.5, total = 0;
    for (int o = 0; o < 3; o++) {
        sum += amp * value_noise(seed + o * 101, x, y, cell, period);
        total += amp;
        amp *= 0.5;
        cell /= 2;
        period *= 2;
    }
    return sum / total - 0.5;
}

double clamp01(double v) {
    return v < 0 ? 0 : (v > 1 ? 1 : v);
}

// Seamless woven cloth: threads 4 pixels wide crossing over and under.
void paint_cloth(const Background &b, Canvas &c) {
    int period_cells = c.w / 12;
    for (int y = 0; y < c.h; y++)
        for (int x = 0; x < c.w; x++) {
            int tx = x / 4, ty = y / 4;
            bool warp_on_top = ((tx + ty) & 1) == 0;
            int across = warp_on_top ? x % 4 : y % 4;
            double thread = 0.75 + 0.25 * std::sin(PI * (across + 0.5) / 4.0);
            double grain = fbm(b.seed, x, y, 12.0, period_cells);
            double level = 0.42 * thread + 0.18 * grain + (warp_on_top ? 0.06 : 0.0);
            c.at(x, y) = {0, clamp01(level)};
        }
}

// Seamless overlapping wave arcs: circles of radius r in staggered rows,
// each row drawn over the one above; rings alternate in brightness.
void paint_waves(const Background &, Canvas &c) {
    int r = c.w / 2;
    for (int y = 0; y < c.h; y++)
        for (int x = 0; x < c.w; x++) {
            Shade s = {0, 0.3};
            // Rows of centres every r/2, shifted by r on odd rows. Look at
            // the rows just below the pixel (the lowest covering one wins).
            for (int j = (2 * y) / r - 1; j <= (2 * y) / r + 3; j++) {
                int cy = j * r / 2;
                int shift = (j & 1) ? r : 0;
                for (int k = -1; k <= 1; k++) {
                    int cx = k * 2 * r + shift;
                    // periodic in x with 2r: test the copies around the pixel
                    double dx = x + 0.5 - cx, dy = y + 0.5 - cy;
                    double d = std::sqrt(dx * dx + dy * dy);
                    if (d < r && dy <= 0) {
                        int ring = (int)(d / (r / 4.0));
                        double edge = std::fmod(d, r / 4.0) / (r / 4.0);
                        double level = (ring & 1) ? 0.30 : 0.52;
                        level += 0.10 * (1 - edge);
                        s = {ring == 0 ? 1 : 0, level};
                    }
                }
            }
            c.at(x, y) = s;
        }
}

// Height of a ridge at column x: a sum of soft waves plus noise.
double ridge(unsigned seed, double x, double base, double amp, double scale) {
    double n = value_noise(seed, x, 0, scale, 0) - 0.5;
    double n2 = value_noise(seed + 7, x, 0, scale / 3, 0) - 0.5;
    return base + amp * (n + 0.35 * n2);
}

// Misty ridges under a moonlit sky. Ramps: 0 sky, 1 hills, 2 moon.
void paint_mountains(const Background &b, Canvas &c) {
    const int layers = 4;
    double base[layers] = {0.42, 0.55, 0.68, 0.82};
    double amp[layers] = {0.30, 0.26, 0.22, 0.16};
    double scale[layers] = {90, 70, 55, 45};
    double tone[layers] = {0.62, 0.46, 0.30, 0.14};
    double mx = c.w * 0.90, my = c.h * 0.15, mr = c.h * 0.07;
    for (int x = 0; x < c.w; x++) {
        double top[layers];
        for (int l = 0; l < layers; l++)
            top[l] = c.h * ridge(b.seed + 31 * l, x, base[l], amp[l], scale[l]);
        for (int y = 0; y < c.h; y++) {
            double sky = 0.30 + 0.45 * y / c.h;
            double dm = std::hypot(x - mx, y - my);
            Shade s = {0, clamp01(sky + 0.25 * std::exp(-dm / (mr * 2.5)))};
            if (dm < mr)
                s = {2, clamp01(0.75 + 0.2 * (1 - dm / mr) + 0.1 * fbm(b.seed, x, y, 6, 0))};
            for (int l = 0; l < layers; l++)
                if (y >= top[l]) {
                    double depth = (y - top[l]) / c.h;
                    double mist = 0.22 * std::exp(-depth * 9.0);
                    double texture = 0.05 * fbm(b.seed + l, x, y, 10, 0);
                    s = {1, clamp01(tone[l] + mist * (l < layers - 1 ? 1.0 : 0.4) + texture)};
                }
            // mist rising from the valley floor keeps the bottom of the
            // picture, where the status line is, at a middle grey
            double valley = (y - c.h * 0.72) / (c.h * 0.28);
            if (valley > 0 && s.ramp == 1)
                s.level = clamp01(s.level + 0.34 * smooth(clamp01(valley)));
            c.at(x, y) = s;
        }
    }
}

// Evening sky over a lake with hills and a pagoda that the water mirrors.
// Ramps: 0 sky, 1 silhouettes, 2 water, 3 lantern glow.
void paint_dusk(const Background &b, Canvas &c) {
    double horizon = c.h * 0.64;
    std::vector<char> solid((size_t)c.w * c.h, 0); // 1 hill, 2 pagoda, 3 window
    for (int x = 0; x < c.w; x++) {
        double hill = horizon - c.h * (0.06 + 0.10 * value_noise(b.seed, x, 0, 90, 0) +
                                       0.03 * value_noise(b.seed + 3, x, 0, 18, 0));
        for (int y = (int)hill; y < c.h && y < horizon + 1; y++)
            solid[(size_t)y * c.w + x] = 1;
    }
    // Five tiers, each a wall under a roof with upturned eaves, narrowing
    // upwards, and a spire on top.
    double axis = c.w * 0.09, base = horizon - c.h * 0.05;
    for (int tier = 0; tier < 5; tier++) {
        double height = c.h * 0.062 * (1 - 0.08 * tier);
        double half = c.w * 0.080 * (1 - 0.13 * tier);
        double bottom = base, top = base - height;
        for (int y = (int)top; y < (int)bottom; y++)
            for (int x = (int)(axis - half); x <= (int)(axis + half); x++) {
                if (x < 0 || x >= c.w || y < 0)
                    continue;
                double u = std::fabs(x + 0.5 - axis) / half;
                double roof_low = top + height * 0.34 - height * 0.30 * std::pow(u, 4);
                double roof_high = top + height * 0.12 * u;
                bool roof = y >= roof_high && y <= roof_low;
                bool wall = u < 0.70 && y > roof_low;
                bool window =
                    wall && u < 0.16 && y > roof_low + height * 0.22 && y < bottom - height * 0.18;
                if (window)
                    solid[(size_t)y * c.w + x] = 3;
                else if (roof || wall)
                    solid[(size_t)y * c.w + x] = 2;
            }
        base = top;
    }
    for (int y = (int)(base - c.h * 0.06); y < (int)base; y++)
        solid[(size_t)y * c.w + (int)axis] = 2;

    for (int y = 0; y < c.h; y++)
        for (int x = 0; x < c.w; x++) {
            Shade s;
            int sx = x, sy = y;
            bool water = y >= horizon;
            if (water) {
                // the lake mirrors what stands above it, broken by ripples
                double ripple = 2.0 * std::sin(y * 0.9 + 6 * value_noise(b.seed + 5, x, y, 16, 0));
                sx = (int)std::lround(x + ripple);
                sx = sx < 0 ? 0 : (sx >= c.w ? c.w - 1 : sx);
                sy = (int)(2 * horizon - y);
            }
            double t = sy / horizon;
            double cloud = 0.07 * fbm(b.seed + 9, sx * 0.5, sy * 2.0, 40, 0);
            s = {0, clamp01(0.20 + 0.62 * t * t + cloud)};
            char what = sy >= 0 && sy < c.h ? solid[(size_t)sy * c.w + sx] : 0;
            if (what == 1)
                s = {1, clamp01(0.22 + 0.10 * (sy - horizon * 0.8) / (horizon * 0.2))};
            else if (what == 2)
                s = {1, 0.08};
            else if (what == 3)
                s = {3, 0.85};
            if (water) {
                // darker than what it mirrors, lifted towards a middle grey
                // nearer the viewer, where the status line is
                double near = (y - horizon) / (c.h - horizon);
                s.level = s.level * 0.72 * (1 - 0.45 * near) + 0.40 * 0.45 * near;
                if (s.ramp == 0)
                    s.ramp = 2;
                s.level = clamp01(s.level + 0.04 * std::sin(x * 0.35 + y * 1.3));
            }
            c.at(x, y) = s;
        }
}

const char *PAINTERS[] = {"cloth", "waves", "mountains", "dusk"};

void paint(const Background &b, Canvas &c) {
    if (b.painter == "cloth")
        paint_cloth(b, c);
    else if (b.painter == "waves")
        paint_waves(b, c);
    else if (b.painter == "mountains")
        paint_mountains(b, c);
    else
        paint_dusk(b, c);
}

bool parse_backgrounds(const std::string &text, std::vector<Background> *out, std::string *error) {
    std::istringstream in(text);
    std::string raw;
    int line = 0;
    auto bad = [&](const std::string &what) {
        *error = "line " + std::to_string(line) + ": " + what;
        return false;
    };
    while (std::getline(in, raw)) {
        line++;
        std::string s = raw.substr(0, raw.find('#'));
        std::istringstream words(s);
        std::string key;
        if (!(words >> key))
            continue;
        if (key == "background") {
            int number = -1;
            Background b;
            if (!(words >> number) || number != (int)out->size() || !(words >> b.name))
                return bad("expected 'background " + std::to_string(out->size()) + " NAME'");
            out->push_back(b);
            continue;
        }
        if (out->empty())
            return bad("settings before the first 'background'");
        Background &b = out->back();
        if (key == "painter") {
            words >> b.painter;
            bool known = false;
            for (const char *p : PAINTERS)
                known = known || b.painter == p;
            if (!known)
                return bad("unknown painter '" + b.painter + "'");
        } else if (key == "size") {
            if (!(words >> b.width >> b.height) || b.width < 2 || b.height < 2 || b.width > 640 ||
                b.height > 480 || b.width % 2 || b.height % 2)
                return bad("size is two even numbers, at most 640 x 480");
            if (b.width % 8 || b.height % 8)
                return bad("size must be a multiple of 8 for the pattern to repeat");
        } else if (key == "seed") {
            if (!(words >> b.seed))
                return bad("seed is a number");
        } else if (key == "ramp") {
            if (b.ramps == RAMP_COUNT)
                return bad("at most 4 ramps");
            double v[6];
            for (double &x : v)
                if (!(words >> x) || x < 0 || x > 255)
                    return bad("ramp is two colours: dark red green blue, light red green blue");
            for (int k = 0; k < 3; k++) {
                b.dark[b.ramps][k] = v[k];
                b.light[b.ramps][k] = v[3 + k];
            }
            b.ramps++;
        } else {
            return bad("unknown setting '" + key + "'");
        }
    }
    for (const Background &b : *out)
        if (b.painter.empty() || b.width == 0 || b.ramps == 0) {
            *error = "background '" + b.name + "' needs a painter, a size and a ramp";
            return false;
        }
    return true;
}

// 4 x 4 ordered-dither thresholds.
const int BAYER[4][4] = {{0, 8, 2, 10}, {12, 4, 14, 6}, {3, 11, 1, 9}, {15, 7, 13, 5}};

} // namespace

int main(int argc, char **argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s BACKGROUNDS.txt OUTPUT_DIR\n", argv[0]);
        return 2;
    }
    std::string text, error;
    if (!read_text_file(argv[1], &text)) {
        std::fprintf(stderr, "make_backgrounds: cannot read %s\n", argv[1]);
        return 1;
    }
    std::vector<Background> list;
    if (!parse_backgrounds(text, &list, &error)) {
        std::fprintf(stderr, "%s: %s\n", argv[1], error.c_str());
        return 1;
    }
    for (size_t i = 0; i < list.size(); i++) {
        const Background &b = list[i];
        Canvas c{b.width / 2, b.height / 2, {}};
        c.px.assign((size_t)c.w * c.h, Shade{0, 0.0});
        paint(b, c);
        uint8_t palette[768] = {};
        for (int r = 0; r < b.ramps; r++)
            for (int k = 0; k < SHADES; k++)
                for (int ch = 0; ch < 3; ch++) {
                    double v = b.dark[r][ch] + (b.light[r][ch] - b.dark[r][ch]) * k / (SHADES - 1);
                    palette[3 * (r * SHADES + k) + ch] = (uint8_t)std::lround(v);
                }
        std::vector<uint8_t> pixels((size_t)b.width * b.height);
        for (int y = 0; y < c.h; y++)
            for (int x = 0; x < c.w; x++) {
                Shade s = c.at(x, y);
                int ramp = s.ramp < b.ramps ? s.ramp : 0;
                double v = clamp01(s.level) * (SHADES - 1) + (BAYER[y & 3][x & 3] + 0.5) / 16 - 0.5;
                int k = (int)std::lround(v);
                k = k < 0 ? 0 : (k > SHADES - 1 ? SHADES - 1 : k);
                uint8_t index = (uint8_t)(ramp * SHADES + k);
                for (int dy = 0; dy < 2; dy++)
                    for (int dx = 0; dx < 2; dx++)
                        pixels[(size_t)(2 * y + dy) * b.width + 2 * x + dx] = index;
            }
        std::string path = std::string(argv[2]) + "/bg" + std::to_string(i) + ".pcx";
        if (write_pcx8(path.c_str(), b.width, b.height, pixels.data(), palette) != 0) {
            std::fprintf(stderr, "make_backgrounds: cannot write %s\n", path.c_str());
            return 1;
        }
    }
    return 0;
}
