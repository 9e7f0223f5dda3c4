// A small text notation for the background music and its translation into
// Standard MIDI Files.
//
// A piece is a list of tracks (one General MIDI instrument each), sections
// of music written per track, and a form that strings sections together:
//
//   title  Jade Garden
//   tempo  76                  quarter notes per minute
//   meter  4/4
//   track  melody  73  volume 96 pan 50 reverb 40   (73 = GM program number)
//   track  perc    drums volume 60                  (channel 10 percussion)
//   section A
//   melody | mf e5:4 g5 a5:8 g5 e5:4 | d5:2. r:4 |
//   perc   ( | wood:4 r r wood:8 wood | )*2
//   form   A A
//
// Music tokens: notes c4..b4 (middle C is c4) with an optional # or b,
// n<number> for a raw MIDI key, drum names (kick, rim, snare, hat, ride,
// tri, trimute, wood, woodlo, claves, shaker, bell), r for a rest, and
// chords in brackets [c4 e4 g4]. A duration :1 :2 :4 :8 :16 (optionally
// dotted) may follow and holds until changed. A trailing ~ ties the note
// into the next one of the same key. Dynamics pp p mp mf f ff set the
// velocity. | is a bar line and must fall on a whole bar; ( ... )*N repeats
// a group. Every track of a section must have the same whole number of bars;
// a track not written in a section rests through it.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

const int MIDI_TICKS_PER_QUARTER = 480;

struct MusicNote {
    int start;    // tick where the note begins
    int length;   // ticks the note sounds
    int key;      // MIDI key number, 60 = middle C
    int velocity; // 1..127
};

struct MusicTrack {
    std::string name;
    int program = 0;  // General MIDI program 0..127 (ignored on the drum channel)
    int channel = 0;  // MIDI channel 0..15; 9 is percussion
    int volume = 100; // controller 7
    int pan = 64;     // controller 10
    int reverb = 40;  // controller 91
    std::vector<MusicNote> notes;
};

struct MusicPiece {
    std::string title;
    int tempo = 120;     // quarter notes per minute
    int meter_beats = 4; // beats per bar
    int meter_unit = 4;  // note value of one beat
    int total_ticks = 0; // length of the whole form
    std::vector<MusicTrack> tracks;
};

// Parses a piece; on failure returns false and sets *error to
// "line N: what is wrong".
bool parse_music(const std::string &text, MusicPiece *piece, std::string *error);
// Ticks in one bar of the piece's meter.
int bar_ticks(const MusicPiece &piece);
// Playing time of the whole form in seconds.
double music_seconds(const MusicPiece &piece);
// Encodes the piece as a format-1 Standard MIDI File: a tempo track, then one
// track per instrument; every track ends exactly at the end of the form so
// that the piece loops in time.
std::vector<uint8_t> encode_midi(const MusicPiece &piece);
