// The archive writer over libzip, with a small reader of the open archive's entries.
//
// init makes a new archive (ZIP_CREATE | ZIP_TRUNCATE: whatever was left at that name
// is replaced, never extended); every entry is deflated (libzip's default method) at
// zlib's default level, whatever the wish; finalize writes and closes it. An archive that is still
// open when the handler is destroyed was never finalised and is discarded: nothing is written.
//
// Single-threaded: its owner's thread. Logs its steps at the trace type (32).
#pragma once

#include "transfer/ZipInterface.h"

#include <keldra/ErrorCode.h>

#include <string>

struct zip;
struct zip_file;
struct zip_source;

namespace orva {
namespace keldra {
namespace internal {

class ZipHandler_Umbo : public ZipInterface {
 public:
  ZipHandler_Umbo();
  ~ZipHandler_Umbo() override;

  bool init(const char* path) override;
  bool finalize() override;
  orva::ErrorCode add_file_to_zip(const std::string& file, const std::string& key,
                                  bool compress) override;
  orva::ErrorCode add_blob_to_zip(const std::string& key, const unsigned char* data,
                                  unsigned int length) override;

  // The reader: locate an entry (0, or 8 when there is none), open it (0 or 1), read
  // up to |size| bytes (the count, -1 without an open entry or on error), close it (0,
  // also without an open entry; 1 when libzip cannot).
  virtual orva::ErrorCode close_current_file();
  virtual orva::ErrorCode locate_file(const std::string& name, int flags);
  virtual orva::ErrorCode open_current_file();
  virtual int read_current_file(void* buffer, unsigned int size);

  // True when the archive is open.
  bool open_zip(const char* path);
  // Writes and closes the archive: libzip's result, 0 or -1 (0 without an archive).
  int close_zip();

 private:
  // Adds |source| as the entry |key|: its index, or -1 (the source is then the caller's).
  int add_entry(const std::string& key, struct zip_source* source);

  ZipHandler_Umbo(const ZipHandler_Umbo&) = delete;
  ZipHandler_Umbo& operator=(const ZipHandler_Umbo&) = delete;

  struct zip* mArchive;
  int mCurrentIndex;
  struct zip_file* mCurrentFile;
};

}  // namespace internal
}  // namespace keldra
}  // namespace orva
