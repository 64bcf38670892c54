#include "syncfw/StoragePlugin.h"

namespace Buteo {

StoragePlugin::StoragePlugin(const QString& pluginName) : iPluginName(pluginName) {}
StoragePlugin::~StoragePlugin() = default;

}  // namespace Buteo
