// The widget's panels and what a click or a control word does. The panels themselves come with the
// overlay; for now the control words of the module reach this entry point and are logged.
#pragma once

// The module's control words: 1 for "SELECT", 2 for "CONFIRM".
void ProcessedControlButtonClick(int event);
