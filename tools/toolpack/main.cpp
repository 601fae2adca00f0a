// toolpack: builds update tools from UpdateTool.exe and lists, checks and extracts their packages.
#include <cstring>
#include <iostream>

#include "package/pe/PEFile.h"
#include "platform/Utf.h"
#include "Plan.h"
#include "Toolpack.h"

#include <string>
#include <vector>

namespace {

int Usage() {
  std::cerr << "usage:\n"
               "  toolpack build IMAGE.exe MANIFEST OUT.exe   make an update tool (e.g. Tool01_5521.exe)\n"
               "  toolpack list TOOL.exe                      every resource with its fields and sizes, digests, signature\n"
               "  toolpack check TOOL.exe                     names parse and are safe, files match their digests, signature\n"
               "  toolpack extract TOOL.exe FOLDER            write the package to a folder\n"
               "  toolpack diff [--json] OLD.exe NEW.exe      what changed from one tool to the other\n"
               "  toolpack plan [--json] [--install-root D:\\CVL2000] TOOL.exe CLIENT-FOLDER\n"
               "                                              what the tool would do on a PC whose install root\n"
               "                                              the folder is a copy of (a dry run)\n";
  return 2;
}

}  // namespace

int Run(const std::vector<std::string>& argv) {
  using namespace updater::toolpack;
  const size_t argc = argv.size();
  if (argc < 3) return Usage();
  const std::string command = argv[1];
  const std::string file = argv[2];
  try {
    if (command == "build" && argc == 5) {
      Build(argv[2], argv[3], argv[4], std::cout);
    } else if (command == "list" && argc == 3) {
      List(argv[2], std::cout);
    } else if (command == "check" && argc == 3) {
      return Check(argv[2], std::cout) ? 0 : 1;
    } else if (command == "extract" && argc == 4) {
      Extract(argv[2], argv[3], std::cout);
    } else if (command == "diff" && (argc == 4 || (argc == 5 && argv[2] == "--json"))) {
      Diff(argv[argc - 2], argv[argc - 1], std::cout, argc == 5);
    } else if (command == "plan") {
      bool json = false;
      std::string root = "D:\\CVL2000";
      std::vector<std::string> paths;
      for (size_t i = 2; i < argc; ++i) {
        if (argv[i] == "--json") json = true;
        else if (argv[i] == "--install-root" && i + 1 < argc) root = argv[++i];
        else paths.push_back(argv[i]);
      }
      if (paths.size() != 2) return Usage();
      const ToolPlan plan = MakePlan(paths[0], paths[1], root);
      PrintPlan(plan, std::cout, json);
      return plan.refused.empty() ? 0 : 1;  // a tool the program would refuse fails a script
    } else {
      return Usage();
    }
  } catch (const Error& e) {
    std::cerr << "toolpack: " << e.File() << ": " << e.what() << "\n";
    return 1;
  } catch (const std::exception& e) {
    std::cerr << "toolpack: " << file << ": " << e.what() << "\n";
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
