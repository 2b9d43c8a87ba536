// The program's subsystems as the frame calls them. Entries for subsystems that are not built yet stay
// empty; the frame skips them.
#include "app/frame.h"

FrameSubsystems DefaultSubsystems() {
    FrameSubsystems s;
    return s;
}
