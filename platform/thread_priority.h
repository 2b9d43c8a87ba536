// The scheduling weight of the speech engines' worker threads: decoding the captain and rendering the
// first officer's lines may take all the processor they can get, but never ahead of the main loop's pass.
#pragma once

// Makes the calling thread yield to the process's other threads when the processor is short: a nice
// value of 10 on Linux, THREAD_PRIORITY_BELOW_NORMAL on Windows. Nothing happens when the system refuses.
void LowerThisThreadPriority();
