#include "KeldraImpl.h"

#include <QDir>
#include <QFile>
#include <QString>

#include <keldra/ErrorCode.h>
#include <keldra/Link.h>
#include <keldra/LoggerUmbo.h>

#include <dirent.h>
#include <sys/stat.h>

#include <cstdlib>
#include <string>

namespace keldra {
namespace qtplugin {

using orva::SharedPointer;
using orva::keldra::Store;
using orva::keldra::SyncService;
using orva::keldra::internal::LoggerUmbo;

const char* const KELDRA_CITIES_FOLDER = "/.cities";
const char* const KELDRA_REDIRECTION_FILE = "/OstraMaps.server";

namespace {

const char kDatabaseFile[] = "/OstraMaps.db";
// SQLite's companions of a database file, named after it.
const char* const kCompanionSuffixes[] = {"-journal", "-wal", "-shm"};

void trace(const char* text) { LoggerUmbo::log(text, LoggerUmbo::MSG_TRACE); }

QString citiesFolder() { return QDir::homePath() + QString::fromLatin1(KELDRA_CITIES_FOLDER); }

QString redirectionFile() { return citiesFolder() + QString::fromLatin1(KELDRA_REDIRECTION_FILE); }

// Whether a descriptor of this process refers to the file at |path| (an SQLite
// connection keeps one open for its whole life).
bool openInThisProcess(const QString& path) {
  struct stat target;
  if (::stat(QFile::encodeName(path).constData(), &target) != 0) return false;
  DIR* fds = ::opendir("/proc/self/fd");
  if (!fds) return false;
  bool open = false;
  while (struct dirent* entry = ::readdir(fds)) {
    if (entry->d_name[0] == '.') continue;
    char* end = nullptr;
    const long fd = std::strtol(entry->d_name, &end, 10);
    if (!end || *end != '\0' || fd == ::dirfd(fds)) continue;
    struct stat held;
    if (::fstat(static_cast<int>(fd), &held) == 0 && held.st_dev == target.st_dev &&
        held.st_ino == target.st_ino) {
      open = true;
      break;
    }
  }
  ::closedir(fds);
  return open;
}

}  // namespace

KeldraImpl::KeldraImpl(QObject* parent) : QObject(parent) {}

KeldraImpl::~KeldraImpl() = default;

SharedPointer<Store> KeldraImpl::getStore() {
  trace("QmlPlugin: KeldraImpl::getStore");
  if (!m_store.is_valid()) Store::open(m_store);
  return m_store;
}

SharedPointer<SyncService> KeldraImpl::getSyncService() {
  trace("QmlPlugin: KeldraImpl::getSyncService");
  if (!m_syncService.is_valid()) m_syncService = SyncService::instance();
  return m_syncService;
}

StoreImpl* KeldraImpl::openLocalStore() {
  trace("QmlPlugin: KeldraImpl::openLocalStore");
  SharedPointer<Store> store = getStore();
  if (!store.is_valid()) return nullptr;
  return new StoreImpl(store, this);
}

StoreImpl* KeldraImpl::openGlobalStore() {
  trace("QmlPlugin: KeldraImpl::openGlobalStore");
  return nullptr;
}

SyncServiceImpl* KeldraImpl::openSyncService() {
  trace("QmlPlugin: KeldraImpl::openSyncService");
  SharedPointer<SyncService> service = getSyncService();
  if (!service.is_valid()) return nullptr;
  return new SyncServiceImpl(service, this);
}

GenericObjectImpl* KeldraImpl::createGenericObject() { return new GenericObjectImpl(this); }

LocationObjectImpl* KeldraImpl::createLocationObject() { return new LocationObjectImpl(this); }

RouteObjectImpl* KeldraImpl::createRouteObject() { return new RouteObjectImpl(this); }

CollectionObjectImpl* KeldraImpl::createCollectionObject() {
  return new CollectionObjectImpl(this);
}

MetadataImpl* KeldraImpl::createMetadata() { return new MetadataImpl(this); }

GeoRectImpl* KeldraImpl::createGeoRect() { return new GeoRectImpl(this); }

GeoCoordinatesImpl* KeldraImpl::createGeoCoordinates() { return new GeoCoordinatesImpl(this); }

BoundingBoxImpl* KeldraImpl::createBoundingBox() { return new BoundingBoxImpl(this); }

AddressImpl* KeldraImpl::createAddress() { return new AddressImpl(this); }

ContactImpl* KeldraImpl::createContact() { return new ContactImpl(this); }

PositionImpl* KeldraImpl::createPosition() { return new PositionImpl(this); }

WaypointImpl* KeldraImpl::createWayPoint() { return new WaypointImpl(this); }

RoutePropertiesImpl* KeldraImpl::createRouteProperties() { return new RoutePropertiesImpl(this); }

ObjectLinkImpl* KeldraImpl::createGlobalLink(quint64 gid) {
  orva::keldra::Link link;
  link.set_global_link(gid);
  return new ObjectLinkImpl(link, this);
}

ObjectLinkImpl* KeldraImpl::createLocalLink(quint32 lid) {
  orva::keldra::Link link;
  link.set_local_link(lid);
  return new ObjectLinkImpl(link, this);
}

ImageLinkImpl* KeldraImpl::createImageLink(ObjectLinkImpl* file, qint32 frameIndex,
                                           qint32 maskFrameIndex) {
  ImageLinkImpl* image = new ImageLinkImpl(this);
  if (file) image->setIcon(file, frameIndex, maskFrameIndex);
  return image;
}

MapsLocationPropertiesImpl* KeldraImpl::createMapsLocationProperties() {
  return new MapsLocationPropertiesImpl(this);
}

bool KeldraImpl::setTargetServer(QString server) {
  const QByteArray bytes = server.toLatin1();
  LoggerUmbo::logf(LoggerUmbo::MSG_TRACE, "QmlPlugin: KeldraImpl::setTargetServer: %s",
                   bytes.constData());
  const QString folder = citiesFolder();
  LoggerUmbo::logf(LoggerUmbo::MSG_TRACE, "cities path: %s", folder.toLatin1().constData());
  if (!QDir(folder).exists()) QDir().mkpath(folder);
  const QString path = redirectionFile();
  if (QFile::exists(path)) QFile::remove(path);
  QFile file(path);
  if (!file.open(QIODevice::ReadWrite | QIODevice::Text)) {
    trace("QmlPlugin: KeldraImpl::setTargetServer: failed to write parameters!");
    return false;
  }
  file.write(bytes);
  file.write("\n");
  file.close();
  return true;
}

bool KeldraImpl::deleteRedirectionFile() {
  const QString path = redirectionFile();
  LoggerUmbo::logf(LoggerUmbo::MSG_TRACE, "Path: %s", path.toLatin1().constData());
  if (QFile::remove(path)) {
    trace("QmlPlugin: KeldraImpl::deleteRedirectionFile Delete OK --");
    return true;
  }
  trace("QmlPlugin: KeldraImpl::deleteRedirectionFile File not deleted --");
  return false;
}

bool KeldraImpl::resetLocalDatabase() {
  // Removing the file under an open connection would send later writes to an unlinked
  // file and leave its journal to spoil the next database: give up our own reference,
  // then refuse while anything else in this process keeps the database open.
  m_store.release();
  const QString path = citiesFolder() + QString::fromLatin1(kDatabaseFile);
  if (openInThisProcess(path)) return false;
  if (!QFile::remove(path)) return false;
  for (const char* suffix : kCompanionSuffixes) {
    QFile::remove(path + QString::fromLatin1(suffix));
  }
  return true;
}

void KeldraImpl::resetLog(bool save) {
  trace("Log is split here");
  {
    SharedPointer<LoggerUmbo> logger = LoggerUmbo::instance();
    if (logger.is_valid()) logger->start_new_log(!save);
  }
  trace("Log is continued here");
}

int KeldraImpl::errorCodeToStatus(int err) {
  int status;
  switch (err) {
    case ORVA_ERROR_NONE:
      status = STATUS_OK;
      break;
    case ORVA_ERROR_KELDRA_IN_PROGRESS:
      status = STATUS_INPROGRESS;
      break;
    case ORVA_ERROR_KELDRA_LOGIN_FAILED:
      status = STATUS_ERROR_WRONG_LOGIN;
      break;
    case ORVA_ERROR_KELDRA_NETWORK_PROBLEM:
      status = STATUS_ERROR_NETWORK_PROBLEM;
      break;
    case ORVA_ERROR_KELDRA_CANCELLED:
      status = STATUS_CANCELED;
      break;
    default:
      status = STATUS_ERROR_UNKNOWN;
      break;
  }
  LoggerUmbo::logf(LoggerUmbo::MSG_TRACE,
                   "QmlPlugin: KeldraImpl::errorCodeToStatus, err %d => status %d", err, status);
  return status;
}

}  // namespace qtplugin
}  // namespace keldra
