#include "StorageDriver.h"

#include <dlfcn.h>

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QMap>
#include <QTimer>

namespace {

// The daemon's own items for what it received: a byte buffer with an id.
class DriverItem : public Buteo::StorageItem {
 public:
  bool write(qint64 offset, const QByteArray& data) override {
    mData.resize(static_cast<int>(offset));
    mData.append(data);
    return true;
  }
  bool read(qint64 offset, qint64 length, QByteArray& data) const override {
    data = mData.mid(static_cast<int>(offset), static_cast<int>(length));
    return true;
  }
  bool resize(qint64 size) override {
    mData.resize(static_cast<int>(size));
    return true;
  }
  qint64 getSize() const override { return mData.size(); }

 private:
  QByteArray mData;
};

QString boolText(bool value) { return value ? QStringLiteral("true") : QStringLiteral("false"); }

QString encode(const QByteArray& bytes) { return QString::fromLatin1(bytes.toBase64()); }

}  // namespace

StorageDriver::StorageDriver(const QString& pluginDir) : mPluginDir(pluginDir) {}

StorageDriver::~StorageDriver() {
  mItem.reset();
  if (mPlugin && mDestroy) mDestroy(mPlugin);
  mPlugin = nullptr;
  // The library stays loaded: its Qt types may still be registered with the process.
}

void StorageDriver::settle() {
  QAbstractEventDispatcher* dispatcher = QAbstractEventDispatcher::instance();
  // Bounded: a plug-in that keeps posting work must not stall the script.
  for (int round = 0; round < 1000; ++round) {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    const bool more = dispatcher ? dispatcher->processEvents(QEventLoop::AllEvents) : false;
    if (!more) break;
  }
}

bool StorageDriver::run(const QString& line, QString& out) {
  const QString trimmed = line.trimmed();
  if (trimmed.isEmpty() || trimmed.startsWith(QLatin1Char('#'))) return false;
  out = call(trimmed.split(QLatin1Char(' '), Qt::SkipEmptyParts));
  settle();
  return true;
}

bool StorageDriver::decodeData(const QString& word, QByteArray& out) {
  if (word == QLatin1String("-")) {
    out.clear();
    return true;
  }
  if (word.startsWith(QLatin1Char('@'))) {
    QFile file(word.mid(1));
    if (!file.open(QIODevice::ReadOnly)) return false;
    out = file.readAll();
    return true;
  }
  const auto decoded =
      QByteArray::fromBase64Encoding(word.toLatin1(), QByteArray::AbortOnBase64DecodingErrors);
  if (!decoded) return false;
  out = *decoded;
  return true;
}

QString StorageDriver::load(const QString& what) {
  if (mLibrary) return QStringLiteral("error already loaded");
  const QString path = what.contains(QLatin1Char('/'))
                           ? what
                           : mPluginDir + QLatin1Char('/') + QStringLiteral("lib") + what +
                                 QStringLiteral("-storage.so");
  void* library = dlopen(QFile::encodeName(path).constData(), RTLD_NOW | RTLD_LOCAL);
  if (!library) return QStringLiteral("error ") + QString::fromLocal8Bit(dlerror());
  auto create = reinterpret_cast<Buteo::CreateStoragePluginFn>(dlsym(library, "createPlugin"));
  auto destroy = reinterpret_cast<Buteo::DestroyStoragePluginFn>(dlsym(library, "destroyPlugin"));
  if (!create || !destroy) {
    dlclose(library);
    return QStringLiteral("error no entry points");
  }
  mLibrary = library;
  mCreate = create;
  mDestroy = destroy;
  return QStringLiteral("ok");
}

QString StorageDriver::listIds(bool ok, const QList<QString>& ids) const {
  QString out = boolText(ok);
  for (const QString& id : ids) out += QLatin1Char(' ') + id;
  return out;
}

QString StorageDriver::itemText(Buteo::StorageItem* item) const {
  if (!item) return QStringLiteral("null");
  QByteArray data;
  item->read(0, item->getSize(), data);
  return item->getId() + QLatin1Char(':') + encode(data);
}

QString StorageDriver::listItems(bool ok, const QList<Buteo::StorageItem*>& items) const {
  QString out = boolText(ok);
  for (Buteo::StorageItem* item : items) {
    out += QLatin1Char(' ') + itemText(item);
    delete item;
  }
  return out;
}

QString StorageDriver::statuses(const QList<Buteo::StoragePlugin::OperationStatus>& list) const {
  QStringList words;
  for (Buteo::StoragePlugin::OperationStatus status : list) words << QString::number(status);
  return words.join(QLatin1Char(' '));
}

Buteo::StorageItem* StorageDriver::makeItem(const QString& data, const QString& id,
                                            QString& error) {
  QByteArray bytes;
  if (!decodeData(data, bytes)) {
    error = QStringLiteral("error bad data ") + data;
    return nullptr;
  }
  DriverItem* item = new DriverItem();
  item->write(0, bytes);
  item->setId(id);
  return item;
}

QString StorageDriver::call(const QStringList& words) {
  const QString& name = words.first();
  const QStringList args = words.mid(1);
  const QDateTime since;

  if (name == QLatin1String("load")) {
    return args.size() == 1 ? load(args[0]) : QStringLiteral("error usage: load <name|path>");
  }
  if (name == QLatin1String("create")) {
    if (!mCreate) return QStringLiteral("error nothing loaded");
    if (mPlugin) return QStringLiteral("error plug-in exists");
    mPlugin = mCreate(args.join(QLatin1Char(' ')));
    return mPlugin ? QStringLiteral("ok") : QStringLiteral("null");
  }
  if (name == QLatin1String("destroy-null")) {
    if (!mDestroy) return QStringLiteral("error nothing loaded");
    mDestroy(nullptr);
    return QStringLiteral("ok");
  }
  if (name == QLatin1String("sync")) {
    QDBusMessage ping = QDBusMessage::createMethodCall(
        QStringLiteral("com.meego.msyncd"), QStringLiteral("/synchronizer"),
        QStringLiteral("org.freedesktop.DBus.Peer"), QStringLiteral("Ping"));
    const QDBusMessage reply = QDBusConnection::sessionBus().call(ping, QDBus::Block, 20000);
    if (reply.type() == QDBusMessage::ErrorMessage) {
      return QStringLiteral("error ") + reply.errorMessage();
    }
    return QStringLiteral("ok");
  }
  if (name == QLatin1String("wait")) {
    bool ok = false;
    const int ms = args.value(0).toInt(&ok);
    if (!ok || ms < 0) return QStringLiteral("error usage: wait <ms>");
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
    return QStringLiteral("ok");
  }

  // The current item of newitem.
  if (name == QLatin1String("write") || name == QLatin1String("read") ||
      name == QLatin1String("resize") || name == QLatin1String("size")) {
    if (!mItem) return QStringLiteral("error no item");
    if (name == QLatin1String("size")) return QString::number(mItem->getSize());
    if (name == QLatin1String("resize")) {
      return boolText(mItem->resize(args.value(0).toLongLong()));
    }
    if (name == QLatin1String("read")) {
      QByteArray data("untouched");
      const bool ok = mItem->read(args.value(0).toLongLong(), args.value(1).toLongLong(), data);
      return boolText(ok) + QLatin1Char(' ') +
             (data.isEmpty() ? QStringLiteral("-") : encode(data));
    }
    QByteArray data;
    if (args.size() != 2 || !decodeData(args[1], data)) return QStringLiteral("error bad data");
    return boolText(mItem->write(args[0].toLongLong(), data));
  }

  if (!mPlugin) return QStringLiteral("error no plug-in");

  if (name == QLatin1String("destroy")) {
    mItem.reset();
    mDestroy(mPlugin);
    mPlugin = nullptr;
    return QStringLiteral("ok");
  }
  if (name == QLatin1String("init")) {
    QMap<QString, QString> properties;
    for (const QString& arg : args) {
      const int equals = arg.indexOf(QLatin1Char('='));
      if (equals <= 0) return QStringLiteral("error usage: init key=value ...");
      properties.insert(
          arg.left(equals),
          QString::fromUtf8(QByteArray::fromPercentEncoding(arg.mid(equals + 1).toUtf8())));
    }
    return boolText(mPlugin->init(properties));
  }
  if (name == QLatin1String("props")) {
    QMap<QString, QString> properties;
    mPlugin->getProperties(properties);
    QStringList out;
    for (auto it = properties.constBegin(); it != properties.constEnd(); ++it) {
      out << it.key() + QLatin1Char('=') +
                 QString::fromLatin1(it.value().toUtf8().toPercentEncoding());
    }
    return out.join(QLatin1Char(' '));
  }
  if (name == QLatin1String("uninit")) return boolText(mPlugin->uninit());

  QList<QString> ids;
  QList<Buteo::StorageItem*> items;
  if (name == QLatin1String("allids")) {
    const bool ok = mPlugin->getAllItemIds(ids);
    return listIds(ok, ids);
  }
  if (name == QLatin1String("newids")) {
    const bool ok = mPlugin->getNewItemIds(ids, since);
    return listIds(ok, ids);
  }
  if (name == QLatin1String("modifiedids")) {
    const bool ok = mPlugin->getModifiedItemIds(ids, since);
    return listIds(ok, ids);
  }
  if (name == QLatin1String("deletedids")) {
    const bool ok = mPlugin->getDeletedItemIds(ids, since);
    return listIds(ok, ids);
  }
  if (name == QLatin1String("allitems")) {
    const bool ok = mPlugin->getAllItems(items);
    return listItems(ok, items);
  }
  if (name == QLatin1String("newitems")) {
    const bool ok = mPlugin->getNewItems(items, since);
    return listItems(ok, items);
  }
  if (name == QLatin1String("modifieditems")) {
    const bool ok = mPlugin->getModifiedItems(items, since);
    return listItems(ok, items);
  }
  if (name == QLatin1String("get")) {
    if (args.size() != 1) return QStringLiteral("error usage: get <id>");
    Buteo::StorageItem* item = mPlugin->getItem(args[0]);
    const QString out = itemText(item);
    delete item;
    return out;
  }
  if (name == QLatin1String("getitems")) {
    const QList<Buteo::StorageItem*> got = mPlugin->getItems(args);
    QStringList out;
    for (Buteo::StorageItem* item : got) {
      out << itemText(item);
      delete item;
    }
    return out.join(QLatin1Char(' '));
  }
  if (name == QLatin1String("newitem")) {
    mItem.reset(mPlugin->newItem());
    return mItem ? QStringLiteral("item") : QStringLiteral("null");
  }

  QString error;
  if (name == QLatin1String("add")) {
    if (args.size() != 1) return QStringLiteral("error usage: add <data>");
    std::unique_ptr<Buteo::StorageItem> item(makeItem(args[0], QString(), error));
    if (!item) return error;
    const int status = mPlugin->addItem(*item);
    return QString::number(status) + QLatin1Char(' ') + item->getId();
  }
  if (name == QLatin1String("modify")) {
    if (args.size() != 2) return QStringLiteral("error usage: modify <id> <data>");
    std::unique_ptr<Buteo::StorageItem> item(makeItem(args[1], args[0], error));
    if (!item) return error;
    return QString::number(mPlugin->modifyItem(*item));
  }
  if (name == QLatin1String("additems") || name == QLatin1String("modifyitems")) {
    const bool add = name == QLatin1String("additems");
    QList<Buteo::StorageItem*> list;
    for (const QString& arg : args) {
      QString id;
      QString data = arg;
      if (!add) {
        const int colon = arg.indexOf(QLatin1Char(':'));
        id = colon < 0 ? QString() : arg.left(colon);
        data = arg.mid(colon + 1);
      }
      Buteo::StorageItem* item = makeItem(data, id, error);
      if (!item) {
        qDeleteAll(list);
        return error;
      }
      list << item;
    }
    const QList<Buteo::StoragePlugin::OperationStatus> result =
        add ? mPlugin->addItems(list) : mPlugin->modifyItems(list);
    QString out = statuses(result);
    if (add) {
      out += QStringLiteral(" |");
      for (Buteo::StorageItem* item : list) out += QLatin1Char(' ') + item->getId();
    }
    qDeleteAll(list);
    return out;
  }
  if (name == QLatin1String("delete")) {
    if (args.size() != 1) return QStringLiteral("error usage: delete <id>");
    return QString::number(mPlugin->deleteItem(args[0]));
  }
  if (name == QLatin1String("deleteitems")) return statuses(mPlugin->deleteItems(args));

  return QStringLiteral("error unknown call ") + name;
}
