#pragma once
// The program's pictures: JPEG resources decoded with libjpeg, bitmap resources as DIB sections.
#include "platform/Handles.h"

namespace updater {

// A decoded RCDATA JPEG resource; empty when missing or damaged.
Bitmap LoadJpegResource(HINSTANCE instance, const wchar_t* name);
Bitmap LoadBitmapResource(HINSTANCE instance, const wchar_t* name);
// Draws a picture stretched into a rectangle; transparent: the colour of its bottom-left pixel is
// left out, as the form library draws a transparent picture.
void DrawPicture(HDC dc, HBITMAP picture, const RECT& to, bool transparent = false);

}  // namespace updater
