// The "RouteProperties" element: a view over a route-properties section (class
// "route_properties"): travel mode, route type, avoided road and transport kinds, and
// the planned departure and arrival times (ISO 8601 texts). Made over a route's
// attribute it writes that section at once; made empty it owns a new section, which a
// route element copies in.
//
// Values outside the enums and texts that are not times are refused or dropped by the
// library; nothing is reported and no signal is emitted.
//
// Thread: the QML engine's thread. Owned by the engine or by the element that made it;
// holds its attribute (and the thread's name pool) until destroyed.
#pragma once

#include "ElementMacros.h"

#include <QObject>
#include <QString>

#include <keldra/Attribute.h>
#include <keldra/RouteProperties.h>
#include <keldra/SharedPointer.h>
#include <keldra/StringPool.h>

namespace keldra {
namespace qtplugin {

class RoutePropertiesImpl : public QObject {
  Q_OBJECT

 public:
  enum RoutingMode : int {
    MODE_PEDESTRIAN = 1,
    MODE_CAR = 2,
    MODE_BICYCLE = 3,
    MODE_TRACK = 4,
    MODE_PUBLIC_TRANSPORT = 5
  };
  Q_ENUM(RoutingMode)

  enum RoutingType : int {
    TYPE_SHORTEST = 1,
    TYPE_FASTEST = 2,
    TYPE_ECONOMIC = 3,
    TYPE_LEAST_WALKING = 4,
    TYPE_FEWER_TRANSFERS = 5,
    TYPE_NO_TRANSFERS = 6
  };
  Q_ENUM(RoutingType)

  enum RoutingOption : int {
    NO_MOTORWAYS = 1,
    NO_TUNNELS = 2,
    NO_FERRIES = 4,
    NO_TOLLROADS = 8,
    NO_UNPAVED = 16,
    NO_RAILFERRIES = 32,
    NO_BUSES = 64,
    NO_TRAMS = 128,
    NO_SUBWAY = 256,
    NO_LOCAL_TRAINS = 512
  };
  Q_ENUM(RoutingOption)

  KELDRA_QML_CONSTANT(RoutingMode, MODE_PEDESTRIAN)
  KELDRA_QML_CONSTANT(RoutingMode, MODE_CAR)
  KELDRA_QML_CONSTANT(RoutingMode, MODE_BICYCLE)
  KELDRA_QML_CONSTANT(RoutingMode, MODE_TRACK)
  KELDRA_QML_CONSTANT(RoutingMode, MODE_PUBLIC_TRANSPORT)
  KELDRA_QML_CONSTANT(RoutingType, TYPE_FASTEST)
  KELDRA_QML_CONSTANT(RoutingType, TYPE_SHORTEST)
  KELDRA_QML_CONSTANT(RoutingType, TYPE_ECONOMIC)
  KELDRA_QML_CONSTANT(RoutingType, TYPE_LEAST_WALKING)
  KELDRA_QML_CONSTANT(RoutingType, TYPE_FEWER_TRANSFERS)
  KELDRA_QML_CONSTANT(RoutingType, TYPE_NO_TRANSFERS)
  KELDRA_QML_CONSTANT(RoutingOption, NO_MOTORWAYS)
  KELDRA_QML_CONSTANT(RoutingOption, NO_TUNNELS)
  KELDRA_QML_CONSTANT(RoutingOption, NO_FERRIES)
  KELDRA_QML_CONSTANT(RoutingOption, NO_TOLLROADS)
  KELDRA_QML_CONSTANT(RoutingOption, NO_UNPAVED)
  KELDRA_QML_CONSTANT(RoutingOption, NO_RAILFERRIES)
  KELDRA_QML_CONSTANT(RoutingOption, NO_BUSES)
  KELDRA_QML_CONSTANT(RoutingOption, NO_TRAMS)
  KELDRA_QML_CONSTANT(RoutingOption, NO_SUBWAY)
  KELDRA_QML_CONSTANT(RoutingOption, NO_LOCAL_TRAINS)

 public:
  explicit RoutePropertiesImpl(QObject* parent = nullptr);
  // A view of |attribute|, which must be of class "route_properties".
  RoutePropertiesImpl(const orva::SharedPointer<orva::keldra::Attribute>& attribute,
                      QObject* parent);
  ~RoutePropertiesImpl() override;

  // 0 when none is stored.
  Q_INVOKABLE qint32 getMode() const;
  Q_INVOKABLE qint32 getType() const;
  // Whether this one RoutingOption value is stored.
  Q_INVOKABLE bool hasOption(qint32 options) const;
  // Empty when absent.
  Q_INVOKABLE QString getArrivalTime() const;
  Q_INVOKABLE QString getDepartureTime() const;

  const orva::keldra::RouteProperties& properties() const { return m_properties; }

 public slots:
  void setMode(qint32 mode);
  void setType(qint32 type);
  // Adds (setOn) or removes one RoutingOption value.
  void setOption(qint32 options, bool setOn);
  // A text that is not a time removes the stored one; with the flag the other time is
  // removed too.
  void setArrivalTime(QString arrival, bool clearDeparture = true);
  void setDepartureTime(QString departure, bool clearArrival = true);
  // The departure always; the arrival only when not empty.
  void setTiming(QString departure, QString arrival);

 private:
  orva::SharedPointer<orva::keldra::StringPool> m_pool;  // first: names outlive the view
  orva::keldra::RouteProperties m_properties;
};

}  // namespace qtplugin
}  // namespace keldra
