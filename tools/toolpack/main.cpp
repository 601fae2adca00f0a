// toolpack: builds update tools from UpdateTool.exe and lists, checks, extracts, compares and plans
// their packages, and reads the program's run logs.
#include <iostream>
#include <map>
#include <string>
#include <vector>

#include "core/TargetRules.h"
#include "package/pe/PEFile.h"
#include "platform/Utf.h"
#include "Plan.h"
#include "Toolpack.h"
#include "ToolpackIo.h"

#ifndef UPDATER_VERSION
#define UPDATER_VERSION "unknown"
#endif

namespace {

using namespace updater;
using namespace updater::toolpack;

struct Command {
  const char* usage;  // arguments
  const char* what;
};
const std::map<std::string, Command> kCommands = {
    {"build", {"IMAGE.exe MANIFEST OUT.exe", "make an update tool (e.g. Tool01_5521.exe) from UpdateTool.exe and a manifest"}},
    {"list", {"[--json] TOOL.exe", "every resource with its fields and sizes, the digest list, the signature"}},
    {"check", {"[--json] TOOL.exe", "whether the program would load the tool as it is (exit 1 when not), and why"}},
    {"extract", {"TOOL.exe FOLDER", "the files the program would stage, with SHA256SUMS beside them"}},
    {"diff", {"[--json] OLD.exe NEW.exe", "what changed from one tool to the other (exit 1 when anything did)"}},
    {"plan", {"[--json] [--install-root D:\\CVL2000] TOOL.exe CLIENT-FOLDER",
              "what the tool would do on a PC whose install root the folder is a copy of (a dry run)"}},
    {"folders", {"", "the sub-folder table: each index and the folder below the install root it names"}},
    {"log", {"[--errors] [--json] [--verbose] LOG-FILE-OR-FOLDER...",
             "a clinic's run logs as runs: how each started, what each tool did, what failed and what was put back"}},
};

void PrintUsage(std::ostream& out) {
  out << "usage: toolpack COMMAND [ARGUMENTS]   (toolpack COMMAND --help, toolpack --version)\n";
  for (const auto& [name, c] : kCommands) out << "  toolpack " << name << " " << c.usage << "\n      " << c.what << "\n";
}

// A wrong call: what was wrong, then the usage, exit 2.
int Wrong(const std::string& why) {
  std::cerr << "toolpack: " << why << "\n";
  PrintUsage(std::cerr);
  return 2;
}

// The file of an error, and a message a release engineer reads without knowing the PE format.
std::string Friendly(const std::string& what) {
  if (what == "Invalid DOS signature") return "not a Windows program (PE file)";
  return what;
}

void Folders(std::ostream& out) {
  out << "index  folder below the install root (base kind 1; index 0: the folder column gives it)\n";
  for (int i = 0; i < kSubFolderCount; ++i) out << (i < 10 ? "    " : "   ") << i << "  " << SubFolderEntry(i) << "\n";
}

}  // namespace

int Run(const std::vector<std::string>& argv) {
  const size_t argc = argv.size();
  if (argc < 2) return Wrong("no command given");
  const std::string command = argv[1];
  if (command == "--help" || command == "-h" || command == "help") {
    PrintUsage(std::cout);
    return 0;
  }
  if (command == "--version") {
    std::cout << "toolpack " << UPDATER_VERSION << "\n";
    return 0;
  }
  const auto known = kCommands.find(command);
  if (known == kCommands.end()) return Wrong("unknown command \"" + command + "\"");
  std::vector<std::string> args(argv.begin() + 2, argv.end());
  for (const std::string& a : args)
    if (a == "--help" || a == "-h") {
      std::cout << "usage: toolpack " << command << " " << known->second.usage << "\n  " << known->second.what << "\n";
      return 0;
    }
  bool json = false;
  LogOptions logOptions;
  std::string root = "D:\\CVL2000";
  std::vector<std::string> paths;
  for (size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--json" && command != "build" && command != "extract") json = true;
    else if (args[i] == "--install-root" && command == "plan" && i + 1 < args.size()) root = args[++i];
    else if (args[i] == "--errors" && command == "log") logOptions.errorsOnly = true;
    else if (args[i] == "--verbose" && command == "log") logOptions.verbose = true;
    else if (args[i].starts_with("--")) return Wrong("toolpack " + command + " has no option " + args[i]);
    else paths.push_back(args[i]);
  }
  const std::map<std::string, size_t> wanted = {{"build", 3}, {"list", 1}, {"check", 1}, {"extract", 2}, {"diff", 2}, {"plan", 2}, {"folders", 0}};
  if (command == "log") {
    logOptions.json = json;
#ifndef _WIN32
    if (paths.empty()) return Wrong("toolpack log takes " + std::string(known->second.usage));
#endif
    try {
      Log(paths, std::cout, logOptions);
      return 0;  // a log with failures is read, not failed
    } catch (const Error& e) {
      std::cerr << "toolpack: " << e.File() << ": " << e.what() << "\n";
      return 1;
    }
  }
  if (paths.size() != wanted.at(command))
    return Wrong("toolpack " + command + " takes " + known->second.usage + " (" + std::to_string(paths.size()) +
                 (paths.size() == 1 ? " argument given)" : " arguments given)"));
  const std::string file = paths.empty() ? std::string() : paths.front();
  try {
    if (command == "build") Build(paths[0], paths[1], paths[2], std::cout);
    else if (command == "list") List(paths[0], std::cout, json);
    else if (command == "check") return Check(paths[0], std::cout, json) ? 0 : 1;
    else if (command == "extract") Extract(paths[0], paths[1], std::cout);
    else if (command == "diff") return Diff(paths[0], paths[1], std::cout, json) == 0 ? 0 : 1;  // as diff does
    else if (command == "folders") Folders(std::cout);
    else {
      const ToolPlan plan = MakePlan(paths[0], paths[1], root);
      PrintPlan(plan, std::cout, json);
      return plan.refused.empty() ? 0 : 1;  // a tool the program would refuse fails a script
    }
  } catch (const Error& e) {
    std::cerr << "toolpack: " << e.File() << ": " << Friendly(e.what()) << "\n";
    return 1;
  } catch (const std::exception& e) {
    std::cerr << "toolpack: " << file << ": " << Friendly(e.what()) << "\n";
    return 1;
  }
  return 0;
}

#ifdef _WIN32
// Arguments as UTF-8, whatever the code page.
int wmain(int argc, wchar_t** argv) {
  std::vector<std::string> args;
  for (int i = 0; i < argc; ++i) {
    const std::wstring w(argv[i]);
    args.push_back(updater::Utf16ToUtf8(std::u16string(w.begin(), w.end())));
  }
  return Run(args);
}
#else
int main(int argc, char** argv) { return Run(std::vector<std::string>(argv, argv + argc)); }
#endif
