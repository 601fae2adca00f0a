#include <gtest/gtest.h>

#include "core/VersionRules.h"

using namespace updater;

TEST(Dotless, ComparesAsTextNotNumbers) {
  EXPECT_EQ(Dotless("6.0.2.80"), "60280");
  EXPECT_EQ(Dotless("0.0.0.0"), "0000");
  EXPECT_EQ(Dotless(""), "");
  EXPECT_EQ(CompareDotless(Dotless("6.0.2.80"), "60280"), 0);
  // 6.0.10.1 counts as older than 6.0.9.50: "60101" < "60950".
  EXPECT_LT(CompareDotless(Dotless("6.0.10.1"), Dotless("6.0.9.50")), 0);
  // A prefix sorts first.
  EXPECT_LT(CompareDotless("6028", "60280"), 0);
  // Bytes compare unsigned.
  EXPECT_GT(CompareDotless("\xC0", "9"), 0);
}

// The copy decision by its three reasons; sizes are asked only when neither file has a version.
TEST(DecideCopy, ByVersionBySizeWithoutVersionsOrForced) {
  struct Row {
    const char* installed;
    const char* staged;
    bool sizesDiffer;
    uint8_t copyType;
    bool copy, sizesAsked;
  };
  const Row rows[] = {
      {"6.0.9.50", "6.0.9.51", false, 0, true, false},
      {"6.0.9.51", "6.0.9.51", false, 0, false, false},
      {"6.0.9.50", "6.0.10.1", false, 0, false, false},  // "60950" > "60101": kept
      {"6.0.2.80", "6, 0, 2, 81", false, 0, true, false},  // commas and blanks of the staged text go
      {"6.0.9.51", "6.0.9.51", false, 7, true, false},
      {"7.0.0.0", "6.0.0.0", true, 7, true, false},
      {"0.0.0.0", "0.0.0.0", true, 0, true, true},
      {"0.0.0.0", "0.0.0.0", false, 0, false, true},
      {"0.0.0.0", "1.0.0.0", false, 0, true, false},
      {"1.0.0.0", "0.0.0.0", true, 0, false, false},
  };
  for (const Row& r : rows) {
    bool asked = false;
    const CopyDecision d = DecideCopy(r.installed, r.staged, [&] { asked = true; return r.sizesDiffer; }, r.copyType);
    EXPECT_EQ(d.copy, r.copy) << r.installed << " / " << r.staged << ", type " << int(r.copyType);
    EXPECT_EQ(d.installedDotless, Dotless(r.installed));
    if (!r.sizesAsked) {
      EXPECT_FALSE(asked) << r.installed << " / " << r.staged;
    }
  }
}

TEST(VersionResource, NamesAndTheCommaRule) {
  EXPECT_EQ(VersionStringName(0), "FileDescription");
  EXPECT_EQ(VersionStringName(1), "FileVersion");
  EXPECT_EQ(VersionStringName(6), "Comments");
  EXPECT_EQ(VersionStringName(42), "FileVersion");
  EXPECT_EQ(VersionStringName(-1), "FileVersion");
  EXPECT_EQ(TranslationBlockName(0x0412, 0x04B0), "041204b0");
  EXPECT_EQ(TranslationBlockName(0x0409, 1252), "040904e4");
  EXPECT_TRUE(NeedsNumericVersion("6, 0, 2, 80"));
  EXPECT_TRUE(NeedsNumericVersion("6.0.2.80 beta"));
  EXPECT_FALSE(NeedsNumericVersion("6.0.2.80"));
  EXPECT_EQ(NumericVersionText(0x00060000, 0x00020050), "6.0.2.80");
  EXPECT_EQ(NumericVersionText(0xFFFFFFFF, 0), "65535.65535.0.0");
}

TEST(SizeText, UnitBoundaries) {
  const NumberFormat f{",", "."};
  EXPECT_EQ(SizeText(0, f), "0Byte");
  EXPECT_EQ(SizeText(1023, f), "1,023Byte");
  EXPECT_EQ(SizeText(1024, f), "1KB");
  EXPECT_EQ(SizeText(1048575, f), "1,023KB");
  EXPECT_EQ(SizeText(1048576, f), "1.00MB");
  EXPECT_EQ(SizeText(157286400, f), "150.00MB");
  EXPECT_EQ(SizeText(1073741823, f), "1,024.00MB");  // 1048575/1024 rounds up at two decimals
  EXPECT_EQ(SizeText(1073741824, f), "");            // 1 GiB and more: empty
  EXPECT_EQ(SizeText(-1, f), "-1Byte");
}
