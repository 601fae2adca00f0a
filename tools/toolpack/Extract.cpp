// toolpack extract: exactly the files the program would stage, and nothing of a tool it refuses.
#include <memory>
#include <ostream>

#include "OutputFile.h"
#include "ProgramReading.h"
#include "Toolpack.h"
#include "ToolpackIo.h"

namespace updater::toolpack {
namespace fs = std::filesystem;

namespace {

// A file is committed once its content matched its digest; one that did not is never written.
class ToFolder final : public ContentSink {
 public:
  ToFolder(const std::string& folder, std::ostream& out) : folder_(folder), out_(out) {}
  void Open(const TUpdateFileResource& record) override {
    target_ = Utf8(Path(folder_) / Path(record.FileName));
    file_ = std::make_unique<OutputFile>(target_);
  }
  void Write(const void* data, size_t n) override { file_->Append(data, n); }
  void Discard(const TUpdateFileResource&) override { file_.reset(); }
  void Staged(const TUpdateFileResource&) override {
    file_->Commit();
    out_ << target_ << " (" << file_->Size() << " bytes)\n";
    file_.reset();
  }

 private:
  const std::string& folder_;
  std::ostream& out_;
  std::string target_;
  std::unique_ptr<OutputFile> file_;
};

}  // namespace

void Extract(const std::string& toolPath, const std::string& folder, std::ostream& out) {
  const TPEResourceModule m(toolPath);
  fs::create_directories(Path(folder));
  ToFolder sink(folder, out);
  const ProgramReading reading = ReadAsProgram(PackageReader(m), sink, true);
  if (!reading.refused.empty()) throw Error(toolPath, "the program would refuse this tool: " + reading.refused);
  // Beside the files, their digests as sha256sum -c reads them.
  std::string sums;
  for (const StagedFile& f : reading.files) sums += f.sha256 + "  " + f.record.FileName + "\n";
  OutputFile list(Utf8(Path(folder) / "SHA256SUMS"));
  list.Append(sums.data(), sums.size());
  list.Commit();
  out << Utf8(Path(folder) / "SHA256SUMS") << " (SHA-256 of " << reading.files.size() << (reading.files.size() == 1 ? " file)\n" : " files)\n");
}

}  // namespace updater::toolpack
