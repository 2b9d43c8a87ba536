// The start-up dump of every line the scripts make the first officer say or wait for, so an author can
// check the data files in the log.
#pragma once

void DumpPhraseContext();
