#pragma once

#include "settings/controlvalues.h"

namespace tavrex {

// The per-user store of the last settings: QSettings in the native format
// under the organisation "Kestrova" and the application "Tavrex" (on Windows
// the registry key HKEY_CURRENT_USER\SOFTWARE\Kestrova\Tavrex; on Linux the
// per-user configuration file Qt keeps for it, ~/.config/Kestrova/Tavrex.conf,
// created readable by its owner only since it holds passwords).

// Reads the stored values into the controls; called once by the main
// window's FormCreate, before a batch settings file is applied. Without a
// store every control keeps its default; an empty port becomes "3306".
void LoadSettings(ControlValues &controls);

// Writes the values from the controls (the eleven values and the check-box
// options of kCheckOptions, each under its key, then the interface language);
// called once by FormDestroy. A file that cannot be
// written throws std::runtime_error naming the path and the system's reason;
// the stored settings then stay as they were.
void SaveSettings(const ControlValues &controls);

} // namespace tavrex
