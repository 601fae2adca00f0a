#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>

#include "MiniImage.h"
#include "PEWriter.h"
#include "ToolpackIo.h"
#include "Plan.h"
#include "package/Inflate.h"
#include "package/PackageReader.h"
#include "package/pe/PEFile.h"
#include "platform/Sha256.h"
#include "Toolpack.h"

using namespace updater;
using namespace updater::toolpack;
using updater::test::MiniImage;
namespace fs = std::filesystem;

namespace {

class Toolpack : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = fs::temp_directory_path() / ("toolpack-test-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
                                       ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir);
    fs::create_directories(dir / "files");
    MiniImage img(u"16", u"1", 1033, "not really version info");
    Write("image.exe", std::string(img.bytes.begin(), img.bytes.end()));
  }
  void TearDown() override { fs::remove_all(dir); }
  void Write(const std::string& rel, const std::string& content) {
    std::ofstream(dir / rel, std::ios::binary) << content;
  }
  std::string P(const std::string& rel) const { return (dir / rel).string(); }
  std::string ErrorOfBuild(const std::string& manifest) {
    Write("m.txt", manifest);
    std::ostringstream out;
    try {
      Build(P("image.exe"), P("m.txt"), P("Tool01_1.exe"), out);
    } catch (const Error& e) {
      return e.File() + ": " + e.what();
    }
    return "";
  }
  fs::path dir;
};

}  // namespace

TEST_F(Toolpack, BuildListCheckExtractRoundTrip) {
  Write("files/Main.dll", std::string(50000, 'm'));
  Write("files/Guide.mht", "doc");
  Write("m.txt",
        "# sample\n[options]\nHIDDEN=1\nPREVTOOL=5521\n[files]\n"
        "files/Main.dll | 0 | 1 | 6 | Exe | zlib\n"
        "files/Guide.mht | 0 | 1 | 12 | Manual\\Update | plain | Agent\n");
  std::ostringstream out;
  Build(P("image.exe"), P("m.txt"), P("Tool01_5521.exe"), out);

  TPEResourceModule m(P("Tool01_5521.exe"));
  ASSERT_EQ(m.ResourceCount(), 6u);  // the image's own resource is kept
  EXPECT_EQ(m.ResourceDetails(0).Name(), "Guide.mht\b0.0.0.0\b0\b1\b12\bManual\\Update\b1\bAgent\b");
  EXPECT_EQ(m.ResourceDetails(1).Name(), "Main.dll\b0.0.0.0\b0\b1\b6\bExe\b0\b");
  EXPECT_EQ(m.ResourceDetails(2).Type(), "PACKAGEDIGEST");
  EXPECT_EQ(m.ResourceDetails(3).Type(), "PREVTOOL");
  EXPECT_EQ(m.ResourceDetails(4).Type(), "UPDATECONFIG");
  EXPECT_EQ(m.ResourceDetails(5).Type(), "16");
  const auto z = m.ResourceDetails(1).Data();
  EXPECT_EQ(z[0], 0x78);
  EXPECT_EQ(z[1], 0xDA);
  // The list covers every other resource by its data as stored, language, type and name.
  auto text = [](const std::vector<unsigned char>& d) { return std::string(d.begin(), d.end()); };
  const std::string list = text(m.ResourceDetails(2).Data());
  EXPECT_EQ(list.substr(0, list.find('\n') + 1), Sha256Hex(text(z)) + "  1042  MODULE  Main.dll%080.0.0.0%080%081%086%08Exe%080%08\n");
  const std::vector<ResourceDigest> parsed = ParseDigestList(list);
  ASSERT_EQ(parsed.size(), 5u);
  for (size_t i : {0u, 1u, 3u, 4u, 5u}) {
    const TResourceDetails& r = m.ResourceDetails(i);
    EXPECT_EQ(std::count_if(parsed.begin(), parsed.end(), [&](const ResourceDigest& d) {
                return d.type == r.Type() && d.name == r.Name() && d.language == r.Language() && d.sha256 == Sha256Hex(text(r.Data()));
              }), 1) << r.Type();
  }

  std::ostringstream listed, checked, extracted;
  List(P("Tool01_5521.exe"), listed);
  EXPECT_NE(listed.str().find("inflated 50000 bytes"), std::string::npos);
  EXPECT_TRUE(Check(P("Tool01_5521.exe"), checked)) << checked.str();
  Extract(P("Tool01_5521.exe"), P("out"), extracted);
  std::ifstream main(dir / "out" / "Main.dll", std::ios::binary);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(main), {}), std::string(50000, 'm'));
  EXPECT_TRUE(fs::exists(dir / "out" / "Guide.mht"));
  EXPECT_FALSE(fs::exists(dir / "out" / "PrevTool.txt"));  // control resources are not staged
  // What sha256sum -c reads, of the contents as staged.
  std::ifstream sums(dir / "out" / "SHA256SUMS", std::ios::binary);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(sums), {}),
            Sha256Hex("doc") + "  Guide.mht\n" + Sha256Hex(std::string(50000, 'm')) + "  Main.dll\n");
}

TEST_F(Toolpack, BadManifestsNameTheFileAndLineAndLeaveNothingBehind) {
  Write("files/A.dll", "a");
  Write("files/sub/a.dll", "a");
  Write("files/q'uote.dll", "x");
  Write("files/\xD0\x96.txt", "x");
  Write("files/sub/\xD0\xB6.txt", "x");
  const std::pair<const char*, const char*> rows[] = {
      {"[files]\nmissing.dll | 0 | 1 | 6 | Exe | zlib\n", "missing.dll: cannot open the file"},
      {"[files]\nfiles/a | x | 1 | 6 | Exe | zlib\n", "m.txt: line 2: copy type \"x\" is not a number"},
      {"[files]\nfiles/a | 0 | 1 | 6 | Exe | gzip\n", "line 2: store must be zlib or plain"},
      {"[files]\nfiles/a | 0 | 1\n", "expected source"},
      {"[options]\nPREVTOOL=55A1\n", "line 2: PREVTOOL needs a number (digits only)"},
      {"[options]\nPREVTOOL=5 5\n", "PREVTOOL needs a number"},
      {"[options]\nPREVTOOL=55&1\n", "PREVTOOL needs a number"},
      {"[options]\nHIDDEN=yes\n", "line 2: HIDDEN takes 0 or 1, not \"yes\""},
      {"[options]\nNOTEXECMANUAL=2  # two\n", "line 2: NOTEXECMANUAL takes 0 or 1, not \"2\""},
      {"[options]\nFAST=1\n", "unknown option FAST"},
      {"[stuff]\n", "unknown section"},
      {"files/a | 0 | 1 | 6 | Exe | zlib\n", "line 1: outside [options] or [files] (is this the manifest?"},
      {"[files]\nfiles/.. | 0 | 1 | 6 | Exe | zlib\n", "unsafe file name"},
      {"[files]\nfiles/a | 11 | 1 | 6 | Exe | zlib\n", "unknown copy type 11"},
      {"[files]\nfiles/a | 0 | 2 | 6 | Exe | zlib\n", "unknown base kind 2"},
      {"[files]\nfiles/a | 0 | 1 | 0 | a\\...\\x | zlib\n", "segment ending in a dot"},
      {"[files]\nfiles/a | 0 | 1 | 6 | Etc | zlib\n", "folder \"Etc\" is not the folder of index 6 (\"Exe\"), which the program takes"},
      {"[files]\nfiles/a | 0 | 1 | 12 | Foo\\Bar | zlib\n", "is not the folder of index 12"},
      {"[files]\nfiles/a | 0 | 1 | 6 | ..\\Windows | zlib\n", "has a \"..\" segment"},
      {"[files]\nfiles/a | 9 | 1 | 6 | Exe | zlib | ..\\Agent\n", "has a \"..\" segment"},
      {"[files]\nfiles/A.dll | 0 | 1 | 6 | Exe | zlib\nfiles/sub/a.dll | 0 | 1 | 34 | | zlib\n", "two files named A.dll and a.dll"},
      {"[files]\nfiles/\xD0\x96.txt | 0 | 1 | 6 | Exe | zlib\nfiles/sub/\xD0\xB6.txt | 0 | 1 | 34 | | zlib\n", "(one name to Windows)"},
      {"[files]\nfiles/q'uote.dll | 0 | 1 | 6 | Exe | zlib\n", "quotes"},
  };
  for (const auto& [manifest, expected] : rows) {
    SCOPED_TRACE(manifest);
    EXPECT_NE(ErrorOfBuild(manifest).find(expected), std::string::npos) << ErrorOfBuild(manifest);
    EXPECT_FALSE(fs::exists(dir / "Tool01_1.exe"));
  }
  for (const auto& e : fs::directory_iterator(dir)) EXPECT_EQ(e.path().string().find("toolpack-tmp"), std::string::npos);
}

// The manifest as the README prints it builds as it stands: comments after values, a byte order mark.
TEST_F(Toolpack, TheReadmesManifestBuildsAsPrinted) {
  std::ifstream readme(std::string(UPDATER_SOURCE_DIR) + "/README.md", std::ios::binary);
  const std::string text(std::istreambuf_iterator<char>(readme), {});
  const size_t start = text.find("```\n[options]\n");
  ASSERT_NE(start, std::string::npos);
  const std::string manifest = text.substr(start + 4, text.find("```", start + 4) - start - 4);
  Write("files/Main.dll", "main");
  Write("files/Guide.mht", "guide");
  Write("m.txt", "\xEF\xBB\xBF" + manifest);
  std::ostringstream out;
  Build(P("image.exe"), P("m.txt"), P("Tool01_5521.exe"), out);
  TPEResourceModule m(P("Tool01_5521.exe"));
  const PackageReader reader(m);
  struct Options final : ScanEvents {
    std::string ControlText(const TUpdateFileResource&, const TResourceDetails& payload) override {
      std::string t;
      ReadStaged(payload, false, [&](const void* d, size_t n) { t.append(static_cast<const char*>(d), n); });
      return t;
    }
  } events;
  const ToolOptions o = reader.Scan(events);
  EXPECT_TRUE(o.hidden);
  EXPECT_FALSE(o.openDocuments);
  EXPECT_TRUE(o.autoRunDataTool);
  EXPECT_EQ(o.prevTool, "VEROZ5521.exe");
}

// Two tools built from the same files but for the changes listed: the diff names each, and only
// those; a file whose date alone changed is no change.
TEST_F(Toolpack, DiffNamesWhatChangedAndNothingElse) {
  Write("files/Main.dll", std::string(50000, 'm'));
  Write("files/Same.dll", "same");
  Write("files/Old.txt", "old");
  Write("files/Guide.mht", "doc");
  Write("a.txt", "[options]\nPREVTOOL=5521\n[files]\nfiles/Main.dll | 0 | 1 | 6 | Exe | zlib\nfiles/Same.dll | 0 | 1 | 6 | Exe | zlib\n"
                 "files/Old.txt | 0 | 1 | 6 | Exe | plain\nfiles/Guide.mht | 0 | 1 | 12 | Manual\\Update | plain\n");
  std::ostringstream ignored;
  Build(P("image.exe"), P("a.txt"), P("Tool01_1.exe"), ignored);
  Write("files/Main.dll", std::string(49999, 'm') + "n");  // same size, other content
  Write("files/Same.dll", "same");                           // written again: a new date, the same content
  Write("files/New.txt", "new");
  Write("b.txt", "[options]\nHIDDEN=1\nPREVTOOL=5600\n[files]\nfiles/Main.dll | 0 | 1 | 6 | Exe | zlib\nfiles/Same.dll | 0 | 1 | 6 | Exe | zlib\n"
                 "files/New.txt | 7 | 1 | 6 | Exe | zlib\nfiles/Guide.mht | 1 | 1 | 23 | Manual\\Update\\ChartManual | zlib\n");
  Build(P("image.exe"), P("b.txt"), P("Tool01_2.exe"), ignored);

  std::ostringstream text;
  EXPECT_EQ(Diff(P("Tool01_1.exe"), P("Tool01_2.exe"), text, false), 9u);
  const std::vector<std::string> expected = {
      "changed  Guide.mht: copy type 0 -> 1",
      "changed  Guide.mht: sub-folder index 12 -> 23",
      "changed  Guide.mht: folder Manual\\Update -> Manual\\Update\\ChartManual",
      "changed  Guide.mht: storage plain -> zlib",
      "changed  Main.dll: content sha256 " + Sha256Hex(std::string(50000, 'm')).substr(0, 12) + " -> " +
          Sha256Hex(std::string(49999, 'm') + "n").substr(0, 12),
      "added    New.txt (version 0.0.0.0)",
      "removed  Old.txt (version 0.0.0.0)",
      "option   HIDDEN: \"0\" -> \"1\"",
      "option   PREVTOOL: \"5521\" -> \"5600\"",
  };
  std::vector<std::string> lines;
  std::istringstream in(text.str());
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  EXPECT_EQ(lines, expected) << text.str();

  std::ostringstream json;
  Diff(P("Tool01_1.exe"), P("Tool01_2.exe"), json, true);
  EXPECT_NE(json.str().find("{\"kind\": \"changed\", \"name\": \"Main.dll\", \"what\": \"content\""), std::string::npos) << json.str();
  std::ostringstream none;
  EXPECT_EQ(Diff(P("Tool01_2.exe"), P("Tool01_2.exe"), none, false), 0u);
  EXPECT_EQ(none.str(), "no difference\n");
}

// Sparse files stand in for large ones: the limits are judged before anything is read.
TEST_F(Toolpack, ATooLargeToolIsRefusedAndAPlainFileThatCompressesIsNamed) {
  auto sparse = [&](const std::string& rel, uint64_t size) {
    Write(rel, "");
    fs::resize_file(dir / rel, size);
  };
  sparse("files/Huge.dat", kLargestLoadableTool + 1);
  const std::string error = ErrorOfBuild("[files]\nfiles/Huge.dat | 0 | 1 | 5 | Etc | plain\n");
  EXPECT_NE(error.find("m.txt: the files stored plain come to more than 1900 MB, the largest tool the program can load"),
            std::string::npos)
      << error;
  EXPECT_FALSE(fs::exists(dir / "Tool01_1.exe"));
  for (const auto& e : fs::directory_iterator(dir)) EXPECT_EQ(e.path().string().find("toolpack-tmp"), std::string::npos);

  // Zeros past the warning size, stored plain: built, with a warning that names the file.
  sparse("files/Zeros.dat", kPlainWarningSize + 1);
  Write("m.txt", "[files]\nfiles/Zeros.dat | 0 | 1 | 5 | Etc | plain\n");
  std::ostringstream out;
  Build(P("image.exe"), P("m.txt"), P("Tool01_1.exe"), out);
  EXPECT_NE(out.str().find("warning: Zeros.dat is stored plain (64 MB) but compresses"), std::string::npos) << out.str();
  EXPECT_GT(fs::file_size(dir / "Tool01_1.exe"), kPlainWarningSize);
  EXPECT_EQ(fs::file_size(dir / "Tool01_1.exe") % 4096, 0u);

  // Random data past the warning size, asked for zlib: stored plain, and said so.
  std::string noise(kPlainWarningSize + 1, '\0');
  uint64_t x = 88172645463325252ull;
  for (char& c : noise) c = static_cast<char>((x ^= x << 13, x ^= x >> 7, x ^= x << 17) >> 24);
  Write("files/Noise.bin", noise);
  Write("m.txt", "[files]\nfiles/Noise.bin | 0 | 1 | 5 | Etc | zlib\n");
  std::ostringstream noted;
  Build(P("image.exe"), P("m.txt"), P("Tool01_2.exe"), noted);
  EXPECT_NE(noted.str().find("note: Noise.bin (64 MB) does not compress: zlib would make it bigger, so it is stored plain"),
            std::string::npos)
      << noted.str();
  TPEResourceModule m(P("Tool01_2.exe"));
  EXPECT_EQ(PackageReader(m).Entries().front().fields->StoredPlain, 1);
}

// A tool built from a tool holds only the new package: the old package's section goes.
TEST_F(Toolpack, ARebuiltToolHoldsOnlyTheNewPackage) {
  Write("files/Big.dat", std::string(300000, 'b'));
  Write("files/Small.txt", "small");
  Write("big.txt", "[files]\nfiles/Big.dat | 0 | 1 | 5 | Etc | plain\n");
  Write("small.txt", "[files]\nfiles/Small.txt | 0 | 1 | 5 | Etc | plain\n");
  std::ostringstream out;
  Build(P("image.exe"), P("small.txt"), P("fresh.exe"), out);
  Build(P("image.exe"), P("big.txt"), P("big1.exe"), out);
  Build(P("big1.exe"), P("big.txt"), P("big2.exe"), out);
  Build(P("big2.exe"), P("small.txt"), P("rebuilt.exe"), out);
  EXPECT_EQ(fs::file_size(dir / "big2.exe"), fs::file_size(dir / "big1.exe"));
  EXPECT_EQ(fs::file_size(dir / "rebuilt.exe"), fs::file_size(dir / "fresh.exe"));
  std::ostringstream checked;
  EXPECT_TRUE(Check(P("rebuilt.exe"), checked)) << checked.str();
}

TEST_F(Toolpack, AnImageWithoutRoomOrNotPE32IsRefused) {
  MiniImage img(u"16", u"1", 1033, "v");
  img.Put32(MiniImage::kOpt + 60, MiniImage::kSectionTable + 40);  // headers end right after the table
  Write("tight.exe", std::string(img.bytes.begin(), img.bytes.end()));
  Write("files/a.dll", "a");
  Write("m.txt", "[files]\nfiles/a.dll | 0 | 1 | 6 | Exe | zlib\n");
  std::ostringstream out;
  try {
    Build(P("tight.exe"), P("m.txt"), P("Tool01_1.exe"), out);
    FAIL() << "built into an image without room";
  } catch (const Error& e) {
    EXPECT_NE(std::string(e.what()).find("no room"), std::string::npos);
  }
  Write("text.exe", "just text");
  EXPECT_THROW(Build(P("text.exe"), P("m.txt"), P("Tool01_1.exe"), out), std::exception);
  EXPECT_FALSE(fs::exists(dir / "Tool01_1.exe"));
}

// Each way a built tool can be spoiled, and the line check gives for it; a tool without a digest
// list still checks (its plain files then unread).
TEST_F(Toolpack, CheckReportsDamage) {
  Write("files/a.dll", std::string(10000, 'a'));
  Write("files/p.txt", "plain content");
  Write("m.txt", "[files]\nfiles/a.dll | 0 | 1 | 6 | Exe | zlib\nfiles/p.txt | 0 | 1 | 6 | Exe | plain\n");
  std::ostringstream ignored;
  Build(P("image.exe"), P("m.txt"), P("Tool01_1.exe"), ignored);
  const std::vector<unsigned char> built = ReadBinary(P("Tool01_1.exe"));
  TPEResourceModule m(P("Tool01_1.exe"));
  const TResourceDetails& a = m.ResourceDetails(0);  // a.dll, then p.txt, then the digest list
  const TResourceDetails& p = m.ResourceDetails(1);
  auto digestList = [](const std::string& text) {
    return NewResource{std::string(kDigestType), std::string(kDigestName), kPackageLanguage, 0, {text.begin(), text.end()}, {}};
  };
  const std::vector<unsigned char> listData = m.ResourceDetails(2).Data();
  const std::string list(listData.begin(), listData.end());
  const std::string otherA = DeflateBest("another a", 9);
  TUpdateFileResource movedA{"MODULE", "a.dll", "0.0.0.0", 4, 0, 0, "C:\\probe-outside", "", 0};
  const std::vector<unsigned char> aData = a.Data();
  struct Row {
    const char* what;
    std::function<std::vector<unsigned char>()> make;
    const char* line;  // empty: check passes
  };
  const Row rows[] = {
      {"as built", [&] { return built; }, ""},
      {"a byte of the zlib stream flipped",
       [&] { auto b = built; b[a.DataOffset() + a.DataSize() - 6] ^= 0x55; return b; }, "problem: a.dll"},
      {"a byte of the plain file flipped",
       [&] { auto b = built; b[p.DataOffset() + 3] ^= 0x20; return b; },
       "problem: Damaged resource: content differs from its SHA-256 digest \"p.txt\""},
      {"a zlib stream that inflates to other content",
       [&] { return WriteResources(built, {{a.Type(), a.Name(), kPackageLanguage, 0, {otherA.begin(), otherA.end()}, {}}}); },
       "problem: Damaged resource: content differs from its SHA-256 digest \"a.dll\""},
      {"a file added after the list was made",
       [&] { return WriteResources(built, {{"MODULE", MakeResourceName({"MODULE", "b.dll", "", 0, 1, 6, "", "", 1}), kPackageLanguage, 0, {'b'}, {}}}); },
       "problem: Damaged resource: not in the package's digest list \"b.dll\""},
      {"a file moved to another folder and copy type",
       [&] { return WriteResources(built, {{"MODULE", MakeResourceName(movedA), kPackageLanguage, 0, aData, {}}}); },
       "problem: Damaged resource: not in the package's digest list \"a.dll\""},
      {"a file in another language as well",
       [&] { return WriteResources(built, {{a.Type(), a.Name(), 1033, 0, aData, {}}}); },
       "problem: Damaged resource: not in the package's digest list \"a.dll\""},
      {"a resource of another type that names a data tool",
       [&] { return WriteResources(built, {{"FOO", MakeResourceName({"FOO", "VEROZ9999.exe", "", 0, 1, 15, "", "", 1}), kPackageLanguage, 0, {'x'}, {}}}); },
       "problem: Damaged resource: not in the package's digest list \"VEROZ9999.exe\""},
      {"a listed resource missing from the package",
       [&] { return WriteResources(built, {digestList(list + Sha256Hex("x") + "  1042  MODULE  gone.dll%08%080%081%086%08%080%08\n")}); },
       "problem: Damaged resource: in the digest list but not in the package \"MODULE gone.dll||0|1|6||0| (language 1042)\""},
      {"an unreadable digest list", [&] { return WriteResources(built, {digestList("not a digest\n")}); },
       "problem: Damaged resource: unreadable digest line"},
      {"no digest list", [&] { return WriteResources(built, {}, {std::string(kDigestType)}); }, ""},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    const std::vector<unsigned char> tool = row.make();
    Write("spoiled.exe", std::string(tool.begin(), tool.end()));
    std::ostringstream checked, extracted;
    const bool whole = std::string(row.line).empty();
    EXPECT_EQ(Check(P("spoiled.exe"), checked), whole) << checked.str();
    EXPECT_NE(checked.str().find(row.line), std::string::npos) << checked.str();
    // plan and extract judge the tool as check and the program do.
    fs::create_directories(dir / "client");
    EXPECT_EQ(MakePlan(P("spoiled.exe"), P("client")).refused.empty(), whole);
    fs::remove_all(dir / "out");
    if (whole) EXPECT_NO_THROW(Extract(P("spoiled.exe"), P("out"), extracted));
    else EXPECT_THROW(Extract(P("spoiled.exe"), P("out"), extracted), Error);
  }
  std::ostringstream listed, checked;
  Write("plain.exe", [&] { auto t = WriteResources(built, {}, {std::string(kDigestType)}); return std::string(t.begin(), t.end()); }());
  List(P("plain.exe"), listed);
  EXPECT_NE(listed.str().find("digest list: none\nsignature: none\n"), std::string::npos) << listed.str();
  Check(P("plain.exe"), checked);
  EXPECT_NE(checked.str().find("no digest list: the tool cannot prove itself whole\nunsigned\nok: 2 files in the package\n"),
            std::string::npos)
      << checked.str();
}

// The dry run's view of a client folder: Windows paths below the install root, matched part by
// part in any case of ASCII letters; nothing outside it.
TEST_F(Toolpack, PlanSeesTheClientFolderAsWindowsWould) {
  fs::create_directories(dir / "clinic" / "exe" / "DLL");
  Write("clinic/exe/Main.DLL", "m");
  const ClientFolder pc(dir / "clinic", "D:\\CVL2000");
  struct Row {
    const char* path;
    bool folder, file;
  };
  const Row rows[] = {
      {"D:\\CVL2000\\Exe\\main.dll", false, true},   {"d:\\cvl2000\\EXE\\dll\\", true, false},
      {"D:\\CVL2000", true, false},                     {"D:\\CVL2000\\Exe\\Other.dll", false, false},
      {"D:\\CVL2000x\\Exe\\Main.dll", false, false}, {"C:\\CVL2000\\Exe\\Main.dll", false, false},
      {"Exe\\Main.dll", false, false},
  };
  for (const Row& r : rows) {
    EXPECT_EQ(pc.FolderExists(r.path), r.folder) << r.path;
    EXPECT_EQ(pc.FileExists(r.path), r.file) << r.path;
  }
  EXPECT_EQ(pc.TempFolder(), "D:\\CVL2000\\Temp\\");

  // The plan leaves the folder as it was, and says so first.
  Write("files/Main.dll", "new main");
  Write("m.txt", "[files]\nfiles/Main.dll | 0 | 1 | 6 | Exe | zlib\n");
  std::ostringstream ignored, planned;
  Build(P("image.exe"), P("m.txt"), P("Tool01_1.exe"), ignored);
  auto tree = [&] {
    std::string t;
    for (const auto& e : fs::recursive_directory_iterator(dir / "clinic"))
      t += e.path().string() + " " + std::to_string(e.last_write_time().time_since_epoch().count()) + "\n";
    return t;
  };
  const std::string was = tree();
  PrintPlan(MakePlan(P("Tool01_1.exe"), P("clinic")), planned, false);
  EXPECT_EQ(tree(), was);
  EXPECT_EQ(planned.str().substr(0, planned.str().find('\n')),
            "plan of " + P("Tool01_1.exe") + " for " + P("clinic") +
                " as D:\\CVL2000\\: a dry run: nothing in " + P("clinic") + " is written; its files are only read for their versions and sizes");
  EXPECT_NE(planned.str().find("  1. Main.dll: deploy (neither has a version and the sizes differ)\n"
                               "       target   D:\\CVL2000\\Exe\\Main.dll\n"),
            std::string::npos)
      << planned.str();
}

#ifdef UPDATER_WIN_BUILD_DIR
TEST(ToolpackVersions, VersionFieldComesFromTheFilesOwnResource) {
  std::ifstream f(UPDATER_WIN_BUILD_DIR "/ver_commas.dll", std::ios::binary);
  if (!f) GTEST_SKIP() << "the Windows build has not run";
  const std::vector<unsigned char> dll{std::istreambuf_iterator<char>(f), {}};
  EXPECT_EQ(FileVersionOf(dll), "6.0.2.80");  // "6, 0, 2, 80" replaced by the fixed information
  std::ifstream g(UPDATER_WIN_BUILD_DIR "/ver_two_translations.dll", std::ios::binary);
  EXPECT_EQ(FileVersionOf({std::istreambuf_iterator<char>(g), {}}), "2.0.0.0");
  std::ifstream h(UPDATER_WIN_BUILD_DIR "/ver_no_fileversion.dll", std::ios::binary);
  EXPECT_EQ(FileVersionOf({std::istreambuf_iterator<char>(h), {}}), "0.0.0.0");
  std::ifstream u(UPDATER_WIN_BUILD_DIR "/ver_upper_block.dll", std::ios::binary);
  EXPECT_EQ(FileVersionOf({std::istreambuf_iterator<char>(u), {}}), "7.1.2.3");  // block "041204B0"
  EXPECT_EQ(FileVersionOf({'n', 'o'}), "0.0.0.0");
}
#endif
