#include "core/PathText.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace updater {

std::string WithTrailingBackslash(std::string_view text, bool removeBlanks) {
  std::string out;
  out.reserve(text.size() + 1);
  for (char c : text)
    if (!(removeBlanks && c == ' ')) out.push_back(c);
  if (!out.empty() && out.back() != '\\') out.push_back('\\');
  return out;
}

std::string WithoutTrailingBackslash(std::string_view text) {
  if (!text.empty() && text.back() == '\\') text.remove_suffix(1);
  return std::string(text);
}

bool SplitAtLastBackslash(std::string_view text, FolderAndName& out) {
  const auto pos = text.rfind('\\');
  if (pos == std::string_view::npos) return false;
  out.folder = std::string(text.substr(0, pos + 1));
  out.name = std::string(text.substr(pos + 1));
  return true;
}

bool SplitAtLastDot(std::string_view text, StemAndExtension& out) {
  const auto pos = text.rfind('.');
  if (pos == std::string_view::npos) return false;
  out.stem = std::string(text.substr(0, pos));
  out.extension = std::string(text.substr(pos + 1));
  return true;
}

std::string FileNamePart(std::string_view path) {
  const auto pos = path.find_last_of("\\/:");
  return std::string(pos == std::string_view::npos ? path : path.substr(pos + 1));
}

std::string BaseName(std::string_view path) {
  std::string name = FileNamePart(path);
  const auto dot = name.find('.');
  if (dot != std::string::npos) name.resize(dot);
  return name;
}

std::string DigitsAndDotsOnly(std::string_view text) {
  std::string out;
  for (char c : text)
    if ((c >= '0' && c <= '9') || c == '.') out.push_back(c);
  return out;
}

std::string DigitsOnly(std::string_view text) {
  std::string out;
  for (char c : text)
    if (c >= '0' && c <= '9') out.push_back(c);
  return out;
}

std::string ZeroPadded(int64_t value, int width) {
  const bool negative = value < 0;
  std::string digits = std::to_string(value);
  if (negative) digits.erase(0, 1);
  const int room = width - (negative ? 1 : 0);
  if (static_cast<int>(digits.size()) < room) digits.insert(0, room - digits.size(), '0');
  return negative ? "-" + digits : digits;
}

namespace {
std::string Group(std::string digits, const std::string& sep) {
  for (int i = static_cast<int>(digits.size()) - 3; i > 0; i -= 3) digits.insert(i, sep);
  return digits;
}
}  // namespace

std::string GroupedInteger(int64_t value, const NumberFormat& fmt) {
  const bool negative = value < 0;
  const uint64_t magnitude = negative ? 0 - static_cast<uint64_t>(value) : static_cast<uint64_t>(value);
  return (negative ? "-" : "") + Group(std::to_string(magnitude), fmt.thousands);
}

std::string GroupedDecimal(std::string_view text, int decimals, const NumberFormat& fmt) {
  const std::string s(Trim(text));
  char* end = nullptr;
  double v = std::strtod(s.c_str(), &end);
  if (s.empty() || end == s.c_str()) v = 0;
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.*f", std::clamp(decimals, 0, 18), v < 0 ? -v : v);
  std::string whole(buf), fraction;
  if (const auto dot = whole.find('.'); dot != std::string::npos) {
    fraction = whole.substr(dot + 1);
    whole.resize(dot);
  }
  std::string out = (v < 0 ? "-" : "") + Group(whole, fmt.thousands);
  if (!fraction.empty()) out += fmt.decimal + fraction;
  return out;
}

bool IsNumeric(std::string_view text) {
  bool digit = false;
  for (char ch : text) {
    const auto c = static_cast<unsigned char>(ch);
    if (c >= '0' && c <= '9') digit = true;
    else if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c >= 0x80) return false;
  }
  return digit;
}

std::string LineBreaksTo(std::string_view text, std::string_view replacement) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
      out.append(replacement);
      ++i;
    } else {
      out.push_back(text[i]);
    }
  }
  return out;
}

bool IsCp949LeadByte(unsigned char b) { return b >= 0x81 && b <= 0xFE; }

std::string CutToBytes(std::string_view text, size_t n, const LeadBytePredicate& isLead) {
  if (n >= text.size()) return std::string(text);
  // Walk character by character: a trail byte may look like a lead byte.
  size_t i = 0;
  while (i < n) {
    const size_t width = isLead(static_cast<unsigned char>(text[i])) ? 2 : 1;
    if (i + width > n) break;
    i += width;
  }
  return std::string(text.substr(0, i));
}

namespace {
std::vector<std::string> Split(std::string_view text, std::string_view separators, bool keepEmpty) {
  std::vector<std::string> out;
  size_t i = 0;
  const size_t n = text.size();
  if (n == 0) return out;
  for (;;) {
    while (i < n && text[i] == ' ') ++i;
    std::string piece;
    while (i < n && separators.find(text[i]) == std::string_view::npos) {
      const char c = text[i];
      if (c == '"' || c == '\'') {
        const auto close = text.find(c, i + 1);
        const size_t stop = close == std::string_view::npos ? n : close + 1;
        piece.append(text.substr(i, stop - i));
        i = stop;
      } else {
        piece.push_back(c);
        ++i;
      }
    }
    if (keepEmpty || !piece.empty()) out.push_back(std::move(piece));
    if (i >= n) break;
    ++i;  // the separator
    if (i >= n) break;  // a final separator gives no further entry
  }
  return out;
}
}  // namespace

std::vector<std::string> SplitList(std::string_view text, std::string_view separators) {
  return Split(text, separators, false);
}

std::vector<std::string> SplitListKeepEmpty(std::string_view text, std::string_view separators) {
  return Split(text, separators, true);
}

std::string Trim(std::string_view text) {
  size_t b = 0, e = text.size();
  while (b < e && static_cast<unsigned char>(text[b]) <= ' ') ++b;
  while (e > b && static_cast<unsigned char>(text[e - 1]) <= ' ') --e;
  return std::string(text.substr(b, e - b));
}

std::string ToLowerAscii(std::string_view text) {
  std::string out(text);
  for (char& c : out)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return out;
}

std::string ToUpperAscii(std::string_view text) {
  std::string out(text);
  for (char& c : out)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return out;
}

bool EqualsIgnoreCase(std::string_view a, std::string_view b) { return ToLowerAscii(a) == ToLowerAscii(b); }

bool StartsWithIgnoreCase(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() && EqualsIgnoreCase(text.substr(0, prefix.size()), prefix);
}

bool ContainsIgnoreCase(std::string_view text, std::string_view part) {
  return ToLowerAscii(text).find(ToLowerAscii(part)) != std::string::npos;
}

std::string FillFormat(std::string_view format, const std::vector<std::string>& values) {
  std::string out;
  size_t next = 0;
  for (size_t i = 0; i < format.size(); ++i) {
    const char c = i + 1 < format.size() ? format[i + 1] : '\0';
    const size_t index = format[i] != '%' ? SIZE_MAX : c == 's' ? next++ : (c >= '1' && c <= '9') ? size_t(c - '1') : SIZE_MAX;
    if (index < values.size()) {
      out += values[index];
      ++i;
    } else {
      out += format[i];
    }
  }
  return out;
}

std::string CommandPath(std::string_view path) {
  const bool blank = path.find_first_of(" \t") != std::string_view::npos;
  const bool quoted = path.size() >= 2 && path.front() == '"' && path.back() == '"';
  return blank && !quoted ? "\"" + std::string(path) + "\"" : std::string(path);
}

bool IsDottedQuad(std::string_view text) {
  int parts = 0;
  for (size_t start = 0;;) {
    const size_t dot = text.find('.', start);
    const std::string_view part = text.substr(start, dot == std::string_view::npos ? std::string_view::npos : dot - start);
    if (part.empty() || part.size() > 3 || part.find_first_not_of("0123456789") != std::string_view::npos) return false;
    if (std::stoi(std::string(part)) > 255) return false;
    ++parts;
    if (dot == std::string_view::npos) break;
    start = dot + 1;
  }
  return parts == 4;
}

}  // namespace updater
