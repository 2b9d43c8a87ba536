// hearwav: runs the program's own recogniser over WAV files, for authors checking that their phrases are
// understood. The phrases come from a list (one per line) or from an aircraft data folder, loaded as the
// program loads it; each file's verdict is printed as "file: phrase" or "file: non".
#include "app/frame.h"
#include "base/helpers.h"
#include "base/log.h"
#include "platform/audio_clip.h"
#include "platform/recogniser.h"
#include "poses/pose_catalogue.h"
#include "systems/loader.h"
#include "systems/phrase_context.h"
#include "tools/hearwav/phrase_check.h"

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

namespace {

const char* const kUsage =
    "usage: hearwav <phrases> <file.wav>...\n"
    "       hearwav --check <phrases>\n"
    "\n"
    "Hears each WAV file with the program's own recogniser and prints one line per file:\n"
    "  <file>: <phrase>   the phrase it recognised; one heard through a phrase with slots is followed\n"
    "                     by that phrase and the values read, \"(squawk {digits 4}: 1200)\"\n"
    "  <file>: non        nothing it would accept (silence, noise, speech that is no phrase)\n"
    "\n"
    "<phrases> is either\n"
    "  an aircraft data folder (e.g. data/PM738): its systems files are loaded as the program loads\n"
    "  them and the grammar is the program's phrase context (the built-in phrases and every phrase its\n"
    "  scripts expect), or\n"
    "  a text file with one phrase per line, each brought into the same normal form (lower case,\n"
    "  single spaces, letters, digits and apostrophes); slots are written as in a profile\n"
    "  (\"set heading {digits 3}\") and a line whose slot cannot be read is left out, said on stderr.\n"
    "WAV files may be mono or stereo, 8 to 32-bit or float, at any rate. Exit code 2 for a usage error,\n"
    "1 when a file could not be read, else 0.\n"
    "\n"
    "--check speaks every phrase in three of the synthesiser's voices, plain and in pink noise at 10 dB,\n"
    "hears each against the whole grammar and lists every utterance heard as another phrase or refused,\n"
    "the phrase said beside the phrase heard. A phrase with slots is said with an example value in each\n"
    "slot (\"set heading two seven zero\"), once for each choice of a list. Exit code 0 when every\n"
    "utterance was heard as said, 1 otherwise.\n";

std::vector<std::string> PhrasesFrom(const std::string& source, bool& ok) {
    ok = true;
    std::error_code ec;
    if (std::filesystem::is_directory(source, ec)) {
        // As the program loads a profile; the log and the DRF list stay in memory.
        Log().log.path.clear();
        Log().drf.path.clear();
        Frame().AcfPath = source;
        ScanPoses();
        CreateSystemsFromFile();
        return PhraseContext().phraseContext;
    }
    if (!FileExists(source)) {
        ok = false;
        return {};
    }
    std::vector<std::string> problems;
    std::vector<std::string> phrases = ReadPhraseList(source, problems);
    for (const std::string& problem : problems)
        std::fprintf(stderr, "hearwav: %s %s, left out\n", source.c_str(), problem.c_str());
    return phrases;
}

} // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty() || args[0] == "--help" || args[0] == "-h") {
        std::fputs(kUsage, args.empty() ? stderr : stdout);
        return args.empty() ? 2 : 0;
    }
    if (args.size() < 2) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    if (args[0] == "--check") {
        if (args.size() != 2) {
            std::fputs(kUsage, stderr);
            return 2;
        }
        bool ok = false;
        std::vector<std::string> grammar = PhrasesFrom(args[1], ok);
        if (!ok || grammar.empty()) {
            std::fprintf(stderr, "hearwav: no phrases in %s\n", args[1].c_str());
            return 2;
        }
        PhraseCheckResult result = CheckPhrases(grammar);
        for (const std::string& line : DescribePhraseCheck(result)) std::printf("%s\n", line.c_str());
        return result.Clean() ? 0 : 1;
    }
    bool ok = false;
    std::vector<std::string> phrases = PhrasesFrom(args[0], ok);
    if (!ok || phrases.empty()) {
        std::fprintf(stderr, "hearwav: no phrases in %s\n", args[0].c_str());
        return 2;
    }
    int status = 0;
    for (size_t i = 1; i < args.size(); ++i) {
        AudioClip clip;
        if (!ReadWav(args[i], clip)) {
            std::printf("%s: cannot read this WAV file\n", args[i].c_str());
            status = 1;
            continue;
        }
        const std::string heard = RecogniseSamples(phrases, clip.samples, clip.sampleRate);
        std::printf("%s: %s\n", args[i].c_str(), DescribeHeard(phrases, heard).c_str());
        std::fflush(stdout);
    }
    return status;
}
