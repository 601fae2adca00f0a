#pragma once
// The program's steps over a tool's package: the pre-scan of its options into the run-wide lists,
// the staging folder, and the extraction of its files into it.
#include <string>
#include <vector>

#include "core/RunState.h"
#include "package/PackageReader.h"
#include "platform/Clock.h"

namespace updater {

// Pre-scan of one tool: run options, prerequisite, data tool, document and the package's program
// names. tool08 selects the history file, where a prerequisite is recorded at once.
ToolOptions ScanToolOptions(const std::string& toolPath, const std::string& outputFolder, bool tool08, Clock& clock);
// Adds one tool's options to the run-wide lists and flags; the first tool starts the merge afresh.
void MergeToolOptions(RunState& run, const std::string& toolPath, const ToolOptions& options, bool firstTool);

// The tool's staging folder, made (with the manual update folder) when missing.
std::string CreateStagingFolder(const std::string& toolPath);

// Writes every MODULE of the tool into the staging folder and appends its parsed name to
// resources; a staged prerequisite takes its name's place in prevTools. currentFile tells what it
// is doing, for the load error line. A damaged package (PackageReader::Stage) is found before any
// process is ended or client file touched.
void ExtractPackage(const std::string& toolPath, const std::string& stagingFolder, StringList& prevTools,
                    std::vector<TUpdateFileResource>& resources, std::string& currentFile);

}  // namespace updater
