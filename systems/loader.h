// The systems files loader: the index, plain ".txt" and enciphered ".sys" systems files and the save file
// under the aircraft data folder, parsed into the systems model, then compiled.
#pragma once
#include <string>
#include <vector>

// The key every load starts with; each ".sys" file's first 10 characters become the key of the next one.
inline constexpr const char* kInitialSystemsKey = "plorvexnid";

// Loads Frame().AcfPath + "/systems/...", compiles the logic, registers phrases and rebuilds the grammar.
void CreateSystemsFromFile();
struct LineOrigin;
// Parses joined systems lines into the model (no compiling); `saveLines` are the save file's lines, and
// `origins`, when given with one per line, where each line came from (kept for the load report).
void ParseSystemsLines(const std::vector<std::string>& lines, const std::vector<std::string>& saveLines,
                       const std::vector<LineOrigin>* origins = nullptr);

// Enciphered systems text: two hexadecimal digits per byte with a rolling key. Deciphering expects text of
// even length made of letters and digits; `ok` is false (and the result empty) otherwise.
std::string DecipherSystemsText(const std::string& hexText, const std::string& key, bool* ok = nullptr);
// The inverse, as authors' tools produce it: upper-case digits, no line end.
std::string EncipherSystemsText(const std::string& plainText, const std::string& key);
// The key after a ".sys" file whose text (as read) is `hexText`.
std::string NextSystemsKey(const std::string& hexText);
// Deciphered text into lines: CR LF and LF both end a line, empty lines vanish.
std::vector<std::string> SplitDecipheredLines(const std::string& text);
