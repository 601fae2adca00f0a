#pragma once
// A minimal PE32 image with one resource section whose layout is fixed, so tests can damage
// any offset or size of it. Offsets below are from the start of the resource section.
#include <cstdint>
#include <string>
#include <vector>

namespace updater::test {

struct MiniImage {
  static constexpr uint32_t kPe = 0x40;            // e_lfanew
  static constexpr uint32_t kOpt = kPe + 24;        // optional header
  static constexpr uint32_t kSectionTable = kOpt + 224;
  static constexpr uint32_t kRaw = 0x200;           // section raw data in the file
  static constexpr uint32_t kVa = 0x1000;
  static constexpr uint32_t kTypeDir = 0x00, kNameDir = 0x18, kLangDir = 0x30, kDataEntry = 0x48;
  static constexpr uint32_t kTypeString = 0x60, kNameString = 0x80, kData = 0x200;

  std::vector<unsigned char> bytes;

  // type and name are ASCII/UTF-16 code units as given; data lies at kData.
  MiniImage(const std::u16string& type, const std::u16string& name, uint32_t language, const std::string& data) {
    const uint32_t sectionSize = kData + static_cast<uint32_t>(data.size());
    bytes.assign(kRaw + sectionSize, 0);
    Put16(0, 0x5A4D);
    Put32(60, kPe);
    Put32(kPe, 0x4550);
    Put16(kPe + 4, 0x14C);  // i386
    Put16(kPe + 6, 1);      // one section
    Put16(kPe + 20, 224);
    Put16(kOpt, 0x10B);
    Put32(kOpt + 32, 0x1000);  // section alignment
    Put32(kOpt + 36, 0x200);   // file alignment
    Put32(kOpt + 56, kVa + 0x1000 + sectionSize);
    Put32(kOpt + 60, kRaw);    // size of headers
    Put32(kOpt + 92, 16);      // data directories
    Put32(kOpt + 96 + 16, kVa);
    Put32(kOpt + 96 + 20, sectionSize);
    const char name8[8] = {'.', 'r', 's', 'r', 'c'};
    for (int i = 0; i < 8; ++i) bytes[kSectionTable + i] = static_cast<unsigned char>(name8[i]);
    Put32(kSectionTable + 8, sectionSize);
    Put32(kSectionTable + 12, kVa);
    Put32(kSectionTable + 16, sectionSize);
    Put32(kSectionTable + 20, kRaw);
    Put32(kSectionTable + 36, 0x40000040);

    Dir(kTypeDir, 1, 0x80000000u | kTypeString, 0x80000000u | kNameDir);
    Dir(kNameDir, 1, 0x80000000u | kNameString, 0x80000000u | kLangDir);
    Dir(kLangDir, 0, language, kDataEntry);
    S32(kDataEntry, kVa + kData);
    S32(kDataEntry + 4, static_cast<uint32_t>(data.size()));
    String(kTypeString, type);
    String(kNameString, name);
    for (size_t i = 0; i < data.size(); ++i) bytes[kRaw + kData + i] = static_cast<unsigned char>(data[i]);
  }

  void Put16(size_t at, uint32_t v) {
    bytes[at] = v & 0xFF;
    bytes[at + 1] = (v >> 8) & 0xFF;
  }
  void Put32(size_t at, uint32_t v) {
    Put16(at, v & 0xFFFF);
    Put16(at + 2, v >> 16);
  }
  void S32(uint32_t sectionOffset, uint32_t v) { Put32(kRaw + sectionOffset, v); }  // inside the section
  void S16(uint32_t sectionOffset, uint32_t v) { Put16(kRaw + sectionOffset, v); }

 private:
  void Dir(uint32_t at, int named, uint32_t nameField, uint32_t dataField) {
    S16(at + 12, named ? 1 : 0);
    S16(at + 14, named ? 0 : 1);
    S32(at + 16, nameField);
    S32(at + 20, dataField);
  }
  void String(uint32_t at, const std::u16string& s) {
    S16(at, static_cast<uint32_t>(s.size()));
    for (size_t i = 0; i < s.size(); ++i) S16(at + 2 + 2 * static_cast<uint32_t>(i), s[i]);
  }
};

}  // namespace updater::test
