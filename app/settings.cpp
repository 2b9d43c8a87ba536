// The settings record.
#include "app/settings.h"

SettingsState& Settings() {
    static SettingsState state;
    return state;
}

void ResetSettings() {
    Settings() = SettingsState{};
}
