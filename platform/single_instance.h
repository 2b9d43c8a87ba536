// The single-instance guard: one running copy of the program per user session.
#pragma once
#include <string>

// Takes the lock named `name` without waiting. False when another copy (or another holder in this process)
// has it; then `failure` stays empty. False with `failure` saying what failed (the lock's path or name and
// the system's error) when the lock could not be made at all, which is no proof of another copy. The lock
// is held until ReleaseSingleInstance or the end of the process, whichever comes first.
bool AcquireSingleInstance(const std::string& name, std::string* failure = nullptr);
void ReleaseSingleInstance();
