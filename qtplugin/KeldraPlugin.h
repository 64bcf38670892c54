// The QML module's plug-in: registers the element types, version 1.0, under the URI the
// engine passes (the deployment's qmldir chooses it; nothing compares it). No state.
#pragma once

#include <QQmlEngine>
#include <QQmlExtensionPlugin>

class KeldraPlugin : public QQmlExtensionPlugin {
  Q_OBJECT
  Q_PLUGIN_METADATA(IID QQmlExtensionInterface_iid)

 public:
  explicit KeldraPlugin(QObject* parent = nullptr);

  void registerTypes(const char* uri) override;
  void initializeEngine(QQmlEngine* engine, const char* uri) override;
};
