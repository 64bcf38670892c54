// The archive writer of a request package: init once with the archive's path, add
// entries in order, finalize once. Nothing reaches the file before finalize: file
// entries are read from their files and memory entries from the caller's bytes then, so
// both must stay in place and unchanged until finalize returns.
//
// Owned by its one user (the request package), on that user's thread.
#pragma once

#include <keldra/ErrorCode.h>

#include <string>

namespace orva {
namespace keldra {
namespace internal {

class ZipInterface {
 public:
  // The platform's writer; null when memory runs out. Defined by the platform
  // implementation.
  static ZipInterface* create();

  virtual ~ZipInterface() {}

  // Makes a new, empty archive at |path| (anything at that name is replaced when the
  // archive is written). True when it is open.
  virtual bool init(const char* path) = 0;
  // Writes and closes the archive. True when written (also when none is open).
  virtual bool finalize() = 0;
  // Adds the file at |file| as the entry |key|; |compress| is a wish the writer may
  // ignore. 0, or 1 when the entry cannot be added (a key already taken, for one).
  virtual orva::ErrorCode add_file_to_zip(const std::string& file, const std::string& key,
                                          bool compress) = 0;
  // Adds |length| bytes at |data| as the entry |key|; the bytes are not copied. 0 or 1.
  virtual orva::ErrorCode add_blob_to_zip(const std::string& key, const unsigned char* data,
                                          unsigned int length) = 0;
};

}  // namespace internal
}  // namespace keldra
}  // namespace orva
