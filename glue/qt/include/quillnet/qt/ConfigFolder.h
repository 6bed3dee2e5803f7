// Where the window programs keep their INI files: all of them in one folder,
// so a user finds every program's settings side by side.
#ifndef QUILLNET_QT_CONFIGFOLDER_H
#define QUILLNET_QT_CONFIGFOLDER_H

#include <string>

namespace quillnet::qt {

// $QUILLNET_CONFIG_DIR when set, else the per-user settings folder
// ($XDG_CONFIG_HOME/quillnet, by default ~/.config/quillnet; %APPDATA%\quillnet
// on Windows), created when missing. A folder that cannot be created is still
// returned: the failure shows up when a file in it is written.
std::string configFolder();

// The full path of `fileName` in that folder.
std::string configFilePath(const std::string& fileName);

}  // namespace quillnet::qt

#endif
