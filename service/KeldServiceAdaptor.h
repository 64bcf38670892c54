// D-Bus face of the change relay: the interface "com.ostra.maps.keldservice".
//
// Method calls from the bus are handed to the parent object's slots of the same name;
// the parent's DbChanged and DbChanges emissions are relayed automatically and sent on
// the bus as broadcast signals of the interface from the object's path.
//
// Created with the relay object as its parent (which owns it) on the program's one
// thread; never deleted before the parent.
#pragma once

#include <QByteArray>
#include <QDBusAbstractAdaptor>
#include <QObject>

class KeldServiceAdaptor : public QDBusAbstractAdaptor {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "com.ostra.maps.keldservice")
  Q_CLASSINFO("D-Bus Introspection",
"  <interface name=\"com.ostra.maps.keldservice\">\n"
"    <!-- a method for signaling messages to all interested listeners -->\n"
"    <signal name=\"DbChanged\">\n"
"      <arg direction=\"out\" type=\"i\" name=\"type\"/>\n"
"      <arg direction=\"out\" type=\"i\" name=\"id\"/>\n"
"    </signal>\n"
"    <signal name=\"DbChanges\">\n"
"      <arg direction=\"out\" type=\"ay\" name=\"messages\"/>\n"
"    </signal>\n"
"    <method name=\"SendMessage\">\n"
"      <!-- message type (new, deleted, updated...) -->\n"
"      <arg direction=\"in\" type=\"i\" name=\"type\"/>\n"
"      <arg direction=\"in\" type=\"i\" name=\"id\"/>\n"
"    </method>\n"
"    <method name=\"SendMessages\">\n"
"      <arg direction=\"in\" type=\"ay\" name=\"array\"/>\n"
"    </method>\n"
"  </interface>\n")

 public:
  // Attaches to |parent| and switches automatic signal relaying on.
  explicit KeldServiceAdaptor(QObject* parent);
  ~KeldServiceAdaptor() override;

 Q_SIGNALS:
  void DbChanged(int type, int id);
  void DbChanges(const QByteArray& messages);

 public Q_SLOTS:
  // Handler of the method SendMessage: invokes the parent's slot SendMessage(type, id).
  void SendMessage(int type, int id);
  // Handler of the method SendMessages: invokes the parent's slot SendMessages(array).
  void SendMessages(const QByteArray& array);
};
