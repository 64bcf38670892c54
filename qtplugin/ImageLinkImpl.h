// The "ImageLink" element: a view over one image frame (class "frame"): the link to the
// image file object, the frame and mask frame indexes within it, and tags. Made over an
// attribute it writes that frame; made empty it owns a new frame, which a metadata
// element copies in as an icon.
//
// Thread: the QML engine's thread. Owned by the engine or by the element that made it;
// holds its attribute (and the thread's name pool) until destroyed.
#pragma once

#include "ObjectLinkImpl.h"

#include "LiveView.h"

#include <QObject>
#include <QVariantList>

#include <keldra/Attribute.h>
#include <keldra/Frame.h>
#include <keldra/SharedPointer.h>
#include <keldra/StringPool.h>

namespace keldra {
namespace qtplugin {

class ImageLinkImpl : public QObject {
  Q_OBJECT
  Q_PROPERTY(QVariantList tags READ getTags WRITE setTags NOTIFY tagsChanged)
  Q_PROPERTY(qint32 frameIndex READ frameIndex NOTIFY frameIndexChanged)
  Q_PROPERTY(qint32 maskFrameIndex READ maskFrameIndex NOTIFY maskFrameIndexChanged)

 public:
  explicit ImageLinkImpl(QObject* parent = nullptr);
  // A view of |attribute|, which must be of class "frame".
  ImageLinkImpl(const orva::SharedPointer<orva::keldra::Attribute>& attribute, QObject* parent);
  ~ImageLinkImpl() override;

  // A new link element (child of this one) holding a copy of the "file" link; an empty
  // link when there is none. Never null.
  Q_INVOKABLE keldra::qtplugin::ObjectLinkImpl* getIconFile();
  Q_INVOKABLE QVariantList getTags() const;
  // 0 when absent.
  Q_INVOKABLE qint32 frameIndex() const;
  // -1 (no mask) when absent.
  Q_INVOKABLE qint32 maskFrameIndex() const;

  const orva::keldra::Frame& icon() const { return view(); }

 public slots:
  // A null |file| is ignored; a link without target removes the file link.
  void setIcon(keldra::qtplugin::ObjectLinkImpl* file, qint32 frameIndex = 0,
               qint32 maskFrameIndex = -1);
  // One tag per distinct text, at its last position.
  void setTags(QVariantList tags);

 signals:
  void tagsChanged();
  void frameIndexChanged();
  void maskFrameIndexChanged();

 private:
  orva::SharedPointer<orva::keldra::StringPool> m_pool;  // first: names outlive the view
  // The view, re-attached to its section (see LiveView.h).
  orva::keldra::Frame& view() const { return refreshed(m_frame); }

  mutable orva::keldra::Frame m_frame;
};

}  // namespace qtplugin
}  // namespace keldra
