// The widget's five panels and what a click or a control word does: the lines are rebuilt from the flow
// engine's state before every paint, and a click or a confirm becomes a heard phrase.
#pragma once
#include "widget/widget_record.h"

#include <cstdint>
#include <string>
#include <vector>

struct WidgetLine {
    std::string text;
    int32_t row = -1;   // screen row given by the last paint; -1 when not drawn
    int32_t colour = 0; // palette index
    uint8_t selected = 0;
    // A phrase with slots, shown as its template ("set heading ___"): the value must be said, so a click
    // or a confirm does not take it as heard.
    bool slotTemplate = false;
};

struct WidgetPanel {
    std::string title;
    int32_t row = -1; // screen row of the heading given by the last paint
    uint8_t expanded = 0;
    int32_t headerColour = 1;
    int32_t lineColour = 3;
    int32_t highlightColour = 0; // the selected line's colour; only EXPECTED ANSWERS uses it
    std::vector<WidgetLine> Lines;
};

inline constexpr int TitleProcedures = 0;
inline constexpr int TitleChecklists = 1;
inline constexpr int TitleCommands = 2;
inline constexpr int TitleExpAnswers = 3;
inline constexpr int TitlePhrases = 4;
inline constexpr int kWidgetRowHeight = 18;

struct WidgetListsState {
    std::vector<WidgetPanel> SelectWidgetVector; // the five panels once set up
    std::string selectedAnswer;                  // the answer chosen with the control words
};
WidgetListsState& WidgetLists();
void ResetWidgetLists();

// Sets up the five panels with their titles, colours and start-up expansion.
void BuildWidgetTitles();
// Rebuilds every panel's lines from the flow engine's state of this pass.
void BuildWidgetLines();
// A click without a drag at the cursor position of this pass: toggles a panel or acts on a line as if
// the pilot had said it. Returns the clicked row (-1 outside the window).
int ProcessWidgetClick(const WidgetWndRecord& wnd);
// The module's control words: 1 for "SELECT" (the next expected answer), 2 for "CONFIRM".
void ProcessedControlButtonClick(int event);
