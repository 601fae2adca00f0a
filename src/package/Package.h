#pragma once
// Reading an update tool's package: the pre-scan of its options and the extraction of its files.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/RunState.h"
#include "package/PackageFormat.h"
#include "platform/Clock.h"

namespace updater {

class TResourceDetails;
class BackgroundSha256;

// What the pre-scan found in one tool's package.
struct ToolOptions {
  bool hidden = false;         // HIDDEN=1
  bool openDocuments = true;   // not NOTEXECMANUAL=1
  bool autoRunDataTool = false;  // AUTOEXECTETBL=1
  std::optional<std::string> prevTool;  // "VEROZ" + number + ".exe"
  std::string dataTool;        // the package's VEROZ data tool, when it carries one
  std::string document;        // the package's document, when it carries one
  std::vector<std::string> exes, dlls;  // lower-case program and library names, each once
};

// Pre-scan of one tool: run options, prerequisite, data tool, document and the package's program
// names. tool08 selects the history file, where a prerequisite is recorded at once.
ToolOptions ScanToolOptions(const std::string& toolPath, const std::string& outputFolder, bool tool08, Clock& clock);
// Adds one tool's options to the run-wide lists and flags; the first tool starts the merge afresh.
void MergeToolOptions(RunState& run, const std::string& toolPath, const ToolOptions& options, bool firstTool);

// The tool's staging folder, made (with the manual update folder) when missing.
std::string CreateStagingFolder(const std::string& toolPath);

// Writes every MODULE of the tool into the staging folder and appends its parsed name to
// resources; a staged prerequisite takes its name's place in prevTools. currentFile tells what it
// is doing, for the load error line. When the package carries a digest list, a file not in it, a
// file whose content differs from its digest, or a listed file the package lacks is a damaged
// resource, found before any process is ended or client file touched.
void ExtractPackage(const std::string& toolPath, const std::string& stagingFolder, StringList& prevTools,
                    std::vector<TUpdateFileResource>& resources, std::string& currentFile);

// Inflates a zlib resource into a new file (replacing one of that name) in 4096-byte blocks, and
// into the hash when one is given.
void InflateToFile(const TResourceDetails& resource, const std::string& path, BackgroundSha256* hash = nullptr);

}  // namespace updater
