#pragma once
// A tool read exactly as the program reads it (its pre-scan, then the staging of every file, over
// the one package reader), so that no command can judge a tool otherwise than the program does.
#include <cstdint>
#include <string>
#include <vector>

#include "package/PackageReader.h"

namespace updater::toolpack {

// What a command does with the content of each staged file; nothing unless it says.
class ContentSink {
 public:
  virtual ~ContentSink() = default;
  virtual void Open(const TUpdateFileResource& /*record*/) {}
  virtual void Write(const void* /*data*/, size_t /*n*/) {}
  virtual void Close() {}
  virtual void Discard(const TUpdateFileResource& /*record*/) {}
  // The file is whole and matches its digest, when the tool carries a list.
  virtual void Staged(const TUpdateFileResource& /*record*/) {}
};

struct StagedFile {
  TUpdateFileResource record;
  uint64_t size = 0;
  std::string sha256;  // when asked for
};

struct ProgramReading {
  ToolOptions options;
  std::vector<StagedFile> files;  // the MODULE files in directory order, as far as staging went
  bool digestsChecked = false;
  // Why the program would refuse the tool (its load error text); empty when it would load it.
  std::string refused;
  std::string refusedFile;  // the file the staging was at, when it was at one
};

ProgramReading ReadAsProgram(const PackageReader& reader, ContentSink& content, bool withSha256 = false);
ProgramReading ReadAsProgram(const PackageReader& reader, bool withSha256 = false);

}  // namespace updater::toolpack
