#include "ObjectLinkImpl.h"

namespace keldra {
namespace qtplugin {

ObjectLinkImpl::ObjectLinkImpl(QObject* parent)
    : QObject(parent), m_pool(orva::keldra::StringPool::create()) {}

ObjectLinkImpl::ObjectLinkImpl(const orva::keldra::Link& link, QObject* parent)
    : QObject(parent), m_pool(orva::keldra::StringPool::create()), m_link(link) {}

ObjectLinkImpl::~ObjectLinkImpl() = default;

quint64 ObjectLinkImpl::getTargetGID() const { return m_link.get_global_link(); }

quint32 ObjectLinkImpl::getTargetLID() const { return m_link.get_local_link(); }

}  // namespace qtplugin
}  // namespace keldra
