// Pronunciations for words the recogniser's dictionary lacks: espeak-ng spells the word in its own
// phoneme names, which are mapped onto the CMU phone set of the acoustic model. And the dictionary's
// American forms as speakers who drop a final R say them.
#include "platform/engines/espeak_engine.h"
#include "platform/engines/recogniser_parts.h"
#include "platform/speech_data.h"

#include <espeak-ng/speak_lib.h>

#include <cstdio>
#include <cstring>
#include <sstream>
#include <vector>

EspeakEngineState& EspeakEngine() {
    static EspeakEngineState state;
    return state;
}

bool EnsureEspeakStarted() {
    EspeakEngineState& engine = EspeakEngine();
    if (engine.started) return true;
    if (engine.failed) return false;
    const std::string data = SpeechData().espeakData;
    if (!data.empty()) {
        // A missing data folder is named once; the library would only fail without saying why.
        std::FILE* f = std::fopen((data + "/espeak-ng-data/phontab").c_str(), "rb");
        if (!f) {
            engine.failed = true;
            engine.whyNot = "eSpeak NG's data is missing: " + data + "/espeak-ng-data/phontab";
            return false;
        }
        std::fclose(f);
    }
    int rate = espeak_Initialize(AUDIO_OUTPUT_SYNCHRONOUS, 0, data.empty() ? nullptr : data.c_str(),
                                 espeakINITIALIZE_DONT_EXIT);
    if (rate <= 0)
        engine.whyNot = "eSpeak NG could not start with its data in " +
                        (data.empty() ? std::string("its own folder") : data);
    engine.started = rate > 0;
    engine.failed = !engine.started;
    return engine.started;
}

namespace {

struct PhoneMapping {
    const char* espeak;
    const char* cmu;
};

// espeak-ng's English phonemes (stress marks removed) and their nearest CMU phones.
const PhoneMapping kPhoneMappings[] = {
    // Vowels and diphthongs.
    {"a", "AE"},
    {"aa", "AE"},
    {"a#", "AH"},
    {"a2", "AH"},
    {"A:", "AA"},
    {"A", "AA"},
    {"A@", "AA R"},
    {"A@r", "AA R"},
    {"0", "AA"},
    {"O", "AO"},
    {"O:", "AO"},
    {"O2", "AO"},
    {"O@", "AO R"},
    {"o@", "AO R"},
    {"o@r", "AO R"},
    {"O@r", "AO R"},
    {"@", "AH"},
    {"@2", "AH"},
    {"@5", "AH"},
    {"@L", "AH L"},
    {"@r", "ER"},
    {"3", "ER"},
    {"3:", "ER"},
    {"3:r", "ER"},
    {"E", "EH"},
    {"E2", "EH"},
    {"E#", "EH"},
    {"e@", "EH R"},
    {"e@r", "EH R"},
    {"I", "IH"},
    {"I2", "IH"},
    {"I#", "IH"},
    {"i", "IY"},
    {"i:", "IY"},
    {"i@", "IY R"},
    {"i@3", "IY R"},
    {"i@r", "IY R"},
    {"u:", "UW"},
    {"u", "UW"},
    {"U", "UH"},
    {"U@", "UH R"},
    {"U@r", "UH R"},
    {"V", "AH"},
    {"aI", "AY"},
    {"aI@", "AY ER"},
    {"aI3", "AY ER"},
    {"aI@r", "AY ER"},
    {"aU", "AW"},
    {"aU@", "AW ER"},
    {"aU@r", "AW ER"},
    {"eI", "EY"},
    {"oU", "OW"},
    {"OI", "OY"},
    {"e", "EH"},
    {"o", "OW"},
    // Consonants.
    {"p", "P"},
    {"b", "B"},
    {"t", "T"},
    {"d", "D"},
    {"k", "K"},
    {"g", "G"},
    {"f", "F"},
    {"v", "V"},
    {"s", "S"},
    {"z", "Z"},
    {"h", "HH"},
    {"m", "M"},
    {"n", "N"},
    {"l", "L"},
    {"r", "R"},
    {"w", "W"},
    {"j", "Y"},
    {"T", "TH"},
    {"D", "DH"},
    {"S", "SH"},
    {"Z", "ZH"},
    {"tS", "CH"},
    {"dZ", "JH"},
    {"N", "NG"},
    {"t#", "T"},
    {"d#", "D"},
    {"z#", "Z"},
    {"?", "T"},
    {"n-", "N"},
    {"l-", "L"},
    {"m-", "M"},
    {"r-", "R"},
    {"x", "K"},
    {"*", "T"},
    {"hw", "W"},
    {"nj", "N Y"},
    {"l/", "L"},
    {"l/2", "L"},
};

const char* CmuFor(const std::string& phoneme) {
    for (const PhoneMapping& m : kPhoneMappings)
        if (phoneme == m.espeak) return m.cmu;
    return nullptr;
}

} // namespace

std::string CmuPhonesFromEspeak(const std::string& espeakPhonemes) {
    std::istringstream in(espeakPhonemes);
    std::string token, phones;
    while (in >> token) {
        // Stress and length marks are not phonemes.
        std::string phoneme;
        for (char c : token)
            if (c != '\'' && c != ',' && c != '%' && c != '=' && c != '_' && c != '|' && c != ';')
                phoneme += c;
        if (phoneme.empty()) continue;
        const char* cmu = CmuFor(phoneme);
        // A variant mark the table lacks ("#", "2", "-"): the bare phoneme is the nearest.
        while (!cmu && phoneme.size() > 1 && std::strchr("#2-:", phoneme.back())) {
            phoneme.pop_back();
            cmu = CmuFor(phoneme);
        }
        if (!cmu) return "";
        if (!phones.empty()) phones += ' ';
        phones += cmu;
    }
    return phones;
}

std::string SpellWithEspeak(const std::string& word) {
    EspeakEngineState& engine = EspeakEngine();
    std::lock_guard<std::mutex> hold(engine.lock);
    if (!EnsureEspeakStarted()) return "";
    // The voice the speech output chose stays chosen: spell in American English, then put it back.
    espeak_VOICE* before = espeak_GetCurrentVoice();
    espeak_VOICE saved{};
    std::string savedName;
    if (before && before->name) {
        savedName = before->name;
        saved = *before;
        saved.name = savedName.c_str();
        saved.languages = nullptr;
    }
    if (espeak_SetVoiceByName("en-us") != EE_OK) return "";
    std::string phonemes;
    const void* text = word.c_str();
    while (text) {
        const char* part = espeak_TextToPhonemes(&text, espeakCHARS_AUTO, ' ' << 8);
        if (!part) break;
        if (!phonemes.empty()) phonemes += ' ';
        phonemes += part;
    }
    if (!savedName.empty()) espeak_SetVoiceByProperties(&saved);
    return CmuPhonesFromEspeak(phonemes);
}

std::string WithoutFinalRs(const std::string& phones) {
    std::vector<std::string> in, out;
    std::istringstream read(phones);
    for (std::string phone; read >> phone;) in.push_back(phone);
    auto vowel = [](const std::string& phone) { return std::strchr("AEIOU", phone[0]) != nullptr; };
    for (size_t i = 0; i < in.size(); ++i) {
        const bool vowelNext = i + 1 < in.size() && vowel(in[i + 1]);
        if (in[i] == "ER" && !vowelNext) {
            out.push_back("AH");
        } else if (in[i] == "R" && i > 0 && vowel(in[i - 1]) && !vowelNext) {
            // After a back vowel the R only lengthens it ("car", "four"); after a front one, or a glide's
            // end, a neutral vowel takes its place ("gear", "fire", "your").
            const std::string& before = in[i - 1];
            if (before != "AA" && before != "AO" && before != "AH") out.push_back("AH");
        } else {
            out.push_back(in[i]);
        }
    }
    std::string joined;
    for (const std::string& phone : out) joined += (joined.empty() ? "" : " ") + phone;
    return joined;
}
