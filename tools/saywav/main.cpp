// saywav: speaks lines into WAV files with the program's own voices, for the demo (the first officer's
// lines where there is no sound server), for authors who want to hear a script, and for trying the
// recogniser on the captain's phrases (see hearwav).
#include "platform/voice.h"
#include "platform/audio_clip.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

namespace {
const char* kUsage =
    "usage: saywav [--voice NAME] [--rate R] [--noise-floor RMS] --out FILE.wav TEXT...\n"
    "       saywav [--voice NAME] [--rate R] [--noise-floor RMS] --lines FILE --out-dir FOLDER\n"
    "       saywav --voices\n"
    "\n"
    "Speaks TEXT (the words joined by blanks) into one WAV file, or every non-empty line of FILE into\n"
    "FOLDER/001.wav, FOLDER/002.wav, ... (and FOLDER/index.txt naming each file's line), 16-bit mono at\n"
    "16000 Hz, in the voice whose description contains NAME (default: Zira, the first officer's; David is\n"
    "the captain's), at rate R from -10 (slow) to 10 (fast), 0 by default. --noise-floor adds a faint hiss\n"
    "of that RMS level (3 is a quiet microphone), as recordings for the recogniser should have.\n"
    "--voices lists the installed voices, one description a line.\n";

int Fail(const std::string& message) {
    std::fprintf(stderr, "saywav: %s\n%s", message.c_str(), kUsage);
    return 2;
}

int VoiceNamed(const std::string& name) {
    std::vector<std::string> voices = RenderableVoiceDescriptions();
    for (size_t i = 0; i < voices.size(); ++i)
        if (voices[i].find(name) != std::string::npos) return static_cast<int>(i);
    return -1;
}

bool Speak(const std::string& text, int voice, int rate, double noiseFloor, const std::string& path) {
    AudioClip clip;
    clip.sampleRate = 16000;
    clip.samples = RenderPlatformSpeech(text, voice, rate, clip.sampleRate);
    if (clip.samples.empty()) return false;
    if (noiseFloor > 0) AddNoiseFloor(clip, noiseFloor, 1);
    return WriteWav(path, clip);
}
} // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    std::string voiceName = "Zira", out, lines, outDir, text;
    int rate = 0;
    double noiseFloor = 0;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        auto value = [&](std::string& into) {
            if (i + 1 >= args.size()) return false;
            into = args[++i];
            return true;
        };
        std::string number;
        if (a == "--help" || a == "-h") {
            std::fputs(kUsage, stdout);
            return 0;
        } else if (a == "--voices") {
            for (const std::string& d : RenderableVoiceDescriptions()) std::printf("%s\n", d.c_str());
            return 0;
        } else if (a == "--voice") {
            if (!value(voiceName)) return Fail("--voice needs a name");
        } else if (a == "--rate") {
            if (!value(number)) return Fail("--rate needs a number");
            rate = std::atoi(number.c_str());
        } else if (a == "--noise-floor") {
            if (!value(number)) return Fail("--noise-floor needs a number");
            noiseFloor = std::atof(number.c_str());
        } else if (a == "--out") {
            if (!value(out)) return Fail("--out needs a file");
        } else if (a == "--lines") {
            if (!value(lines)) return Fail("--lines needs a file");
        } else if (a == "--out-dir") {
            if (!value(outDir)) return Fail("--out-dir needs a folder");
        } else {
            text += (text.empty() ? "" : " ") + a;
        }
    }
    int voice = VoiceNamed(voiceName);
    if (voice < 0) return Fail("no voice named " + voiceName + " (saywav --voices lists them)");
    if (!out.empty()) {
        if (text.empty()) return Fail("nothing to say");
        if (!Speak(text, voice, rate, noiseFloor, out)) return Fail("could not speak into " + out);
        return 0;
    }
    if (lines.empty() || outDir.empty()) return Fail("give --out, or --lines and --out-dir");
    std::ifstream in(lines);
    if (!in) return Fail("cannot read " + lines);
    std::ofstream index(outDir + "/index.txt", std::ios::binary);
    if (!index) return Fail("cannot write into " + outDir);
    std::string line;
    int n = 0;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty()) continue;
        char name[16];
        std::snprintf(name, sizeof name, "%03d.wav", ++n);
        if (!Speak(line, voice, rate, noiseFloor, outDir + "/" + name)) return Fail("could not speak: " + line);
        index << name << ' ' << line << '\n';
    }
    return 0;
}
