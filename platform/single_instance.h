// The single-instance guard: one running copy of the program per user session.
#pragma once
#include <string>

// Takes the lock named `name` without waiting. False when another copy (or another holder in this process)
// has it. The lock is held until ReleaseSingleInstance or the end of the process, whichever comes first.
bool AcquireSingleInstance(const std::string& name);
void ReleaseSingleInstance();
