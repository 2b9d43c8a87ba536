// The module's answer file: DRF array indices for the parameters' links, in bulk.
#pragma once

// Applies "<module work folder>drf.txt" to the systems model, then leaves the DRF list holding one empty
// line. Records that do not name a link of the loaded model, or whose numbers do not read, are skipped
// with a log line.
void SetFromFileInDrfArrayID();
