// The program's artwork, drawn in code so that no image files need to travel
// with the executable: the six CallTree pictures, the two list backgrounds and
// the program icon.
#pragma once

#include <QFont>
#include <QIcon>
#include <QPixmap>

// The 16x16 picture of node kind k (0 root, 1 function, 2 already expanded,
// 3 recursive call, 4 function no source defines, 5 expansion cut off).
QPixmap TreePicture(int k);
// Background picture of a list view (0 Function List 344x64, 1 Call List 256x164).
QPixmap ListBackground(int list);
// The program icon (large and small sizes).
QIcon ProgramIcon();
// A font of the given Shift_JIS face name and pixel height; when the face is
// not installed a Japanese-capable one of the same kind stands in.
QFont MakeFont(const char *sjis_face, int pixel_size, bool monospace);
