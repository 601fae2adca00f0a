#pragma once
// The package builder and inspector: makes update tools from UpdateTool.exe and reads the
// package of any update tool. One file per command (Build, List, Check, Extract, Diff, Plan); every
// one reads a tool through the program's own reader (ProgramReading over PackageReader).
#include <cstdint>
#include <iosfwd>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "package/PackageFormat.h"

namespace updater::toolpack {

// An error for the one-line message "toolpack: <file>: <what>".
class Error : public std::runtime_error {
 public:
  Error(std::string file, const std::string& what) : std::runtime_error(what), file_(std::move(file)) {}
  const std::string& File() const { return file_; }

 private:
  std::string file_;
};

struct ManifestFile {
  std::string source;  // path as given, relative to the manifest's folder
  TUpdateFileResource fields;  // FileName from the source; Version filled when building
  bool zlib = true;
};

struct Manifest {
  std::vector<ManifestFile> files;
  UpdateOptions options;
  bool anyOption = false;
  std::optional<std::string> prevTool;  // number of the prerequisite data tool
};

// Text format:
//   [options]  HIDDEN=1, NOTEXECMANUAL=1, AUTOEXECTETBL=1, PREVTOOL=5521
//   [files]    source | copy type | base kind | sub-folder index | folder | zlib or plain [| required folder]
// Blank lines and lines starting with # are ignored.
Manifest ParseManifest(const std::string& text, const std::string& manifestPath);

// Version field of a file: its version resource's text by the tool's rule; "0.0.0.0" for files
// without one (and for files that are no PE32 image).
std::string FileVersionOf(const std::vector<unsigned char>& bytes);
std::string FileVersionOfFile(const std::string& path);

// The largest update tool the program can load: the loader maps the whole image at the program's
// base address (4 MB) into one stretch of free address space below the system DLLs, which Wine
// places at 1968 MB. Under Wine with native 32-bit support a 1950 MB tool was seen to start and a
// 2000 MB one not. (Under qemu's user-mode emulator its own mappings start at 1 GB: there a
// 1010 MB tool starts and a 1024 MB one does not.)
inline constexpr uint64_t kLargestLoadableTool = 1900ull * 1024 * 1024;
// A file stored plain above this size is worth a warning when it compresses.
inline constexpr uint64_t kPlainWarningSize = 64ull * 1024 * 1024;

// Builds the update tool; writes it in one step (a failure leaves nothing behind).
void Build(const std::string& imagePath, const std::string& manifestPath, const std::string& outPath, std::ostream& out);
// The image with a digest list of every resource it holds (any earlier list replaced): for tools
// put together by hand, in tests and benchmarks.
std::vector<unsigned char> WithDigestList(const std::vector<unsigned char>& image);
void List(const std::string& toolPath, std::ostream& out, bool json = false);
// True when the program would load the tool as it is (its pre-scan and staging, digests and all)
// and nothing of it would deploy otherwise than meant (names, languages, fields); problems are printed.
bool Check(const std::string& toolPath, std::ostream& out, bool json = false);
void Extract(const std::string& toolPath, const std::string& folder, std::ostream& out);
// What changed from one tool to another: files added and removed, content (as the program stages
// it), version and fields of each file, and the run options. One line each, or a JSON array.
// Answers the number of changes.
size_t Diff(const std::string& oldPath, const std::string& newPath, std::ostream& out, bool json);

struct LogOptions {
  bool json = false, errorsOnly = false, verbose = false;
};
// The runs of the program's run logs (files, or Log folders): how each started, what each tool did,
// what failed and what was put back. Answers the number of runs with a failure. Without a path, on
// Windows: the install root's Log folder.
size_t Log(std::vector<std::string> paths, std::ostream& out, const LogOptions& options);

}  // namespace updater::toolpack
