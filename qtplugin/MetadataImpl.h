// The "Metadata" element: a view over a metadata section (class "metadata"): names,
// descriptions and subtitles per language (plain, or rich with a format), tags, icons
// and an average rating. Made over an attribute it writes that section at once (a live
// view of an object's "meta"); made empty it owns a new section, which an object or an
// address element copies in.
//
// Languages and texts cross as UTF-8 both ways. For the empty language the library
// picks the entry without language, or else the first entry. Library errors are not
// reported; the change signals follow every accepted call.
//
// Thread: the QML engine's thread. Owned by the engine or by the element that made it;
// holds its attribute (and the thread's name pool) until destroyed.
#pragma once

#include "ImageLinkImpl.h"

#include <QList>
#include "LiveView.h"

#include <QObject>
#include <QVariantList>

#include <keldra/Attribute.h>
#include <keldra/Metadata.h>
#include <keldra/SharedPointer.h>
#include <keldra/StringPool.h>

namespace keldra {
namespace qtplugin {

class MetadataImpl : public QObject {
  Q_OBJECT

 public:
  explicit MetadataImpl(QObject* parent = nullptr);
  // A view of |attribute|, which must be of class "metadata".
  MetadataImpl(const orva::SharedPointer<orva::keldra::Attribute>& attribute, QObject* parent);
  ~MetadataImpl() override;

  Q_INVOKABLE QString getName(QString lang = QString()) const;
  Q_INVOKABLE QString getRichName(QString lang = QString()) const;
  Q_INVOKABLE QString getRichNameFormat(QString lang = QString()) const;
  Q_INVOKABLE QString getDescription(QString lang = QString()) const;
  Q_INVOKABLE QString getRichDescription(QString lang = QString()) const;
  Q_INVOKABLE QString getRichDescriptionFormat(QString lang = QString()) const;
  Q_INVOKABLE QString getSubtitle(QString lang = QString()) const;
  Q_INVOKABLE QString getRichSubtitle(QString lang = QString()) const;
  Q_INVOKABLE QString getRichSubtitleFormat(QString lang = QString()) const;
  Q_INVOKABLE QVariantList getTags() const;
  // A new image link element (child of this one) over a copy of the first icon that
  // carries |tag| (the empty tag: the first icon without tags); null when none.
  Q_INVOKABLE keldra::qtplugin::ImageLinkImpl* getIcon(QString tag = QString());
  // Always empty.
  Q_INVOKABLE QList<QObject*> getAllIcons() const;
  // 0 without a rating.
  Q_INVOKABLE double getRating() const;
  Q_INVOKABLE qint32 getRatesCount() const;
  // The languages of the entries that have one, in order, then one empty text when
  // some entry has none.
  Q_INVOKABLE QVariantList getAllDescriptionLanguages() const;
  Q_INVOKABLE QVariantList getAllNameLanguages() const;
  Q_INVOKABLE QVariantList getAllSubtitleLanguages() const;

  const orva::keldra::Metadata& meta() const { return view(); }

 public slots:
  // With a format the text is the entry's rich text, otherwise its plain text; the
  // other one stays as it was.
  void setName(QString name, QString lang = QString(), QString format = QString());
  void setDescription(QString desc, QString lang = QString(), QString format = QString());
  void setSubtitle(QString title, QString lang = QString(), QString format = QString());
  // One tag per distinct text, at its last position.
  void setTags(QVariantList tags);
  // Replaces the first icon without tags by a copy of |link|'s frame, or appends one.
  // Null is ignored.
  void setIcon(keldra::qtplugin::ImageLinkImpl* link);
  // A copy of |icon|'s frame takes the place of the icon at |index|; nothing for null
  // or an index past the icons. No signal.
  void replaceIcon(quint32 index, keldra::qtplugin::ImageLinkImpl* icon);
  // Nothing for an index past the icons. No signal.
  void removeIcon(quint32 index);
  // Stored in single precision.
  void setRating(double value, qint32 count = 1);

 signals:
  void nameChanged();
  void descriptionChanged();
  void subtitleChanged();
  void tagsChanged();
  void iconChanged();
  void ratingChanged();

 private:
  orva::SharedPointer<orva::keldra::StringPool> m_pool;  // first: names outlive the view
  // The view, re-attached to its section (see LiveView.h).
  orva::keldra::Metadata& view() const { return refreshed(m_meta); }

  mutable orva::keldra::Metadata m_meta;
};

}  // namespace qtplugin
}  // namespace keldra
