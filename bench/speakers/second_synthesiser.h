// A second synthesiser for the benchmarks' speakers, beside eSpeak NG: Debian's flite voices, where the
// build has them (Linux); elsewhere it has no voices.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

// The voices by name ("kal", "slt", ...); empty without flite.
std::vector<std::string> SecondSynthesiserVoices();
// A line spoken by one of them into 16-bit mono samples at `sampleRate`; empty when it cannot.
std::vector<int16_t> RenderSecondSynthesiser(const std::string& text, const std::string& voice,
                                             int sampleRate);
