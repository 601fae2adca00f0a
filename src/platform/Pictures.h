#pragma once
// The program's pictures: JPEG resources decoded with libjpeg, bitmap resources as DIB sections.
#include "platform/Handles.h"

namespace updater {

// A decoded RCDATA JPEG resource; empty when missing or damaged.
Bitmap LoadJpegResource(HINSTANCE instance, const wchar_t* name);
Bitmap LoadBitmapResource(HINSTANCE instance, const wchar_t* name);

}  // namespace updater
