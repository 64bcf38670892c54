// The "Waypoint" element: a view over one waypoint section (class "way_point"): its
// position, a comment, and links to a place object (location) and to an attached
// object (attachment). Made over an attribute it writes that section at once (the route
// element hands out copies of its waypoints); made empty it owns a new section.
//
// Thread: the QML engine's thread. Owned by the engine or by the element that made it;
// holds its attribute (and the thread's name pool) until destroyed.
#pragma once

#include "ObjectLinkImpl.h"
#include "PositionImpl.h"

#include "LiveView.h"

#include <QObject>
#include <QString>

#include <keldra/Attribute.h>
#include <keldra/SharedPointer.h>
#include <keldra/StringPool.h>
#include <keldra/Waypoint.h>

namespace keldra {
namespace qtplugin {

class WaypointImpl : public QObject {
  Q_OBJECT
  Q_PROPERTY(keldra::qtplugin::PositionImpl* position READ getPosition WRITE setPosition NOTIFY
                 positionChanged)
  Q_PROPERTY(keldra::qtplugin::ObjectLinkImpl* location READ getLocation WRITE setLocation NOTIFY
                 locationChanged)
  Q_PROPERTY(keldra::qtplugin::ObjectLinkImpl* attachment READ getAttachment WRITE setAttachment
                 NOTIFY attachmentChanged)

 public:
  explicit WaypointImpl(QObject* parent = nullptr);
  // A view of |attribute|, which must be of class "way_point".
  WaypointImpl(const orva::SharedPointer<orva::keldra::Attribute>& attribute, QObject* parent);
  ~WaypointImpl() override;

  // A live view (child of this element) of the "position" section; null without one.
  Q_INVOKABLE keldra::qtplugin::PositionImpl* getPosition();
  // |lang| has no effect: a waypoint has one comment.
  Q_INVOKABLE QString getComment(QString lang = QString()) const;
  // New link elements (children of this element) holding copies; null without target.
  Q_INVOKABLE keldra::qtplugin::ObjectLinkImpl* getLocation();
  Q_INVOKABLE keldra::qtplugin::ObjectLinkImpl* getAttachment();

  const orva::keldra::Waypoint& waypoint() const { return view(); }

 public slots:
  // Copies |pos|'s section into the waypoint's "position"; null is ignored.
  void setPosition(keldra::qtplugin::PositionImpl* pos);
  void setComment(QString comment, QString lang = QString());
  // A link without target removes the stored one; null is ignored.
  void setLocation(keldra::qtplugin::ObjectLinkImpl* link);
  void setAttachment(keldra::qtplugin::ObjectLinkImpl* link);

 signals:
  void positionChanged();
  void commentChanged();
  void locationChanged();
  void attachmentChanged();

 private:
  orva::SharedPointer<orva::keldra::StringPool> m_pool;  // first: names outlive the view
  // The view, re-attached to its section (see LiveView.h).
  orva::keldra::Waypoint& view() const { return refreshed(m_waypoint); }

  mutable orva::keldra::Waypoint m_waypoint;
};

}  // namespace qtplugin
}  // namespace keldra
