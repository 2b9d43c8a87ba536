// A small before start checklist, as a systems file: a trigger phrase and two items answered in turn,
// the last one completing it. Shared by the tests that run a sequential device.
#pragma once

inline constexpr const char* kBeforeStartChecklist = "sys=CHECKLIST\n"
                                                     "devstack=BEFORE START\n"
                                                     "out=TRIGGER,int,,0,,,,,,,,0\n"
                                                     "logic:\n"
                                                     "instring=before start checklist\n"
                                                     "execute=1,Before start checklist. Doors?,0\n"
                                                     "out=DOORS,int,,0,,,,,,,,0\n"
                                                     "logic:\n"
                                                     "instring=closed\n"
                                                     "execute=1,Beacon?,0\n"
                                                     "out=BEACON,int,,0,,,,,,,,0\n"
                                                     "logic:\n"
                                                     "instring=on\n"
                                                     "execute=0,Before start checklist complete,0\n";
