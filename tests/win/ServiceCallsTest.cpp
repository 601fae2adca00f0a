#include <gtest/gtest.h>

#include "core/PathText.h"
#include "env/ServiceCalls.h"
#include "Harness.h"
#include "platform/Text.h"

using namespace updater;
using namespace updater::test;

namespace {
class Service : public ::testing::Test {
 protected:
  void SetUp() override { MakeFolders("D:\\CVL2000\\Exe"); }
  CleanInstallRoots clean;
};
}  // namespace

TEST(ServiceTexts, EveryRowOfTheErrorCodeTable) {
  const std::pair<int, const char*> rows[] = {
      {0, "없음"},  // 0 is below the table: the system's text for success, or "없음"
      {100000, "정의되지 않은 에러코드입니다."}, {100001, "연동되지 않은 제품입니다."}, {100003, "제품 업데이트에 실패하였습니다."},
      {100004, "에이전트가 이미 실행중입니다."}, {100005, "에이전트를 실행 할 수 없습니다. 실행 환경을 점검해 주세요."},
      {100006, "잘못된 CID입니다."}, {100007, "매개변수 규칙에 위배되었습니다."}, {100011, "서버에서 비정상적인 값을 반환하였습니다."},
      {100012, "파일 다운로드에 실패하였습니다."}, {100013, "파일 업로드에 실패하였습니다."},
      {100014, "Fennix 서버정보를 가져오는데 실패하였습니다."}, {100015, "로컬서버 에이전트가 아닙니다. 작업에 실패하였습니다."},
      {100016, "로컬클라이언트 에이전트가 아닙니다. 작업에 실패하였습니다."}, {100017, "업데이트툴을 실행할 수 없습니다."},
      {100018, "TCP 파일서버 실행에 실패하였습니다."}, {100019, "다운로드 받은 파일의 사이즈가 다릅니다."},
      {100020, "지정된 시간이 초과되어 파일 다운로드에 실패하였습니다."}, {100021, "네트워크 검색에 실패하였습니다."},
      {100022, "네트워크가 유효하지 않습니다."}, {100023, "허가된 마스터 주소가 아닙니다."}, {100024, "허가된 슬레이브 주소가 아닙니다."},
      {100025, "에이전트 모니터가 실행중이 아닙니다."}, {100026, "에이전트가 실행중이 아닙니다."},
      {100027, "에이전트 모니터와 에이전트가 서로 다른 JOB에서 실행중입니다."}, {100028, "에이전트가 비정상적인 상태입니다."},
      {100029, "메시지서버를 시작할 수 없습니다."}, {100030, "메시지클라이언트를 시작할 수 없습니다."},
      {100031, "메시지핸들러를 시작할 수 없습니다."}, {100032, "GUI프로그램을 시작할 수 없습니다."},
      {100033, "로그온(활성화)되지 않은 사용자 세션입니다."}, {100034, "유효하지 않은 프로세스ID 입니다."},
      {100100, "레지스트리를 찾을 수 없습니다."}, {100102, "레지스트리를 불러오는데 실패하였습니다."},
      {100103, "레지스트를 작성하는데 실패하였습니다."}, {100104, "레지스트리에서 비정상적인 값을 반환하였습니다."},
      {100105, "Fennix에서 제공하는 파일형식과 다릅니다. (ToolXX_XXXX.exe)"}, {100106, "요양기관번호를 읽는 데 실패하였습니다."},
      {100110, "JOB실행결과 메세지를 작성하는데 실패하였습니다."}, {100111, "존재하지 않는 JOB 입니다."},
      {100112, "지정된 시간이 초과되어 작업에 실패하였습니다."}, {100113, "허가된 로컬 주소가 아닙니다."},
      {100117, "존재하지 않는 CID입니다."}, {100118, "파일 압축을 실패하였습니다."},
      {100119, "지정된 시간이 초과되어 파일 업로드에 실패하였습니다."}, {100120, "웹서비스 호출을 실패하였습니다."},
      {100121, "DLL 파일을 찾을 수 없습니다."}, {100122, "DLL 함수를 찾을 수 없습니다."}, {100123, "로컬 웹서비스 호출을 실패하였습니다."},
      {100124, "Cbuff 초기화를 실패하였습니다."}, {100125, "버퍼 공간이 부족합니다."}, {100126, "DLL을 로드할수 없습니다."},
      {100127, "DLL함수를 호출할수 없습니다."}, {100128, "WAS.INI파일이 비정상적 입니다."}, {100129, "JOB파라미터 파싱을 실패 하였습니다."},
      {100130, "로컬WAS서버가 이미 실행중입니다."}, {100131, "로컬WAS서버 실행에 실패 하였습니다."},
      {100132, "멀티캐스트서버 실행에 실패 하였습니다."}, {100133, "요양기관번호가 일치하지 않습니다."}, {100134, "CID가 일치하지 않습니다."},
      {100135, "이미 실행한 버전입니다."}, {100136, "복호화 할 수 없습니다."}, {100137, "암호화 할 수 없습니다."},
      {100138, "설정파일(ini)를 불러오는데 실패하였습니다."}, {100139, "설정파일(ini)을 작성하는데 실패하였습니다."},
      {100140, "로컬WAS서버가 실행중이 아닙니다."}, {100141, "에이전트 모니터와 로컬WAS서버가 서로 다른 JOB에서 실행중입니다."},
      {100142, "로컬WAS서버가 비정상적인 상태입니다."}, {100143, "파일서버가 바쁜상태 입니다."}, {100144, "파일복사를 실패하였습니다."},
      {100145, "JSON타입이 아닙니다."}, {100146, "안테나서버와의 연결이 끊어졌습니다."},
  };
  EXPECT_EQ(std::size(rows), 72u);
  for (const auto& [code, text] : rows) {
    if (code == 0) continue;  // the system may have a text for 0
    EXPECT_EQ(ErrorText(code), text) << code;
  }
  // Outside the table: "없음" for negative codes, else the system's text with its closing dot kept.
  EXPECT_EQ(ErrorText(-5), "없음");
  EXPECT_EQ(ErrorText(100002), "없음");  // a gap in the table, and no system text
  EXPECT_EQ(ErrorText(99999), "없음");
  const std::string notFound = ErrorText(2);
  ASSERT_FALSE(notFound.empty());
  EXPECT_NE(notFound, "없음");
  EXPECT_EQ(notFound.back(), '.') << notFound;
  EXPECT_EQ(notFound, Trim(notFound));
}

TEST(ServiceTexts, CommunicationFailures) {
  for (int code : {1, 5, 12, 100, 2, 10060, 100112}) EXPECT_TRUE(IsCommunicationFailure(code)) << code;
  for (int code : {0, -1, 3, 100135, 100017}) EXPECT_FALSE(IsCommunicationFailure(code)) << code;
  EXPECT_EQ(ItemCode(true), "08");
}

TEST_F(Service, RequestsGoThroughTheAgentDll) {
  ::CopyFileW(Wide(BuildFolder() + "doubles\\appinterface.dll").c_str(), L"D:\\CVL2000\\Exe\\appinterface.dll", FALSE);
  WriteFileBytes("D:\\CVL2000\\Exe\\appinterface.script", "257 0 6.0.2.80\n260 0 D:\\a.exe, D:\\b.exe\n267 100017   busy  \n");
  EXPECT_EQ(FindAgentDll(), "D:\\CVL2000\\Exe\\appinterface.dll");
  EXPECT_EQ(AskRunVersion(false), "6.0.2.80");  // no history file: the service answers
  const ServiceAnswer list = AskToolList(false);
  EXPECT_EQ(list.result, 0);
  EXPECT_EQ(list.reply, "D:\\a.exe, D:\\b.exe");
  const ServiceAnswer validity = AskValidity(true);
  EXPECT_EQ(validity.result, 100017);
  EXPECT_EQ(validity.reply, "busy");  // trimmed
  ReportResult(false, "6.0.2.80", 1);
  const std::vector<std::string> log = Lines(ReadFileBytes("D:\\CVL2000\\Exe\\appinterface.log"));
  ASSERT_EQ(log.size(), 5u);
  EXPECT_EQ(log[0], "257\t[Update:item_code=01;run_version=?;]");
  EXPECT_EQ(log[2], "260\t[Update:item_code=01;run_version=6.0.2.80;]");
  EXPECT_EQ(log[3], "267\t[Update:item_code=08;ref_down=1;]");
  EXPECT_EQ(log[4], "259\t[Result:item_code=01;run_version=6.0.2.80;result_code=1;]");

  // With a history file the run version comes from it.
  ::WritePrivateProfileStringW(L"LATESTTOOL", L"RUNVER", L"6.0.9.9", L"D:\\CVL2000\\Updater.ini");
  EXPECT_EQ(AskRunVersion(false), "6.0.9.9");
}

TEST_F(Service, AMissingAgentRaisesAndAnOldInstallerIsNotRun) {
  try {
    AskValidity(false);
    FAIL() << "no agent DLL, yet the call went through";
  } catch (const std::runtime_error& e) {
    EXPECT_EQ(std::string(e.what()),
              "Corvel Fennix 실행모듈(appinterface.dll)을 찾을 수 없습니다.\r\nCorvel 실행파일 폴더를 확인해 주시기 바랍니다");
  }
  MakeFolders("D:\\CVL2000\\Etc\\Fennix40");
  ::CopyFileW(Wide(BuildFolder() + "ver_agent_4_10.dll").c_str(), L"D:\\CVL2000\\Etc\\Fennix40\\FX4Install.exe", FALSE);
  EXPECT_FALSE(InstallAgent());  // "4.1" sorts below "4.2"
}

TEST_F(Service, ADllThatCannotBeLoadedIsNamedWithItsReason) {
  // A 64-bit DLL under the agent's name: found, but the 32-bit tool cannot load it.
  ::CopyFileW(Wide(BuildFolder() + "image64.dll").c_str(), L"D:\\CVL2000\\Exe\\appinterface.dll", FALSE);
  try {
    ServiceCall(267, "[Update:item_code=01;ref_down=1;]");
    FAIL() << "the DLL loaded";
  } catch (const std::runtime_error& e) {
    const std::string text = e.what();
    EXPECT_EQ(text.rfind("Corvel Fennix 실행모듈(D:\\CVL2000\\Exe\\appinterface.dll)을 찾을 수 없습니다.", 0), 0u) << text;
    EXPECT_NE(text.find("\r\n(GetLastError: " + SystemErrorText(ERROR_BAD_EXE_FORMAT) + ")"), std::string::npos) << text;
  }
}

TEST_F(Service, ADllWithoutTheEntryPointAnswersMinusOne) {
  ::CopyFileW(Wide(BuildFolder() + "ver_none.dll").c_str(), L"D:\\CVL2000\\Exe\\appinterface.dll", FALSE);
  const ServiceAnswer a = ServiceCall(267, "[Update:item_code=01;ref_down=1;]");
  EXPECT_EQ(a.result, -1);
  EXPECT_EQ(a.reply, "");
}
