#pragma once
// Reading an update tool's package: the pre-scan of its options and the extraction of its files.
#include <string>
#include <string_view>
#include <vector>

#include "package/PackageFormat.h"
#include "platform/Clock.h"

namespace updater {

class TResourceDetails;

// Pre-scan of one tool: run options, prerequisite, data tool, document and the package's program
// names, into the run-wide lists and flags. firstTool starts the option merge afresh. tool08
// selects the history file.
void ScanToolOptions(const std::string& toolPath, const std::string& outputFolder, bool firstTool, bool tool08, Clock& clock);

// The tool's staging folder, made (with the manual update folder) when missing.
std::string CreateStagingFolder(const std::string& toolPath);

// Writes every MODULE of the tool into the staging folder and appends its parsed name to
// resources; currentFile tells what it is doing, for the load error line.
void ExtractPackage(const std::string& toolPath, const std::string& stagingFolder, std::vector<TUpdateFileResource>& resources,
                    std::string& currentFile);

// Inflates a zlib resource into a new file (replacing one of that name) in 4096-byte blocks.
void InflateToFile(const TResourceDetails& resource, const std::string& path);

}  // namespace updater
