// The program: the frame with the real subsystems on the platform's clock.
#include "app/frame.h"
#include "platform/entry.h"

int TalveroMain() { return RunApplication(DefaultSubsystems(), PlatformClock()); }
