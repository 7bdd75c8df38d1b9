#pragma once
#include <QString>

namespace platform {
// Shows the file selected in the user's file manager: the freedesktop FileManager1 call on the
// session bus; where no file manager answers it, the file's folder is opened instead. Returns at
// once.
void showInFileManager(const QString& filePath);

// The name the user knows the file manager by ("Files", "Dolphin", ...): the Name of the desktop
// entry that opens folders by default, "File Manager" when there is none.
QString fileManagerName();
}  // namespace platform
