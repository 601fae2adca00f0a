// toolpack extract: exactly the files the program would stage.
#include <ostream>
#include <vector>

#include "OutputFile.h"
#include "PackageEntry.h"
#include "Toolpack.h"
#include "package/Inflate.h"

namespace updater::toolpack {
namespace fs = std::filesystem;

void Extract(const std::string& toolPath, const std::string& folder, std::ostream& out) {
  TPEResourceModule m(toolPath);
  fs::create_directories(Path(folder));
  for (size_t i = 0; i < m.ResourceCount(); ++i) {
    const TResourceDetails& listed = m.ResourceDetails(i);
    if (listed.Type() != kModuleType) continue;
    const std::vector<std::string> fields = SplitResourceName(listed.Name());
    if (fields.size() < 7) continue;
    const TUpdateFileResource record = ParseResourceName(listed.Type(), fields);
    if (const std::optional<std::string> damage = EntryDamage(record, true))
      throw Error(toolPath, "damaged resource: " + *damage + " " + record.FileName);
    const TResourceDetails* r = m.FindResourceDetails(listed.Type(), listed.Name(), kPackageLanguage);
    if (!r) throw Error(toolPath, record.FileName + ": no resource in language " + std::to_string(kPackageLanguage) + " or 0");
    const std::string target = Utf8(Path(folder) / Path(record.FileName));
    OutputFile file(target);
    ReadStaged(*r, record.StoredPlain != 0, [&](const void* d, size_t n) { file.Append(d, n); });
    file.Commit();
    out << target << " (" << file.Size() << " bytes)\n";
  }
}

}  // namespace updater::toolpack
