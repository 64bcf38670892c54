#include "support/ZipReader.h"

#include <zip.h>

namespace keldra_test {

bool read_zip(const std::string& path, std::vector<ZipEntry>& entries) {
  entries.clear();
  int error = 0;
  zip_t* archive = zip_open(path.c_str(), ZIP_RDONLY | ZIP_CHECKCONS, &error);
  if (!archive) return false;
  bool ok = true;
  const zip_int64_t count = zip_get_num_entries(archive, 0);
  for (zip_int64_t i = 0; ok && i < count; ++i) {
    zip_stat_t st;
    if (zip_stat_index(archive, static_cast<zip_uint64_t>(i), 0, &st) != 0) {
      ok = false;
      break;
    }
    ZipEntry entry;
    entry.name = st.name;
    entry.deflated = st.comp_method == ZIP_CM_DEFLATE;
    entry.bytes.resize(static_cast<size_t>(st.size));
    zip_file_t* file = zip_fopen_index(archive, static_cast<zip_uint64_t>(i), 0);
    if (!file) {
      ok = false;
      break;
    }
    if (st.size > 0 &&
        zip_fread(file, &entry.bytes[0], st.size) != static_cast<zip_int64_t>(st.size)) {
      ok = false;
    }
    zip_fclose(file);
    entries.push_back(entry);
  }
  zip_discard(archive);
  return ok;
}

std::vector<std::string> zip_names(const std::string& path) {
  std::vector<ZipEntry> entries;
  std::vector<std::string> names;
  if (!read_zip(path, entries)) return names;
  for (const ZipEntry& e : entries) names.push_back(e.name);
  return names;
}

}  // namespace keldra_test
