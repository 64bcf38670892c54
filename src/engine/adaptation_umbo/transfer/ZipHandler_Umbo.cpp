#include "adaptation_umbo/transfer/ZipHandler_Umbo.h"

#include <keldra/LoggerUmbo.h>

#include <zip.h>

#include <new>

namespace orva {
namespace keldra {
namespace internal {

namespace {

const LoggerUmbo::MsgType kTrace = LoggerUmbo::MSG_TRACE;
const zip_uint32_t kDeflateLevel = 6;

}  // namespace

ZipInterface* ZipInterface::create() { return new (std::nothrow) ZipHandler_Umbo(); }

ZipHandler_Umbo::ZipHandler_Umbo() : mArchive(nullptr), mCurrentIndex(0), mCurrentFile(nullptr) {}

ZipHandler_Umbo::~ZipHandler_Umbo() {
  LoggerUmbo::log("ZipHandler_Umbo::~ZipHandler_Umbo ++", kTrace);
  if (mCurrentFile) close_current_file();
  // Never finalised: the archive's entries (and any file left at its name) must not
  // reach the disk as a request.
  if (mArchive) {
    zip_discard(mArchive);
    mArchive = nullptr;
  }
}

int ZipHandler_Umbo::add_entry(const std::string& key, struct zip_source* source) {
  const zip_int64_t index = zip_file_add(mArchive, key.c_str(), source, 0);
  if (index < 0) return -1;
  // Deflate, libzip's default method, at zlib's default level as the zip program uses
  // it: libzip's own choice, the best compression, costs more per byte the more alike
  // the entries' lines are, and a request of many places is mostly alike.
  zip_set_file_compression(mArchive, static_cast<zip_uint64_t>(index), ZIP_CM_DEFLATE,
                           kDeflateLevel);
  return 0;
}

bool ZipHandler_Umbo::init(const char* path) {
  const bool opened = open_zip(path);
  LoggerUmbo::logf(kTrace, "ZipHandler_Umbo::init --, retvalue(bool) = %i", opened ? 1 : 0);
  return opened;
}

bool ZipHandler_Umbo::open_zip(const char* path) {
  if (mArchive) zip_discard(mArchive);
  int error = 0;
  // A new archive always: a file left or planted at the name is not extended.
  mArchive = path ? zip_open(path, ZIP_CREATE | ZIP_TRUNCATE, &error) : nullptr;
  if (!mArchive) {
    LoggerUmbo::log("ZipHandler_Umbo::open_zip: zip file could not be opened", kTrace);
    return false;
  }
  mCurrentIndex = 0;
  LoggerUmbo::logf(kTrace, "ZipHandler_Umbo::open_zip: created zip file %s", path);
  return true;
}

orva::ErrorCode ZipHandler_Umbo::add_file_to_zip(const std::string& file, const std::string& key,
                                                 bool compress) {
  LoggerUmbo::logf(kTrace, "ZipHandler_Umbo::add_file_to_zip ++, comp %d, file '%s', key '%s'",
                   compress ? 1 : 0, file.c_str(), key.c_str());
  orva::ErrorCode result = ORVA_ERROR_NONE;
  zip_source_t* source = mArchive ? zip_source_file(mArchive, file.c_str(), 0, 0) : nullptr;
  if (!source) {
    LoggerUmbo::logf(kTrace,
                     "ZipHandler_Umbo::add_file_to_zip, creating source from the file was not "
                     "successful: err = %s",
                     mArchive ? zip_strerror(mArchive) : "no archive");
    result = ORVA_ERROR_UNKNOWN;
  } else if (add_entry(key, source) < 0) {
    LoggerUmbo::logf(kTrace,
                     "ZipHandler_Umbo::add_file_to_zip, adding file to zip archive was not "
                     "successful: err = %s",
                     zip_strerror(mArchive));
    zip_source_free(source);
    result = ORVA_ERROR_UNKNOWN;
  }
  LoggerUmbo::logf(kTrace, "ZipHandler_Umbo::add_file_to_zip --, revalue(ErrorCode) = %d", result);
  return result;
}

orva::ErrorCode ZipHandler_Umbo::add_blob_to_zip(const std::string& key, const unsigned char* data,
                                                 unsigned int length) {
  orva::ErrorCode result = ORVA_ERROR_NONE;
  zip_source_t* source = mArchive ? zip_source_buffer(mArchive, data, length, 0) : nullptr;
  if (!source) {
    LoggerUmbo::logf(kTrace,
                     "ZipHandler_Umbo::add_blob_to_zip, creating source from the buffer was not "
                     "successful: err = %s",
                     mArchive ? zip_strerror(mArchive) : "no archive");
    result = ORVA_ERROR_UNKNOWN;
  } else if (add_entry(key, source) < 0) {
    LoggerUmbo::logf(kTrace,
                     "ZipHandler_Umbo::add_blob_to_zip, adding to zip archive was not successful: "
                     "err = %s",
                     zip_strerror(mArchive));
    zip_source_free(source);
    result = ORVA_ERROR_UNKNOWN;
  }
  LoggerUmbo::logf(kTrace, "ZipHandler_Umbo::add_blob_to_zip --, revalue(ErrorCode) = %d", result);
  return result;
}

bool ZipHandler_Umbo::finalize() {
  const bool written = close_zip() == 0;
  if (!written) {
    LoggerUmbo::log("ZipHandler_Umbo::finalize, closing zip archive was not successful", kTrace);
  }
  LoggerUmbo::logf(kTrace, "ZipHandler_Umbo::finalize --, retvalue(bool) = %i", written ? 1 : 0);
  return written;
}

int ZipHandler_Umbo::close_zip() {
  if (!mArchive) return 0;
  if (mCurrentFile) close_current_file();
  const int result = zip_close(mArchive);
  if (result == 0) {
    LoggerUmbo::log("ZipHandler_Umbo::close_zip, zip closed", kTrace);
    mArchive = nullptr;
    mCurrentIndex = -1;
  } else {
    LoggerUmbo::log("ZipHandler_Umbo::close_zip, closing zip archive was not successful", kTrace);
  }
  LoggerUmbo::logf(kTrace, "ZipHandler_Umbo::close_zip --, retvalue(ZIP errorcode) = %i", result);
  return result;
}

orva::ErrorCode ZipHandler_Umbo::locate_file(const std::string& name, int flags) {
  mCurrentIndex = mArchive ? static_cast<int>(zip_name_locate(mArchive, name.c_str(),
                                                              static_cast<zip_flags_t>(flags)))
                           : -1;
  if (mCurrentIndex < 0) {
    mCurrentIndex = -1;
    LoggerUmbo::logf(kTrace, "ZipHandler_Umbo::locate_file, could not found file: %s, err = %s",
                     name.c_str(), mArchive ? zip_strerror(mArchive) : "no archive");
    return ORVA_ERROR_NOT_FOUND;
  }
  return ORVA_ERROR_NONE;
}

orva::ErrorCode ZipHandler_Umbo::open_current_file() {
  if (mCurrentIndex == -1 || !mArchive) return ORVA_ERROR_UNKNOWN;
  if (mCurrentFile) close_current_file();
  mCurrentFile = zip_fopen_index(mArchive, static_cast<zip_uint64_t>(mCurrentIndex), 0);
  if (!mCurrentFile) {
    LoggerUmbo::logf(kTrace,
                     "ZipHandler_Umbo::open_current_file, could not open current file: err = %s",
                     zip_strerror(mArchive));
    return ORVA_ERROR_UNKNOWN;
  }
  return ORVA_ERROR_NONE;
}

int ZipHandler_Umbo::read_current_file(void* buffer, unsigned int size) {
  if (!mCurrentFile) {
    LoggerUmbo::log("ZipHandler_Umbo::read_current_file, current file not existing", kTrace);
    return -1;
  }
  return static_cast<int>(zip_fread(mCurrentFile, buffer, size));
}

orva::ErrorCode ZipHandler_Umbo::close_current_file() {
  if (!mCurrentFile) {
    LoggerUmbo::log("ZipHandler_Umbo::close_current_file, current file not existing", kTrace);
    return ORVA_ERROR_NONE;
  }
  const int result = zip_fclose(mCurrentFile);
  if (result != 0) {
    LoggerUmbo::logf(kTrace,
                     "ZipHandler_Umbo::close_current_file, wasn't able to close current file, "
                     "error: %i",
                     result);
    return ORVA_ERROR_UNKNOWN;
  }
  mCurrentFile = nullptr;
  return ORVA_ERROR_NONE;
}

}  // namespace internal
}  // namespace keldra
}  // namespace orva
