#include "ImageLinkImpl.h"

#include "QmlText.h"

namespace keldra {
namespace qtplugin {

ImageLinkImpl::ImageLinkImpl(QObject* parent)
    : QObject(parent), m_pool(orva::keldra::StringPool::create()) {
  m_frame.init();
}

ImageLinkImpl::ImageLinkImpl(const orva::SharedPointer<orva::keldra::Attribute>& attribute,
                             QObject* parent)
    : QObject(parent), m_pool(orva::keldra::StringPool::create()) {
  m_frame.attach(attribute);
}

ImageLinkImpl::~ImageLinkImpl() = default;

ObjectLinkImpl* ImageLinkImpl::getIconFile() {
  orva::keldra::Link link;
  m_frame.get_file_link(link);
  return new ObjectLinkImpl(link, this);
}

QVariantList ImageLinkImpl::getTags() const {
  std::vector<orva::ustring> tags;
  m_frame.tags().get_tags(tags);
  return fromUstrings(tags);
}

qint32 ImageLinkImpl::frameIndex() const { return m_frame.get_frameno(); }

qint32 ImageLinkImpl::maskFrameIndex() const { return m_frame.get_mask_frameno(); }

void ImageLinkImpl::setIcon(ObjectLinkImpl* file, qint32 frameIndex, qint32 maskFrameIndex) {
  if (!file) {
    return;
  }
  m_frame.set_file_link(file->link());
  m_frame.set_frameno(frameIndex);
  m_frame.set_mask_frameno(maskFrameIndex);
  emit frameIndexChanged();
  emit maskFrameIndexChanged();
}

void ImageLinkImpl::setTags(QVariantList tags) {
  m_frame.tags().set_tags(toUstrings(tags));
  emit tagsChanged();
}

}  // namespace qtplugin
}  // namespace keldra
