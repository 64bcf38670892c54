// StorageDriver: does with a storage plug-in what the sync daemon does, one scripted
// call at a time, and gives each call's result as one line of text.
//
// Calls (words separated by spaces; <data> is base64, "-" for nothing, or "@path" for a
// file's bytes; <id> is an item id as the plug-in gives it):
//   load <name|path>       dlopen lib<name>-storage.so from the plug-in folder, or a path
//   create <plugin name>   createPlugin                    -> ok | null
//   destroy / destroy-null destroyPlugin of the plug-in / of null            -> ok
//   init [key=value ...]   init; values percent-encoded    -> true | false
//   props                  the plug-in's properties: key=value ... (values percent-encoded)
//   uninit                                                 -> true | false
//   allids newids modifiedids deletedids                   -> true|false <id> ...
//   allitems newitems modifieditems                        -> true|false <id>:<data> ...
//   get <id>   getitems <id> ...                           -> <id>:<data> | null, ...
//   newitem                makes the current item          -> item | null
//   write <offset> <data>  read <offset> <length>  resize <size>  size   on the current item
//   add <data>                                             -> <status> <new id>
//   additems <data> ...                                    -> <status> ... | <id> ...
//   modify <id> <data>     modifyitems <id>:<data> ...     -> <status> ...
//   delete <id>            deleteitems <id> ...            -> <status> ...
//   sync                   a round trip to the daemon, then the event loop -> ok | error
//   wait <ms>              runs the event loop that long   -> ok
// Empty lines and lines starting with '#' give no output; anything else unknown gives
// "error ...". After every call the thread's pending events are run, as the daemon's
// event loop would run them between two calls.
//
// Items the plug-in returns are deleted once printed (the daemon owns them). Thread: the
// thread that made the driver, which must run a Qt event loop.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <memory>

#include "syncfw/StorageItem.h"
#include "syncfw/StoragePlugin.h"

class StorageDriver {
 public:
  // |pluginDir|: where "load <name>" looks.
  explicit StorageDriver(const QString& pluginDir);
  // Destroys a plug-in that is still there (as the daemon does at exit).
  ~StorageDriver();

  // Runs one line of script; false when the line gives no output. |out| gets the result.
  bool run(const QString& line, QString& out);

  // Runs the pending events of this thread, as between two calls of the daemon.
  static void settle();

 private:
  QString call(const QStringList& words);
  QString load(const QString& what);
  QString listIds(bool ok, const QList<QString>& ids) const;
  QString listItems(bool ok, const QList<Buteo::StorageItem*>& items) const;
  QString itemText(Buteo::StorageItem* item) const;
  QString statuses(const QList<Buteo::StoragePlugin::OperationStatus>& list) const;
  // An item of the plug-in holding |data|, or null.
  Buteo::StorageItem* makeItem(const QString& data, const QString& id, QString& error);
  static bool decodeData(const QString& word, QByteArray& out);

  QString mPluginDir;
  void* mLibrary = nullptr;
  Buteo::CreateStoragePluginFn mCreate = nullptr;
  Buteo::DestroyStoragePluginFn mDestroy = nullptr;
  Buteo::StoragePlugin* mPlugin = nullptr;
  std::unique_ptr<Buteo::StorageItem> mItem;  // the item of newitem
};
