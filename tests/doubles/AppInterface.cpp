// Stands in for the update service agent's DLL. Answers each request from the script file
// "appinterface.script" beside the DLL and appends every request to "appinterface.log" there.
// Script lines (UTF-8): COMMAND RESULT [REPLY]; the n-th request of a command gets the n-th line
// of that command (the last one again when there are fewer). No line: result 0, empty reply.
#include <windows.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

HMODULE self = nullptr;

std::string Folder() {
  wchar_t path[MAX_PATH];
  ::GetModuleFileNameW(self, path, MAX_PATH);
  std::wstring w(path);
  w.resize(w.rfind(L'\\') + 1);
  const int n = ::WideCharToMultiByte(CP_UTF8, 0, w.c_str(), -1, nullptr, 0, nullptr, nullptr);
  std::string s(n - 1, '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, w.c_str(), -1, s.data(), n, nullptr, nullptr);
  return s;
}

std::string Utf8(const wchar_t* w) {
  const int n = ::WideCharToMultiByte(CP_UTF8, 0, w, -1, nullptr, 0, nullptr, nullptr);
  std::string s(n > 0 ? n - 1 : 0, '\0');
  if (n > 1) ::WideCharToMultiByte(CP_UTF8, 0, w, -1, s.data(), n, nullptr, nullptr);
  return s;
}

std::wstring Wide(const std::string& s) {
  const int n = ::MultiByteToWideChar(CP_UTF8, 0, s.c_str(), -1, nullptr, 0);
  std::wstring w(n > 0 ? n - 1 : 0, L'\0');
  if (n > 1) ::MultiByteToWideChar(CP_UTF8, 0, s.c_str(), -1, w.data(), n);
  return w;
}

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) self = instance;
  return TRUE;
}

extern "C" int __stdcall fctSendMessageAutomation(int command, wchar_t* request, wchar_t* reply) {
  const std::string folder = Folder();
  command &= 0xFFFF;
  // How many requests of this command came before.
  int earlier = 0;
  {
    std::ifstream log(folder + "appinterface.log");
    std::string line;
    while (std::getline(log, line))
      if (line.rfind(std::to_string(command) + "\t", 0) == 0) ++earlier;
  }
  {
    std::ofstream log(folder + "appinterface.log", std::ios::app);
    log << command << "\t" << Utf8(request) << "\n";
  }
  std::vector<std::pair<int, std::string>> answers;
  std::ifstream script(folder + "appinterface.script");
  std::string line;
  while (std::getline(script, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    std::istringstream in(line);
    int c = 0, result = 0;
    if (!(in >> c >> result) || c != command) continue;
    std::string text;
    std::getline(in, text);
    if (!text.empty() && text[0] == ' ') text.erase(0, 1);
    answers.emplace_back(result, text);
  }
  if (answers.empty()) return 0;
  const auto& [result, text] = answers[std::min<size_t>(earlier, answers.size() - 1)];
  const std::wstring w = Wide(text);
  wcsncpy(reply, w.c_str(), 10240);
  return result;
}
