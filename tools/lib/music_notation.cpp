#include "music_notation.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <map>
#include <sstream>

namespace {

struct Token {
    std::string text;
    int line;
};

struct SectionLine {
    int track;
    int line;
    std::string text;
};

struct Section {
    std::string name;
    int line = 0;
    std::vector<SectionLine> lines;
};

struct Failure {
    int line;
    std::string what;
};

[[noreturn]] void fail(int line, const std::string &what) {
    throw Failure{line, what};
}

// A comment runs from a '#' that starts a word to the end of the line (a
// '#' inside a word is a sharp).
std::string strip_comment(const std::string &s) {
    for (size_t i = 0; i < s.size(); i++)
        if (s[i] == '#' && (i == 0 || std::isspace((unsigned char)s[i - 1])))
            return s.substr(0, i);
    return s;
}

bool parse_int(const std::string &s, int *value) {
    if (s.empty())
        return false;
    char *end = nullptr;
    long v = std::strtol(s.c_str(), &end, 10);
    if (*end != '\0' || v < -100000 || v > 100000)
        return false;
    *value = (int)v;
    return true;
}

int need_int(const std::string &s, int line, int low, int high, const char *what) {
    int v = 0;
    if (!parse_int(s, &v) || v < low || v > high)
        fail(line, std::string(what) + " must be a number from " + std::to_string(low) + " to " +
                       std::to_string(high) + ", not '" + s + "'");
    return v;
}

// Splits one line of music into tokens; bar lines and group brackets are
// tokens of their own even without surrounding spaces.
void tokenize(const std::string &text, int line, std::vector<Token> &out) {
    size_t i = 0, n = text.size();
    while (i < n) {
        char c = text[i];
        if (std::isspace((unsigned char)c)) {
            i++;
        } else if (c == '|' || c == '(') {
            out.push_back({std::string(1, c), line});
            i++;
        } else if (c == ')') {
            size_t j = i + 1;
            if (j < n && text[j] == '*') {
                j++;
                while (j < n && std::isdigit((unsigned char)text[j]))
                    j++;
            }
            out.push_back({text.substr(i, j - i), line});
            i = j;
        } else if (c == '[') {
            size_t close = text.find(']', i);
            if (close == std::string::npos)
                fail(line, "chord without a closing ]");
            size_t j = close + 1;
            while (j < n && !std::isspace((unsigned char)text[j]) && text[j] != '|' &&
                   text[j] != ')' && text[j] != '(')
                j++;
            out.push_back({text.substr(i, j - i), line});
            i = j;
        } else {
            size_t j = i;
            while (j < n && !std::isspace((unsigned char)text[j]) && text[j] != '|' &&
                   text[j] != '(' && text[j] != ')')
                j++;
            out.push_back({text.substr(i, j - i), line});
            i = j;
        }
    }
}

// Expands ( ... )*N groups, nested or not.
void expand(const std::vector<Token> &in, size_t &pos, std::vector<Token> &out, bool nested,
            int open_line) {
    while (pos < in.size()) {
        const Token &t = in[pos++];
        if (t.text == "(") {
            std::vector<Token> group;
            expand(in, pos, group, true, t.line);
            const Token &close = in[pos - 1];
            int times = 1;
            if (close.text.size() > 2)
                times = need_int(close.text.substr(2), close.line, 1, 64, "repeat count");
            for (int k = 0; k < times; k++)
                out.insert(out.end(), group.begin(), group.end());
        } else if (t.text[0] == ')') {
            if (!nested)
                fail(t.line, "')' without '('");
            if (t.text.size() > 1 && (t.text.size() < 3 || t.text[1] != '*'))
                fail(t.line, "a group closes with ')' or ')*N'");
            return;
        } else {
            out.push_back(t);
        }
    }
    if (nested)
        fail(open_line, "'(' without ')'");
}

struct DrumName {
    const char *name;
    int key;
};

const DrumName DRUMS[] = {{"kick", 36},    {"rim", 37},    {"snare", 38},  {"hat", 42},
                          {"ride", 51},    {"claves", 75}, {"wood", 76},   {"woodlo", 77},
                          {"trimute", 80}, {"tri", 81},    {"shaker", 82}, {"bell", 84}};

int parse_key(const std::string &s, int line) {
    for (const DrumName &d : DRUMS)
        if (s == d.name)
            return d.key;
    if (s.size() > 1 && s[0] == 'n')
        return need_int(s.substr(1), line, 0, 127, "key number");
    static const int steps[7] = {9, 11, 0, 2, 4, 5, 7}; // a b c d e f g
    if (s.empty() || s[0] < 'a' || s[0] > 'g')
        fail(line, "'" + s + "' is not a note");
    int key = steps[s[0] - 'a'];
    size_t i = 1;
    while (i < s.size() && (s[i] == '#' || s[i] == 'b')) {
        key += s[i] == '#' ? 1 : -1;
        i++;
    }
    int octave = 0;
    if (!parse_int(s.substr(i), &octave) || octave < -1 || octave > 9)
        fail(line, "'" + s + "' needs an octave number after the note name");
    key += 12 * (octave + 1);
    if (key < 0 || key > 127)
        fail(line, "'" + s + "' is outside the MIDI range");
    return key;
}

int parse_duration(const std::string &s, int line) {
    std::string d = s;
    bool triplet = false;
    int dots = 0;
    if (!d.empty() && d.back() == 't') {
        triplet = true;
        d.pop_back();
    }
    while (!d.empty() && d.back() == '.') {
        dots++;
        d.pop_back();
    }
    int value = 0;
    if (!parse_int(d, &value) ||
        (value != 1 && value != 2 && value != 4 && value != 8 && value != 16 && value != 32))
        fail(line, "duration ':" + s + "' must be 1, 2, 4, 8, 16 or 32, optionally dotted");
    int ticks = MIDI_TICKS_PER_QUARTER * 4 / value;
    int add = ticks;
    for (int k = 0; k < dots; k++) {
        add /= 2;
        ticks += add;
    }
    if (triplet)
        ticks = ticks * 2 / 3;
    return ticks;
}

int dynamic_velocity(const std::string &s) {
    static const char *names[6] = {"pp", "p", "mp", "mf", "f", "ff"};
    static const int values[6] = {36, 52, 68, 84, 100, 116};
    for (int i = 0; i < 6; i++)
        if (s == names[i])
            return values[i];
    return 0;
}

// Plays the tokens of one track's part of a section into notes starting at
// tick 0; returns the part's length in ticks.
int render_part(const std::vector<Token> &tokens, int bar, std::vector<MusicNote> &notes) {
    int pos = 0, duration = MIDI_TICKS_PER_QUARTER, velocity = 84;
    std::vector<size_t> tied; // notes held over from the previous token
    for (const Token &t : tokens) {
        if (t.text == "|") {
            if (pos % bar != 0)
                fail(t.line, "bar line after " + std::to_string(pos % bar) +
                                 " ticks of an unfinished bar (a bar is " + std::to_string(bar) +
                                 ")");
            continue;
        }
        if (int v = dynamic_velocity(t.text)) {
            velocity = v;
            continue;
        }
        std::string word = t.text;
        bool tie = false;
        if (!word.empty() && word.back() == '~') {
            tie = true;
            word.pop_back();
        }
        std::string head = word, dur;
        size_t colon = word.rfind(':');
        if (colon != std::string::npos && (word[0] != '[' || colon > word.find(']'))) {
            head = word.substr(0, colon);
            dur = word.substr(colon + 1);
        }
        if (!dur.empty())
            duration = parse_duration(dur, t.line);
        std::vector<int> keys;
        if (head == "r") {
            // a rest
        } else if (!head.empty() && head[0] == '[') {
            if (head.back() != ']')
                fail(t.line, "chord '" + head + "' must end with ]");
            std::istringstream in(head.substr(1, head.size() - 2));
            std::string k;
            while (in >> k)
                keys.push_back(parse_key(k, t.line));
            if (keys.empty())
                fail(t.line, "empty chord");
        } else {
            keys.push_back(parse_key(head, t.line));
        }
        std::vector<size_t> now_tied;
        for (int key : keys) {
            size_t index = notes.size();
            bool continued = false;
            for (size_t held : tied) {
                MusicNote &n = notes[held];
                if (n.key == key && n.start + n.length == pos) {
                    n.length += duration;
                    index = held;
                    continued = true;
                    break;
                }
            }
            if (!continued)
                notes.push_back({pos, duration, key, velocity});
            if (tie)
                now_tied.push_back(index);
        }
        if (tie && keys.empty())
            fail(t.line, "a rest cannot be tied");
        tied = now_tied;
        pos += duration;
    }
    if (!tied.empty())
        fail(tokens.back().line, "tie at the end of a section");
    if (pos % bar != 0)
        fail(tokens.empty() ? 0 : tokens.back().line, "part ends inside a bar");
    return pos;
}

void put_varlen(std::vector<uint8_t> &out, uint32_t v) {
    uint8_t bytes[5];
    int n = 0;
    bytes[n++] = v & 0x7f;
    while (v >>= 7)
        bytes[n++] = 0x80 | (v & 0x7f);
    while (n > 0)
        out.push_back(bytes[--n]);
}

void put_be32(std::vector<uint8_t> &out, uint32_t v) {
    for (int s = 24; s >= 0; s -= 8)
        out.push_back((v >> s) & 0xff);
}

struct MidiEvent {
    int tick;
    int order; // at one tick: controllers and note-offs before note-ons
    std::vector<uint8_t> bytes;
};

void put_track(std::vector<uint8_t> &out, std::vector<MidiEvent> events, int end_tick) {
    std::stable_sort(events.begin(), events.end(), [](const MidiEvent &a, const MidiEvent &b) {
        return a.tick != b.tick ? a.tick < b.tick : a.order < b.order;
    });
    std::vector<uint8_t> body;
    int last = 0;
    for (const MidiEvent &e : events) {
        put_varlen(body, (uint32_t)(e.tick - last));
        body.insert(body.end(), e.bytes.begin(), e.bytes.end());
        last = e.tick;
    }
    put_varlen(body, (uint32_t)(end_tick - last));
    body.push_back(0xff);
    body.push_back(0x2f);
    body.push_back(0x00);
    out.push_back('M');
    out.push_back('T');
    out.push_back('r');
    out.push_back('k');
    put_be32(out, (uint32_t)body.size());
    out.insert(out.end(), body.begin(), body.end());
}

MidiEvent meta_text(int type, const std::string &text) {
    MidiEvent e{0, 0, {0xff, (uint8_t)type}};
    put_varlen(e.bytes, (uint32_t)text.size());
    e.bytes.insert(e.bytes.end(), text.begin(), text.end());
    return e;
}

} // namespace

int bar_ticks(const MusicPiece &piece) {
    return MIDI_TICKS_PER_QUARTER * 4 * piece.meter_beats / piece.meter_unit;
}

double music_seconds(const MusicPiece &piece) {
    return piece.total_ticks * 60.0 / (piece.tempo * (double)MIDI_TICKS_PER_QUARTER);
}

bool parse_music(const std::string &text, MusicPiece *piece, std::string *error) {
    *piece = MusicPiece();
    try {
        std::vector<Section> sections;
        std::vector<std::pair<std::string, int>> form;
        std::istringstream in(text);
        std::string raw;
        int line = 0, melodic = 0;
        bool have_drums = false;
        while (std::getline(in, raw)) {
            line++;
            std::string body = strip_comment(raw);
            std::istringstream words(body);
            std::string key;
            if (!(words >> key))
                continue;
            std::vector<std::string> args;
            for (std::string w; words >> w;)
                args.push_back(w);
            int track = -1;
            for (size_t i = 0; i < piece->tracks.size(); i++)
                if (piece->tracks[i].name == key)
                    track = (int)i;
            if (track >= 0) {
                if (sections.empty())
                    fail(line, "music for '" + key + "' before any section");
                size_t at = body.find(key);
                sections.back().lines.push_back({track, line, body.substr(at + key.size())});
            } else if (key == "title") {
                size_t at = body.find("title");
                std::string t = body.substr(at + 5);
                size_t a = t.find_first_not_of(" \t"), b = t.find_last_not_of(" \t\r");
                piece->title = a == std::string::npos ? "" : t.substr(a, b - a + 1);
            } else if (key == "tempo") {
                if (args.size() != 1)
                    fail(line, "tempo takes one number");
                piece->tempo = need_int(args[0], line, 20, 300, "tempo");
            } else if (key == "meter") {
                size_t slash = args.size() == 1 ? args[0].find('/') : std::string::npos;
                if (slash == std::string::npos)
                    fail(line, "meter is written like 4/4");
                piece->meter_beats =
                    need_int(args[0].substr(0, slash), line, 1, 16, "beats per bar");
                piece->meter_unit = need_int(args[0].substr(slash + 1), line, 1, 16, "beat unit");
                if (piece->meter_unit != 2 && piece->meter_unit != 4 && piece->meter_unit != 8)
                    fail(line, "beat unit must be 2, 4 or 8");
            } else if (key == "track") {
                if (!sections.empty())
                    fail(line, "tracks are declared before the first section");
                if (args.size() < 2)
                    fail(line, "track needs a name and a program number or 'drums'");
                MusicTrack t;
                t.name = args[0];
                if (dynamic_velocity(t.name) || t.name == "r" || t.name == "track" ||
                    t.name == "section" || t.name == "form")
                    fail(line, "'" + t.name + "' cannot name a track");
                for (const MusicTrack &other : piece->tracks)
                    if (other.name == t.name)
                        fail(line, "track '" + t.name + "' declared twice");
                if (args[1] == "drums") {
                    if (have_drums)
                        fail(line, "only one drum track");
                    have_drums = true;
                    t.channel = 9;
                } else {
                    t.program = need_int(args[1], line, 0, 127, "program");
                    if (melodic == 15)
                        fail(line, "at most 15 instrument tracks");
                    t.channel = melodic < 9 ? melodic : melodic + 1;
                    melodic++;
                }
                for (size_t i = 2; i < args.size(); i += 2) {
                    if (i + 1 >= args.size())
                        fail(line, "'" + args[i] + "' needs a value");
                    int v = need_int(args[i + 1], line, 0, 127, args[i].c_str());
                    if (args[i] == "volume")
                        t.volume = v;
                    else if (args[i] == "pan")
                        t.pan = v;
                    else if (args[i] == "reverb")
                        t.reverb = v;
                    else
                        fail(line, "unknown track setting '" + args[i] + "'");
                }
                piece->tracks.push_back(t);
            } else if (key == "section") {
                if (args.size() != 1)
                    fail(line, "section takes one name");
                for (const Section &s : sections)
                    if (s.name == args[0])
                        fail(line, "section '" + args[0] + "' defined twice");
                Section s;
                s.name = args[0];
                s.line = line;
                sections.push_back(s);
            } else if (key == "form") {
                for (const std::string &a : args)
                    form.push_back({a, line});
            } else {
                fail(line, "unknown track or keyword '" + key + "'");
            }
        }
        if (piece->tracks.empty())
            fail(line, "no tracks");
        if (form.empty())
            fail(line, "no form");
        int bar = bar_ticks(*piece);
        // Render every section once, then lay them out in form order.
        std::vector<std::vector<std::vector<MusicNote>>> rendered(sections.size());
        std::vector<int> lengths(sections.size(), 0);
        for (size_t s = 0; s < sections.size(); s++) {
            rendered[s].resize(piece->tracks.size());
            int length = -1;
            for (size_t t = 0; t < piece->tracks.size(); t++) {
                std::vector<Token> raw_tokens;
                int first_line = 0;
                for (const SectionLine &l : sections[s].lines)
                    if (l.track == (int)t) {
                        if (!first_line)
                            first_line = l.line;
                        tokenize(l.text, l.line, raw_tokens);
                    }
                if (!first_line)
                    continue;
                std::vector<Token> tokens;
                size_t pos = 0;
                expand(raw_tokens, pos, tokens, false, first_line);
                int part = render_part(tokens, bar, rendered[s][t]);
                if (length >= 0 && part != length)
                    fail(first_line, "track '" + piece->tracks[t].name + "' has " +
                                         std::to_string(part / bar) + " bars in section '" +
                                         sections[s].name + "', the others " +
                                         std::to_string(length / bar));
                length = part;
            }
            if (length <= 0)
                fail(sections[s].line, "section '" + sections[s].name + "' has no music");
            lengths[s] = length;
        }
        int pos = 0;
        for (const auto &f : form) {
            int s = -1;
            for (size_t i = 0; i < sections.size(); i++)
                if (sections[i].name == f.first)
                    s = (int)i;
            if (s < 0)
                fail(f.second, "form names unknown section '" + f.first + "'");
            for (size_t t = 0; t < piece->tracks.size(); t++)
                for (MusicNote n : rendered[s][t]) {
                    n.start += pos;
                    piece->tracks[t].notes.push_back(n);
                }
            pos += lengths[s];
        }
        piece->total_ticks = pos;
    } catch (const Failure &f) {
        *error = "line " + std::to_string(f.line) + ": " + f.what;
        return false;
    }
    return true;
}

std::vector<uint8_t> encode_midi(const MusicPiece &piece) {
    std::vector<uint8_t> out = {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 1};
    size_t ntracks = piece.tracks.size() + 1;
    out.push_back((ntracks >> 8) & 0xff);
    out.push_back(ntracks & 0xff);
    out.push_back((MIDI_TICKS_PER_QUARTER >> 8) & 0xff);
    out.push_back(MIDI_TICKS_PER_QUARTER & 0xff);

    std::vector<MidiEvent> conductor;
    conductor.push_back(meta_text(0x03, piece.title));
    int denominator_power = 0;
    while ((1 << denominator_power) < piece.meter_unit)
        denominator_power++;
    conductor.push_back(
        {0, 0, {0xff, 0x58, 4, (uint8_t)piece.meter_beats, (uint8_t)denominator_power, 24, 8}});
    uint32_t us = (uint32_t)(60000000 / piece.tempo);
    conductor.push_back(
        {0, 0, {0xff, 0x51, 3, (uint8_t)(us >> 16), (uint8_t)(us >> 8), (uint8_t)us}});
    put_track(out, conductor, piece.total_ticks);

    for (const MusicTrack &t : piece.tracks) {
        std::vector<MidiEvent> events;
        uint8_t ch = (uint8_t)t.channel;
        events.push_back(meta_text(0x03, t.name));
        if (t.channel != 9)
            events.push_back({0, 0, {(uint8_t)(0xc0 | ch), (uint8_t)t.program}});
        events.push_back({0, 0, {(uint8_t)(0xb0 | ch), 7, (uint8_t)t.volume}});
        events.push_back({0, 0, {(uint8_t)(0xb0 | ch), 10, (uint8_t)t.pan}});
        events.push_back({0, 0, {(uint8_t)(0xb0 | ch), 91, (uint8_t)t.reverb}});
        for (const MusicNote &n : t.notes) {
            events.push_back(
                {n.start, 1, {(uint8_t)(0x90 | ch), (uint8_t)n.key, (uint8_t)n.velocity}});
            events.push_back({n.start + n.length, 0, {(uint8_t)(0x80 | ch), (uint8_t)n.key, 64}});
        }
        // A last controller event on the final tick: players that loop at
        // the last event rather than at the end-of-track mark still keep
        // the full length of the last bar.
        events.push_back({piece.total_ticks, 0, {(uint8_t)(0xb0 | ch), 7, (uint8_t)t.volume}});
        put_track(out, events, piece.total_ticks);
    }
    return out;
}
