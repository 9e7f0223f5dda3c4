// The music notation: note values, chords, ties, repeats, bar checks,
// sections and form, error reports, and the Standard MIDI File it becomes.
#include "music_notation.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

const int Q = MIDI_TICKS_PER_QUARTER;

MusicPiece parse_ok(const std::string &text) {
    MusicPiece piece;
    std::string error;
    EXPECT_TRUE(parse_music(text, &piece, &error)) << error;
    return piece;
}

std::string parse_error(const std::string &text) {
    MusicPiece piece;
    std::string error;
    EXPECT_FALSE(parse_music(text, &piece, &error)) << "accepted:\n" << text;
    return error;
}

std::string one_track(const std::string &music, const std::string &meter = "4/4") {
    return "tempo 60\nmeter " + meter + "\ntrack lead 0\nsection A\nlead " + music + "\nform A\n";
}

TEST(MusicNotation, NotesDurationsChordsAndDynamics) {
    MusicPiece p =
        parse_ok(one_track("| c4:4 c#4:8 db4 e4:8. f4:16 [g4 b4]:4 | p r:2 a-1:4t bb8 c4 |"));
    const std::vector<MusicNote> &n = p.tracks[0].notes;
    ASSERT_EQ(n.size(), 10u);
    EXPECT_EQ(n[0].key, 60); // middle C
    EXPECT_EQ(n[0].length, Q);
    EXPECT_EQ(n[1].key, 61);
    EXPECT_EQ(n[1].start, Q);
    EXPECT_EQ(n[2].key, 61); // d flat, duration carried over
    EXPECT_EQ(n[2].length, Q / 2);
    EXPECT_EQ(n[3].length, Q * 3 / 4); // dotted eighth
    EXPECT_EQ(n[4].length, Q / 4);
    EXPECT_EQ(n[5].key, 67); // chord: both notes at one start
    EXPECT_EQ(n[6].key, 71);
    EXPECT_EQ(n[5].start, n[6].start);
    EXPECT_EQ(n[5].start, 3 * Q);
    // after a half rest, a quarter-note triplet
    EXPECT_EQ(n[7].key, 9);
    EXPECT_EQ(n[7].start, 4 * Q + 2 * Q);
    EXPECT_EQ(n[7].length, Q * 2 / 3);
    EXPECT_EQ(n[8].key, 118);     // b flat 8
    EXPECT_EQ(n[7].velocity, 52); // p
    EXPECT_EQ(n[0].velocity, 84); // mf until told otherwise
    EXPECT_EQ(p.total_ticks, 8 * Q);
    EXPECT_DOUBLE_EQ(music_seconds(p), 8.0);
}

TEST(MusicNotation, SharpsAreNotCommentsButSpacedHashesAre) {
    MusicPiece p =
        parse_ok("tempo 120 # fast\ntrack t 0\nsection A\nt | f#4:1 | # rest of line\nform A");
    ASSERT_EQ(p.tracks[0].notes.size(), 1u);
    EXPECT_EQ(p.tracks[0].notes[0].key, 66);
    EXPECT_EQ(p.tempo, 120);
}

TEST(MusicNotation, TiesHoldOneNoteAcrossBarLines) {
    MusicPiece p = parse_ok(one_track("| c4:2 e4:2~ | e4:4 [g4 c5]:4~ [g4 c5]:2 |"));
    const std::vector<MusicNote> &n = p.tracks[0].notes;
    ASSERT_EQ(n.size(), 4u);
    EXPECT_EQ(n[1].key, 64);
    EXPECT_EQ(n[1].length, 3 * Q);
    EXPECT_EQ(n[2].length, 3 * Q);
    EXPECT_EQ(n[3].length, 3 * Q);
    // a tie into another key strikes the new key
    MusicPiece q = parse_ok(one_track("| c4:2~ d4:2 |"));
    EXPECT_EQ(q.tracks[0].notes.size(), 2u);
    EXPECT_NE(parse_error(one_track("| c4:1~ |")).find("tie"), std::string::npos);
}

TEST(MusicNotation, RepeatGroupsNestAndExpand) {
    MusicPiece p = parse_ok(one_track("( ( c4:8 d4 )*2 e4:2 | )*3"));
    ASSERT_EQ(p.tracks[0].notes.size(), 15u);
    EXPECT_EQ(p.total_ticks, 3 * 4 * Q);
    EXPECT_EQ(p.tracks[0].notes[14].key, 64);
    EXPECT_EQ(p.tracks[0].notes[14].start, 2 * 4 * Q + 2 * Q);
    EXPECT_NE(parse_error(one_track("( c4:1 |")).find("without ')'"), std::string::npos);
    EXPECT_NE(parse_error(one_track("c4:1 ) |")).find("without '('"), std::string::npos);
}

TEST(MusicNotation, SectionsFollowTheFormAndSilentTracksRest) {
    MusicPiece p = parse_ok("meter 3/4\ntrack a 73\ntrack b drums\n"
                            "section X\na | c5:2. |\nb | wood:4 r r |\n"
                            "section Y\na | d5:2. | e5 |\n"
                            "form X Y X\n");
    EXPECT_EQ(bar_ticks(p), 3 * Q);
    EXPECT_EQ(p.total_ticks, 4 * 3 * Q);
    ASSERT_EQ(p.tracks[0].notes.size(), 4u);
    EXPECT_EQ(p.tracks[0].notes[3].key, 72);
    EXPECT_EQ(p.tracks[0].notes[3].start, 9 * Q);
    ASSERT_EQ(p.tracks[1].notes.size(), 2u);
    EXPECT_EQ(p.tracks[1].notes[1].start, 9 * Q);
    EXPECT_EQ(p.tracks[1].notes[0].key, 76);
    EXPECT_EQ(p.tracks[1].channel, 9);
    EXPECT_EQ(p.tracks[0].channel, 0);
}

TEST(MusicNotation, MistakesAreReportedWithTheirLine) {
    EXPECT_EQ(parse_error(one_track("| c4:4 d4 e4 | f4:1 |")).substr(0, 7), "line 5:");
    EXPECT_NE(parse_error(one_track("| c4:4 d4 e4 | f4:1 |")).find("unfinished bar"),
              std::string::npos);
    EXPECT_NE(parse_error(one_track("| c4:2 d4:4 ")).find("inside a bar"), std::string::npos);
    EXPECT_NE(parse_error(one_track("| c4:3 |")).find("duration"), std::string::npos);
    EXPECT_NE(parse_error(one_track("| h4:1 |")).find("not a note"), std::string::npos);
    EXPECT_NE(parse_error(one_track("| c:1 |")).find("octave"), std::string::npos);
    EXPECT_NE(parse_error(one_track("| a9:1 |")).find("MIDI range"), std::string::npos);
    EXPECT_NE(parse_error("track a 0\ntrack b 0\nsection A\na | c4:1 |\nb | c4:1 | c4 |\nform A")
                  .find("2 bars"),
              std::string::npos);
    EXPECT_EQ(parse_error("track a 0\nsection A\na | c4:1 |\nform A B").substr(0, 7), "line 4:");
    EXPECT_NE(parse_error("track a 0\nsection A\nb | c4:1 |\nform A").find("unknown"),
              std::string::npos);
    EXPECT_NE(parse_error("track a 200\n").find("program"), std::string::npos);
    EXPECT_NE(parse_error("track a 0\nsection A\na | c4:1 |\n").find("no form"), std::string::npos);
}

// A Standard MIDI File read back event by event.
struct ReadEvent {
    int track;
    long tick;
    std::vector<uint8_t> bytes;
};

long read_varlen(const std::vector<uint8_t> &m, size_t &at) {
    long v = 0;
    for (int i = 0; i < 4; i++) {
        uint8_t b = m.at(at++);
        v = (v << 7) | (b & 0x7f);
        if (!(b & 0x80))
            return v;
    }
    ADD_FAILURE() << "variable-length number longer than 4 bytes";
    return v;
}

std::vector<ReadEvent> read_midi(const std::vector<uint8_t> &m, int *tracks, int *division) {
    std::vector<ReadEvent> events;
    EXPECT_EQ(std::string(m.begin(), m.begin() + 4), "MThd");
    EXPECT_EQ(m[9], 1); // format 1
    *tracks = m[10] << 8 | m[11];
    *division = m[12] << 8 | m[13];
    size_t at = 14;
    for (int t = 0; t < *tracks; t++) {
        EXPECT_EQ(std::string(m.begin() + at, m.begin() + at + 4), "MTrk");
        size_t length = (size_t)m[at + 4] << 24 | m[at + 5] << 16 | m[at + 6] << 8 | m[at + 7];
        size_t end = at + 8 + length;
        at += 8;
        long tick = 0;
        while (at < end) {
            tick += read_varlen(m, at);
            uint8_t status = m.at(at);
            std::vector<uint8_t> bytes;
            if (status == 0xff) {
                size_t start = at;
                at += 2;
                long n = read_varlen(m, at);
                at += n;
                bytes.assign(m.begin() + start, m.begin() + at);
            } else {
                int n = (status & 0xf0) == 0xc0 ? 2 : 3;
                bytes.assign(m.begin() + at, m.begin() + at + n);
                at += n;
            }
            events.push_back({t, tick, bytes});
        }
        EXPECT_EQ(at, end) << "track " << t << " length field";
    }
    EXPECT_EQ(at, m.size());
    return events;
}

TEST(MidiEncoding, TracksEventsAndLoopLength) {
    MusicPiece p = parse_ok("title Test\ntempo 90\nmeter 3/4\n"
                            "track a 46 volume 90 pan 20 reverb 10\ntrack d drums\n"
                            "section A\na | ff c4:2 r:4 | ( r:2. | )*40 [e4 g4]:4 r:2 |\n"
                            "d ( | r:2. | )*42\nform A");
    int tracks = 0, division = 0;
    std::vector<ReadEvent> ev = read_midi(encode_midi(p), &tracks, &division);
    EXPECT_EQ(tracks, 3);
    EXPECT_EQ(division, Q);
    long end = 42 * 3 * Q;
    bool tempo = false, meter = false, program = false;
    int ons = 0, offs = 0;
    for (const ReadEvent &e : ev) {
        const std::vector<uint8_t> &b = e.bytes;
        if (b[0] == 0xff && b[1] == 0x51) {
            tempo = true;
            EXPECT_EQ(b[3] << 16 | b[4] << 8 | b[5], 666666); // 60e6 / 90
        }
        if (b[0] == 0xff && b[1] == 0x58) {
            meter = true;
            EXPECT_EQ(b[3], 3);
            EXPECT_EQ(b[4], 2); // quarter: 2^2
        }
        if (b[0] == 0xff && b[1] == 0x2f) {
            EXPECT_EQ(e.tick, end) << "track " << e.track << " must end with the last bar";
        }
        if (b[0] == 0xc0) {
            program = true;
            EXPECT_EQ(b[1], 46);
        }
        if (b[0] == 0xc9)
            ADD_FAILURE() << "program change on the drum channel";
        if (b[0] == 0x90) {
            ons++;
            EXPECT_EQ(b[2], 116); // ff
            if (b[1] == 64) {
                EXPECT_EQ(e.tick, 41 * 3 * Q); // after a long gap: a multi-byte delta
            }
        }
        if (b[0] == 0x80)
            offs++;
        if (b[0] == 0xb0 && b[1] == 10) {
            EXPECT_EQ(b[2], 20);
        }
    }
    EXPECT_TRUE(tempo);
    EXPECT_TRUE(meter);
    EXPECT_TRUE(program);
    EXPECT_EQ(ons, 3);
    EXPECT_EQ(offs, 3);
}

TEST(MidiEncoding, NoteOffsComeBeforeNoteOnsOnTheSameTick) {
    MusicPiece p = parse_ok(one_track("| c4:4 c4 c4 c4 |"));
    int tracks = 0, division = 0;
    std::vector<ReadEvent> ev = read_midi(encode_midi(p), &tracks, &division);
    int held = 0;
    for (const ReadEvent &e : ev) {
        if (e.bytes[0] == 0x90) {
            EXPECT_EQ(held++, 0) << "a note struck while the same key still sounds";
        }
        if (e.bytes[0] == 0x80)
            held--;
    }
    EXPECT_EQ(held, 0);
}

} // namespace
