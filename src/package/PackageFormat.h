#pragma once
// The update package inside an update tool: resource names, name classes and option payloads. Pure.
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "core/TargetRules.h"

namespace updater {

inline constexpr std::string_view kModuleType = "MODULE";
inline constexpr std::string_view kPrevToolType = "PREVTOOL";
inline constexpr std::string_view kUpdateConfigType = "UPDATECONFIG";
inline constexpr uint32_t kPackageLanguage = 1042;
// The package's digest list: a resource of its own type, so a reader that knows only the types
// above passes it by, and a tool without it is read as before.
inline constexpr std::string_view kDigestType = "PACKAGEDIGEST";
inline constexpr std::string_view kDigestName = "SHA256";
inline constexpr char kNameSeparator = '\b';

// One parsed package resource name.
struct TUpdateFileResource {
  std::string ResourceType;
  std::string FileName;
  std::string Version;
  uint8_t CopyType = 0;
  uint8_t BaseKind = 0;
  int32_t SubFolderIndex = 0;
  std::string FolderText;
  std::string RequiredFolder;
  uint8_t StoredPlain = 0;
};

// The fields of a name; fewer than 7 means the resource is not part of the package.
std::vector<std::string> SplitResourceName(std::string_view name);
// Parses fields 1..8 of a name that has at least 7; throws std::invalid_argument when a numeric
// field is not an integer. An 8-bit field keeps the low 8 bits of its value.
TUpdateFileResource ParseResourceName(std::string_view type, const std::vector<std::string>& fields);
// Builds a name from its fields (each followed by the separator).
std::string MakeResourceName(const TUpdateFileResource& r);
// The fields of a record that decide where its file goes.
inline ItemPlace PlaceOf(const TUpdateFileResource& r) { return {r.FileName, r.BaseKind, r.SubFolderIndex, r.FolderText, r.CopyType}; }

enum class NameClass { None, Dll, Exe };
NameClass ClassifyPackageName(std::string_view fileName);    // ".mht", ".pdf", ".config" give none
NameClass ClassifyStagedFileName(std::string_view fileName);  // also ".ocx" gives none
// "VEROZ" (any case) and four characters that pass the is-numeric test, up to the first dot.
bool IsDataToolName(std::string_view fileName);
inline bool IsDocumentIndex(int32_t subFolderIndex) { return subFolderIndex == 12 || subFolderIndex == 23; }
// Why a file name from a package cannot be written as it stands, or nothing: separators, a drive
// colon, "." or "..", characters Windows refuses, a trailing dot or blank (Windows strips it, so the
// written file would match no record) or a device name such as NUL or COM1.
std::optional<std::string> FileNameDamage(std::string_view fileName);
// Why a MODULE entry's place would leave the client folders, or nothing. Base kind 1: a sub-folder
// index inside the table, and with index 0 a relative folder without "..", drive or colon. Base
// kind 0: an absolute folder (drive and backslash, or UNC) without "..". Judged with blanks
// removed, as the target paths are built.
std::optional<std::string> PlaceDamage(const TUpdateFileResource& r);
// What the program's load refuses in an entry: its file name, and for a MODULE its place.
std::optional<std::string> EntryDamage(const TUpdateFileResource& r, bool module);
// A copy type outside 0 to 10 or a base kind other than 0 and 1. The program deploys such an entry
// as a plain copy to the Exe folder (and says so); toolpack refuses to build or pass it.
inline constexpr uint8_t kHighestCopyType = 10;
std::optional<std::string> UnknownFieldDamage(const TUpdateFileResource& r);

// A folder column that says something the program would not do: with base kind 1 and a table index,
// a folder text other than that entry (the program takes the entry), and ".." in any folder
// column. The program deploys by the table as always; toolpack refuses to build or pass it.
std::optional<std::string> MeaninglessFolder(const TUpdateFileResource& r);

// The run log's name of a copy type; empty outside 0 to 10.
std::string CopyTypeName(uint8_t copyType);

// What a file's copy type asks for once it is deployed: a RunOnce value (types 2 and 3), or the
// file opened with the shell (types 1, 4, 6, 9, 10), for types 9 and 10 only when a condition of
// the PC holds then. Nothing for the other types.
struct AfterDeploy {
  enum class Kind { None, RunOnce, Open } kind = Kind::None;
  std::string command;  // RunOnce: the value written; Open: the parameters
  enum class Condition { Always, RequiredFolder, PostgreSql } condition = Condition::Always;
};
AfterDeploy AfterDeployOf(uint8_t copyType, const std::string& targetPath);
// The folders of which one must exist for a type 9 file to be opened: the required folder as
// written and below the install root; none when it is blank.
std::vector<std::string> RequiredFolders(const std::string& requiredFolder, const std::string& installRoot);

struct UpdateOptions {
  bool Hidden = false;        // HIDDEN=1
  bool NotExecManual = false; // NOTEXECMANUAL=1
  bool AutoExecTetbl = false; // AUTOEXECTETBL=1
};
// Name=Value lines; a key counts only when its value is exactly "1".
UpdateOptions ParseUpdateConfig(std::string_view text);
std::vector<std::string> TextLines(std::string_view text);
// Line 1 of a PREVTOOL payload when it is non-empty and numeric; throws std::runtime_error when
// the text has no line at all.
std::optional<std::string> PrevToolNumber(std::string_view text);

// The digest list covers every resource of the tool but itself: one line each,
// "<SHA-256 of the data as stored, 64 lower-case hex digits>  <language>  <type>  <name>", type and
// name UTF-8 with every byte up to the blank, "%" and DEL written as %XX. So a changed field (the
// name), payload, language or type, and an added or removed resource, all differ from the list.
struct ResourceDigest {
  std::string sha256;
  uint32_t language = 0;
  std::string type, name;
};
std::string MakeDigestList(const std::vector<ResourceDigest>& resources);
// Throws std::runtime_error on a line that is not of that form and on a resource listed twice.
std::vector<ResourceDigest> ParseDigestList(std::string_view text);
// A resource as messages name it: type, name (separators shown as "|") and language.
std::string ResourcePlace(std::string_view type, std::string_view name, uint32_t language);
// A resource name with its separators shown as "|".
std::string PrintableName(std::string_view name);
// Two file names that Windows takes for one: equal when folded to upper case as its file systems
// fold them (ASCII, Latin-1, Latin Extended-A, Greek, Cyrillic, full-width Latin).
bool SameFileName(std::string_view a, std::string_view b);
std::string FoldedFileName(std::string_view name);

}  // namespace updater
