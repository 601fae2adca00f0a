#include "core/LogForms.h"

namespace updater {
namespace {

// "{}" is a field as long as the rest allows, "{?}" one as short as the rest allows.
struct Parts {
  std::vector<std::string_view> literals;  // one more than the fields
  std::vector<bool> shortest;              // per field
};

size_t NextField(std::string_view pattern, size_t& length) {
  const size_t greedy = pattern.find("{}"), lazy = pattern.find("{?}");
  if (lazy < greedy) return length = 3, lazy;
  return length = 2, greedy;
}

Parts Split(std::string_view pattern) {
  Parts parts;
  size_t length = 0;
  for (size_t at = NextField(pattern, length); at != std::string_view::npos; at = NextField(pattern, length)) {
    parts.literals.push_back(pattern.substr(0, at));
    parts.shortest.push_back(length == 3);
    pattern.remove_prefix(at + length);
  }
  parts.literals.push_back(pattern);
  return parts;
}

// Field k (1-based) and the literal after it, on text that starts just after the literal before.
// A line that holds a literal many times could make the search try every combination: it gives up
// after a bounded number of tries, and the line is then one the reader does not know.
bool MatchFrom(const Parts& parts, size_t k, std::string_view text, std::vector<std::string_view>& fields, int& budget) {
  if (--budget < 0) return false;
  const std::string_view literal = parts.literals[k];
  if (k + 1 == parts.literals.size()) {  // the last literal ends the text
    if (!text.ends_with(literal)) return false;
    fields.push_back(text.substr(0, text.size() - literal.size()));
    return true;
  }
  const bool shortest = parts.shortest[k - 1];
  const auto next = [&](size_t from) -> size_t {
    if (shortest) return from == std::string_view::npos ? text.find(literal) : text.find(literal, from + 1);
    if (from == 0) return std::string_view::npos;
    return from == std::string_view::npos ? text.rfind(literal) : text.rfind(literal, from - 1);
  };
  for (size_t at = next(std::string_view::npos); at != std::string_view::npos && budget >= 0; at = next(at)) {
    fields.push_back(text.substr(0, at));
    if (MatchFrom(parts, k + 1, text.substr(at + literal.size()), fields, budget)) return true;
    fields.pop_back();
  }
  return false;
}

}  // namespace

std::string Fill(LogForm form, std::initializer_list<std::string_view> fields) {
  const Parts parts = Split(form.pattern);
  std::string out(parts.literals[0]);
  auto field = fields.begin();
  for (size_t k = 1; k < parts.literals.size(); ++k) {
    if (field != fields.end()) out += *field++;
    out += parts.literals[k];
  }
  return out;
}

std::optional<std::vector<std::string>> Match(LogForm form, std::string_view text) {
  // Most lines are not of the form: its first and last literals tell, before any work.
  const std::string_view p = form.pattern;
  const size_t first = p.find('{'), last = p.rfind('}');
  if (!text.starts_with(p.substr(0, first))) return std::nullopt;
  if (last != std::string_view::npos && !text.ends_with(p.substr(last + 1))) return std::nullopt;
  const Parts parts = Split(form.pattern);
  if (!text.starts_with(parts.literals[0])) return std::nullopt;
  if (parts.literals.size() == 1) {
    if (text != parts.literals[0]) return std::nullopt;
    return std::vector<std::string>{};
  }
  std::vector<std::string_view> fields;
  int budget = 4096;
  if (!MatchFrom(parts, 1, text.substr(parts.literals[0].size()), fields, budget)) return std::nullopt;
  return std::vector<std::string>(fields.begin(), fields.end());
}

}  // namespace updater
