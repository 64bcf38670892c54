// Process-wide access to the optional debug library "/usr/lib/libkeldradebug".
//
// When the library loads and exports getSyncServerUri (a function without arguments
// returning std::string), TLS certificate errors are ignored and a non-empty address
// it returns replaces the sync server address. A missing library or entry point is the
// normal case: it is logged at type 32 and changes nothing.
//
// One object exists while references to it are held; it is created by the first
// instance() (which looks for the library) and destroyed with its last reference, so
// the next instance() looks again. Created, used and destroyed on the thread that owns
// the store; no locks.
#pragma once

#include <keldra/SharedPointer.h>

#include <string>

class QLibrary;

namespace orva {
namespace keldra {
namespace internal {

class Settings : public orva::internal::RefCountable {
 public:
  typedef std::string (*GetSyncServerUri)();

  // The current object with one more reference; created when there is none.
  static orva::SharedPointer<Settings> instance();

  // True when the library was loaded and its entry point found.
  bool is_library_loaded() const { return m_library_loaded; }
  // The entry point's address text; empty when there is no entry point.
  std::string sync_redirect_uri() const;

  ~Settings() override;

  // Test seam: the library file name given to the loader (without suffix); the
  // product uses "/usr/lib/libkeldradebug". Takes effect at the next construction.
  static void set_library_path(const std::string& path);
  static std::string library_path();

 private:
  Settings();
  Settings(const Settings&) = delete;
  Settings& operator=(const Settings&) = delete;

  bool m_library_loaded;
  QLibrary* m_library;
  GetSyncServerUri m_get_sync_server_uri;
};

}  // namespace internal
}  // namespace keldra
}  // namespace orva
