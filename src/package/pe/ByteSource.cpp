#include "package/pe/ByteSource.h"

#include <cerrno>
#include <cstring>

#ifdef _WIN32
#include <share.h>

#include "platform/Utf.h"
#endif

namespace updater {

void MemorySource::Read(uint64_t offset, void* dst, size_t n) const {
  if (!Contains(offset, n)) throw std::runtime_error("Read beyond the end of the image");
  if (n) std::memcpy(dst, data_ + offset, n);
}

FileSource::FileSource(const std::string& utf8Path) : path_(utf8Path) {
#ifdef _WIN32
  const std::u16string w = Utf8ToUtf16(utf8Path);
  file_.reset(_wfsopen(reinterpret_cast<const wchar_t*>(w.c_str()), L"rb", _SH_DENYNO));
#else
  file_.reset(std::fopen(utf8Path.c_str(), "rb"));
#endif
  if (!file_) throw std::runtime_error("Cannot open file \"" + utf8Path + "\": " + std::strerror(errno));
#ifdef _WIN32
  if (_fseeki64(file_.get(), 0, SEEK_END) != 0) throw std::runtime_error("Cannot read file \"" + utf8Path + "\"");
  size_ = static_cast<uint64_t>(_ftelli64(file_.get()));
#else
  if (fseeko(file_.get(), 0, SEEK_END) != 0) throw std::runtime_error("Cannot read file \"" + utf8Path + "\"");
  size_ = static_cast<uint64_t>(ftello(file_.get()));
#endif
}

void FileSource::Read(uint64_t offset, void* dst, size_t n) const {
  if (!Contains(offset, n)) throw std::runtime_error("Read beyond the end of \"" + path_ + "\"");
#ifdef _WIN32
  const int seek = _fseeki64(file_.get(), static_cast<int64_t>(offset), SEEK_SET);
#else
  const int seek = fseeko(file_.get(), static_cast<off_t>(offset), SEEK_SET);
#endif
  if (seek != 0 || std::fread(dst, 1, n, file_.get()) != n) throw std::runtime_error("Cannot read file \"" + path_ + "\"");
}

}  // namespace updater
