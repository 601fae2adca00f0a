#include "package/PackageFormat.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <set>
#include <tuple>

#include "core/TargetRules.h"
#include "core/PathText.h"

namespace updater {
namespace {

int64_t ToInteger(const std::string& field) {
  // Decimal integer, an optional sign, nothing else (blanks around it are tolerated).
  const std::string t = Trim(field);
  int64_t v = 0;
  const char* b = t.data();
  const char* e = t.data() + t.size();
  if (b != e && *b == '+') ++b;
  const auto [ptr, ec] = std::from_chars(b, e, v);
  if (t.empty() || ec != std::errc() || ptr != e || v < INT32_MIN || v > INT32_MAX)
    throw std::invalid_argument("'" + field + "' is not a valid integer value");
  return v;
}

}  // namespace

std::vector<std::string> SplitResourceName(std::string_view name) {
  return SplitListKeepEmpty(name, std::string_view(&kNameSeparator, 1));
}

TUpdateFileResource ParseResourceName(std::string_view type, const std::vector<std::string>& f) {
  if (f.size() < 7) throw std::invalid_argument("a package name needs 7 fields");
  TUpdateFileResource r;
  r.ResourceType = std::string(type);
  r.FileName = f[0];
  r.Version = f[1];
  r.CopyType = static_cast<uint8_t>(ToInteger(f[2]) & 0xFF);
  r.BaseKind = static_cast<uint8_t>(ToInteger(f[3]) & 0xFF);
  r.SubFolderIndex = static_cast<int32_t>(ToInteger(f[4]));
  r.FolderText = f[5];
  r.StoredPlain = static_cast<uint8_t>(ToInteger(f[6]) & 0xFF);
  r.RequiredFolder = f.size() > 7 ? f[7] : std::string{};
  return r;
}

std::string MakeResourceName(const TUpdateFileResource& r) {
  std::string name;
  auto add = [&](const std::string& field) { name += field + kNameSeparator; };
  add(r.FileName);
  add(r.Version);
  add(std::to_string(r.CopyType));
  add(std::to_string(r.BaseKind));
  add(std::to_string(r.SubFolderIndex));
  add(r.FolderText);
  add(std::to_string(r.StoredPlain));
  if (!r.RequiredFolder.empty()) add(r.RequiredFolder);
  return name;
}

NameClass ClassifyPackageName(std::string_view fileName) {
  const std::string n = ToLowerAscii(fileName);
  for (const char* none : {".mht", ".pdf", ".config"})
    if (n.find(none) != std::string::npos) return NameClass::None;
  if (n.find(".dll") != std::string::npos) return NameClass::Dll;
  if (n.find(".exe") != std::string::npos) return NameClass::Exe;
  return NameClass::None;
}

NameClass ClassifyStagedFileName(std::string_view fileName) {
  if (ToLowerAscii(fileName).find(".ocx") != std::string::npos) return NameClass::None;
  return ClassifyPackageName(fileName);
}

bool IsDataToolName(std::string_view fileName) {
  const std::string base = BaseName(fileName);
  if (base.size() != 9 || !StartsWithIgnoreCase(base, "VEROZ")) return false;
  return IsNumeric(std::string_view(base).substr(5));
}

std::optional<std::string> FileNameDamage(std::string_view n) {
  if (n.empty() || n == "." || n == "..") return "unsafe file name";
  for (unsigned char c : n)
    if (c < 32 || std::string_view("\\/:<>\"|?*").find(static_cast<char>(c)) != std::string_view::npos)
      return "unsafe file name";
  if (n.back() == '.' || n.back() == ' ') return "file name ending in a dot or a blank";
  std::string device = ToUpperAscii(Trim(n.substr(0, n.find('.'))));
  static constexpr std::string_view kDevices[] = {"CON", "PRN", "AUX", "NUL"};
  const bool numbered = device.size() == 4 && (device.starts_with("COM") || device.starts_with("LPT")) && device[3] >= '1' &&
                        device[3] <= '9';
  if (numbered || std::find(std::begin(kDevices), std::end(kDevices), device) != std::end(kDevices)) return "device name";
  return std::nullopt;
}

namespace {

std::string WithoutBlanks(std::string_view text) {
  std::string out;
  for (char c : text)
    if (c != ' ') out.push_back(c);
  return out;
}

bool HasParentSegment(std::string_view folder) {
  for (size_t start = 0; start <= folder.size();) {
    const size_t end = std::min(folder.find_first_of("\\/", start), folder.size());
    if (folder.substr(start, end - start) == "..") return true;
    start = end + 1;
  }
  return false;
}

// A segment the file system would not keep as written ("...", "a."): a target there is written
// elsewhere or not at all, so such a folder is a damaged entry, as such a file name is.
bool HasDotSegment(std::string_view folder) {
  for (size_t start = 0; start <= folder.size();) {
    const size_t end = std::min(folder.find_first_of("\\/", start), folder.size());
    const std::string_view segment = folder.substr(start, end - start);
    if (!segment.empty() && segment.back() == '.') return true;
    start = end + 1;
  }
  return false;
}

bool IsAbsoluteFolder(std::string_view f) {
  const bool drive = f.size() >= 3 && std::isalpha(static_cast<unsigned char>(f[0])) && f[1] == ':' && (f[2] == '\\' || f[2] == '/');
  const bool unc = f.size() > 2 && f.substr(0, 2) == "\\\\" && f[2] != '\\' && f[2] != '?' && f[2] != '.';
  return (drive && f.find(':', 2) == std::string_view::npos) || (unc && f.find(':') == std::string_view::npos);
}

}  // namespace

std::optional<std::string> PlaceDamage(const TUpdateFileResource& r) {
  const std::string folder = WithoutBlanks(r.FolderText);
  switch (r.BaseKind) {
    case 0:
      if (!IsAbsoluteFolder(folder) || HasParentSegment(folder)) return "folder \"" + r.FolderText + "\" is not an absolute folder";
      if (HasDotSegment(folder)) return "folder \"" + r.FolderText + "\" has a segment ending in a dot";
      return std::nullopt;
    case 1:
      if (r.SubFolderIndex < 0 || r.SubFolderIndex >= kSubFolderCount)
        return "sub-folder index " + std::to_string(r.SubFolderIndex) + " outside the table";
      if (r.SubFolderIndex == 0 && (folder.find(':') != std::string::npos || folder.starts_with('\\') ||
                                    folder.starts_with('/') || HasParentSegment(folder)))
        return "folder \"" + r.FolderText + "\" leaves the install root";
      if (r.SubFolderIndex == 0 && HasDotSegment(folder)) return "folder \"" + r.FolderText + "\" has a segment ending in a dot";
      return std::nullopt;
    default:
      return std::nullopt;
  }
}

std::optional<std::string> EntryDamage(const TUpdateFileResource& r, bool module) {
  std::optional<std::string> damage = FileNameDamage(r.FileName);
  if (!damage && module) damage = PlaceDamage(r);
  return damage;
}

std::optional<std::string> MeaninglessFolder(const TUpdateFileResource& r) {
  for (const std::string& folder : {r.FolderText, r.RequiredFolder})
    if (HasParentSegment(WithoutBlanks(folder))) return "folder \"" + folder + "\" has a \"..\" segment";
  if (r.BaseKind == 1 && r.SubFolderIndex > 0 && r.SubFolderIndex < kSubFolderCount) {
    const std::string given = WithoutTrailingBackslash(WithoutBlanks(r.FolderText));
    const std::string entry(SubFolderEntry(r.SubFolderIndex));
    if (!given.empty() && !EqualsIgnoreCase(given, WithoutBlanks(entry)))
      return "folder \"" + r.FolderText + "\" is not the folder of index " + std::to_string(r.SubFolderIndex) + " (\"" + entry +
             "\"), which the program takes";
  }
  return std::nullopt;
}

std::optional<std::string> UnknownFieldDamage(const TUpdateFileResource& r) {
  if (r.CopyType > kHighestCopyType) return "unknown copy type " + std::to_string(r.CopyType);
  if (r.BaseKind != 0 && r.BaseKind != 1) return "unknown base kind " + std::to_string(r.BaseKind);
  return std::nullopt;
}

namespace {

constexpr std::array<const char*, 11> kCopyTypeNames = {
    "복사", "복사&바로실행", "복사&시작등록(RunOnce)", "복사&설치시작등록(InstallRunOnce,Silent)", "복사&바로실행(Silent)",
    "폴더존재시복사", "폴더존재시복사&바로실행(Silent)", "복사(강제덮어쓰기,파일버전무시)", "복사(해당경로파일존재시)",
    "복사&특정폴더존재시바로실행(Silent)", "복사&(PostgreSQLDB만)바로실행"};
constexpr const char* kSilent = "/verysilent /norestart";

}  // namespace

std::string CopyTypeName(uint8_t copyType) { return copyType < kCopyTypeNames.size() ? kCopyTypeNames[copyType] : ""; }

AfterDeploy AfterDeployOf(uint8_t copyType, const std::string& targetPath) {
  AfterDeploy a;
  switch (copyType) {
    case 2:
    case 3: {
      a.kind = AfterDeploy::Kind::RunOnce;
      a.command = CommandPath(targetPath);
      if (copyType == 3) {
        StemAndExtension se;
        const bool msi = SplitAtLastDot(FileNamePart(targetPath), se) && se.extension == "msi";  // compared as it is written
        a.command += msi ? " /qn" : " /verysilent";
      }
      break;
    }
    case 1:
    case 4:
    case 6:
    case 9:
    case 10:
      a.kind = AfterDeploy::Kind::Open;
      a.command = copyType == 1 ? "" : kSilent;
      if (copyType == 9) a.condition = AfterDeploy::Condition::RequiredFolder;
      if (copyType == 10) a.condition = AfterDeploy::Condition::PostgreSql;
      break;
    default:
      break;
  }
  return a;
}

std::vector<std::string> RequiredFolders(const std::string& requiredFolder, const std::string& installRoot) {
  const std::string folder = Trim(requiredFolder);
  if (folder.empty()) return {};
  return {folder, installRoot + folder};
}

std::vector<std::string> TextLines(std::string_view text) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find_first_of("\r\n", start);
    if (end == std::string_view::npos) end = text.size();
    lines.emplace_back(text.substr(start, end - start));
    if (end < text.size() && text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n') ++end;
    start = end + 1;
  }
  return lines;
}

UpdateOptions ParseUpdateConfig(std::string_view text) {
  UpdateOptions o;
  // The first occurrence of a name decides, as a Name=Value list look-up does.
  bool seenHidden = false, seenManual = false, seenAuto = false;
  for (const std::string& line : TextLines(text)) {
    const auto eq = line.find('=');
    if (eq == std::string::npos) continue;
    const std::string key = ToUpperAscii(line.substr(0, eq));
    const bool one = line.substr(eq + 1) == "1";
    if (key == "HIDDEN" && !seenHidden) { o.Hidden = one; seenHidden = true; }
    else if (key == "NOTEXECMANUAL" && !seenManual) { o.NotExecManual = one; seenManual = true; }
    else if (key == "AUTOEXECTETBL" && !seenAuto) { o.AutoExecTetbl = one; seenAuto = true; }
  }
  return o;
}

std::optional<std::string> PrevToolNumber(std::string_view text) {
  const std::vector<std::string> lines = TextLines(text);
  if (lines.empty()) throw std::runtime_error("List index out of bounds (0)");
  // Digits only: the number becomes part of a program name the tool starts, and the is-numeric test
  // lets blanks, quotes, "&" and "\\" through.
  if (lines[0].empty() || !std::all_of(lines[0].begin(), lines[0].end(), [](char c) { return c >= '0' && c <= '9'; }))
    return std::nullopt;
  return lines[0];
}

namespace {

std::string EscapeField(std::string_view text) {
  static const char hex[] = "0123456789ABCDEF";
  std::string out;
  for (const char ch : text) {
    const auto c = static_cast<unsigned char>(ch);
    if (c <= 0x20 || c == '%' || c == 0x7F) {
      out += '%';
      out += hex[c >> 4];
      out += hex[c & 15];
    } else {
      out += ch;
    }
  }
  return out;
}

std::string UnescapeField(std::string_view text) {
  auto value = [](char c) -> int {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
  };
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c <= 0x20 || c == 0x7F) throw std::runtime_error("unreadable digest line");
    if (c != '%') {
      out += text[i];
      continue;
    }
    const int hi = i + 1 < text.size() ? value(text[i + 1]) : -1, lo = i + 2 < text.size() ? value(text[i + 2]) : -1;
    if (hi < 0 || lo < 0) throw std::runtime_error("unreadable digest line");
    out += static_cast<char>(hi * 16 + lo);
    i += 2;
  }
  return out;
}

// One UTF-16 code unit folded to upper case as Windows' file systems fold names.
char32_t FoldUpper(char32_t c) {
  if (c >= 'a' && c <= 'z') return c - 32;
  if ((c >= 0xE0 && c <= 0xFE && c != 0xF7)) return c - 32;
  if (c == 0xFF) return 0x178;
  if (c >= 0x100 && c <= 0x137 && (c & 1)) return c - 1;
  if (c >= 0x139 && c <= 0x148 && !(c & 1)) return c - 1;
  if (c >= 0x14A && c <= 0x177 && (c & 1)) return c - 1;
  if (c == 0x17A || c == 0x17C || c == 0x17E) return c - 1;
  if (c >= 0x3B1 && c <= 0x3C9 && c != 0x3C2) return c - 32;
  if (c >= 0x430 && c <= 0x44F) return c - 32;
  if (c >= 0x450 && c <= 0x45F) return c - 80;
  if (c >= 0xFF41 && c <= 0xFF5A) return c - 32;
  return c;
}

}  // namespace

std::string MakeDigestList(const std::vector<ResourceDigest>& resources) {
  std::string text;
  for (const ResourceDigest& r : resources)
    text += r.sha256 + "  " + std::to_string(r.language) + "  " + EscapeField(r.type) + "  " + EscapeField(r.name) + "\n";
  return text;
}

std::vector<ResourceDigest> ParseDigestList(std::string_view text) {
  std::vector<ResourceDigest> list;
  std::set<std::tuple<std::string, std::string, uint32_t>> seen;
  for (const std::string& line : TextLines(text)) {
    if (line.empty()) continue;
    const auto bad = [&] { return std::runtime_error("unreadable digest line \"" + line.substr(0, 80) + "\""); };
    const bool hex = line.size() > 66 && std::all_of(line.begin(), line.begin() + 64, [](char c) {
      return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f');
    });
    if (!hex || line.compare(64, 2, "  ") != 0) throw bad();
    const size_t afterLanguage = line.find("  ", 66), afterType = afterLanguage == std::string::npos ? afterLanguage : line.find("  ", afterLanguage + 2);
    if (afterType == std::string::npos) throw bad();
    const std::string language = line.substr(66, afterLanguage - 66);
    ResourceDigest d;
    d.sha256 = line.substr(0, 64);
    const auto [end, ec] = std::from_chars(language.data(), language.data() + language.size(), d.language);
    if (language.empty() || ec != std::errc() || end != language.data() + language.size()) throw bad();
    try {
      d.type = UnescapeField(std::string_view(line).substr(afterLanguage + 2, afterType - afterLanguage - 2));
      d.name = UnescapeField(std::string_view(line).substr(afterType + 2));
    } catch (const std::runtime_error&) {
      throw bad();
    }
    if (d.type.empty() || d.name.empty()) throw bad();
    if (!seen.emplace(d.type, d.name, d.language).second)
      throw std::runtime_error(ResourcePlace(d.type, d.name, d.language) + " listed twice in the digest list");
    list.push_back(std::move(d));
  }
  return list;
}

std::string PrintableName(std::string_view name) {
  std::string out;
  for (char c : name) out += c == kNameSeparator ? '|' : c;
  return out;
}

std::string ResourcePlace(std::string_view type, std::string_view name, uint32_t language) {
  return std::string(type) + " " + PrintableName(name) + " (language " + std::to_string(language) + ")";
}

std::string FoldedFileName(std::string_view name) {
  std::string out;
  for (size_t i = 0; i < name.size();) {
    const auto c = static_cast<unsigned char>(name[i]);
    const size_t n = c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
    if (n == 1 || i + n > name.size()) {
      out += static_cast<char>(FoldUpper(c));
      ++i;
      continue;
    }
    char32_t cp = n == 2 ? c & 0x1F : n == 3 ? c & 0x0F : c & 0x07;
    for (size_t k = 1; k < n; ++k) cp = (cp << 6) | (static_cast<unsigned char>(name[i + k]) & 0x3F);
    cp = FoldUpper(cp);
    if (cp < 0x80) out += static_cast<char>(cp);
    else if (cp < 0x800) out += {static_cast<char>(0xC0 | (cp >> 6)), static_cast<char>(0x80 | (cp & 0x3F))};
    else if (cp < 0x10000)
      out += {static_cast<char>(0xE0 | (cp >> 12)), static_cast<char>(0x80 | ((cp >> 6) & 0x3F)), static_cast<char>(0x80 | (cp & 0x3F))};
    else
      out += {static_cast<char>(0xF0 | (cp >> 18)), static_cast<char>(0x80 | ((cp >> 12) & 0x3F)),
              static_cast<char>(0x80 | ((cp >> 6) & 0x3F)), static_cast<char>(0x80 | (cp & 0x3F))};
    i += n;
  }
  return out;
}

bool SameFileName(std::string_view a, std::string_view b) { return FoldedFileName(a) == FoldedFileName(b); }

}  // namespace updater
