// Whether a slot's or a phrase's graph says exactly these words from state 0 to `end`, its empty
// transitions taken freely: what the recogniser may hear through it.
#pragma once
#include "platform/phrase_slots.h"

#include <set>
#include <string>

inline bool GraphSays(const SlotGraph& g, int end, const std::string& text) {
    auto close = [&g](std::set<int> states) {
        for (bool grew = true; grew;) {
            grew = false;
            for (const auto& [from, to] : g.nulls)
                if (states.count(from) && states.insert(to).second) grew = true;
        }
        return states;
    };
    std::set<int> states = close({0});
    for (const std::string& word : PhraseWords(text)) {
        std::set<int> next;
        for (const SlotArc& arc : g.arcs)
            if (arc.word == word && states.count(arc.from)) next.insert(arc.to);
        states = close(next);
    }
    return states.count(end) > 0;
}
