// The plug-in in a QML engine and the status mapping.
#include "KeldraImpl.h"
#include "KeldraPlugin.h"

#include "support/LogCapture.h"

#include <QQmlComponent>
#include <QQmlEngine>

#include <gtest/gtest.h>

#include <memory>

using keldra::qtplugin::KeldraImpl;

namespace {

// Creates the QML text's root object; null (with the errors printed) on failure.
std::unique_ptr<QObject> create(QQmlEngine& engine, const QByteArray& qml) {
  QQmlComponent component(&engine);
  component.setData(qml, QUrl());
  std::unique_ptr<QObject> object(component.create());
  if (!object) {
    ADD_FAILURE() << component.errorString().toStdString();
  }
  return object;
}

TEST(KeldraPluginTest, EngineFindsTheModuleInTheImportDirectory) {
  QQmlEngine engine;
  engine.addImportPath(QStringLiteral(KELDRA_QML_IMPORT_DIR));
  auto object = create(engine, "import Keldra 1.0\nKeldra {}");
  ASSERT_TRUE(object);
  EXPECT_TRUE(qobject_cast<KeldraImpl*>(object.get()));
  EXPECT_EQ(object->property("STATUS_OK").toInt(), 1);
}

// The URI is whatever the deployment chooses: nothing compares it.
TEST(KeldraPluginTest, RegistersUnderAnyUri) {
  KeldraPlugin plugin;
  plugin.registerTypes("Some.Other.Place");
  QQmlEngine engine;
  auto object = create(engine,
                       "import QtQml 2.0\nimport Some.Other.Place 1.0\n"
                       "GeoRect { Component.onCompleted: setBounds(1, 2, 3, 4) }");
  ASSERT_TRUE(object);
  EXPECT_EQ(object->property("maxLatitude").toDouble(), 4.0);
}

TEST(KeldraPluginTest, ErrorCodeToStatusFollowsTheTable) {
  struct Case {
    int err;
    int status;
  };
  const Case cases[] = {
      {0, KeldraImpl::STATUS_OK},
      {0x6001, KeldraImpl::STATUS_INPROGRESS},
      {0x6004, KeldraImpl::STATUS_ERROR_WRONG_LOGIN},
      {0x6005, KeldraImpl::STATUS_ERROR_NETWORK_PROBLEM},
      {0x6006, KeldraImpl::STATUS_CANCELED},
      {1, KeldraImpl::STATUS_ERROR_UNKNOWN},
      {3, KeldraImpl::STATUS_ERROR_UNKNOWN},
      {7, KeldraImpl::STATUS_ERROR_UNKNOWN},
      {0x6002, KeldraImpl::STATUS_ERROR_UNKNOWN},
      {0x6009, KeldraImpl::STATUS_ERROR_UNKNOWN},
      {-1, KeldraImpl::STATUS_ERROR_UNKNOWN},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(KeldraImpl::errorCodeToStatus(c.err), c.status) << "code " << c.err;
  }
}

TEST(KeldraPluginTest, ErrorCodeToStatusTracesCodeAndResultInDecimal) {
  keldra_test::LogCapture log("32");
  KeldraImpl::errorCodeToStatus(0x6005);
  EXPECT_TRUE(log.has("QmlPlugin: KeldraImpl::errorCodeToStatus, err 24581 => status 2"))
      << log.text();
}

}  // namespace
