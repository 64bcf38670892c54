// The "ObjectLink" element: names a stored object by local and global id. It holds a
// copy of one library link and never changes after construction; the link's name is
// not used.
//
// Thread: the QML engine's thread. Owned by the engine or by the element that made it.
#pragma once

#include <QObject>

#include <keldra/Link.h>
#include <keldra/SharedPointer.h>
#include <keldra/StringPool.h>

namespace keldra {
namespace qtplugin {

class ObjectLinkImpl : public QObject {
  Q_OBJECT
  Q_PROPERTY(quint64 targetGID READ getTargetGID CONSTANT)
  Q_PROPERTY(quint32 targetLID READ getTargetLID CONSTANT)

 public:
  // An empty link: local id 0, global id 0.
  explicit ObjectLinkImpl(QObject* parent = nullptr);
  // A copy of |link|.
  ObjectLinkImpl(const orva::keldra::Link& link, QObject* parent);
  ~ObjectLinkImpl() override;

  Q_INVOKABLE quint64 getTargetGID() const;
  Q_INVOKABLE quint32 getTargetLID() const;

  const orva::keldra::Link& link() const { return m_link; }

 private:
  // A link's name is a handle of the thread's string pool: keep the pool alive.
  orva::SharedPointer<orva::keldra::StringPool> m_pool;
  orva::keldra::Link m_link;
};

}  // namespace qtplugin
}  // namespace keldra
