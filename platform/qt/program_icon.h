#pragma once

#include <QIcon>
#include <QImage>

namespace ripwarden::qt_platform {

// The program's icon, a disc with a shield-coloured hub, drawn in code so
// that the tray, the windows and the installed theme icons are one picture
// and no image-format plugin is needed.
QImage DrawProgramIcon(int size);

// Every size the tray and window decorations ask for.
QIcon ProgramIcon();

}  // namespace ripwarden::qt_platform
