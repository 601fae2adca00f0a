#include <gtest/gtest.h>

#include <fstream>

#include "MiniImage.h"
#include "package/pe/PEFile.h"
#include "PEWriter.h"

using namespace updater;
using namespace updater::test;

namespace {

std::unique_ptr<TPEResourceModule> Load(const std::vector<unsigned char>& bytes) {
  auto m = std::make_unique<TPEResourceModule>();
  m->LoadFromSource(std::make_unique<MemorySource>(bytes.data(), bytes.size()));
  return m;
}

size_t CountOf(const std::vector<unsigned char>& bytes) { return Load(bytes)->ResourceCount(); }

std::string ErrorOf(const std::vector<unsigned char>& bytes) {
  try {
    Load(bytes);
  } catch (const std::exception& e) {
    return e.what();
  }
  return "";
}

MiniImage Sample() { return MiniImage(u"MODULE", u"A.dll\b1.0.0.0\b0\b1\b6\bExe\b0\b", 1042, "payload!"); }

std::vector<unsigned char> ReadFile(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>()};
}

}  // namespace

TEST(PEReader, ReadsTheResourceOfAMinimalImage) {
  MiniImage img = Sample();
  auto m = Load(img.bytes);
  ASSERT_EQ(m->ResourceCount(), 1u);
  const TResourceDetails& r = m->ResourceDetails(0);
  EXPECT_EQ(r.Type(), "MODULE");
  EXPECT_EQ(r.Name(), "A.dll\b1.0.0.0\b0\b1\b6\bExe\b0\b");
  EXPECT_EQ(r.Language(), 1042u);
  EXPECT_EQ(r.DataSize(), 8u);
  const std::vector<unsigned char> data = r.Data();
  EXPECT_EQ(std::string(data.begin(), data.end()), "payload!");
  EXPECT_NE(dynamic_cast<const TAnsiResourceDetails*>(&r), nullptr);
  EXPECT_THROW(r.ReadData(4, nullptr, 5), std::out_of_range);
}

TEST(PEReader, HeaderErrorsUseTheirTexts) {
  MiniImage img = Sample();
  img.Put16(0, 0x4D5A);
  EXPECT_EQ(ErrorOf(img.bytes), "Invalid DOS signature");
  EXPECT_EQ(ErrorOf({'M', 'Z'}), "Invalid DOS signature");  // shorter than a DOS header

  img = Sample();
  img.Put32(MiniImage::kPe, 0x4551);
  EXPECT_EQ(ErrorOf(img.bytes), "Invalid COFF signature");
  img = Sample();
  img.Put32(60, 0xFFFFFFFF);  // PE header beyond the file
  EXPECT_EQ(ErrorOf(img.bytes), "Invalid COFF signature");

  img = Sample();
  img.Put16(MiniImage::kOpt, 0x20B);  // PE32+
  EXPECT_EQ(ErrorOf(img.bytes), "Invalid Windows Image");
  img = Sample();
  img.Put16(MiniImage::kPe + 6, 0xFFFF);  // section table past the end
  EXPECT_EQ(ErrorOf(img.bytes), "Invalid Windows Image");

  img = Sample();
  img.Put32(MiniImage::kOpt + 92, 2);
  EXPECT_EQ(ErrorOf(img.bytes), "Index exceeds data dictionary count");
  EXPECT_THROW(Load(img.bytes), std::out_of_range);
}

TEST(PEReader, AnImageCutShortIsDamagedAtEveryLength) {
  // A download that stopped early: before the section table ends the header errors, after it the
  // section's raw data runs past the end, which is an invalid image rather than an empty package.
  const MiniImage img = Sample();
  const size_t tableEnd = MiniImage::kSectionTable + 40;
  for (size_t n = 0; n < img.bytes.size(); ++n) {
    const std::vector<unsigned char> cut(img.bytes.begin(), img.bytes.begin() + static_cast<ptrdiff_t>(n));
    const std::string error = ErrorOf(cut);
    if (n >= tableEnd) EXPECT_EQ(error, "Invalid Windows Image") << n;
    else EXPECT_TRUE(error == "Invalid DOS signature" || error == "Invalid COFF signature" || error == "Invalid Windows Image")
        << n << ": " << error;
  }
  EXPECT_EQ(CountOf(img.bytes), 1u);

  // A section without raw data (uninitialised data) may point anywhere.
  MiniImage bss = Sample();
  bss.Put16(MiniImage::kPe + 6, 2);
  bss.Put32(MiniImage::kOpt + 60, MiniImage::kRaw);
  bss.Put32(MiniImage::kSectionTable + 40 + 12, 0x9000);
  bss.Put32(MiniImage::kSectionTable + 40 + 20, 0xFFFFFF00);
  EXPECT_EQ(CountOf(bss.bytes), 1u);
}

TEST(PEReader, DataSizeBoundaries) {
  MiniImage img = Sample();
  const uint32_t room = static_cast<uint32_t>(img.bytes.size()) - MiniImage::kRaw - MiniImage::kData;
  img.S32(MiniImage::kDataEntry + 4, room);  // exact fit
  EXPECT_EQ(CountOf(img.bytes), 1u);
  img.S32(MiniImage::kDataEntry + 4, room + 1);  // one byte over
  EXPECT_EQ(CountOf(img.bytes), 0u);
  img.S32(MiniImage::kDataEntry + 4, 0xFFFFFFFF);
  EXPECT_EQ(CountOf(img.bytes), 0u);
}

TEST(PEReader, DataAddressBoundaries) {
  MiniImage img = Sample();
  img.S32(MiniImage::kDataEntry, MiniImage::kVa - 1);  // before its section
  EXPECT_EQ(CountOf(img.bytes), 0u);
  img.S32(MiniImage::kDataEntry, 0xFFFFFFFF);
  EXPECT_EQ(CountOf(img.bytes), 0u);
  img.S32(MiniImage::kDataEntry, MiniImage::kVa + static_cast<uint32_t>(img.bytes.size()) - MiniImage::kRaw - 8);
  EXPECT_EQ(CountOf(img.bytes), 1u);  // last 8 bytes: exact fit
  img.S32(MiniImage::kDataEntry, MiniImage::kVa + static_cast<uint32_t>(img.bytes.size()) - MiniImage::kRaw - 7);
  EXPECT_EQ(CountOf(img.bytes), 0u);
}

TEST(PEReader, DataEntryBoundaries) {
  // The 16-byte data entry in the last bytes of the section fits; one byte later it does not.
  MiniImage img(u"MODULE", u"A.dll\b1.0.0.0\b0\b1\b6\bExe\b0\b", 1042, std::string(32, 'd'));
  const uint32_t sectionSize = static_cast<uint32_t>(img.bytes.size()) - MiniImage::kRaw;
  auto entryAt = [&](uint32_t at) {
    img.S32(at, MiniImage::kVa + MiniImage::kData);
    img.S32(at + 4, 16);
    img.S32(MiniImage::kLangDir + 20, at);
  };
  entryAt(sectionSize - 16);
  EXPECT_EQ(CountOf(img.bytes), 1u);
  entryAt(sectionSize - 15);
  EXPECT_EQ(CountOf(img.bytes), 0u);
  img.S32(MiniImage::kLangDir + 20, 0x7FFFFFFF);
  EXPECT_EQ(CountOf(img.bytes), 0u);
}

TEST(PEReader, DirectoryAndNameBoundaries) {
  MiniImage img = Sample();
  const uint32_t sectionSize = static_cast<uint32_t>(img.bytes.size()) - MiniImage::kRaw;
  img.S32(MiniImage::kTypeDir + 20, 0x80000000u | (sectionSize - 16));  // a directory with no room for entries
  EXPECT_EQ(CountOf(img.bytes), 0u);
  img.S32(MiniImage::kTypeDir + 20, 0x80000000u | (sectionSize - 15));
  EXPECT_EQ(CountOf(img.bytes), 0u);
  img.S32(MiniImage::kTypeDir + 20, 0xFFFFFFFF);
  EXPECT_EQ(CountOf(img.bytes), 0u);

  img = Sample();
  img.S16(MiniImage::kNameString, 0xFFFF);  // name runs past the section
  EXPECT_EQ(CountOf(img.bytes), 0u);
  img = Sample();
  img.S16(sectionSize - 2, 0);
  img.S32(MiniImage::kNameDir + 16, 0x80000000u | (sectionSize - 2));  // empty name at the very end
  EXPECT_EQ(CountOf(img.bytes), 1u);
  EXPECT_EQ(Load(img.bytes)->ResourceDetails(0).Name(), "");
  img.S32(MiniImage::kNameDir + 16, 0x80000000u | (sectionSize - 1));
  EXPECT_EQ(CountOf(img.bytes), 0u);
  img.S32(MiniImage::kNameDir + 16, 0xFFFFFFFF);
  EXPECT_EQ(CountOf(img.bytes), 0u);

  img = Sample();
  img.S16(MiniImage::kTypeDir + 14, 0xFFFF);  // entry count far beyond the section: read what fits
  EXPECT_GE(CountOf(img.bytes), 1u);
}

TEST(PEReader, LoopsAndNamedLanguages) {
  MiniImage img = Sample();
  img.S32(MiniImage::kNameDir + 20, 0x80000000u | MiniImage::kTypeDir);  // name level points back at the root
  EXPECT_EQ(CountOf(img.bytes), 0u);
  img = Sample();
  img.S32(MiniImage::kLangDir + 20, 0x80000000u | MiniImage::kLangDir);  // a fourth level is never walked
  EXPECT_EQ(CountOf(img.bytes), 0u);
  img = Sample();
  img.S32(MiniImage::kLangDir + 16, 0x80000000u | MiniImage::kNameString);
  EXPECT_EQ(ErrorOf(img.bytes), "Unsupported non-integer language ID in resource");
}

TEST(PEReader, ResourceDirectoryOutsideEverySection) {
  MiniImage img = Sample();
  img.Put32(MiniImage::kOpt + 96 + 16, 0x900000);
  EXPECT_EQ(CountOf(img.bytes), 0u);
  img.Put32(MiniImage::kOpt + 96 + 16, 0);
  EXPECT_EQ(CountOf(img.bytes), 0u);
}

TEST(PEReader, KoreanNamesKeepEveryField) {
  MiniImage img(u"MODULE", u"\uC5C5\uB370\uC774\uD2B8.dll\b6.0.2.80\b0\b1\b24\b\b0\b", 1042, "x");
  const std::string name = Load(img.bytes)->ResourceDetails(0).Name();
  EXPECT_EQ(name, "업데이트.dll\b6.0.2.80\b0\b1\b24\b\b0\b");
}

TEST(PEReader, LanguageLookupFallsBackToNeutralOnly) {
  MiniImage english(u"MODULE", u"N", 1033, "en");
  auto m = Load(english.bytes);
  EXPECT_EQ(m->FindResourceDetails("MODULE", "N", 1042), nullptr);
  EXPECT_NE(m->FindResourceDetails("MODULE", "N", 1033), nullptr);
  EXPECT_EQ(m->FindResourceDetails("module", "N", 1033), nullptr);  // exact comparison

  // Add a neutral twin and a 1042 one through the writer; the exact language wins over neutral.
  std::vector<unsigned char> two = WriteResources(english.bytes, {{"MODULE", "N", 0, 0, {'n'}, {}}});
  auto m2 = Load(two);
  ASSERT_NE(m2->FindResourceDetails("MODULE", "N", 1042), nullptr);
  EXPECT_EQ(m2->FindResourceDetails("MODULE", "N", 1042)->Language(), 0u);
  std::vector<unsigned char> three = WriteResources(two, {{"MODULE", "N", 1042, 0, {'k'}, {}}});
  EXPECT_EQ(Load(three)->FindResourceDetails("MODULE", "N", 1042)->Language(), 1042u);
}

TEST(PEWriter, KeepsResourcesAndOrdersTheDirectory) {
  MiniImage img(u"16", u"1", 0x412, "version");
  img.S32(MiniImage::kTypeDir + 16, 16);  // numeric type 16
  img.S32(MiniImage::kNameDir + 16, 1);
  img.S16(MiniImage::kTypeDir + 12, 0);
  img.S16(MiniImage::kTypeDir + 14, 1);
  img.S16(MiniImage::kNameDir + 12, 0);
  img.S16(MiniImage::kNameDir + 14, 1);
  ASSERT_EQ(Load(img.bytes)->ResourceDetails(0).Type(), "16");

  std::vector<NewResource> add = {
      {"UPDATECONFIG", "Cfg\b\b0\b1\b-1\b\b0\b", 1042, 0, {'c'}, {}},
      {"MODULE", "b.dll\b\b0\b1\b6\b\b0\b", 1042, 0, {'b'}, {}},
      {"MODULE", "A.dll\b\b0\b1\b6\b\b0\b", 1042, 0, {'a'}, {}},
      {"PREVTOOL", "Prev.txt\b\b0\b1\b-1\b\b0\b", 1042, 0, {'p'}, {}},
  };
  const std::vector<unsigned char> out = WriteResources(img.bytes, add);
  auto m = Load(out);
  ASSERT_EQ(m->ResourceCount(), 5u);
  // Named types ascending, then numbered types; names upper-cased for ordering.
  EXPECT_EQ(m->ResourceDetails(0).Type(), "MODULE");
  EXPECT_EQ(m->ResourceDetails(0).Name().substr(0, 5), "A.dll");
  EXPECT_EQ(m->ResourceDetails(1).Name().substr(0, 5), "b.dll");
  EXPECT_EQ(m->ResourceDetails(2).Type(), "PREVTOOL");
  EXPECT_EQ(m->ResourceDetails(3).Type(), "UPDATECONFIG");
  EXPECT_EQ(m->ResourceDetails(4).Type(), "16");
  const auto v = m->ResourceDetails(4).Data();
  EXPECT_EQ(std::string(v.begin(), v.end()), "version");

  // Packing again replaces the package types instead of adding to them.
  const std::vector<unsigned char> again = WriteResources(out, {add[1]}, {"MODULE", "PREVTOOL", "UPDATECONFIG"});
  EXPECT_EQ(Load(again)->ResourceCount(), 2u);
}

// A sink that hands its bytes back in odd little parts, as a file read in blocks would.
class ChunkySink final : public ImageSink {
 public:
  std::vector<unsigned char> bytes;
  void Append(const void* d, size_t n) override {
    bytes.insert(bytes.end(), static_cast<const unsigned char*>(d), static_cast<const unsigned char*>(d) + n);
  }
  void Patch(uint64_t at, const void* d, size_t n) override {
    ASSERT_LE(at + n, bytes.size());
    std::copy(static_cast<const unsigned char*>(d), static_cast<const unsigned char*>(d) + n, bytes.begin() + static_cast<long>(at));
  }
  uint64_t Size() const override { return bytes.size(); }
  void ReadBack(const DataWriter& part) override {
    for (size_t at = 0; at < bytes.size(); at += 7) part(bytes.data() + at, std::min<size_t>(7, bytes.size() - at));
  }
};

TEST(PEWriter, StreamsTheDataIntoAPageAlignedSection) {
  MiniImage img(u"16", u"1", 0x412, "version");
  const std::string content(100003, 'z');
  NewResource big{"MODULE", "Big.bin\b\b0\b1\b6\b\b1\b", 1042, 0, {}, [&](const DataWriter& write) {
                    for (size_t at = 0; at < content.size(); at += 1000) write(content.data() + at, std::min<size_t>(1000, content.size() - at));
                  }};
  ChunkySink sink;
  WriteResources(img.bytes, {big, {"MODULE", "Small.txt\b\b0\b1\b6\b\b1\b", 1042, 0, {'s'}, {}}}, {}, sink);
  const std::vector<unsigned char>& out = sink.bytes;
  auto m = Load(out);
  const SectionHeader& last = m->Sections().back().Header();
  EXPECT_EQ(last.pointerToRawData % 4096, 0u) << "the loader maps only a page-aligned section";
  EXPECT_EQ(last.sizeOfRawData % 4096, 0u);
  EXPECT_EQ(out.size(), uint64_t{last.pointerToRawData} + last.sizeOfRawData);
  const TResourceDetails* r = m->FindResourceDetails("MODULE", "Big.bin\b\b0\b1\b6\b\b1\b", 1042);
  ASSERT_NE(r, nullptr);
  const std::vector<unsigned char> data = r->Data();
  EXPECT_EQ(std::string(data.begin(), data.end()), content);
  EXPECT_EQ(m->FindResourceDetails("MODULE", "Small.txt\b\b0\b1\b6\b\b1\b", 1042)->Data(), std::vector<unsigned char>{'s'});
  // The checksum taken from the parts equals the one of the whole image.
  const size_t field = m->PeHeaderOffset() + 24 + 64;
  const uint32_t stored = out[field] | out[field + 1] << 8 | out[field + 2] << 16 | uint32_t{out[field + 3]} << 24;
  EXPECT_EQ(stored, PeChecksum(out, static_cast<uint32_t>(field)));
  EXPECT_EQ(WriteResources(img.bytes, {big, {"MODULE", "Small.txt\b\b0\b1\b6\b\b1\b", 1042, 0, {'s'}, {}}}), out)
      << "in memory and streamed, the same image";
}

TEST(PEWriter, ChecksumMatchesAKnownValue) {
  // Sum of 16-bit words with carries, plus the length.
  std::vector<unsigned char> b = {0x01, 0x00, 0xFF, 0xFF, 0x00, 0x00, 0x02};
  EXPECT_EQ(PeChecksum(b, 4), ((0x0001 + 0xFFFF) & 0xFFFF) + 1 + 7u);
}

#ifdef UPDATER_WIN_BUILD_DIR
TEST(PEReader, RealImagesOfTheBuild) {
  const std::vector<unsigned char> exe = ReadFile(UPDATER_WIN_BUILD_DIR "/UpdateTool.exe");
  if (exe.empty()) GTEST_SKIP() << "the Windows build has not run";
  auto m = Load(exe);
  bool version = false, manifest = false;
  for (size_t i = 0; i < m->ResourceCount(); ++i) {
    version |= m->ResourceDetails(i).Type() == "16";
    manifest |= m->ResourceDetails(i).Type() == "24";
  }
  EXPECT_TRUE(version);
  EXPECT_TRUE(manifest);
}
#endif

#ifdef UPDATER_IMAGE64
TEST(PEReader, A64BitImageIsRejected) {
  const std::vector<unsigned char> dll = ReadFile(UPDATER_IMAGE64);
  ASSERT_FALSE(dll.empty());
  EXPECT_EQ(ErrorOf(dll), "Invalid Windows Image");
}
#endif
