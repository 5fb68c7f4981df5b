// Reading the CONFIG section of the settings file into g_config
// (foundation/settings.h) once at start-up.
#pragma once

// Puts every setting back to its built-in value, then reads each key of the
// CONFIG section of ini_path (native path; nullptr or a missing file leaves
// the built-in values), clamping numbers and cutting texts to their fields.
// Templates whose placeholders differ from the built-in ones are ignored.
// Finally hands DEBUG_LOG to LogSetLevel. Never fails.
void LoadConfiguration(const char *ini_path);
