#pragma once
// An ordered list of texts whose look-ups ignore case, as the run-wide lists need. Pure.
#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

#include "core/PathText.h"

namespace updater {

class StringList {
 public:
  int IndexOf(std::string_view text) const {
    for (size_t i = 0; i < items_.size(); ++i)
      if (EqualsIgnoreCase(items_[i], text)) return static_cast<int>(i);
    return -1;
  }
  bool Contains(std::string_view text) const { return IndexOf(text) >= 0; }
  void Add(std::string text) { items_.push_back(std::move(text)); }
  // Adds unless an entry equal without regard to case is there; true when added.
  bool AddUnique(std::string text) {
    if (Contains(text)) return false;
    Add(std::move(text));
    return true;
  }
  void Clear() { items_.clear(); }
  void Sort() {
    std::stable_sort(items_.begin(), items_.end(),
                     [](const std::string& a, const std::string& b) { return ToLowerAscii(a) < ToLowerAscii(b); });
  }
  size_t Size() const { return items_.size(); }
  bool Empty() const { return items_.empty(); }
  std::string& operator[](size_t i) { return items_[i]; }
  const std::string& operator[](size_t i) const { return items_[i]; }
  const std::vector<std::string>& Items() const { return items_; }
  auto begin() const { return items_.begin(); }
  auto end() const { return items_.end(); }

 private:
  std::vector<std::string> items_;
};

}  // namespace updater
