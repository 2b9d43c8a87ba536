// The simulator stand-in's engine, compiled into this test program so that it runs on a thread of its own
// beside the program (its main.cpp stays out).
#include "tools/simstandin/captain.cpp"
#include "tools/simstandin/module.cpp"
#include "tools/simstandin/options.cpp"
#include "tools/simstandin/scenario.cpp"
#include "tools/simstandin/standin.cpp"
