// What every fuzz target shares: a working folder in RAM made once per process, every subsystem's state
// put back to its start before each input, and small helpers to hand the fuzzer's bytes to code that only
// reads files.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// The process's scratch folder (under /dev/shm when it exists, else the temporary folder), made once with
// its data/ folder and made the working folder, so that "./data/..." files land in it. Removed at exit.
const std::string& FuzzFolder();
// FuzzFolder() + "/" + relative, with the parent folders made.
std::string FuzzPath(const std::string& relative);
// Writes the bytes as they stand at FuzzPath(relative); returns the full path.
std::string WriteFuzzFile(const std::string& relative, const std::string& bytes);
void RemoveFuzzFile(const std::string& relative);

// Every subsystem back to its start: log (written into the scratch folder), frame, settings, systems model,
// phrase context, poses, DRF arrays, module protocol, dispatch, executer, monitor, recognition, phrase
// markers, widget lists, and the simulated voice in place of the platform's synthesiser. Message boxes are
// swallowed and no recogniser is plugged in.
void ResetProgramState();

// Loads a systems text as start-up does: the index names one plain file holding `systemsText`, the save
// file holds `saveText`, the aircraft folder has the poses "work_point" and "rest_idle".
void LoadSystemsText(const std::string& systemsText, const std::string& saveText = std::string());
// A small model with links and logic, loaded through LoadSystemsText, for targets that need something to
// point into (module messages, the DRF answer file, the receive stream).
void LoadSmallModel();

// One main-loop pass of the engine without the simulator: monitor, executer, speech monitor, queue pump.
void RunEnginePass(double frameTime);

// The input as text, and the input cut into two at the first occurrence of `separator` (the second part is
// empty when there is none).
std::string InputText(const uint8_t* data, size_t size);
void SplitInput(const std::string& input, const std::string& separator, std::string& first,
                std::string& second);

// Stops the run with a message when a property every input must keep does not hold (libFuzzer then saves
// the input as a crash).
void FuzzCheck(bool holds, const std::string& what);
