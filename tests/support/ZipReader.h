// Reads a zip archive back with libzip: its entries in order, each with its bytes and
// whether it is stored compressed.
#pragma once

#include <string>
#include <vector>

namespace keldra_test {

struct ZipEntry {
  std::string name;
  std::string bytes;
  bool deflated;
};

// False when the file is not a readable archive.
bool read_zip(const std::string& path, std::vector<ZipEntry>& entries);
// The names of the entries, in order; empty when the archive cannot be read.
std::vector<std::string> zip_names(const std::string& path);

}  // namespace keldra_test
