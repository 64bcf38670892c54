#include "MetadataImpl.h"

#include "QmlText.h"

#include <keldra/FrameArray.h>
#include <keldra/Rating.h>
#include <keldra/TextArray.h>

namespace keldra {
namespace qtplugin {

using orva::keldra::Frame;
using orva::keldra::Metadata;

namespace {

typedef bool (Metadata::*PlainGetter)(orva::ustring&, const orva::ustring&) const;
typedef bool (Metadata::*RichGetter)(orva::ustring&, orva::ustring&, const orva::ustring&) const;
typedef orva::ErrorCode (Metadata::*PlainSetter)(const orva::ustring&, const orva::ustring&);
typedef orva::ErrorCode (Metadata::*RichSetter)(const orva::ustring&, const orva::ustring&,
                                                const orva::ustring&);

QString plain(const Metadata& meta, PlainGetter get, const QString& lang) {
  orva::ustring text;
  (meta.*get)(text, toUstring(lang));
  return fromUstring(text);
}

QString rich(const Metadata& meta, RichGetter get, const QString& lang, bool format) {
  orva::ustring text, mime;
  (meta.*get)(text, mime, toUstring(lang));
  return fromUstring(format ? mime : text);
}

void write(Metadata& meta, PlainSetter set_plain, RichSetter set_rich, const QString& text,
           const QString& lang, const QString& format) {
  if (!format.isEmpty()) {
    (meta.*set_rich)(toUstring(text), toUstring(format), toUstring(lang));
  } else {
    (meta.*set_plain)(toUstring(text), toUstring(lang));
  }
}

QVariantList languages(const orva::keldra::TextArray& texts) {
  std::vector<orva::ustring> all;
  texts.get_all_languages(all);
  return fromUstrings(all);
}

}  // namespace

MetadataImpl::MetadataImpl(QObject* parent)
    : QObject(parent), m_pool(orva::keldra::StringPool::create()) {
  m_meta.init();
}

MetadataImpl::MetadataImpl(const orva::SharedPointer<orva::keldra::Attribute>& attribute,
                           QObject* parent)
    : QObject(parent), m_pool(orva::keldra::StringPool::create()) {
  m_meta.attach(attribute);
}

MetadataImpl::~MetadataImpl() = default;

QString MetadataImpl::getName(QString lang) const {
  return plain(view(), &Metadata::get_name, lang);
}

QString MetadataImpl::getRichName(QString lang) const {
  return rich(view(), &Metadata::get_rich_name, lang, false);
}

QString MetadataImpl::getRichNameFormat(QString lang) const {
  return rich(view(), &Metadata::get_rich_name, lang, true);
}

QString MetadataImpl::getDescription(QString lang) const {
  return plain(view(), &Metadata::get_description, lang);
}

QString MetadataImpl::getRichDescription(QString lang) const {
  return rich(view(), &Metadata::get_rich_description, lang, false);
}

QString MetadataImpl::getRichDescriptionFormat(QString lang) const {
  return rich(view(), &Metadata::get_rich_description, lang, true);
}

QString MetadataImpl::getSubtitle(QString lang) const {
  return plain(view(), &Metadata::get_subtitle, lang);
}

QString MetadataImpl::getRichSubtitle(QString lang) const {
  return rich(view(), &Metadata::get_rich_subtitle, lang, false);
}

QString MetadataImpl::getRichSubtitleFormat(QString lang) const {
  return rich(view(), &Metadata::get_rich_subtitle, lang, true);
}

void MetadataImpl::setName(QString name, QString lang, QString format) {
  write(view(), &Metadata::set_name, &Metadata::set_rich_name, name, lang, format);
  emit nameChanged();
}

void MetadataImpl::setDescription(QString desc, QString lang, QString format) {
  write(view(), &Metadata::set_description, &Metadata::set_rich_description, desc, lang, format);
  emit descriptionChanged();
}

void MetadataImpl::setSubtitle(QString title, QString lang, QString format) {
  write(view(), &Metadata::set_subtitle, &Metadata::set_rich_subtitle, title, lang, format);
  emit subtitleChanged();
}

QVariantList MetadataImpl::getAllDescriptionLanguages() const {
  return languages(view().descriptions());
}

QVariantList MetadataImpl::getAllNameLanguages() const { return languages(view().names()); }

QVariantList MetadataImpl::getAllSubtitleLanguages() const { return languages(view().subtitles()); }

void MetadataImpl::setTags(QVariantList tags) {
  view().set_tags(toUstrings(tags));
  emit tagsChanged();
}

QVariantList MetadataImpl::getTags() const {
  std::vector<orva::ustring> tags;
  view().get_tags(tags);
  return fromUstrings(tags);
}

void MetadataImpl::setIcon(ImageLinkImpl* link) {
  if (!link) {
    return;
  }
  orva::SharedPointer<Frame> frame = view().icons().get_frame_by_tag(orva::ustring());
  if (!frame.is_valid()) {
    frame = view().icons().add_item();
  }
  if (frame.is_valid()) {
    *frame = link->icon();
  }
  emit iconChanged();
}

void MetadataImpl::replaceIcon(quint32 index, ImageLinkImpl* icon) {
  if (!icon || index >= view().icons().count()) {
    return;
  }
  view().icons().set_item(index, icon->icon());
}

void MetadataImpl::removeIcon(quint32 index) { view().icons().remove_item(index); }

ImageLinkImpl* MetadataImpl::getIcon(QString tag) {
  const orva::ustring wanted = toUstring(tag);
  orva::SharedPointer<Frame> frame = view().icons().get_frame_by_tag(wanted);
  if (!frame.is_valid()) {
    return nullptr;
  }
  Frame copy(*frame);
  if (!copy.is_safe()) {
    return nullptr;
  }
  return new ImageLinkImpl(copy.attribute(), this);
}

QList<QObject*> MetadataImpl::getAllIcons() const { return QList<QObject*>(); }

void MetadataImpl::setRating(double value, qint32 count) {
  orva::keldra::Rating::AvgRating rating;
  rating.value = static_cast<float>(value);
  rating.count = count;
  view().rating().set_rating(rating);
  emit ratingChanged();
}

double MetadataImpl::getRating() const {
  orva::keldra::Rating::AvgRating rating{0.0f, 0};
  view().rating().get_rating(rating);
  return rating.value;
}

qint32 MetadataImpl::getRatesCount() const {
  orva::keldra::Rating::AvgRating rating{0.0f, 0};
  view().rating().get_rating(rating);
  return rating.count;
}

}  // namespace qtplugin
}  // namespace keldra
