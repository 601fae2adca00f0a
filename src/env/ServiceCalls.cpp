#include "env/ServiceCalls.h"

#include <array>
#include <cstdlib>
#include <stdexcept>
#include <cstdio>
#include <cwchar>
#include <utility>
#include <vector>

#include "core/ClientFolders.h"
#include "core/PathText.h"
#include "core/RunLog.h"
#include "env/FileVersion.h"
#include "platform/Processes.h"
#include "platform/FileSystem.h"
#include "platform/OsError.h"
#include "platform/ProductDll.h"
#include "platform/Settings.h"
#include "platform/Text.h"

namespace updater {

std::string HistoryFilePath(bool tool08) { return InstallRoot() + (tool08 ? "UpdaterChart.ini" : "Updater.ini"); }

void RecordHistory(bool tool08, std::string_view toolPath, std::string_view toolVersion, std::string_view flag, Clock& clock) {
  const std::string file = HistoryFilePath(tool08);
  const std::string key = FileNamePart(toolPath);
  const std::string upper = ToUpperAscii(flag);
  if (upper == "Y" || upper == "N") {
    const LocalTime t = clock.Now();
    char date[16];
    std::snprintf(date, sizeof date, "%04d-%02d-%02d", t.year, t.month, t.day);
    WriteIniString(file, "HISTORY", key, std::string(flag) + "," + date);
    if (flag == "Y" && toolVersion.compare(ReadIniString(file, "LATESTTOOL", "RUNVER", "0.0.0.0")) > 0)  // as text
      WriteIniString(file, "LATESTTOOL", "RUNVER", std::string(toolVersion));
  } else if (upper.compare(0, 5, "VEROZ") == 0) {
    WriteIniString(file, "PREVTOOL", key, std::string(flag));
  }
}

std::string ReadRunVersion(bool tool08) { return ReadIniString(HistoryFilePath(tool08), "LATESTTOOL", "RUNVER", "0.0.0.0"); }

namespace {

constexpr char kAgentDll[] = "appinterface.dll";
constexpr size_t kRequestUnits = 10240, kReplyUnits = 10241;
using SendMessageAutomation = int(__stdcall*)(int command, wchar_t* request, wchar_t* reply);

std::string MissingDllText(const std::string& what) {
  return "Corvel Fennix 실행모듈(" + what + ")을 찾을 수 없습니다.\r\nCorvel 실행파일 폴더를 확인해 주시기 바랍니다";
}

// One row of the service's error code table: a six-digit code and its Korean text.
struct TFXErrorCodeInfo {
  const char* Code;
  const char* Message;
};

constexpr std::array<TFXErrorCodeInfo, 72> kErrorCodes = {{
    {"000000", "정상"},
    {"100000", "정의되지 않은 에러코드입니다."},
    {"100001", "연동되지 않은 제품입니다."},
    {"100003", "제품 업데이트에 실패하였습니다."},
    {"100004", "에이전트가 이미 실행중입니다."},
    {"100005", "에이전트를 실행 할 수 없습니다. 실행 환경을 점검해 주세요."},
    {"100006", "잘못된 CID입니다."},
    {"100007", "매개변수 규칙에 위배되었습니다."},
    {"100011", "서버에서 비정상적인 값을 반환하였습니다."},
    {"100012", "파일 다운로드에 실패하였습니다."},
    {"100013", "파일 업로드에 실패하였습니다."},
    {"100014", "Fennix 서버정보를 가져오는데 실패하였습니다."},
    {"100015", "로컬서버 에이전트가 아닙니다. 작업에 실패하였습니다."},
    {"100016", "로컬클라이언트 에이전트가 아닙니다. 작업에 실패하였습니다."},
    {"100017", "업데이트툴을 실행할 수 없습니다."},
    {"100018", "TCP 파일서버 실행에 실패하였습니다."},
    {"100019", "다운로드 받은 파일의 사이즈가 다릅니다."},
    {"100020", "지정된 시간이 초과되어 파일 다운로드에 실패하였습니다."},
    {"100021", "네트워크 검색에 실패하였습니다."},
    {"100022", "네트워크가 유효하지 않습니다."},
    {"100023", "허가된 마스터 주소가 아닙니다."},
    {"100024", "허가된 슬레이브 주소가 아닙니다."},
    {"100025", "에이전트 모니터가 실행중이 아닙니다."},
    {"100026", "에이전트가 실행중이 아닙니다."},
    {"100027", "에이전트 모니터와 에이전트가 서로 다른 JOB에서 실행중입니다."},
    {"100028", "에이전트가 비정상적인 상태입니다."},
    {"100029", "메시지서버를 시작할 수 없습니다."},
    {"100030", "메시지클라이언트를 시작할 수 없습니다."},
    {"100031", "메시지핸들러를 시작할 수 없습니다."},
    {"100032", "GUI프로그램을 시작할 수 없습니다."},
    {"100033", "로그온(활성화)되지 않은 사용자 세션입니다."},
    {"100034", "유효하지 않은 프로세스ID 입니다."},
    {"100100", "레지스트리를 찾을 수 없습니다."},
    {"100102", "레지스트리를 불러오는데 실패하였습니다."},
    {"100103", "레지스트를 작성하는데 실패하였습니다."},
    {"100104", "레지스트리에서 비정상적인 값을 반환하였습니다."},
    {"100105", "Fennix에서 제공하는 파일형식과 다릅니다. (ToolXX_XXXX.exe)"},
    {"100106", "요양기관번호를 읽는 데 실패하였습니다."},
    {"100110", "JOB실행결과 메세지를 작성하는데 실패하였습니다."},
    {"100111", "존재하지 않는 JOB 입니다."},
    {"100112", "지정된 시간이 초과되어 작업에 실패하였습니다."},
    {"100113", "허가된 로컬 주소가 아닙니다."},
    {"100117", "존재하지 않는 CID입니다."},
    {"100118", "파일 압축을 실패하였습니다."},
    {"100119", "지정된 시간이 초과되어 파일 업로드에 실패하였습니다."},
    {"100120", "웹서비스 호출을 실패하였습니다."},
    {"100121", "DLL 파일을 찾을 수 없습니다."},
    {"100122", "DLL 함수를 찾을 수 없습니다."},
    {"100123", "로컬 웹서비스 호출을 실패하였습니다."},
    {"100124", "Cbuff 초기화를 실패하였습니다."},
    {"100125", "버퍼 공간이 부족합니다."},
    {"100126", "DLL을 로드할수 없습니다."},
    {"100127", "DLL함수를 호출할수 없습니다."},
    {"100128", "WAS.INI파일이 비정상적 입니다."},
    {"100129", "JOB파라미터 파싱을 실패 하였습니다."},
    {"100130", "로컬WAS서버가 이미 실행중입니다."},
    {"100131", "로컬WAS서버 실행에 실패 하였습니다."},
    {"100132", "멀티캐스트서버 실행에 실패 하였습니다."},
    {"100133", "요양기관번호가 일치하지 않습니다."},
    {"100134", "CID가 일치하지 않습니다."},
    {"100135", "이미 실행한 버전입니다."},
    {"100136", "복호화 할 수 없습니다."},
    {"100137", "암호화 할 수 없습니다."},
    {"100138", "설정파일(ini)를 불러오는데 실패하였습니다."},
    {"100139", "설정파일(ini)을 작성하는데 실패하였습니다."},
    {"100140", "로컬WAS서버가 실행중이 아닙니다."},
    {"100141", "에이전트 모니터와 로컬WAS서버가 서로 다른 JOB에서 실행중입니다."},
    {"100142", "로컬WAS서버가 비정상적인 상태입니다."},
    {"100143", "파일서버가 바쁜상태 입니다."},
    {"100144", "파일복사를 실패하였습니다."},
    {"100145", "JSON타입이 아닙니다."},
    {"100146", "안테나서버와의 연결이 끊어졌습니다."},
}};

constexpr std::array<const char*, 11> kCommunicationFailures = {"100102", "100112", "100120", "100129", "10014", "10049",
                                                                "10054",  "10057",  "10060",  "10061",  "2"};

}  // namespace

std::string FindAgentDll() {
  const std::string fennix = FennixInstallFolder();
  FolderAndName own;
  SplitAtLastBackslash(OwnExecutablePath(), own);
  for (const std::string& candidate : {WithTrailingBackslash(fennix, false) + kAgentDll, ExeFolder() + kAgentDll, own.folder + kAgentDll})
    if (FileExists(candidate)) return candidate;
  return {};
}

bool InstallAgent() {
  const std::string installer = EtcFolder() + "Fennix40\\FX4Install.exe";
  if (!FileExists(installer)) return false;
  const std::string version = Trim(VersionText(installer, 5)).substr(0, 3);
  if (version.compare(std::string("4.2.2.7").substr(0, 3)) < 0) return false;
  SaveRunLog();  // waited for without limit
  StartAndWait(CommandPath(installer) + " /verysilent /norestart", StartMode::Detached, 0);
  return true;
}

ServiceAnswer ServiceCall(uint16_t command, std::string_view request) {
  ServiceAnswer answer;
  std::string dll = FindAgentDll();
  if (dll.empty() && (command == 257 || command == 267) && InstallAgent()) dll = FindAgentDll();
  if (dll.empty()) throw OsError("LoadLibraryW", std::string(kAgentDll), ERROR_MOD_NOT_FOUND, MissingDllText(kAgentDll));
  ProductDll library;
  if (!library.Load(dll)) {
    // The text names the DLL that failed to load and why, not what the installer left behind.
    DWORD loadError = library.LoadError();
    if (InstallAgent()) {
      const std::string again = FindAgentDll();
      if (FileExists(again) && !library.Load(again)) {
        loadError = library.LoadError();
        dll = again;
      }
    }
    if (!library) {
      const std::string system = SystemErrorText(loadError);
      throw OsError("LoadLibraryW", dll, loadError, MissingDllText(dll) + (system.empty() ? "" : "\r\n(GetLastError: " + system + ")"));
    }
  }
  const auto send = library.Export<SendMessageAutomation>("fctSendMessageAutomation");
  if (!send) return answer;
  std::vector<wchar_t> requestBuffer(kRequestUnits, L' '), replyBuffer(kReplyUnits, L'\0');
  std::wstring text = Wide(request);
  if (text.size() > kRequestUnits - 1) text.resize(kRequestUnits - 1);
  std::copy(text.begin(), text.end(), requestBuffer.begin());
  requestBuffer[text.size()] = L'\0';
  answer.result = send(command, requestBuffer.data(), replyBuffer.data());
  replyBuffer.back() = L'\0';
  answer.reply = Narrow(replyBuffer.data());
  return answer;
}

ServiceAnswer AskToolList(bool tool08) {
  return ServiceCall(260, "[Update:item_code=" + ItemCode(tool08) + ";run_version=" + AskRunVersion(tool08) + ";]");
}

std::string AskRunVersion(bool tool08) {
  if (FileExists(HistoryFilePath(tool08))) return ReadRunVersion(tool08);
  const ServiceAnswer a = ServiceCall(257, "[Update:item_code=" + ItemCode(tool08) + ";run_version=?;]");
  return a.result != 0 || a.reply.empty() ? "0.0.0.0" : a.reply;
}

ServiceAnswer AskValidity(bool tool08) {
  ServiceAnswer a = ServiceCall(267, "[Update:item_code=" + ItemCode(tool08) + ";ref_down=1;]");
  a.reply = Trim(a.reply);
  return a;
}

void ReportResult(bool tool08, std::string_view toolVersion, int result) {
  ServiceCall(259, "[Result:item_code=" + ItemCode(tool08) + ";run_version=" + std::string(toolVersion) +
                       ";result_code=" + std::to_string(result) + ";]");
}

std::string ErrorText(int32_t code) {
  if (code < 0) return "없음";
  if (code >= 100000)
    for (const TFXErrorCodeInfo& row : kErrorCodes)
      if (std::atoi(row.Code) == code) return row.Message;
  const std::string system = SystemErrorText(static_cast<DWORD>(code));
  return system.empty() ? "없음" : system;
}

bool IsCommunicationFailure(int32_t code) {
  if (code <= 0) return false;
  const std::string text = std::to_string(code);
  for (const char* failure : kCommunicationFailures)
    if (std::string_view(failure).find(text) != std::string_view::npos) return true;
  return false;
}

}  // namespace updater
