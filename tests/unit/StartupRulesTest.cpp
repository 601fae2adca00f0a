#include <gtest/gtest.h>

#include "app/StartupRules.h"

using namespace updater;

TEST(OwnName, ReservedAndTool08) {
  EXPECT_TRUE(IsReservedOwnName("C:\\x\\CvlUpdater.EXE"));
  EXPECT_FALSE(IsReservedOwnName("C:\\cvlupdater.exe\\Tool01_1.exe"));
  EXPECT_FALSE(IsReservedOwnName("C:\\x\\cvlupdater.exe.bak"));
  EXPECT_TRUE(IsTool08Name("D:\\a\\TOOL08_5521.exe"));
  EXPECT_FALSE(IsTool08Name("D:\\a\\tool081.exe"));
  EXPECT_FALSE(IsTool08Name("D:\\tool08_\\Tool01_1.exe"));  // only the file name counts
}

TEST(ParameterSummary, PiecesKeepTheirCommas) {
  using V = std::vector<std::string>;
  EXPECT_EQ(ParameterSummary(V{"exe"}), "");
  EXPECT_EQ(ParameterSummary(V{"exe", "Cvl.exe"}), "호출프로그램(ParamStr(1)): Cvl.exe");
  EXPECT_EQ(ParameterSummary(V{"exe", "", "admin"}), ", 사용자ID(ParamStr(2)): admin");
  EXPECT_EQ(ParameterSummary(V{"exe", "Cvl.exe", "admin", "H"}),
            "호출프로그램(ParamStr(1)): Cvl.exe, 사용자ID(ParamStr(2)): admin, 숨김실행(ParamStr(3)): H");
  EXPECT_EQ(ParameterSummary(V{"exe", "", "", "H"}), ", 숨김실행(ParamStr(3)): H");
  EXPECT_EQ(Argument(V{"exe"}, 1), "");
}
