#pragma once
// Path and text functions shared by every part of the tool. Pure: no operating system calls.
// Texts are UTF-8; byte-counted cuts work on code page bytes (see CutToBytes).
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace updater {

// Deletes every blank first when removeBlanks; appends a backslash unless present. Empty stays empty.
std::string WithTrailingBackslash(std::string_view text, bool removeBlanks = true);
std::string WithoutTrailingBackslash(std::string_view text);

struct FolderAndName { std::string folder, name; };  // folder keeps its backslash
bool SplitAtLastBackslash(std::string_view text, FolderAndName& out);
struct StemAndExtension { std::string stem, extension; };  // neither holds the dot
bool SplitAtLastDot(std::string_view text, StemAndExtension& out);

// File name part of a path cut at its first dot: "C:\x\Report.App.exe" gives "Report".
std::string BaseName(std::string_view path);
// File name part of a path (after the last backslash or slash).
std::string FileNamePart(std::string_view path);

std::string DigitsAndDotsOnly(std::string_view text);
std::string DigitsOnly(std::string_view text);
std::string ZeroPadded(int64_t value, int width);

// A message format filled in one pass: each "%s" takes the next value, "%1" to "%9" the value of
// that number; a value is never read as a placeholder itself. Placeholders without a value stay.
std::string FillFormat(std::string_view format, const std::vector<std::string>& values);

struct NumberFormat {
  std::string thousands = ",";
  std::string decimal = ".";
};
std::string GroupedInteger(int64_t value, const NumberFormat& fmt);
// Reads text as a number; text that is no number gives "0" with the decimals.
std::string GroupedDecimal(std::string_view text, int decimals, const NumberFormat& fmt);

// At least one digit and no letter; other characters are ignored. Non-ASCII characters count as letters.
bool IsNumeric(std::string_view text);
// A program's path as it stands in a command line: in double quotes when it holds a blank, so that
// "D:\CVL2000\Exe\Cvl Setup.exe" is not run as Exe\Cvl.exe with the argument "Setup.exe"; as it is
// otherwise (and when it is quoted already).
std::string CommandPath(std::string_view path);
// Four decimal numbers of 0 to 255 joined by dots, and nothing else ("10.0.0.9").
bool IsDottedQuad(std::string_view text);

std::string LineBreaksTo(std::string_view text, std::string_view replacement);
inline std::string LineBreaksToBlank(std::string_view text) { return LineBreaksTo(text, " "); }

// First n bytes of code page text; n-1 when byte n would split a double-byte character.
using LeadBytePredicate = std::function<bool(unsigned char)>;
bool IsCp949LeadByte(unsigned char b);
std::string CutToBytes(std::string_view codePageText, size_t n, const LeadBytePredicate& isLead = IsCp949LeadByte);

// Splits at any separator; leading blanks of each piece skipped; quoted text kept together
// (quotes stay); the final separator gives no further entry.
std::vector<std::string> SplitList(std::string_view text, std::string_view separators);
std::vector<std::string> SplitListKeepEmpty(std::string_view text, std::string_view separators);

std::string Trim(std::string_view text);  // blanks and control characters at both ends
std::string ToLowerAscii(std::string_view text);
std::string ToUpperAscii(std::string_view text);
bool EqualsIgnoreCase(std::string_view a, std::string_view b);
bool StartsWithIgnoreCase(std::string_view text, std::string_view prefix);
bool ContainsIgnoreCase(std::string_view text, std::string_view part);

}  // namespace updater
