#include "adaptation_umbo/base/Settings.h"

#include <keldra/LoggerUmbo.h>

#include <QLibrary>

namespace orva {
namespace keldra {
namespace internal {

namespace {

Settings* s_instance = nullptr;

std::string& library_file() {
  static std::string* path = new std::string("/usr/lib/libkeldradebug");
  return *path;
}

}  // namespace

void Settings::set_library_path(const std::string& path) { library_file() = path; }

std::string Settings::library_path() { return library_file(); }

orva::SharedPointer<Settings> Settings::instance() {
  LogTrace trace("Settings::instance");
  if (!s_instance) s_instance = new Settings;
  return orva::SharedPointer<Settings>(s_instance);
}

Settings::Settings()
    : m_library_loaded(false), m_library(nullptr), m_get_sync_server_uri(nullptr) {
  LoggerUmbo::log("Settings::Settings ++", LoggerUmbo::MSG_TRACE);
  m_library = new QLibrary;
  m_library->setFileName(QString::fromStdString(library_file()));
  if (!m_library->load()) {
    LoggerUmbo::logf(LoggerUmbo::MSG_TRACE,
                     "Settings::Settings: Load was not successful, errorString = %s",
                     m_library->errorString().toUtf8().constData());
  } else {
    LoggerUmbo::log("Settings::Settings: Library loaded", LoggerUmbo::MSG_TRACE);
    QFunctionPointer entry = m_library->resolve("getSyncServerUri");
    if (!entry) {
      LoggerUmbo::log("Settings::Settings: Function getSyncServerUri not found",
                      LoggerUmbo::MSG_TRACE);
    } else {
      m_get_sync_server_uri = reinterpret_cast<GetSyncServerUri>(entry);
      m_library_loaded = true;
    }
  }
  LoggerUmbo::log("Settings::Settings --", LoggerUmbo::MSG_TRACE);
}

Settings::~Settings() {
  LoggerUmbo::log("Settings::~Settings ++", LoggerUmbo::MSG_TRACE);
  // Deleting the handle leaves the library loaded until the process ends.
  delete m_library;
  m_library = nullptr;
  m_get_sync_server_uri = nullptr;
  if (s_instance == this) s_instance = nullptr;
  LoggerUmbo::log("Settings::~Settings --", LoggerUmbo::MSG_TRACE);
}

std::string Settings::sync_redirect_uri() const {
  if (!m_get_sync_server_uri) return std::string();
  return m_get_sync_server_uri();
}

}  // namespace internal
}  // namespace keldra
}  // namespace orva
