// The simulator stand-in's engine, compiled into this test program so that the tests run it on a thread
// of their own (its main.cpp stays out).
#include "tools/simstandin/captain.cpp"
#include "tools/simstandin/module.cpp"
#include "tools/simstandin/options.cpp"
#include "tools/simstandin/scenario.cpp"
#include "tools/simstandin/standin.cpp"
