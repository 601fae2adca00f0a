#pragma once
// The program's pictures: JPEG resources decoded with libjpeg, bitmap resources as DIB sections.
#include "platform/Win.h"

namespace updater {

// A decoded RCDATA JPEG resource; null when missing or damaged. The caller owns the bitmap.
HBITMAP LoadJpegResource(HINSTANCE instance, const wchar_t* name);
HBITMAP LoadBitmapResource(HINSTANCE instance, const wchar_t* name);

struct BitmapDeleter {
  void operator()(HBITMAP b) const { if (b) ::DeleteObject(b); }
};

}  // namespace updater
