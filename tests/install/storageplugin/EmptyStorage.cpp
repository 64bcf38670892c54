// The smallest storage plug-in, built against an installed sync framework stand-in by its
// pkg-config entry: an empty storage that refuses every write.
#include <syncfw/StoragePlugin.h>

namespace {

class EmptyStorage : public Buteo::StoragePlugin {
 public:
  explicit EmptyStorage(const QString& name) : Buteo::StoragePlugin(name) {}
  bool init(const QMap<QString, QString>& properties) override {
    iProperties = properties;
    return true;
  }
  bool uninit() override { return true; }
  bool getAllItems(QList<Buteo::StorageItem*>&) override { return true; }
  bool getAllItemIds(QList<QString>&) override { return true; }
  bool getNewItems(QList<Buteo::StorageItem*>&, const QDateTime&) override { return true; }
  bool getNewItemIds(QList<QString>&, const QDateTime&) override { return true; }
  bool getModifiedItems(QList<Buteo::StorageItem*>&, const QDateTime&) override { return true; }
  bool getModifiedItemIds(QList<QString>&, const QDateTime&) override { return true; }
  bool getDeletedItemIds(QList<QString>&, const QDateTime&) override { return true; }
  Buteo::StorageItem* newItem() override { return nullptr; }
  Buteo::StorageItem* getItem(const QString&) override { return nullptr; }
  QList<Buteo::StorageItem*> getItems(const QStringList&) override { return {}; }
  OperationStatus addItem(Buteo::StorageItem&) override { return STATUS_ERROR; }
  QList<OperationStatus> addItems(const QList<Buteo::StorageItem*>& items) override {
    return failures(items.size());
  }
  OperationStatus modifyItem(Buteo::StorageItem&) override { return STATUS_ERROR; }
  QList<OperationStatus> modifyItems(const QList<Buteo::StorageItem*>& items) override {
    return failures(items.size());
  }
  OperationStatus deleteItem(const QString&) override { return STATUS_ERROR; }
  QList<OperationStatus> deleteItems(const QList<QString>& ids) override {
    return failures(ids.size());
  }

 private:
  static QList<OperationStatus> failures(int count) {
    QList<OperationStatus> out;
    for (int i = 0; i < count; ++i) out.append(STATUS_ERROR);
    return out;
  }
};

}  // namespace

extern "C" Buteo::StoragePlugin* createPlugin(const QString& name) {
  return new EmptyStorage(name);
}
extern "C" void destroyPlugin(Buteo::StoragePlugin* plugin) { delete plugin; }
