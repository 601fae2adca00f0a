#include <gtest/gtest.h>

#include <aclapi.h>
#include <sddl.h>

#include "env/FileVersion.h"
#include "Harness.h"
#include "platform/FileSystem.h"
#include "platform/ReplacingFile.h"
#include "platform/Text.h"

using namespace updater;
using namespace updater::test;

namespace {

std::string Fixture(const char* name) { return BuildFolder() + name; }

class Files : public ::testing::Test {
 protected:
  void SetUp() override {
    RemoveTree(dir);
    MakeFolders(dir);
  }
  void TearDown() override { RemoveTree(dir); }
  const std::string dir = "D:\\files";
};

FILETIME LastWrite(std::string_view path) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  ::GetFileAttributesExW(Wide(path).c_str(), GetFileExInfoStandard, &data);
  return data.ftLastWriteTime;
}

uint64_t Ticks(FILETIME t) { return (uint64_t{t.dwHighDateTime} << 32) | t.dwLowDateTime; }

bool NoTemporaryFilesIn(std::string_view folder) {
  WIN32_FIND_DATAW fd;
  FindHandle h(::FindFirstFileW(Wide(std::string(folder) + "\\*.yte").c_str(), &fd));
  return !h;
}

void SetDacl(const std::string& path, const std::string& sddl) {
  PSECURITY_DESCRIPTOR sd = nullptr;
  if (!::ConvertStringSecurityDescriptorToSecurityDescriptorW(Wide(sddl).c_str(), SDDL_REVISION_1, &sd, nullptr)) return;
  BOOL present = FALSE, defaulted = FALSE;
  PACL dacl = nullptr;
  ::GetSecurityDescriptorDacl(sd, &present, &dacl, &defaulted);
  ::SetNamedSecurityInfoW(Wide(path).data(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION,
                          nullptr, nullptr, dacl, nullptr);
  ::LocalFree(sd);
}

std::string DaclOf(const std::string& path) {
  PSECURITY_DESCRIPTOR sd = nullptr;
  if (::GetNamedSecurityInfoW(Wide(path).c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, nullptr, nullptr,
                              &sd) != ERROR_SUCCESS)
    return {};
  wchar_t* text = nullptr;
  ::ConvertSecurityDescriptorToStringSecurityDescriptorW(sd, SDDL_REVISION_1, DACL_SECURITY_INFORMATION, &text, nullptr);
  const std::string result = text ? Narrow(text) : std::string{};
  if (text) ::LocalFree(text);
  ::LocalFree(sd);
  return result;
}

}  // namespace

TEST(VersionText, ResourceVariants) {
  // A FileVersion written with commas is replaced by the fixed information.
  EXPECT_EQ(VersionText(Fixture("ver_commas.dll")), "6.0.2.80");
  EXPECT_EQ(VersionText(Fixture("ver_commas.dll"), 0), "Comma fixture");  // trimmed
  // The later translation wins; a string only the earlier one holds stays.
  EXPECT_EQ(VersionText(Fixture("ver_two_translations.dll")), "2.0.0.0");
  EXPECT_EQ(VersionText(Fixture("ver_two_translations.dll"), 4), "English only");
  // Fixed information alone is no FileVersion string.
  EXPECT_EQ(VersionText(Fixture("ver_no_fileversion.dll")), "0.0.0.0");
  EXPECT_EQ(NumericVersion(Fixture("ver_no_fileversion.dll")), "3.1.4.1");
  EXPECT_EQ(VersionText(Fixture("ver_none.dll")), "0.0.0.0");
  EXPECT_EQ(NumericVersion(Fixture("ver_none.dll")), "");
  EXPECT_EQ(VersionText(Fixture("ver_plain.dll")), "6.0.10.1");
  EXPECT_EQ(VersionText("D:\\no\\such.dll"), "0.0.0.0");
  EXPECT_EQ(VersionText(Fixture("UpdateTool.exe"), 1), "1.0.0.1");
}

TEST_F(Files, Sizes) {
  WriteFileBytes(dir + "\\a.txt", "12345");
  WriteFileBytes(dir + "\\b.txt", "54321");
  WriteFileBytes(dir + "\\c.txt", "123456");
  EXPECT_EQ(FileSize(dir + "\\a.txt"), 5);
  EXPECT_EQ(FileSize(dir + "\\missing.txt"), 0);

  // Held for writing by someone else: it exists but cannot be opened.
  UniqueHandle writer(::CreateFileW(Wide(dir + "\\a.txt").c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
  ASSERT_TRUE(writer);
  EXPECT_EQ(FileSize(dir + "\\a.txt"), -1);
}

TEST_F(Files, SizeTextUsesTheSystemSeparator) {
  EXPECT_EQ(FileSizeText(1023), "1,023Byte");
  EXPECT_EQ(FileSizeText(1048576), "1.00MB");
}

TEST_F(Files, PlainCopyKeepsContentDateAndAttributes) {
  std::string content;
  for (int i = 0; i < 10000; ++i) content += static_cast<char>(i * 7);  // spans several 3073-byte blocks
  const std::string src = dir + "\\src.bin", dst = dir + "\\dst.bin";
  WriteFileBytes(src, content);
  WriteFileBytes(dst, "old content");
  FILETIME t{};
  SYSTEMTIME st{2024, 3, 0, 15, 10, 20, 31, 0};  // odd second
  ::SystemTimeToFileTime(&st, &t);
  {
    UniqueHandle h(::CreateFileW(Wide(src).c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    ::SetFileTime(h.Get(), nullptr, nullptr, &t);
  }
  ::SetFileAttributesW(Wide(src).c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE);

  ASSERT_TRUE(PlainCopy(src, dst));
  EXPECT_EQ(ReadFileBytes(dst), content);
  const uint64_t copied = Ticks(LastWrite(dst)), original = Ticks(t);
  EXPECT_EQ(original - copied, 10000000u) << "10:20:31 lands on the even second 10:20:30";
  EXPECT_TRUE(::GetFileAttributesW(Wide(dst).c_str()) & FILE_ATTRIBUTE_HIDDEN);
  EXPECT_TRUE(NoTemporaryFilesIn(dir));
}

TEST_F(Files, PlainCopyNeverCopiesAFileOntoItself) {
  const std::string src = dir + "\\self.bin";
  WriteFileBytes(src, "keep me");
  EXPECT_FALSE(PlainCopy(src, src));
  EXPECT_FALSE(PlainCopy(src, "D:\\FILES\\SELF.BIN"));  // another spelling of the same file
  EXPECT_EQ(ReadFileBytes(src), "keep me");
  EXPECT_FALSE(PlainCopy(dir + "\\missing.bin", dir + "\\x.bin"));
  EXPECT_EQ(FileSize(dir + "\\x.bin"), 0);
}

TEST_F(Files, PlainCopyOntoAHeldTargetFailsAndLeavesItWhole) {
  const std::string src = dir + "\\new.bin", dst = dir + "\\held.bin";
  WriteFileBytes(src, "new");
  WriteFileBytes(dst, "old");
  UniqueHandle holder(::CreateFileW(Wide(dst).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
  ASSERT_TRUE(holder);
  EXPECT_FALSE(PlainCopy(src, dst));
  holder.Reset();
  EXPECT_EQ(ReadFileBytes(dst), "old");
  EXPECT_TRUE(NoTemporaryFilesIn(dir));
}

TEST_F(Files, AnEarlierRunsTemporaryFileOfTheTargetIsRemoved) {
  WriteFileBytes(dir + "\\a.dll", "old");
  WriteFileBytes(dir + "\\a.dll.4242-99.yte", std::string(1000, 'x'));  // left by a killed run
  WriteFileBytes(dir + "\\a_20250724_101530.yte", "busy");               // a renamed busy file stays
  WriteFileBytes(dir + "\\src.dll", "new");
  ASSERT_TRUE(PlainCopy(dir + "\\src.dll", dir + "\\a.dll"));
  EXPECT_FALSE(FileExists(dir + "\\a.dll.4242-99.yte"));
  EXPECT_TRUE(FileExists(dir + "\\a_20250724_101530.yte"));
}

// Every target the system could write directly (a path below MAX_PATH) stays writable, backed up
// and restorable, although the temporary name beside it is about 20 characters longer.
TEST_F(Files, TargetsNearTheLongestPathStayWritable) {
  for (size_t length : {240u, 250u, 259u}) {
    const std::string target = dir + "\\" + std::string(length - dir.size() - 5, 'n') + ".dll";
    ASSERT_EQ(target.size(), length);
    WriteFileBytes(dir + "\\src.bin", "new content");
    ASSERT_TRUE(PlainCopy(dir + "\\src.bin", target)) << length;
    EXPECT_EQ(ReadFileBytes(target), "new content");
    ASSERT_TRUE(PlainCopy(dir + "\\src.bin", target)) << length;  // over the existing file too
    EXPECT_TRUE(NoTemporaryFilesIn(dir));
    ::DeleteFileW(Wide(target).c_str());
  }
}

// The new content takes the place of the old file: the target's own settings stay with it as far
// as the file system keeps them.
TEST_F(Files, ReplacingATargetKeepsItsAttributesAndStreams) {
  const std::string target = dir + "\\kept.dll";
  WriteFileBytes(target, "old");
  WriteFileBytes(target + ":meta", "side stream");
  const bool streams = ReadFileBytes(target + ":meta") == "side stream" && !FileExists(dir + "\\kept.dll:meta");
  ::SetFileAttributesW(Wide(target).c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
  // The file's own protected permissions (Everyone may only read).
  const std::string ownDacl = "D:P(A;;FR;;;WD)";
  SetDacl(target, ownDacl);
  const bool security = DaclOf(target) == ownDacl;
  {
    ReplacingFile out(target);
    ASSERT_TRUE(out.Created());
    ASSERT_TRUE(out.Write("new content", 11));
    ASSERT_TRUE(out.Commit());
  }
  EXPECT_EQ(ReadFileBytes(target), "new content");
  const DWORD attributes = ::GetFileAttributesW(Wide(target).c_str());
  EXPECT_TRUE(attributes & FILE_ATTRIBUTE_HIDDEN);
  EXPECT_TRUE(attributes & FILE_ATTRIBUTE_SYSTEM);
  if (streams) EXPECT_EQ(ReadFileBytes(target + ":meta"), "side stream");
  if (security) EXPECT_EQ(DaclOf(target), ownDacl);
  EXPECT_TRUE(NoTemporaryFilesIn(dir));
  // What this file system cannot keep is not checked, and the test says so as a skip.
  if (!streams) GTEST_SKIP() << "this file system keeps no alternate streams: they were not checked";
  if (!security) GTEST_SKIP() << "this file system keeps no file permissions: they were not checked";
}
