// The stand-in's scenario file: directives and timed actions, checked when the file is read.
#include "tools/simstandin/standin.h"

#include <algorithm>

namespace standin {

bool ParseScenario(const std::vector<std::string>& lines, Scenario& scenario, std::string& error) {
    double previous = 0;
    int number = 0;
    for (const std::string& raw : lines) {
        ++number;
        std::string line = raw.substr(0, raw.find('#') == 0 ? 0 : raw.size());
        // A "#" starts a comment only at the start of a line or after a blank, so runways keep theirs.
        size_t hash = line.find(" #");
        if (hash != std::string::npos) line = line.substr(0, hash);
        line = TrimBlanks(line);
        if (line.empty()) continue;
        std::string rest;
        std::string verb = FirstWord(line, rest);
        auto fail = [&](const std::string& why) {
            error = "scenario line " + std::to_string(number) + ": " + why;
            return false;
        };
        if (verb == "clock") {
            if (rest == "open") scenario.clockAtOpen = true;
            else if (rest == "ready") scenario.clockAtOpen = false;
            else return fail("clock is \"open\" or \"ready\"");
        } else if (verb == "posetime") {
            std::string after;
            std::string first = FirstWord(rest, after);
            double value;
            if (after.empty()) {
                if (!ParseNumber(first, value) || value < 0) return fail("posetime needs seconds");
                scenario.poseTime = value;
            } else {
                if (!ParseNumber(after, value) || value < 0) return fail("posetime NAME needs seconds");
                scenario.poseTimes[first] = value;
            }
        } else if (verb == "set") {
            std::string name;
            double value;
            if (!SplitNameAndValue(rest, name, value)) return fail("set needs a name and a number");
            scenario.initialValues.push_back({name, value});
        } else if (verb == "at") {
            std::string after;
            std::string when = FirstWord(rest, after);
            double time;
            bool relative = !when.empty() && when[0] == '+';
            if (!ParseNumber(relative ? when.substr(1) : when, time) || time < 0) return fail("at needs a time in seconds");
            if (relative) time += previous;
            previous = time;
            ScenarioAction action;
            action.time = time;
            action.line = number;
            action.verb = FirstWord(after, action.argument);
            static const char* known[] = {"control", "runways", "realmode", "capspeech", "foname", "username",
                                          "reckey",  "recbutton", "widgetbutton", "jsel", "log", "volume",
                                          "rate",    "voice",  "message", "set", "keyevent", "assign", "drop", "quit",
                                          "stall", "badsize",
                                          "captain"};
            bool ok = false;
            for (const char* k : known) ok = ok || action.verb == k;
            if (!ok) return fail("unknown action \"" + action.verb + "\"");
            if (action.verb == "message") {
                double type;
                std::string more;
                if (!ParseNumber(FirstWord(action.argument, more), type)) return fail("message needs a type number");
            }
            if (action.verb == "stall" || action.verb == "badsize") {
                double number;
                if (!ParseNumber(action.argument, number) || number < 0)
                    return fail(action.verb + " needs a number");
            }
            if (action.verb == "set") {
                std::string name;
                double value;
                if (!SplitNameAndValue(action.argument, name, value)) return fail("set needs a name and a number");
            }
            if (action.verb == "captain") {
                // The captain holds the push-to-talk control, says the phrase, and lets go a moment later.
                if (action.argument.empty()) return fail("captain needs a phrase");
                action.verb = "captain-press";
                action.utterance = SpeakCaptainPhrase(action.argument);
                double hold = CaptainHoldSeconds(action.utterance);
                scenario.actions.push_back(action);
                action.verb = "captain-release";
                action.utterance.clear();
                action.time += hold;
            }
            scenario.actions.push_back(action);
        } else {
            return fail("unknown directive \"" + verb + "\"");
        }
    }
    std::stable_sort(scenario.actions.begin(), scenario.actions.end(),
                     [](const ScenarioAction& a, const ScenarioAction& b) { return a.time < b.time; });
    return true;
}

} // namespace standin
