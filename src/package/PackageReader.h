#pragma once
// The one reading of an update tool's package, shared by the program and every toolpack command:
// the entries with their parsed names, the digest list, the pre-scan of the run options and the
// staging of the files with the damage checks. What one of them accepts, all accept. No OS.
#include <cstdint>
#include <map>
#include <optional>
#include <tuple>
#include <stdexcept>
#include <string>
#include <vector>

#include "package/Inflate.h"
#include "package/PackageFormat.h"
#include "package/pe/PEFile.h"

namespace updater {

// A package the program refuses: "Damaged resource: <what> "<file>"".
class DamagedResource : public std::runtime_error {
 public:
  DamagedResource(const std::string& what, const std::string& fileName);
};

// One resource of the tool as listed, with its parsed name when it has at least 7 fields.
struct PackageEntry {
  const TResourceDetails* resource = nullptr;
  size_t index = 0;                           // place in the resource directory, 0-based
  std::optional<TUpdateFileResource> fields;  // none: fewer than 7 fields, or a field that does not parse
  std::string error;                          // why a name of 7 or more fields does not parse
  bool Module() const { return fields && resource->Type() == kModuleType; }  // extracted: exact type
};

// What the pre-scan finds in one tool's package.
struct ToolOptions {
  bool hidden = false;           // HIDDEN=1
  bool openDocuments = true;     // not NOTEXECMANUAL=1
  bool autoRunDataTool = false;  // AUTOEXECTETBL=1
  std::optional<std::string> prevTool;  // "VEROZ" + number + ".exe"
  std::string dataTool;          // the package's VEROZ data tool (the last one met)
  std::string document;          // the package's document (the last one met)
  std::vector<std::string> exes, dlls;  // lower-case program and library names, each once
};

// What the pre-scan's reader of a package does beside reading it.
class ScanEvents {
 public:
  virtual ~ScanEvents() = default;
  // The text of a control resource (PREVTOOL, UPDATECONFIG), as the program reads it back from the
  // file it wrote.
  virtual std::string ControlText(const TUpdateFileResource& record, const TResourceDetails& payload) = 0;
  // The control resource's text is taken in (or failed to be): whatever was written for it goes.
  virtual void ControlDone(const TUpdateFileResource& /*record*/) {}
  virtual void PrevToolFound(const std::string& /*fileName*/) {}
  virtual void OptionsFound(const ToolOptions& /*options*/) {}
};

// What the staging of a package does with each file's content.
class StagingSink {
 public:
  virtual ~StagingSink() = default;
  // What the staging is doing now ("Main.dll_DecompressFiles"; empty between files), for the load
  // error line.
  virtual void Doing(const std::string& /*currentFile*/) {}
  // A file passed the checks of its entry and is about to be read.
  virtual void Begin(const TUpdateFileResource& /*record*/) {}
  virtual void Open(const TUpdateFileResource& record) = 0;
  virtual void Write(const void* data, size_t n) = 0;
  virtual void Close() = 0;
  // The content differs from its digest: what was written must not stay.
  virtual void Discard(const TUpdateFileResource& /*record*/) {}
  // The file is staged whole (and matches its digest, when the package carries a list).
  virtual void Staged(const PackageEntry& /*entry*/) {}
};

class PackageReader {
 public:
  explicit PackageReader(const TPEResourceModule& module);
  const TPEResourceModule& Module() const { return module_; }
  // Every resource of the image, in directory order.
  const std::vector<PackageEntry>& Entries() const { return entries_; }

  // The resource a listed entry's data is read from (the package's language, else language 0);
  // throws when there is none.
  const TResourceDetails& Payload(const PackageEntry& entry) const;
  // The package's digest list; none when it carries none; DamagedResource when it does not read.
  std::optional<std::vector<ResourceDigest>> Digests() const;

  // The pre-scan: run options, prerequisite, data tool, document and the names of the package's
  // programs, in directory order. First, when the tool carries a digest list, the whole resource
  // directory is held to it (every resource but the list, once, and the data of each that is not a
  // MODULE). Throws at the first difference, the first entry that does not parse, a payload that
  // cannot be found or read, and a control entry whose name could leave its folder.
  ToolOptions Scan(ScanEvents& events) const;
  // Stages every MODULE in directory order through the sink: the directory held to the digest list
  // as the pre-scan holds it, then an entry whose name or place is damaged, a second file that
  // Windows would take for the same name, and a payload whose data differs from its digest throw
  // DamagedResource; a payload that does not inflate throws InflateError. Answers the number of
  // files staged; digestsChecked tells whether a list held them.
  size_t Stage(StagingSink& sink, bool* digestsChecked = nullptr) const;

 private:
  using Key = std::tuple<std::string, std::string, uint32_t>;  // type, name, language
  using DigestMap = std::map<Key, std::string>;
  // The digest list by resource; none without a list. Holds the directory to it (see Scan).
  std::optional<DigestMap> VerifiedDigests() const;
  static Key KeyOf(const TResourceDetails& r) { return {r.Type(), r.Name(), r.Language()}; }

  const TPEResourceModule& module_;
  std::vector<PackageEntry> entries_;
  std::map<Key, const TResourceDetails*> byKey_;  // the first resource of each type, name and language
};

// Whether the pre-scan takes a resource's payload: PREVTOOL or UPDATECONFIG, in any case.
bool IsControlType(const std::string& type);
// MODULE, PREVTOOL or UPDATECONFIG, in any case.
bool IsPackageType(const std::string& type);
// The content the program stages from a payload (inflated, or as stored), block by block;
// answers its size and throws when it does not inflate.
uint64_t ReadStaged(const TResourceDetails& payload, bool plain, const OutputSink& sink);

}  // namespace updater
