#pragma once
// Start-up decisions that follow from the program's name and command line. Pure.
#include <string>
#include <string_view>
#include <vector>

namespace updater {

// The own name "cvlupdater.exe" (any case) ends the process before anything else.
bool IsReservedOwnName(std::string_view exePath);
// Own name beginning with "tool08_" (any case): an item-code 08 tool.
bool IsTool08Name(std::string_view exePath);
// "호출프로그램(ParamStr(1)): a, 사용자ID(ParamStr(2)): b, 숨김실행(ParamStr(3)): c" from the
// non-empty arguments; pieces 2 and 3 keep their leading ", " even when they come first.
std::string ParameterSummary(const std::vector<std::string>& args);
// Argument n (1-based), empty when absent.
std::string Argument(const std::vector<std::string>& args, size_t n);

}  // namespace updater
