#pragma once
// One line of a channels.conf as the Linux video recorder reads and writes it: a reader and a writer
// that mirror each other, so that appending what parseVdrLine read gives the line back wherever the
// recorder itself would write it that way. Reading allocates nothing but an error's words: texts are
// views into the line or into the caller's buffers.

#include <cstdint>
#include <string>
#include <string_view>

inline constexpr int VdrMaxAudio = 32;  // the recorder's limits per channel
inline constexpr int VdrMaxDolby = 16;
inline constexpr int VdrMaxSubtitles = 32;
inline constexpr int VdrLanguageSize = 3;  // what a record keeps of a language
inline constexpr int VdrAudioType = 4;     // the recorder's type for an audio PID written without one
inline constexpr int VdrDolbyType = 106;   // and for an AC-3 PID (the AC-3 descriptor's tag)
inline constexpr int VdrVideoType = 2;     // and for a video PID (MPEG-2)

// A PID of the audio, AC-3 or subtitle lists, with its language (up to three letters here; longer
// ones are cut on reading) and its type (audio and AC-3 only).
struct VdrPid {
    std::uint16_t pid = 0;
    int type = 0;
    int languageLength = 0;
    char language[VdrLanguageSize] = {};

    std::string_view languageText() const { return {language, static_cast<std::size_t>(languageLength)}; }
    bool operator==(const VdrPid&) const = default;
};

struct VdrChannel {
    bool group = false;          // a group line (":Name"): only name is set
    std::string_view name;       // written as text; as read, still with the line's '|' for ':
    std::string_view shortName;  // read only, never written
    std::string_view provider;
    std::int32_t frequency = 0;
    char polarization = 'H';      // H, V, L or R
    std::string_view parameters;  // read only: the whole parameter string
    char sourceKind = 'S';        // S for satellites; other kinds are only read
    int sourceTenthsEast = 0;     // satellites only
    int symbolRate = 0;
    int videoPid = 0;
    int pcrPid = 0;     // what the recorder uses: the video PID where the line gives none
    int videoType = 0;  // 0 only without a video PID
    VdrPid audio[VdrMaxAudio];
    int audioCount = 0;
    VdrPid dolby[VdrMaxDolby];
    int dolbyCount = 0;
    int teletextPid = 0;
    VdrPid subtitles[VdrMaxSubtitles];
    int subtitleCount = 0;
    bool conditionalAccess = false;  // read only: CA IDs other than 0
    int cutLanguages = 0;            // read only: languages longer than three letters, or unwritable
    int droppedPids = 0;             // read only: PIDs past the recorder's limits
    int sid = 0;
    int nid = 0;
    int tid = 0;
    int rid = 0;
};

// The record's polarity for a polarization letter (H 72, V 86, L 76, R 82), and the letter for a
// polarity: H for any value but those four, as the editor shows it.
std::uint16_t vdrPolarity(char polarization);
char vdrPolarization(std::uint16_t polarity);

// Appends a text as a line holds it: ':' ends a field, so it is written as '|' (vdrTextFromLine reads
// it back).
void appendVdrText(std::string& out, std::string_view text);

// Appends the line, with its line end, as the recorder writes it. Names must already be ones the
// recorder keeps (see vdrNameChange); group names likewise (vdrGroupNameChange).
void appendVdrLine(std::string& out, const VdrChannel& channel);

// Where a line is wrong: the field's name and why.
struct VdrLineError {
    const char* field = "";
    std::string why;
};

// Reads one line (without its line end; trailing blanks are ignored as the recorder ignores them).
// Texts of channel are views into line, '|' still standing for ':' (vdrTextFromLine makes them
// text). False, with error, for a line the recorder would refuse or one a kvx list cannot hold.
bool parseVdrLine(std::string_view line, VdrChannel& channel, VdrLineError& error);

// A text read from a line, '|' turned into ':' and a CR into a blank as export writes it: the text
// itself where it holds neither (almost every text: no copy), else out holding the changed text.
std::string_view vdrTextFromLine(std::string_view text, std::string& out);

// What a name must become so that the recorder reads back what was written: ';' would start the
// provider, a line end would end the line. Returns true and sets out when something changed; out is
// left as it was when nothing has to.
bool vdrNameChange(std::string_view name, bool isProvider, std::string& out);

// What a group name must become: a ',' would be doubled by every rewriting, leading blanks and '@'
// are dropped on reading (":@N" numbers channels), trailing blanks are dropped.
bool vdrGroupNameChange(std::string_view name, std::string& out);

// True when the language can stand in a PID list: printable ASCII without , ; : = and @.
bool vdrLanguageWritable(std::string_view language);
