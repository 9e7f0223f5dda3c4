#include "face_art.h"

#include <cstring>
#include <fstream>
#include <sstream>

namespace {

std::string at_line(int line, const std::string &what) {
    return "line " + std::to_string(line) + ": " + what;
}

// Strips a trailing '#' comment and surrounding blanks.
std::string clean(const std::string &raw) {
    std::string s = raw.substr(0, raw.find('#'));
    size_t a = s.find_first_not_of(" \t\r"), b = s.find_last_not_of(" \t\r");
    return a == std::string::npos ? "" : s.substr(a, b - a + 1);
}

} // namespace

bool read_text_file(const char *path, std::string *text) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    std::stringstream ss;
    ss << in.rdbuf();
    *text = ss.str();
    return true;
}

bool parse_faces(const std::string &text, FaceDesigns *faces, std::string *error) {
    bool seen[FACE_COUNT] = {};
    std::istringstream in(text);
    std::string raw;
    int line = 0, face = -1, row = 0, face_line = 0;
    while (std::getline(in, raw)) {
        line++;
        if (face >= 0 && row < FACE_GRID_H) {
            std::string r = raw;
            while (!r.empty() && (r.back() == '\r' || r.back() == ' '))
                r.pop_back();
            if ((int)r.size() != FACE_GRID_W) {
                *error = at_line(line, "a face row has " + std::to_string(FACE_GRID_W) +
                                           " characters, this one " + std::to_string(r.size()));
                return false;
            }
            for (char c : r)
                if (c != '.' && !(c >= 'A' && c <= 'Z')) {
                    *error = at_line(line, std::string("'") + c +
                                               "' is neither '.' nor a colour role letter");
                    return false;
                }
            std::memcpy(faces->grid[face][row], r.c_str(), FACE_GRID_W + 1);
            row++;
            continue;
        }
        std::string s = clean(raw);
        if (s.empty())
            continue;
        std::istringstream words(s);
        std::string key;
        int number = -1;
        words >> key;
        if (key != "face" || !(words >> number) || number < 0 || number >= FACE_COUNT) {
            *error = at_line(line, "expected 'face N' with N from 0 to 43");
            return false;
        }
        if (seen[number]) {
            *error = at_line(line, "face " + std::to_string(number) + " drawn twice");
            return false;
        }
        seen[number] = true;
        std::string name;
        std::getline(words, name);
        size_t a = name.find_first_not_of(" \t");
        faces->names[number] = a == std::string::npos ? "" : name.substr(a);
        face = number;
        face_line = line;
        row = 0;
    }
    if (face >= 0 && row < FACE_GRID_H) {
        *error = at_line(face_line, "face " + std::to_string(face) + " has only " +
                                        std::to_string(row) + " rows");
        return false;
    }
    for (int f = 0; f < FACE_COUNT; f++)
        if (!seen[f]) {
            *error = at_line(line, "face " + std::to_string(f) + " is missing");
            return false;
        }
    return true;
}

bool parse_tilesets(const std::string &text, std::vector<TileSetColours> *sets,
                    std::string *error) {
    sets->clear();
    std::istringstream in(text);
    std::string raw;
    int line = 0;
    bool fixed_seen[4] = {};
    auto finish = [&](int at) {
        if (sets->empty())
            return true;
        static const char *fixed[4] = {"gutter", "ground", "light", "shade"};
        for (int i = 0; i < 4; i++)
            if (!fixed_seen[i]) {
                *error = at_line(at, "tile set '" + sets->back().name + "' has no " + fixed[i]);
                return false;
            }
        if (sets->size() > 1 && sets->back().roles != sets->front().roles) {
            *error = at_line(at, "tile set '" + sets->back().name +
                                     "' names other roles, or in another order, than set 0");
            return false;
        }
        return true;
    };
    while (std::getline(in, raw)) {
        line++;
        std::string s = clean(raw);
        if (s.empty())
            continue;
        std::istringstream words(s);
        std::string key;
        words >> key;
        if (key == "tileset") {
            if (!finish(line))
                return false;
            int number = -1;
            std::string name;
            if (!(words >> number) || number != (int)sets->size() || !(words >> name)) {
                *error =
                    at_line(line, "expected 'tileset " + std::to_string(sets->size()) + " NAME'");
                return false;
            }
            TileSetColours t;
            if (!name.empty() && name.back() == ':')
                name.pop_back();
            t.name = name;
            std::memset(t.palette, 0, sizeof t.palette);
            sets->push_back(t);
            for (bool &b : fixed_seen)
                b = false;
            continue;
        }
        if (sets->empty()) {
            *error = at_line(line, "colours before the first 'tileset'");
            return false;
        }
        int rgb[3];
        for (int &c : rgb)
            if (!(words >> c) || c < 0 || c > 255) {
                *error = at_line(line, "'" + key + "' needs red, green and blue from 0 to 255");
                return false;
            }
        TileSetColours &t = sets->back();
        int index = -1;
        if (key == "gutter")
            index = PAL_GUTTER;
        else if (key == "ground")
            index = PAL_GROUND;
        else if (key == "light")
            index = PAL_LIGHT;
        else if (key == "shade")
            index = PAL_SHADE;
        else if (key.size() == 1 && key[0] >= 'A' && key[0] <= 'Z') {
            if (t.roles.find(key[0]) != std::string::npos) {
                *error = at_line(line, "role " + key + " given twice");
                return false;
            }
            index = ROLE_BASE + (int)t.roles.size();
            t.roles += key[0];
        } else {
            *error = at_line(line, "unknown colour name '" + key + "'");
            return false;
        }
        if (index < ROLE_BASE) {
            if (fixed_seen[index]) {
                *error = at_line(line, key + " given twice");
                return false;
            }
            fixed_seen[index] = true;
        }
        for (int c = 0; c < 3; c++)
            t.palette[3 * index + c] = (uint8_t)rgb[c];
    }
    if (sets->empty()) {
        *error = at_line(line, "no tile set");
        return false;
    }
    return finish(line);
}

bool paint_tileset(const FaceDesigns &faces, const TileSetColours &set,
                   std::vector<uint8_t> *pixels, std::string *error) {
    pixels->assign((size_t)TILESET_W * TILESET_H, PAL_GUTTER);
    for (int f = 0; f < 45; f++) {
        int cx = CELL_W * (f % FACES_ACROSS), cy = CELL_H * (f / FACES_ACROSS);
        for (int gy = 0; gy < FACE_GRID_H; gy++)
            for (int gx = 0; gx < FACE_GRID_W; gx++) {
                // Cell 44 has no face; it is painted as a blank tile.
                char c = f < FACE_COUNT ? faces.grid[f][gy][gx] : '.';
                int index;
                if (c == '.') {
                    if (gy == FACE_GRID_H - 1 || gx == FACE_GRID_W - 1)
                        index = PAL_SHADE;
                    else if (gy == 0 || gx == 0)
                        index = PAL_LIGHT;
                    else
                        index = PAL_GROUND;
                } else {
                    size_t role = set.roles.find(c);
                    if (role == std::string::npos) {
                        *error = "face " + std::to_string(f) + " uses role " + c +
                                 ", which tile set '" + set.name + "' has no colour for";
                        return false;
                    }
                    index = ROLE_BASE + (int)role;
                }
                for (int dy = 0; dy < 2; dy++)
                    for (int dx = 0; dx < 2; dx++)
                        (*pixels)[(size_t)(cy + 2 * gy + dy) * TILESET_W + cx + 2 * gx + dx] =
                            (uint8_t)index;
            }
    }
    return true;
}
