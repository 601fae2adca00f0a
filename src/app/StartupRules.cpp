#include "app/StartupRules.h"

#include "core/LogForms.h"
#include "core/PathText.h"

namespace updater {

bool IsReservedOwnName(std::string_view exePath) { return ToLowerAscii(FileNamePart(exePath)) == "cvlupdater.exe"; }

bool IsTool08Name(std::string_view exePath) { return StartsWithIgnoreCase(FileNamePart(exePath), "tool08_"); }

std::string Argument(const std::vector<std::string>& args, size_t n) { return n < args.size() ? args[n] : std::string{}; }

std::string ParameterSummary(const std::vector<std::string>& args) {
  std::string summary;
  if (const std::string a = Argument(args, 1); !a.empty()) summary += std::string(logform::kCallerPart) + a;
  if (const std::string a = Argument(args, 2); !a.empty()) summary += std::string(logform::kUserPart) + a;
  if (const std::string a = Argument(args, 3); !a.empty()) summary += std::string(logform::kHiddenPart) + a;
  return summary;
}

}  // namespace updater
