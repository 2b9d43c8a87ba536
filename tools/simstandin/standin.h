// The simulator stand-in: a SimConnect server for the part of the protocol the program uses, which also
// plays the in-simulator module (aircraft answer, DRF index assignment, simulator variables, calculator
// code, pose acknowledgements, and the control words, runways and settings of a scenario file).
//
// It listens on the transports the client tries (the pipe, TCP over IPv4 and IPv6), serves one client at a
// time, and writes a transcript of every request and module message it received, with decoded fields.
//
// Scenario file (text, one directive per line; "#" at the start of a line or after a blank starts a
// comment; times in seconds, decimal):
//
//   clock ready|open        when the times start: at the program's start-up-complete message (type 36,
//                           the default) or at the client's Open request
//   posetime SECONDS        how long a pose plays before its acknowledgement (type 8); default 1
//   posetime NAME SECONDS   the same for one pose name
//   set NAME VALUE          a simulator variable's value before the flight ("L:..." or "A:..."; the
//                           name may hold blanks, as in "set A:LIGHT LANDING 1": the value is the last word)
//   at TIME ACTION ...      an action at TIME seconds after the clock started; "at +T" is T seconds after
//                           the previous "at" line. Lines run in time order, equal times in file order.
//
// Actions:
//   control WORD            control word (type 32): SELECT, CONFIRM, RECSTART, RECSTOP
//   runways TAKEOFF#LANDING runways (type 33)
//   realmode TEXT           real mode (34)        capspeech TEXT   captain's voice read aloud (39)
//   foname TEXT             first officer's name (27)  username TEXT  captain's name (28)
//   reckey TEXT (29)  recbutton TEXT (30)  widgetbutton TEXT (31)  jsel TEXT (40)
//   volume N (13)  rate N (14)  voice N (16)
//   log TEXT                a module log line (38)
//   message TYPE [value=N] [system=N] [device=N] [parameter=N] [TEXT]
//                           any module message (the indices default to -1, the value to -1)
//   set NAME VALUE          a simulator variable changes (sent in DrfW2E when the program reads it)
//   keyevent LINK           the key event of a read link such as "K:FLAPS_INCR" (type 4 for each
//                           parameter that reads it)
//   assign                  assign DRF indices now from the program's "data/drf.txt"
//   captain PHRASE          the captain says PHRASE: where the platform can speak it, PHRASE spoken in the
//                           captain's voice goes as a WAV file into "utterances" in the work folder
//                           (where the program's recogniser takes it instead of the microphone); then the
//                           control word RECSTART, the phrase appended to "captain.txt" in the work
//                           folder (what the tests' captain's feed hears), and RECSTOP when the phrase
//                           has been said (at least 1.2 s later)
//   drop                    close the connection without notice
//   stall SECONDS           stop reading the connection (and sending) for that long, as a simulator stuck
//                           loading does
//   badsize N               a message whose size field says N (a 12-byte header), as a broken simulator
//   quit                    the simulator closes: quit message (id 3), then the stand-in ends
//
// The clock restarts for each client. Actions and DrfW2E values wait until the client has asked for
// MessageW2E and DrfW2E, so that none is lost while it sets up its areas.
//
// The module's part: type 22 is answered with type 23 and the aircraft folder; at the start-up-complete
// message (type 36) the program's "data/drf.txt" is read and each listed link gets a DRF index (read and
// write links counted apart, one index per variable), reported by types 1 and 3 or by the answer file
// "drf.txt" in the work folder and type 37; DrfW2E then carries the variables the program reads, and
// DrfE2W values that change set the variables the program writes; type 5 runs as calculator code; type 7
// is acknowledged with type 8 (its sequence) after the pose time. Module messages the stand-in sends
// carry the sequence 0xFFFFFFFF unless they answer one.
//
// Example:
//   clock ready
//   set L:switch_101 0
//   at 2 control RECSTART
//   at +1.5 control RECSTOP
//   at 5 runways 27L#09R
//   at 8 set L:switch_101 1
//   at 30 quit
#pragma once
#include "platform/transport_server.h"

#include <array>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace standin {

// ---- The module record: the stand-in's own view of the 560-byte message of MessageE2W / MessageW2E ----
constexpr uint32_t kRecordSize = 560;
constexpr uint32_t kRecordTextSize = 512;
struct ModuleRecord {
    uint32_t sequence = 0xFFFFFFFF;
    uint32_t type = 0;
    int32_t system = -1;
    int32_t device = -1;
    int32_t parameter = -1;
    double valueOut = -1.0;
    double valueIn = -1.0;
    std::string text;
};
std::array<uint8_t, kRecordSize> EncodeRecord(const ModuleRecord& record);
ModuleRecord DecodeRecord(const uint8_t* bytes);

// ---- Replies: sizes of the messages the simulator's side sends (header of 12 bytes included) ----
constexpr uint32_t kOpenReplySize = 308;       // id 2: name (256 bytes) and ten u32 fields
constexpr uint32_t kQuitSize = 12;             // id 3: the header alone
constexpr uint32_t kExceptionSize = 24;        // id 1: exception, send id, index
constexpr uint32_t kClientDataHeaderSize = 40; // id 16: request, object, define, flags, entry, out of, count

// ---- Options ----
struct Options {
    bool pipe = true;
    std::string pipeName = "Microsoft Flight Simulator\\SimConnect"; // the part after "\pipe\"
    int port = -1;                      // IPv4 TCP port on 127.0.0.1; -1 none, 0 any free one
    int port6 = -1;                     // IPv6 TCP port on ::1
    bool publishPorts = false;          // write the ports where the client's registry lookup finds them
    std::string registryKey = "SOFTWARE\\Microsoft\\Microsoft Games\\KittyHawk";
    std::string aircraft = "./data/PM738";
    std::string workFolder;             // the module's work folder (answer file); empty: none
    std::string programFolder = ".";    // the program's folder, whose data/drf.txt is read
    bool assignByFile = true;           // answer file + type 37 (needs workFolder), else types 1 and 3
    std::string scenarioPath;
    std::string transcriptPath;
    double poseTime = 1.0;
    bool once = false;                  // end when the first client has gone
    double maxSeconds = 0;              // end after this long (0: no limit)
    bool quiet = false;                 // no log lines on standard error
    std::string windowTitle;            // a window titled like the simulator's; empty: none
    // Written once the stand-in takes clients (listening, its window open, the captain's phrases spoken
    // into samples): the listeners, one a line. Scripts wait for it rather than for a guessed time.
    std::string readyFile;
    int windowWidth = 1280, windowHeight = 800;
    // Faults for the tests: the session ends when the request with this send id arrives (0: never), as
    // a simulator that goes away at that stage of the client's set-up; the module leaves the aircraft
    // request unanswered.
    uint32_t dropAtRequest = 0;
    bool answerAircraft = true;
};
// Reads the command line (without the program name). False with a reason for anything it does not know.
bool ParseOptions(const std::vector<std::string>& args, Options& options, std::string& error);
std::string UsageText();

// ---- Scenario ----
constexpr double kCaptainPhraseSeconds = 1.2; // push-to-talk held at least this long for a captain's phrase
constexpr int kUtteranceRate = 16000;          // samples per second of the captain's utterances
struct ScenarioAction {
    double time = 0;
    int line = 0;
    std::string verb;
    std::string argument;            // the rest of the line, as written
    std::vector<int16_t> utterance;  // a captain's phrase as spoken, where the platform can speak it
};
struct Scenario {
    bool clockAtOpen = false;
    double poseTime = -1; // -1: the command line's
    std::map<std::string, double> poseTimes;
    std::vector<std::pair<std::string, double>> initialValues;
    std::vector<ScenarioAction> actions; // in time order
};
bool ParseScenario(const std::vector<std::string>& lines, Scenario& scenario, std::string& error);

// ---- The captain's voice ----
// The phrase spoken in the captain's voice at kUtteranceRate with a faint microphone hiss; empty where the
// platform cannot speak into samples.
std::vector<int16_t> SpeakCaptainPhrase(const std::string& phrase);
// How long the captain holds push-to-talk for an utterance: its length and a little more.
double CaptainHoldSeconds(const std::vector<int16_t>& utterance);
struct StandIn;
// "utterances" in the work folder, where the program's recogniser takes recorded utterances from.
std::string UtteranceFolder(const StandIn& s);
// Writes the utterance as the next WAV file of the utterance folder (whole or not at all); its path, or
// empty when there is nothing to write or no work folder.
std::string DropUtterance(StandIn& s, const std::vector<int16_t>& utterance);

// ---- The server and the module ----
struct Definition {
    std::vector<std::pair<uint32_t, uint32_t>> parts; // offset, size
    uint32_t Size() const;
};
struct Subscription {
    uint32_t clientDataId = 0;
    uint32_t requestId = 0;
    uint32_t defineId = 0;
    uint32_t period = 0;
};
struct Session {
    ServerConnection* connection = nullptr;
    int number = 0;
    std::string via;
    std::vector<uint8_t> inbox;
    bool opened = false;
    std::map<uint32_t, std::string> areaNames; // client data id -> area name
    std::map<uint32_t, Definition> definitions;
    std::vector<Subscription> subscriptions;
    uint32_t lastSendId = 0;
    double openedAt = 0;
    int unchangedDrf = 0; // DrfE2W blocks without a change, not yet written to the transcript
    uint32_t firstUnchanged = 0, lastUnchanged = 0;
};
struct DrfLinkEntry {
    std::string spec;
    bool write = false;
    int system = 0, device = 0, parameter = 0;
    int index = -1;
};
struct PendingAck {
    double due = 0;
    uint32_t sequence = 0;
    std::string pose;
};

struct StandIn {
    Options options;
    Scenario scenario;
    std::atomic<bool> stop{false};
    std::atomic<bool> ready{false};   // listening, the window open: a client may come
    std::string failure;              // why it could not start
    uint16_t boundPort = 0, boundPort6 = 0;
    // The simulator's side.
    std::vector<ServerListener*> listeners;
    std::vector<std::string> listenerNames;
    std::map<std::string, std::vector<uint8_t>> areas; // by name
    Session session;
    bool serving = false;
    int clientsSeen = 0;
    int64_t startNanos = 0;
    // The module's side.
    std::map<std::string, double> variables;
    std::vector<DrfLinkEntry> links;
    std::map<std::string, int> readIndex, writeIndex;
    std::array<double, 500> lastE2W{};
    bool drfDirty = false;
    std::vector<PendingAck> acks;
    double clockStart = -1;  // seconds since start; -1 until the scenario clock starts
    size_t nextAction = 0;
    bool scenarioEnded = false; // every action has been played
    bool quitAfterSession = false;
    // The transcript, also kept in memory (for tests) when keepTranscript is set.
    bool keepTranscript = false;
    std::FILE* transcriptFile = nullptr;
    std::mutex transcriptLock;
    std::condition_variable transcriptChanged;
    std::vector<std::string> transcript;
    uint64_t window = 0; // the simulator window (--window), 0 when none
    std::vector<std::string> logLines;
    int utterancesDropped = 0; // captain's utterances written to the utterance folder
    double stalledUntil = 0;   // the connection is not read before this time (seconds since start)
};

// "NAME VALUE" where the name may hold blanks ("A:LIGHT LANDING 1"): false unless the last word is a number.
bool SplitNameAndValue(const std::string& text, std::string& name, double& value);
// True when the current client asked for the area's updates.
bool Subscribed(const StandIn& standIn, const std::string& area);

// Runs until stopped (StandIn::stop, a quit action, --once, --max-seconds); 0 after an orderly end, 1 when
// it could not start (StandIn::failure says why).
int Run(StandIn& standIn);
// Loads the scenario named by the options; false with a reason.
bool LoadScenario(StandIn& standIn, std::string& error);

double Seconds(const StandIn& standIn);
void Transcript(StandIn& standIn, const std::string& line);
void LogLine(StandIn& standIn, const std::string& line);

std::string NumberText(double value);
std::string TrimBlanks(const std::string& text);
// The first word of `text`; `rest` gets what follows it, trimmed.
std::string FirstWord(const std::string& text, std::string& rest);
// The whole text as a decimal number.
bool ParseNumber(const std::string& text, double& value);
std::string Quoted(const std::string& text);

// The module's part (module.cpp).
void ModuleReceivedRecord(StandIn& standIn, const ModuleRecord& record);
void ModuleReceivedDrf(StandIn& standIn, const uint8_t* bytes, uint32_t size);
void SendModuleRecord(StandIn& standIn, const ModuleRecord& record);
void SendDrfValues(StandIn& standIn);
void AssignDrfIndices(StandIn& standIn);
// `source` names who set it in the log line ("scenario", "DrfE2W", "code"); null for the initial values.
void SetVariable(StandIn& standIn, const std::string& name, double value, const char* source = nullptr);
// Runs calculator code of the forms "VALUE (>L:NAME)", "(L:NAME) (>L:OTHER)", with + - * /; false when a
// token is not understood (what came before it has run).
bool RunCalculator(StandIn& standIn, const std::string& code);
void RunDueWork(StandIn& standIn);
// Sets an area and delivers it to every subscriber of the current client (server side, standin.cpp).
void SetArea(StandIn& standIn, const std::string& name, const uint8_t* bytes, uint32_t size);
void SendQuit(StandIn& standIn);
// A message of 12 bytes whose size field says `size` (a fault the client must catch).
void SendBadSize(StandIn& standIn, uint32_t size);
void EndSession(StandIn& standIn, const std::string& why);

} // namespace standin
