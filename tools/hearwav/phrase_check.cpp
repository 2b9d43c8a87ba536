// The phrase check: the grammar's phrases spoken and heard again, plain and in cockpit noise.
#include "tools/hearwav/phrase_check.h"

#include "base/helpers.h"
#include "platform/audio_clip.h"
#include "platform/phrase_slots.h"
#include "platform/recogniser.h"
#include "platform/voice.h"
#include "systems/phrase_context.h"

#include <algorithm>
#include <cstdio>

namespace {
// David, Zira and George where the synthesiser has them (the first three voices otherwise): two men and
// a woman, American and British.
std::vector<int> CheckVoices(const std::vector<std::string>& names) {
    std::vector<int> positions;
    for (int wanted : {0, 2, 3})
        if (wanted < static_cast<int>(names.size())) positions.push_back(wanted);
    for (int i = 0; positions.size() < 3 && i < static_cast<int>(names.size()); ++i)
        if (std::find(positions.begin(), positions.end(), i) == positions.end()) positions.push_back(i);
    return positions;
}

// The voice's name: the word after "eSpeak " in its description ("eSpeak Zira - English (United States)").
std::string ShortName(const std::string& description) {
    std::string name = description.rfind("eSpeak ", 0) == 0 ? description.substr(7) : description;
    return name.substr(0, name.find(' '));
}

std::string Quoted(const std::string& text) {
    return "\"" + text + "\"";
}
} // namespace

std::vector<std::string> ReadPhraseList(const std::string& path, std::vector<std::string>& problems) {
    std::vector<std::string> phrases;
    const std::string bytes = ReadFileBytes(path);
    int number = 0;
    for (size_t start = 0; start < bytes.size();) {
        size_t end = bytes.find('\n', start);
        if (end == std::string::npos) end = bytes.size();
        const std::string line = bytes.substr(start, end - start); // a CR left at its end is a blank
        start = end + 1;
        ++number;
        std::string error;
        const std::string phrase =
            HasSlotNotation(line) ? NormaliseSlotPhrase(line, error) : NormalisePhrase(line);
        if (!error.empty()) problems.push_back("line " + std::to_string(number) + ": " + error);
        if (!phrase.empty() && std::find(phrases.begin(), phrases.end(), phrase) == phrases.end())
            phrases.push_back(phrase);
    }
    return phrases;
}

std::vector<std::string> ExampleSayings(const std::string& phrase) {
    if (!HasSlotNotation(phrase)) return {phrase};
    const PhrasePattern pattern = ParsePhrasePattern(phrase);
    if (!pattern.error.empty()) return {};
    size_t count = 1;
    for (const SlotSpec& slot : pattern.slots)
        if (slot.kind == SlotKind::List) count = std::max(count, slot.choices.size());
    static const char* const kDigits[] = {"two",  "seven", "zero",  "one",   "four",
                                          "five", "six",   "eight", "three", "nine"};
    std::vector<std::string> sayings;
    for (size_t n = 0; n < count; ++n) {
        std::vector<std::string> words;
        for (const PhraseElement& e : pattern.elements) {
            if (e.slot < 0) {
                words.push_back(e.word);
                continue;
            }
            const SlotSpec& slot = pattern.slots[static_cast<size_t>(e.slot)];
            switch (slot.kind) {
            case SlotKind::Digits:
                for (int i = 0; i < slot.digits; ++i) words.push_back(kDigits[i % 10]);
                break;
            case SlotKind::Number:
                words.push_back("two thousand five hundred");
                break;
            case SlotKind::Frequency:
                words.push_back("one two one decimal five");
                break;
            case SlotKind::Letter:
                words.push_back("bravo");
                break;
            case SlotKind::List:
                for (const std::string& w : slot.choices[n % slot.choices.size()].words) words.push_back(w);
                break;
            }
        }
        std::string text;
        for (const std::string& w : words) text += (text.empty() ? "" : " ") + w;
        sayings.push_back(text);
    }
    return sayings;
}

std::string DescribeHeard(const std::vector<std::string>& grammar, const std::string& heard) {
    const std::vector<std::string> words = PhraseWords(heard);
    for (const std::string& phrase : grammar) {
        if (!HasSlotNotation(phrase)) continue;
        std::vector<SlotValue> values;
        if (!MatchPhrasePattern(ParsePhrasePattern(phrase), words, values)) continue;
        std::string out = heard + "  (" + phrase + ":";
        for (const SlotValue& v : values) {
            char number[32];
            std::snprintf(number, sizeof number, " %.10g", v.value);
            out += number;
        }
        return out + ")";
    }
    return heard;
}

PhraseCheckResult CheckPhrases(const std::vector<std::string>& grammar) {
    PhraseCheckResult result;
    result.grammar = static_cast<int>(grammar.size());
    const std::vector<std::string> names = RenderableVoiceDescriptions();
    const std::vector<int> voices = CheckVoices(names);
    for (int v : voices) result.voices.push_back(ShortName(names[static_cast<size_t>(v)]));
    uint32_t seed = 1;
    for (const std::string& phrase : grammar) {
        // "any" stands for whatever the captain answers: no one says it.
        if (phrase == "any") continue;
        const std::vector<std::string> sayings = ExampleSayings(phrase);
        if (sayings.empty()) result.skipped.push_back(phrase);
        for (const std::string& said : sayings) {
            ++result.phrases;
            for (size_t v = 0; v < voices.size(); ++v) {
                AudioClip spoken{16000, RenderPlatformSpeech(said, voices[v], 0, 16000)};
                if (spoken.samples.empty()) continue;
                AddNoiseFloor(spoken, 3, ++seed);
                for (int noisy = 0; noisy < 2; ++noisy) {
                    AudioClip clip = spoken;
                    if (noisy) AddNoise(clip, NoiseKind::Pink, 10, ++seed);
                    const std::string heard = RecogniseSamples(grammar, clip.samples, clip.sampleRate);
                    ++result.utterances;
                    if (heard == said)
                        ++result.heardAsSaid;
                    else
                        result.misses.push_back(
                            {said, heard, result.voices[v], noisy ? "pink noise 10 dB" : "plain"});
                }
            }
        }
    }
    return result;
}

std::vector<std::string> DescribePhraseCheck(const PhraseCheckResult& result) {
    std::vector<std::string> lines;
    std::string voices;
    for (const std::string& v : result.voices) voices += (voices.empty() ? "" : ", ") + v;
    lines.push_back("phrase check: " + std::to_string(result.phrases) + " phrases said by " + voices +
                    ", plain and in pink noise at 10 dB, heard against all " +
                    std::to_string(result.grammar) + " of the grammar");
    size_t width = 0;
    for (const PhraseCheckMiss& m : result.misses) width = std::max(width, m.phrase.size() + 2);
    int confused = 0, refused = 0;
    for (const PhraseCheckMiss& m : result.misses) {
        std::string said = Quoted(m.phrase);
        said.resize(std::max(said.size(), width), ' ');
        std::string heard = m.heard == "non" ? std::string("refused") : "heard as " + Quoted(m.heard);
        (m.heard == "non" ? refused : confused) += 1;
        lines.push_back("  " + said + "  " + heard + "  (" + m.voice + ", " + m.condition + ")");
    }
    for (const std::string& s : result.skipped)
        lines.push_back("  " + Quoted(s) + "  not spoken: its slots cannot be read");
    lines.push_back("phrase check: " + std::to_string(result.heardAsSaid) + " of " +
                    std::to_string(result.utterances) + " utterances heard as said, " +
                    std::to_string(confused) + " heard as another phrase, " + std::to_string(refused) +
                    " refused");
    return lines;
}
