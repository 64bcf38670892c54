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
  view().get_file_link(link);
  return new ObjectLinkImpl(link, this);
}

QVariantList ImageLinkImpl::getTags() const {
  std::vector<orva::ustring> tags;
  view().tags().get_tags(tags);
  return fromUstrings(tags);
}

qint32 ImageLinkImpl::frameIndex() const { return view().get_frameno(); }

qint32 ImageLinkImpl::maskFrameIndex() const { return view().get_mask_frameno(); }

void ImageLinkImpl::setIcon(ObjectLinkImpl* file, qint32 frameIndex, qint32 maskFrameIndex) {
  if (!file) {
    return;
  }
  view().set_file_link(file->link());
  view().set_frameno(frameIndex);
  view().set_mask_frameno(maskFrameIndex);
  emit frameIndexChanged();
  emit maskFrameIndexChanged();
}

void ImageLinkImpl::setTags(QVariantList tags) {
  view().tags().set_tags(toUstrings(tags));
  emit tagsChanged();
}

}  // namespace qtplugin
}  // namespace keldra
