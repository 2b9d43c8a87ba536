// The program's version number and its answers to the command line: --version and --help print and end
// the program before anything starts; without arguments the program starts as usual.
#pragma once
#include "platform/entry.h"

#include <string>
#include <vector>

// The one version number, as in the file VERSION (for example "1.0.0").
const char* ProgramVersion();

// AnswerCommandLine, the answer to the command line's arguments, is declared with the process entry that
// asks for it (platform/entry.h).
