// Per-process test environment: every test binary runs with a fresh HOME and TMPDIR
// below the system temporary folder, so nothing touches the real home or system paths.
#pragma once

#include <functional>
#include <string>

namespace keldra_test {

// The fresh home directory of this test process, without a trailing '/'.
const std::string& home_dir();

// Writes |content| to |path|, creating parent folders. Returns false on failure.
bool write_file(const std::string& path, const std::string& content);

// Reads a whole file; empty when it cannot be read.
std::string read_file(const std::string& path);

// Runs the Qt event loop until |done| is true or about 20 s have passed; returns |done|.
bool wait_until(const std::function<bool()>& done);

// Directory holding the test binaries' helper programs and libraries (the build tree).
std::string build_dir();

}  // namespace keldra_test
