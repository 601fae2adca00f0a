#pragma once
// What every command reads of a tool: its resources, each with its parsed package name (or why
// it does not parse), and the small helpers of paths and names they share.
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "Toolpack.h"
#include "package/Inflate.h"
#include "package/PackageFormat.h"
#include "package/pe/PEFile.h"

namespace updater::toolpack {

// Paths as UTF-8 text, whatever the system's code page.
std::filesystem::path Path(const std::string& utf8);
std::string Utf8(const std::filesystem::path& p);

struct PackageEntry {
  const TResourceDetails* resource;
  std::optional<TUpdateFileResource> fields;  // none when the name has fewer than 7 fields or does not parse
  std::string error;                          // why it does not parse
};
std::vector<PackageEntry> Entries(const TPEResourceModule& m);

bool IsPackageType(const std::string& type);
// A resource name with its separators shown as "|".
std::string Printable(const std::string& name);
// The inflated size of a zlib resource; throws when it does not inflate.
uint64_t InflatedSize(const TResourceDetails& r);
// The content the program stages from a file of the package (inflated, or as stored), block by
// block; answers its size and throws when it does not inflate.
uint64_t ReadStaged(const TResourceDetails& r, bool plain, const OutputSink& sink);
struct StagedDigest {
  std::string sha256;
  uint64_t size = 0;
};
StagedDigest DigestOfStaged(const TResourceDetails& r, bool plain);
// The package's digest list; nothing when the tool carries none; Error when it does not read.
std::optional<std::vector<FileDigest>> DigestListOf(const TPEResourceModule& m, const std::string& toolPath);

// What the program's pre-scan takes from a package besides its files: the run options, the
// prerequisite, the data tool and the document (the last of each in the package).
struct PackageSummary {
  UpdateOptions options;
  std::optional<std::string> prevTool;  // the number in PREVTOOL
  std::string dataTool, document;
};
PackageSummary Summarize(const std::vector<PackageEntry>& entries);

// A JSON string literal of UTF-8 text.
std::string Json(const std::string& text);

// A small file whole (an image, a manifest).
std::vector<unsigned char> ReadBinary(const std::string& path);

}  // namespace updater::toolpack
