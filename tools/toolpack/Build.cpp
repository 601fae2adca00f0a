// toolpack build: the manifest, the version of each file, and the tool written in one step.
#include <fstream>
#include <ostream>
#include <algorithm>
#include <map>
#include <set>

#include "core/PathText.h"
#include "OutputFile.h"
#include "ToolpackIo.h"
#include "PEWriter.h"
#include "Signature.h"
#include "Toolpack.h"
#include "package/Inflate.h"
#include "package/pe/PEFile.h"
#include "package/pe/VersionInfo.h"
#include "platform/Sha256.h"

#include <zlib.h>

namespace updater::toolpack {
namespace fs = std::filesystem;

namespace {

int Integer(const std::string& text, const std::string& file, int line, const char* what) {
  try {
    size_t used = 0;
    const int v = std::stoi(Trim(text), &used);
    if (used != Trim(text).size()) throw std::invalid_argument(text);
    return v;
  } catch (const std::exception&) {
    throw Error(file, "line " + std::to_string(line) + ": " + what + " \"" + text + "\" is not a number");
  }
}

// A line without its comment: "#" at the start or after a blank begins one.
std::string WithoutComment(const std::string& raw) {
  for (size_t at = raw.find('#'); at != std::string::npos; at = raw.find('#', at + 1))
    if (at == 0 || raw[at - 1] == ' ' || raw[at - 1] == '\t') return raw.substr(0, at);
  return raw;
}

bool IsDigits(const std::string& text) {
  return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

std::string ControlName(const char* fileName) {
  TUpdateFileResource r{"", fileName, "", 0, 1, -1, "", "", 0};
  return MakeResourceName(r);
}

}  // namespace

Manifest ParseManifest(const std::string& text, const std::string& manifestPath) {
  Manifest m;
  std::string section;
  int lineNo = 0;
  // A byte order mark, as some editors write it, is no part of the first line.
  const std::string_view body = std::string_view(text).starts_with("\xEF\xBB\xBF") ? std::string_view(text).substr(3) : text;
  for (const std::string& raw : TextLines(body)) {
    ++lineNo;
    const std::string line = Trim(WithoutComment(raw));
    if (line.empty()) continue;
    if (line.front() == '[' && line.back() == ']') {
      section = ToLowerAscii(line.substr(1, line.size() - 2));
      if (section != "options" && section != "files")
        throw Error(manifestPath, "line " + std::to_string(lineNo) + ": unknown section " + line);
      continue;
    }
    if (section == "options") {
      const auto eq = line.find('=');
      if (eq == std::string::npos) throw Error(manifestPath, "line " + std::to_string(lineNo) + ": expected NAME=VALUE");
      const std::string key = ToUpperAscii(Trim(line.substr(0, eq))), value = Trim(line.substr(eq + 1));
      if (key == "PREVTOOL") {
        // Digits only: the number becomes part of a program name the tool starts.
        if (!IsDigits(value)) throw Error(manifestPath, "line " + std::to_string(lineNo) + ": PREVTOOL needs a number (digits only)");
        m.prevTool = value;
        continue;
      }
      if (value != "0" && value != "1")
        throw Error(manifestPath, "line " + std::to_string(lineNo) + ": " + key + " takes 0 or 1, not \"" + value + "\"");
      const bool on = value == "1";
      if (key == "HIDDEN") m.options.Hidden = on;
      else if (key == "NOTEXECMANUAL") m.options.NotExecManual = on;
      else if (key == "AUTOEXECTETBL") m.options.AutoExecTetbl = on;
      else throw Error(manifestPath, "line " + std::to_string(lineNo) + ": unknown option " + key);
      m.anyOption = true;
    } else if (section == "files") {
      std::vector<std::string> f;
      size_t start = 0;
      for (;;) {
        const auto bar = line.find('|', start);
        f.push_back(Trim(line.substr(start, bar == std::string::npos ? std::string::npos : bar - start)));
        if (bar == std::string::npos) break;
        start = bar + 1;
      }
      while (!f.empty() && f.back().empty() && f.size() > 6) f.pop_back();
      if (f.size() != 6 && f.size() != 7)
        throw Error(manifestPath, "line " + std::to_string(lineNo) + ": expected source | copy | base | index | folder | zlib or plain [| required]");
      ManifestFile file;
      file.source = f[0];
      file.fields.ResourceType = std::string(kModuleType);
      file.fields.FileName = Utf8(Path(f[0]).filename());
      file.fields.CopyType = static_cast<uint8_t>(Integer(f[1], manifestPath, lineNo, "copy type"));
      file.fields.BaseKind = static_cast<uint8_t>(Integer(f[2], manifestPath, lineNo, "base kind"));
      file.fields.SubFolderIndex = Integer(f[3], manifestPath, lineNo, "sub-folder index");
      file.fields.FolderText = f[4];
      const std::string store = ToLowerAscii(f[5]);
      if (store != "zlib" && store != "plain") throw Error(manifestPath, "line " + std::to_string(lineNo) + ": store must be zlib or plain");
      file.zlib = store == "zlib";
      file.fields.StoredPlain = file.zlib ? 0 : 1;
      if (f.size() == 7) file.fields.RequiredFolder = f[6];
      std::optional<std::string> damage = EntryDamage(file.fields, true);
      if (!damage) damage = UnknownFieldDamage(file.fields);
      if (!damage) damage = MeaninglessFolder(file.fields);
      if (damage) throw Error(manifestPath, "line " + std::to_string(lineNo) + ": " + *damage + " " + file.fields.FileName);
      for (const std::string& field : {file.fields.FileName, file.fields.FolderText, file.fields.RequiredFolder})
        if (field.find_first_of("\b\"'") != std::string::npos)
          throw Error(manifestPath, "line " + std::to_string(lineNo) + ": quotes and backspaces cannot stand in a name field");
      m.files.push_back(std::move(file));
    } else {
      throw Error(manifestPath, "line " + std::to_string(lineNo) + ": outside [options] or [files]" +
                                    (lineNo == 1 ? " (is this the manifest? build takes IMAGE.exe MANIFEST OUT.exe)" : ""));
    }
  }
  return m;
}

namespace {

std::string VersionFrom(std::unique_ptr<ByteSource> source) {
  try {
    TPEResourceModule m;
    m.LoadFromSource(std::move(source));
    for (size_t i = 0; i < m.ResourceCount(); ++i)
      if (m.ResourceDetails(i).Type() == "16") return VersionTextOf(ParseVersionInfo(m.ResourceDetails(i).Data()), 1);
  } catch (const std::exception&) {
  }
  return "0.0.0.0";
}

// Reads a file in blocks into a writer: plain, or deflated as it goes.
class SourceFile {
 public:
  explicit SourceFile(std::string path) : path_(std::move(path)) {}
  uint64_t Size() const {
    std::error_code ec;
    const uint64_t size = fs::file_size(Path(path_), ec);
    if (ec) throw Error(path_, "cannot open the file");
    return size;
  }
  // Writes the file's content, plain or deflated, and answers the SHA-256 of what it read.
  std::string Write(bool deflate, const DataWriter& write) const {
    std::ifstream in(Path(path_), std::ios::binary);
    if (!in) throw Error(path_, "cannot open the file");
    Sha256 hash;
    const InputReader read = [&](void* buf, size_t max) {
      in.read(static_cast<char*>(buf), static_cast<std::streamsize>(max));
      if (in.bad()) throw Error(path_, "cannot read the file");
      hash.Add(buf, static_cast<size_t>(in.gcount()));
      return static_cast<size_t>(in.gcount());
    };
    if (deflate) {
      DeflateStream(read, write);
    } else {
      std::vector<char> block(1 << 20);
      while (const size_t n = read(block.data(), block.size())) write(block.data(), n);
    }
    return hash.HexDigest();
  }
  // What zlib's fastest level makes of the file's first megabytes: compressed size over size.
  double SampleRatio() const {
    std::ifstream in(Path(path_), std::ios::binary);
    std::string sample(4 << 20, '\0');
    in.read(sample.data(), static_cast<std::streamsize>(sample.size()));
    sample.resize(static_cast<size_t>(in.gcount()));
    uLongf bound = compressBound(static_cast<uLong>(sample.size()));
    std::string out(bound, '\0');
    if (sample.empty() || compress2(reinterpret_cast<Bytef*>(out.data()), &bound, reinterpret_cast<const Bytef*>(sample.data()),
                                    static_cast<uLong>(sample.size()), 1) != Z_OK)
      return 1.0;
    return static_cast<double>(bound) / static_cast<double>(sample.size());
  }

 private:
  std::string path_;
};

// The digests of the image's own resources that the writer keeps.
std::vector<ResourceDigest> KeptDigests(const std::vector<unsigned char>& image, const std::vector<std::string>& dropTypes) {
  std::vector<ResourceDigest> digests;
  for (const NewResource& r : KeptResources(image, dropTypes))
    digests.push_back({Sha256Hex(std::string_view(reinterpret_cast<const char*>(r.data.data()), r.data.size())), r.language, r.type, r.name});
  return digests;
}

}  // namespace

std::vector<unsigned char> WithDigestList(const std::vector<unsigned char>& image) {
  const std::vector<std::string> drop = {std::string(kDigestType)};
  const std::string text = MakeDigestList(KeptDigests(image, drop));
  return WriteResources(image, {{std::string(kDigestType), std::string(kDigestName), kPackageLanguage, 0, {text.begin(), text.end()}, {}}},
                        drop);
}

std::string FileVersionOf(const std::vector<unsigned char>& bytes) {
  return VersionFrom(std::make_unique<MemorySource>(bytes.data(), bytes.size()));
}

std::string FileVersionOfFile(const std::string& path) {
  try {
    return VersionFrom(std::make_unique<FileSource>(path));
  } catch (const std::exception&) {
    return "0.0.0.0";
  }
}

void Build(const std::string& imagePath, const std::string& manifestPath, const std::string& outPath, std::ostream& out) {
  const std::vector<unsigned char> image = ReadBinary(imagePath);
  const std::vector<unsigned char> text = ReadBinary(manifestPath);
  const Manifest manifest = ParseManifest(std::string(text.begin(), text.end()), manifestPath);
  const fs::path base = Path(manifestPath).parent_path();

  // A second file of a name would be deployed over the first, and one digest could not tell them.
  std::map<std::string, std::string> names;
  for (const ManifestFile& f : manifest.files)
    if (const auto [at, added] = names.emplace(FoldedFileName(f.fields.FileName), f.fields.FileName); !added)
      throw Error(manifestPath, "two files named " + at->second + " and " + f.fields.FileName +
                                    " (one name to Windows): the second would be deployed over the first");
  if (SignatureOf(image))
    out << "note: " << imagePath << " is signed; the signature is dropped (it cannot stay valid once the package is added): "
        << "sign the tool after building it\n";

  // Each file is read, hashed and compressed while the tool is written, never held whole.
  struct Stored {
    uint64_t size = 0, stored = 0;
  };
  std::vector<Stored> sizes(manifest.files.size());
  // The digest list covers every resource of the tool: the files' data as they are written, the
  // control resources and whatever the image keeps of its own.
  std::vector<ResourceDigest> files(manifest.files.size()), others;
  std::vector<NewResource> added;
  uint64_t plainTotal = 0;
  for (size_t i = 0; i < manifest.files.size(); ++i) {
    const ManifestFile& f = manifest.files[i];
    const SourceFile source(Utf8(base / Path(f.source)));
    sizes[i].size = source.Size();
    TUpdateFileResource fields = f.fields;
    fields.Version = FileVersionOfFile(Utf8(base / Path(f.source)));
    bool zlib = f.zlib;
    // Data that zlib cannot shrink (already compressed, random) would only grow and cost inflating.
    if (zlib && sizes[i].size > kPlainWarningSize && source.SampleRatio() >= 1.0) {
      zlib = false;
      fields.StoredPlain = 1;
      out << "note: " << fields.FileName << " (" << sizes[i].size / (1024 * 1024)
          << " MB) does not compress: zlib would make it bigger, so it is stored plain\n";
    }
    if (!zlib) {
      plainTotal += sizes[i].size;
      if (sizes[i].size > kPlainWarningSize && source.SampleRatio() < 0.9)
        out << "warning: " << fields.FileName << " is stored plain (" << sizes[i].size / (1024 * 1024)
            << " MB) but compresses: zlib would make the tool smaller\n";
    }
    if (plainTotal > kLargestLoadableTool)
      throw Error(manifestPath, "the files stored plain come to more than " + std::to_string(kLargestLoadableTool / (1024 * 1024)) +
                                    " MB, the largest tool the program can load; store them zlib or split the package");
    NewResource r{std::string(kModuleType), MakeResourceName(fields), kPackageLanguage, 0, {}, {}};
    files[i] = {"", kPackageLanguage, r.type, r.name};
    r.produce = [source, zlib, &stored = sizes[i].stored, &digest = files[i].sha256](const DataWriter& write) {
      Sha256 hash;
      source.Write(zlib, [&](const void* d, size_t n) {
        hash.Add(d, n);
        write(d, n);
        stored += n;
      });
      digest = hash.HexDigest();
    };
    added.push_back(std::move(r));
  }
  // Written after every MODULE (its type sorts after theirs), so each file is read only once; every
  // other resource's data is known before the writing starts.
  static_assert(kDigestType > kModuleType);
  NewResource digestList{std::string(kDigestType), std::string(kDigestName), kPackageLanguage, 0, {}, {}};
  digestList.produce = [&files, &others](const DataWriter& write) {
    for (const ResourceDigest& d : files)
      if (d.sha256.empty()) throw std::logic_error("the digest list is written before " + PrintableName(d.name));
    std::vector<ResourceDigest> all = files;
    all.insert(all.end(), others.begin(), others.end());
    const std::string text = MakeDigestList(all);
    write(text.data(), text.size());
  };
  added.push_back(std::move(digestList));
  auto control = [&](const char* type, const char* fileName, const std::string& payload) {
    const std::string z = DeflateBest(payload.data(), payload.size());
    added.push_back({type, ControlName(fileName), kPackageLanguage, 0, {z.begin(), z.end()}, {}});
    others.push_back({Sha256Hex(z), kPackageLanguage, type, added.back().name});
  };
  if (manifest.anyOption) {
    std::string cfg;
    cfg += std::string("HIDDEN=") + (manifest.options.Hidden ? "1" : "0") + "\r\n";
    cfg += std::string("NOTEXECMANUAL=") + (manifest.options.NotExecManual ? "1" : "0") + "\r\n";
    cfg += std::string("AUTOEXECTETBL=") + (manifest.options.AutoExecTetbl ? "1" : "0") + "\r\n";
    control("UPDATECONFIG", "UpdateConfig.txt", cfg);
  }
  if (manifest.prevTool) control("PREVTOOL", "PrevTool.txt", *manifest.prevTool + "\r\n");

  const std::vector<std::string> packageTypes = {std::string(kModuleType), std::string(kPrevToolType), std::string(kUpdateConfigType),
                                                 std::string(kDigestType)};
  for (const ResourceDigest& kept : KeptDigests(image, packageTypes)) others.push_back(kept);
  uint64_t total = 0;
  for (const Stored& s : sizes) total += s.size;
  Progress progress("building " + Utf8(Path(outPath).filename()), total);
  for (NewResource& r : added)
    if (r.produce)
      r.produce = [inner = r.produce, &progress](const DataWriter& write) {
        inner([&](const void* d, size_t n) {
          write(d, n);
          progress.Add(n);
        });
      };
  OutputFile tool(outPath);
  try {
    WriteResources(image, added, packageTypes, tool);
  } catch (const Error&) {
    throw;
  } catch (const std::runtime_error& e) {
    throw Error(imagePath, e.what());
  }
  if (tool.Size() > kLargestLoadableTool)
    throw Error(outPath, "the tool would be " + std::to_string(tool.Size() / (1024 * 1024)) + " MB; the program loads at most " +
                             std::to_string(kLargestLoadableTool / (1024 * 1024)) + " MB: split the package");
  tool.Commit();
  for (size_t i = 0; i < manifest.files.size(); ++i)
    out << "  MODULE " << Utf8(Path(manifest.files[i].source).filename()) << " (" << sizes[i].size << " -> " << sizes[i].stored
        << " bytes)\n";
  if (manifest.anyOption) out << "  UPDATECONFIG\n";
  if (manifest.prevTool) out << "  PREVTOOL " << *manifest.prevTool << "\n";
  out << "  " << kDigestType << " (SHA-256 of " << files.size() + others.size() << " resources)\n";
  out << "wrote " << outPath << " (" << tool.Size() << " bytes, " << added.size() << " package resources)\n";
}

}  // namespace updater::toolpack
