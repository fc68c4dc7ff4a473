#pragma once
// Where the programs keep their own settings files (varnel.ini, orvantis.ini,
// olsim.ini): beside the program where this user may write (a build folder, a
// program unpacked or installed for one user), else in the user's settings
// folder (an installed package). The build picks posix/ or win32/.
// Thread-safe.

#include <string>

namespace varnel::platform {

// The user's settings folder for Varnel: $XDG_CONFIG_HOME/varnel (by default
// ~/.config/varnel) on POSIX, %APPDATA%\Varnel on Windows; "" when the
// environment names no such place.
std::string UserSettingsFolder();

// True when the program's folder takes its settings files: this user may
// create files in it, and on POSIX it is not a folder of the system's
// programs (under /usr, /bin, /sbin or /opt), which a package manager owns
// even where root could write.
bool ProgramFolderTakesSettings(const std::string& programFolder);

// The program's folder when it takes the settings files, else the user's
// settings folder (the program's folder when there is none).
std::string SettingsFolderFor(const std::string& programFolder);

}  // namespace varnel::platform
