#include <gtest/gtest.h>

#include "Harness.h"
#include "env/ServiceCalls.h"
#include "platform/Win.h"

using namespace updater;
using namespace updater::test;

namespace {
class Service : public ::testing::Test {
 protected:
  void SetUp() override { MakeFolders("D:\\CVL2000\\Exe"); }
  CleanInstallRoots clean;
};
}  // namespace

TEST(ServiceTexts, ErrorTextsAndCommunicationFailures) {
  EXPECT_EQ(ErrorText(100000), "정의되지 않은 에러코드입니다.");
  EXPECT_EQ(ErrorText(100017), "업데이트툴을 실행할 수 없습니다.");
  EXPECT_EQ(ErrorText(-5), "없음");
  EXPECT_FALSE(ErrorText(99999).empty());  // the system's text, or "없음"
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

TEST_F(Service, ADllWithoutTheEntryPointAnswersMinusOne) {
  ::CopyFileW(Wide(BuildFolder() + "ver_none.dll").c_str(), L"D:\\CVL2000\\Exe\\appinterface.dll", FALSE);
  const ServiceAnswer a = ServiceCall(267, "[Update:item_code=01;ref_down=1;]");
  EXPECT_EQ(a.result, -1);
  EXPECT_EQ(a.reply, "");
}
