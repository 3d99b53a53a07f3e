#pragma once
// Toolbar, menu and program images: the desktop's icon theme first, the
// pictures compiled into the program otherwise, so the program looks the
// same without a theme.
#include <QIcon>
#include <QImage>

namespace vx {

// Registers the pictures compiled into the program (idempotent).
void EnsureAppResources();
// Points Qt at the installed icon themes (Adwaita) unless the desktop chose one.
void SetUpIconTheme();
// The image of a freedesktop icon name, with the compiled-in fallback; the
// disabled form is the grey copy of GreyImage.
QIcon CommandIcon(const char* name);
QIcon ProgramIcon();
// The grey copy of a disabled button: every pixel that is not pure black
// becomes (g, g, g) with g = floor(0.299 R + 0.587 G + 0.114 B); pure black
// stays black; the transparency is kept.
QImage GreyImage(const QImage& image);

}  // namespace vx
