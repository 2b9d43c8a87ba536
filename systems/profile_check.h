// A summary of the loaded systems model for authors and tests: what it holds, and what of it cannot work
// (lines the loader or compiler left out, names that do not resolve, poses missing from the catalogue,
// phrases no block can hear, answers shown that nothing hears, sequences that can never finish, links the
// module never gets).
#pragma once
#include "systems/logic_types.h"

#include <string>
#include <vector>

struct ProfileSummary {
    int systems = 0, devices = 0, stackDevices = 0, parameters = 0, logicLines = 0;
    int blocks = 0, conditions = 0, phraseConditions = 0, calcs = 0, calcTokens = 0, grafPoints = 0;
    int executeSteps = 0;
    int readLinks = 0, writeLinks = 0;
    int stepsOfKind[kExecuteKindCount] = {};
    std::vector<std::string> unknownPoses; // "owner: pose" for every position step naming a missing pose
    std::vector<std::string> problems;     // the load report's skipped and rejected lines
    std::vector<std::string> unresolvedNames;
    // Phrase conditions the captain's voice can never satisfy: a text the recogniser never delivers (it
    // hears the normal form: lower case, single blanks, no punctuation), or a phrase an earlier block
    // that asks for nothing else always takes first.
    std::vector<std::string> unhearablePhrases;
    // "answer:" steps showing an answer that no phrase condition hears.
    std::vector<std::string> unheardAnswers;
    // Sequential devices with an item that can never be done, and why.
    std::vector<std::string> unfinishableSequences;
    // Read and write links that never reach the module's DRF list (a prefix or mode it does not take).
    std::vector<std::string> linksNeverSent;
    // Blocks that read the values of a phrase with slots ({1}..{8}) but can hold without having heard
    // it: their first condition is not such a phrase, or a "||" follows it.
    std::vector<std::string> valuesNotHeard;
    // Nothing in the lists above or below.
    bool Clean() const;
};
ProfileSummary SummariseSystems();
// The summary as lines of text, counts first, then every problem.
std::vector<std::string> DescribeSummary(const ProfileSummary& summary);
