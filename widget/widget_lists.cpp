// The widget's panels: their lines mirror the flow engine's lists, and a click on a line or a confirmed
// selection is taken as the pilot's own phrase.
#include "widget/widget_lists.h"

#include "base/helpers.h"
#include "base/log.h"
#include "flow/executer.h"
#include "flow/monitor.h"
#include "simlink/module_protocol.h"
#include "platform/phrase_slots.h"
#include "speech/recognition_state.h"
#include "speech/voices.h"

#include <cmath>

WidgetListsState& WidgetLists() {
    static WidgetListsState state;
    return state;
}

void ResetWidgetLists() {
    WidgetLists() = WidgetListsState();
}

namespace {

WidgetPanel MakePanel(const char* title, uint8_t expanded, int32_t lineColour, int32_t highlightColour) {
    WidgetPanel panel;
    panel.title = title;
    panel.expanded = expanded;
    panel.headerColour = 1;
    panel.lineColour = lineColour;
    panel.highlightColour = highlightColour;
    return panel;
}

bool IsRunList(int position) {
    return position == TitleProcedures || position == TitleChecklists;
}

void TogglePanel(std::vector<WidgetPanel>& panels, int position) {
    WidgetPanel& panel = panels[static_cast<size_t>(position)];
    if (panel.expanded) {
        panel.expanded = 0;
        return;
    }
    panel.expanded = 1;
    if (position <= TitleCommands) {
        for (int other = TitleProcedures; other <= TitleCommands; ++other) {
            if (other != position) panels[static_cast<size_t>(other)].expanded = 0;
        }
    }
}

// A phrase with slots cannot be clicked or confirmed into being heard: no value was said.
void RefuseTemplate(const std::string& shown) {
    WriteLog("Widget: \"" + shown + "\" needs a value said by the captain; nothing heard");
}

// The line a phrase from the flow engine becomes: a phrase with slots shows as its template.
WidgetLine LineOfPhrase(const std::string& text, int32_t colour) {
    WidgetLine line;
    line.colour = colour;
    line.slotTemplate = HasSlotNotation(text);
    line.text = line.slotTemplate ? PhraseTemplate(text) : text;
    return line;
}

void ActOnLine(const WidgetLine& clicked, int position) {
    if (clicked.slotTemplate) {
        RefuseTemplate(clicked.text);
        return;
    }
    const std::string text = clicked.text;
    RecognitionState& recognition = Recognition();
    recognition.heardPhrase = text;
    if (recognition.heardPhrase == "...") {
        recognition.heardPhrase = "any";
        recognition.displayPhrase = "...";
    } else {
        recognition.displayPhrase = recognition.heardPhrase;
    }
    SayCaptainsLine(recognition.heardPhrase, false);
    if (IsRunList(position)) MonitorData().currentRunName = text;
    if (recognition.heardPhrase == "abort") {
        MonitorData().currentRunName.clear();
        ExecuteSay("All Commands and Checklists Aborted!");
        QueueCodeText("0 (>L:TVO_CLIPBOARD)");
    }
}

} // namespace

void BuildWidgetTitles() {
    std::vector<WidgetPanel>& panels = WidgetLists().SelectWidgetVector;
    panels.clear();
    panels.push_back(MakePanel("PROCEDURES", 0, 3, 0));
    panels.push_back(MakePanel("CHECKLISTS", 0, 3, 0));
    panels.push_back(MakePanel("COMMANDS", 0, 3, 0));
    panels.push_back(MakePanel("EXPECTED ANSWERS", 1, 21, 5));
    panels.push_back(MakePanel("TALVERO PHRASES", 1, 2, 0));
}

void BuildWidgetLines() {
    WidgetListsState& lists = WidgetLists();
    std::vector<WidgetPanel>& panels = lists.SelectWidgetVector;
    if (panels.size() != 5) return;

    const std::deque<std::string>& recent = ExecuterData().recentPhrases;
    WidgetPanel& phrases = panels[TitlePhrases];
    phrases.Lines.clear();
    for (size_t k = 3; k-- > 0;) {
        if (recent.size() > k) phrases.Lines.push_back({recent[k], -1, 2, 0});
    }

    WidgetPanel& answers = panels[TitleExpAnswers];
    answers.Lines.clear();
    for (const std::string& answer : MonitorData().expectedAnswers) {
        WidgetLine line = LineOfPhrase(answer, 0);
        if (answer == "any") line.text = "...";
        if (answer == lists.selectedAnswer || (line.slotTemplate && line.text == lists.selectedAnswer)) {
            line.colour = answers.highlightColour;
            line.selected = 1;
        } else {
            line.colour = answers.lineColour;
        }
        answers.Lines.push_back(line);
    }

    for (int position = TitleProcedures; position <= TitleCommands; ++position) {
        panels[static_cast<size_t>(position)].Lines.clear();
    }
    for (const MenuGroup& group : MonitorData().menuGroups) {
        int position = group.deviceName == "PROCEDURES"   ? TitleProcedures
                       : group.deviceName == "CHECKLISTS" ? TitleChecklists
                       : group.deviceName == "COMMANDS"   ? TitleCommands
                                                          : -1;
        if (position < 0) continue;
        for (const std::string& entry : group.entries) {
            panels[static_cast<size_t>(position)].Lines.push_back(LineOfPhrase(entry, 3));
        }
    }
}

int ProcessWidgetClick(const WidgetWndRecord& wnd) {
    std::vector<WidgetPanel>& panels = WidgetLists().SelectWidgetVector;
    int row = -1;
    if (wnd.mX >= 1 && wnd.mX < wnd.W && wnd.mY >= 1 && wnd.mY < wnd.H) {
        row = static_cast<int>(std::floor(static_cast<double>(wnd.mY - wnd.topOffset) / kWidgetRowHeight));
    }
    for (size_t position = 0; position < panels.size(); ++position) {
        WidgetPanel& panel = panels[position];
        if (row != -1 && panel.row == row) {
            TogglePanel(panels, static_cast<int>(position));
            return row;
        }
        if (row != -1) {
            for (const WidgetLine& line : panel.Lines) {
                if (line.row == row) {
                    ActOnLine(WidgetLine(line), static_cast<int>(position));
                    break;
                }
            }
        }
        if (panels.size() > TitleExpAnswers) panels[TitleExpAnswers].expanded = 1;
    }
    return row;
}

void ProcessedControlButtonClick(int event) {
    WriteLog("ProcessedControlButtonClick() inEvent = " + ToString(event));
    WidgetListsState& lists = WidgetLists();
    if (event == 1) {
        if (lists.SelectWidgetVector.size() <= TitleExpAnswers) return;
        std::vector<WidgetLine>& lines = lists.SelectWidgetVector[TitleExpAnswers].Lines;
        WriteLog("SelectWidgetVector[TitleExpAnswers].Lines.size() = " +
                 ToString(static_cast<int>(lines.size())));
        int findSelected = -1;
        for (size_t i = 0; i < lines.size(); ++i) {
            if (lines[i].selected) findSelected = static_cast<int>(i);
        }
        WriteLog("findSelected = " + ToString(findSelected));
        if (lines.empty()) return;
        size_t next = 0;
        if (findSelected != -1) {
            for (WidgetLine& line : lines) line.selected = 0;
            next = static_cast<size_t>(findSelected) + 1;
            if (next >= lines.size()) next = 0;
        }
        lines[next].selected = 1;
        lists.selectedAnswer = lines[next].text;
        WriteLog("selectedAnswer = " + lists.selectedAnswer + " " + ToString(static_cast<int>(next)));
    } else if (event == 2) {
        if (lists.SelectWidgetVector.size() > TitleExpAnswers) {
            for (const WidgetLine& line : lists.SelectWidgetVector[TitleExpAnswers].Lines) {
                if (line.selected && line.slotTemplate && line.text == lists.selectedAnswer) {
                    RefuseTemplate(line.text);
                    lists.selectedAnswer.clear();
                    return;
                }
            }
        }
        RecognitionState& recognition = Recognition();
        recognition.heardPhrase = lists.selectedAnswer;
        recognition.displayPhrase = recognition.heardPhrase;
        lists.selectedAnswer.clear();
        SayCaptainsLine(recognition.heardPhrase, false);
    }
}
