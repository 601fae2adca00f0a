#pragma once
// Reads the resource directory of a PE32 image from the file itself, not through the loader,
// so the packages of other update tools can be read the same way. Every offset and size read
// from the image is checked before use; a damaged image gives an error or no resources.
#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "package/pe/ByteSource.h"
#include "package/pe/ResourceDetails.h"

namespace updater {

class EPEException : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class TResourceModule {
 public:
  virtual ~TResourceModule() = default;
  virtual size_t ResourceCount() const = 0;
  virtual const TResourceDetails& ResourceDetails(size_t index) const = 0;
  virtual void LoadFromSource(std::unique_ptr<ByteSource> source) = 0;
  virtual void LoadFromFile(const std::string& path);

  // Exact type and name with the language, else with language 0; null when neither exists.
  const TResourceDetails* FindResourceDetails(const std::string& type, const std::string& name, uint32_t language) const;
  const ByteSource& Source() const { return *source_; }

 protected:
  std::unique_ptr<ByteSource> source_;
};

struct SectionHeader {
  std::array<char, 8> name{};
  uint32_t virtualSize = 0, virtualAddress = 0, sizeOfRawData = 0, pointerToRawData = 0;
  uint32_t characteristics = 0;
};

class TImageSection {
 public:
  // Throws EPEException when the section's raw data runs past the end of the file.
  explicit TImageSection(const SectionHeader& header, uint64_t fileSize);
  const SectionHeader& Header() const { return header_; }
  uint64_t DataOffset() const { return header_.pointerToRawData; }
  // The raw data kept for the section: SizeOfRawData, or VirtualSize when that is smaller.
  uint64_t DataSize() const { return dataSize_; }

 private:
  SectionHeader header_;
  uint64_t dataSize_ = 0;
};

class TPEModule : public TResourceModule {
 public:
  void LoadFromSource(std::unique_ptr<ByteSource> source) override;
  size_t ResourceCount() const override { return 0; }
  const TResourceDetails& ResourceDetails(size_t) const override { throw std::out_of_range("Resource index out of range"); }

  uint32_t PeHeaderOffset() const { return peOffset_; }
  uint16_t SizeOfOptionalHeader() const { return optionalSize_; }
  const std::vector<unsigned char>& OptionalHeader() const { return optional_; }
  const std::vector<TImageSection>& Sections() const { return sections_; }
  uint32_t DataDirectoryCount() const;
  // RVA and size of a data directory entry; std::out_of_range past the count.
  std::pair<uint32_t, uint32_t> DataDirectory(uint32_t index) const;

 protected:
  virtual void Decode();

 private:
  uint32_t peOffset_ = 0;
  uint16_t optionalSize_ = 0;
  std::vector<unsigned char> optional_;
  std::vector<TImageSection> sections_;
};

class TPEResourceModule final : public TPEModule {
 public:
  TPEResourceModule() = default;
  explicit TPEResourceModule(const std::string& path) { LoadFromFile(path); }
  TPEResourceModule(const TPEResourceModule&) = delete;
  TPEResourceModule& operator=(const TPEResourceModule&) = delete;

  size_t ResourceCount() const override { return resources_.size(); }
  const TResourceDetails& ResourceDetails(size_t index) const override { return *resources_.at(index); }

 protected:
  void Decode() override;

 private:
  // Depth first over type, name and language; each directory is read once.
  void Walk(const TImageSection& section, uint64_t rootOffset, uint64_t dirOffset, int level, std::set<uint64_t>& visited,
            std::string& type, std::string& name, uint32_t& language);
  // Decimal text of an identifier, or the counted UTF-16 name; none when the name lies outside the section.
  std::optional<std::string> EntryText(const TImageSection& section, uint64_t rootOffset, uint32_t nameField) const;
  std::vector<std::unique_ptr<TResourceDetails>> resources_;
};

}  // namespace updater
