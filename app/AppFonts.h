#pragma once

#include <QFont>
#include <QIcon>

// The program's fonts and icon. Its windows ask for Verdana, Tahoma and
// MS Sans Serif by name and pixel size (FormSupport::font); where the
// machine lacks them, free fonts of similar metrics stand in through Qt's
// font substitution.
namespace AppFonts {

// Makes the substitutes known; call once after the application object exists.
void setUp();

QIcon applicationIcon();

} // namespace AppFonts
