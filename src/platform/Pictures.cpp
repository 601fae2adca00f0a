#include "platform/Pictures.h"

#include <csetjmp>
#include <cstdlib>
#include <cstdio>

#include <jpeglib.h>

namespace updater {
namespace {

struct ErrorManager {
  jpeg_error_mgr base;
  std::jmp_buf jump;
};

void OnError(j_common_ptr info) { std::longjmp(reinterpret_cast<ErrorManager*>(info->err)->jump, 1); }

// Plain C data only between setjmp and longjmp: the jump runs no destructors.
Bitmap Decode(const unsigned char* data, size_t size) {
  jpeg_decompress_struct info{};
  ErrorManager error{};
  info.err = jpeg_std_error(&error.base);
  error.base.error_exit = OnError;
  HBITMAP volatile bitmap = nullptr;
  unsigned char* volatile row = nullptr;
  if (setjmp(error.jump)) {
    jpeg_destroy_decompress(&info);
    if (bitmap) ::DeleteObject(bitmap);
    std::free(row);
    return Bitmap();
  }
  jpeg_create_decompress(&info);
  jpeg_mem_src(&info, const_cast<unsigned char*>(data), static_cast<unsigned long>(size));
  jpeg_read_header(&info, TRUE);
  info.out_color_space = JCS_RGB;
  jpeg_start_decompress(&info);
  const int w = static_cast<int>(info.output_width), h = static_cast<int>(info.output_height);
  BITMAPINFO bi{};
  bi.bmiHeader.biSize = sizeof(bi.bmiHeader);
  bi.bmiHeader.biWidth = w;
  bi.bmiHeader.biHeight = -h;  // top-down
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 32;
  void* bits = nullptr;
  bitmap = ::CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
  row = static_cast<unsigned char*>(std::malloc(static_cast<size_t>(w) * 3));
  if (!bitmap || !row) longjmp(error.jump, 1);
  while (info.output_scanline < info.output_height) {
    unsigned char* line = row;
    const int y = static_cast<int>(info.output_scanline);
    jpeg_read_scanlines(&info, &line, 1);
    auto* out = static_cast<unsigned char*>(bits) + static_cast<size_t>(y) * w * 4;
    for (int x = 0; x < w; ++x) {
      out[x * 4 + 0] = row[x * 3 + 2];
      out[x * 4 + 1] = row[x * 3 + 1];
      out[x * 4 + 2] = row[x * 3 + 0];
      out[x * 4 + 3] = 0;
    }
  }
  jpeg_finish_decompress(&info);
  jpeg_destroy_decompress(&info);
  std::free(row);
  return Bitmap(bitmap);
}

}  // namespace

Bitmap LoadJpegResource(HINSTANCE instance, const wchar_t* name) {
  HRSRC found = ::FindResourceW(instance, name, MAKEINTRESOURCEW(10));  // RT_RCDATA
  if (!found) return Bitmap();
  HGLOBAL loaded = ::LoadResource(instance, found);
  const void* data = loaded ? ::LockResource(loaded) : nullptr;
  if (!data) return Bitmap();
  return Decode(static_cast<const unsigned char*>(data), ::SizeofResource(instance, found));
}

Bitmap LoadBitmapResource(HINSTANCE instance, const wchar_t* name) {
  return Bitmap(static_cast<HBITMAP>(::LoadImageW(instance, name, IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION)));
}

void DrawPicture(HDC dc, HBITMAP picture, const RECT& to, bool transparent) {
  if (!picture) return;
  HDC mem = ::CreateCompatibleDC(dc);
  HGDIOBJ old = ::SelectObject(mem, picture);
  BITMAP bm{};
  ::GetObjectW(picture, sizeof bm, &bm);
  const int w = to.right - to.left, h = to.bottom - to.top;
  if (transparent)
    ::TransparentBlt(dc, to.left, to.top, w, h, mem, 0, 0, bm.bmWidth, bm.bmHeight, ::GetPixel(mem, 0, bm.bmHeight - 1));
  else
    ::StretchBlt(dc, to.left, to.top, w, h, mem, 0, 0, bm.bmWidth, bm.bmHeight, SRCCOPY);
  ::SelectObject(mem, old);
  ::DeleteDC(mem);
}

}  // namespace updater
