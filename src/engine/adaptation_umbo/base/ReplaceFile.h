// Replacing a small file whole: the new content is written to a fresh file beside the
// target (mode 0600, a name no one else has), flushed to disk and renamed over the
// target. Readers see the old or the new file complete, never a mix; a link planted
// at the target's name is replaced, not followed; on failure the target is untouched
// and nothing is left beside it.
//
// Thread-safe; neither logs nor throws.
#pragma once

#include <keldra/ErrorCode.h>

#include <string>

namespace orva {
namespace keldra {
namespace internal {

// 0, or ORVA_ERROR_FILE_OPERATION when the file could not be made, written or renamed
// (also when a folder stands at |path|).
orva::ErrorCode replace_file(const std::string& path, const std::string& content);

}  // namespace internal
}  // namespace keldra
}  // namespace orva
