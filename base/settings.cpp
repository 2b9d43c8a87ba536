// The settings record and the settings file: read once at start-up, rewritten whenever the module
// changes a setting.
#include "base/settings.h"

#include "base/helpers.h"

#include <string_view>

namespace {
// The keys the reader knows, in the order a line is tested against them ("real=" is not read).
enum class Key {
    Voice,
    Volume,
    Rate,
    Captain,
    Officer,
    JoystickSelection,
    RecognitionKey,
    RecognitionButton,
    WidgetButton,
    CapSpeech,
    Recogniser
};
struct KeyName {
    Key key;
    std::string_view name;
};
constexpr KeyName kReadKeys[] = {
    {Key::Voice, "voice="},         {Key::Volume, "volume="},         {Key::Rate, "rate="},
    {Key::Captain, "cap="},         {Key::Officer, "tvo="},           {Key::JoystickSelection, "jsel="},
    {Key::RecognitionKey, "kr="},   {Key::RecognitionButton, "jr="},  {Key::WidgetButton, "jc="},
    {Key::CapSpeech, "capspeech="}, {Key::Recogniser, "recogniser="},
};

// An integer value: only sign, point and digit characters, and a leading integer. Anything else (letters,
// "-", "." alone) keeps the setting as it was.
bool ReadSettingInt(const std::string& value, int& result) {
    return IsNumber(value) && ReadLeadingInt(value, result);
}

// The key that decides a line's meaning: the first of kReadKeys that the line holds anywhere.
const KeyName* KeyOfLine(const std::string& line) {
    for (const KeyName& k : kReadKeys)
        if (line.find(k.name) != std::string::npos) return &k;
    return nullptr;
}

} // namespace

SettingLine ReadSettingLine(const std::string& line) {
    const KeyName* found = KeyOfLine(line);
    if (!found) return SettingLine::Other;
    SettingsState& settings = Settings();
    // The key is expected at the start of the line: the value begins after as many characters.
    const std::string value = line.substr(found->name.size());
    int number = 0;
    switch (found->key) {
    case Key::Voice:
        if (!ReadSettingInt(value, number)) break;
        settings.voiceIndex = number;
        return SettingLine::Voice;
    case Key::Volume:
        if (!ReadSettingInt(value, number)) break;
        settings.volume = ClampedSetting(number);
        return SettingLine::Volume;
    case Key::Rate:
        if (!ReadSettingInt(value, number)) break;
        settings.rate = ClampedSetting(number);
        return SettingLine::Rate;
    case Key::CapSpeech:
        if (ReadSettingInt(value, number)) settings.capSpeech = number;
        break;
    case Key::Captain:
        settings.captainName = value;
        break;
    case Key::Officer:
        settings.officerName = value;
        break;
    case Key::JoystickSelection:
        settings.joystickSelection = value;
        break;
    case Key::RecognitionKey:
        settings.recognitionKey = value;
        break;
    case Key::RecognitionButton:
        settings.recognitionButton = value;
        break;
    case Key::WidgetButton:
        settings.widgetButton = value;
        break;
    case Key::Recogniser:
        settings.recogniser = value;
        break;
    }
    return SettingLine::Other;
}

namespace {

// One text line of the file, made so that reading it back gives this key and this value again (or, for
// "real=", no setting at all). A value with a line break would start lines of its own, and one holding
// another key's name (say a first officer called "Bob cap=") would be read as that key: line breaks are
// dropped always, and "=" from a value that would otherwise be misread; with a single "=" left, the one
// ending the line's own key, no other key can be found in the line.
std::string TextLine(std::string_view key, const std::string& value, const KeyName* readsAs) {
    std::string line = std::string(key) + StripLineBreaks(value);
    if (KeyOfLine(line) == readsAs) return line;
    return std::string(key) + ReplaceAll(StripLineBreaks(value), "=", "");
}

const KeyName* ReadKey(Key key) {
    for (const KeyName& k : kReadKeys)
        if (k.key == key) return &k;
    return nullptr;
}
} // namespace

SettingsState& Settings() {
    static SettingsState state;
    return state;
}

void ResetSettings() {
    Settings() = SettingsState{};
}

std::string SettingsFileText() {
    const SettingsState& s = Settings();
    const std::string lines[] = {
        "voice=" + ToString(s.voiceIndex),
        "volume=" + ToString(s.volume),
        "rate=" + ToString(s.rate),
        TextLine("cap=", s.captainName, ReadKey(Key::Captain)),
        TextLine("tvo=", s.officerName, ReadKey(Key::Officer)),
        TextLine("jsel=", s.joystickSelection, ReadKey(Key::JoystickSelection)),
        TextLine("kr=", s.recognitionKey, ReadKey(Key::RecognitionKey)),
        TextLine("jr=", s.recognitionButton, ReadKey(Key::RecognitionButton)),
        TextLine("jc=", s.widgetButton, ReadKey(Key::WidgetButton)),
        TextLine("real=", s.realMode, nullptr),
        "capspeech=" + ToString(s.capSpeech),
    };
    std::string text;
    for (const std::string& line : lines) {
        if (!text.empty()) text += '\n';
        text += line;
    }
    if (!s.recogniser.empty() && s.recogniser != "automatic")
        text += '\n' + TextLine("recogniser=", s.recogniser, ReadKey(Key::Recogniser));
    return text;
}

std::string RecogniserSettingInFile() {
    std::string value;
    for (const std::string& line : ReadLines(kSettingsPath)) {
        const KeyName* found = KeyOfLine(line);
        if (found && found->key == Key::Recogniser && line.size() >= found->name.size())
            value = line.substr(found->name.size());
    }
    return value;
}

void SaveSettings() {
    WriteStringReplacing(kSettingsPath, SettingsFileText()); // a failure leaves the previous file
}

int ClampedSetting(int value) {
    return value < 0 ? 0 : value > 100 ? 100 : value;
}
