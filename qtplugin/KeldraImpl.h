// The "Keldra" element: the factory of the QML module. It declares the status, sharing
// and state enumerations whose values the other elements report, and the one mapping
// from library result codes to status values.
//
// Thread: the QML engine's thread. Owned by the engine or by its QObject parent.
#pragma once

#include "ElementMacros.h"

#include <QObject>

namespace keldra {
namespace qtplugin {

class KeldraImpl : public QObject {
  Q_OBJECT

 public:
  enum OpStatus {
    STATUS_INPROGRESS = 0,
    STATUS_OK = 1,
    STATUS_ERROR_NETWORK_PROBLEM = 2,
    STATUS_ERROR_WRONG_LOGIN = 3,
    STATUS_CANCELED = 4,
    STATUS_ERROR_UNKNOWN = 5
  };
  Q_ENUM(OpStatus)

  // The library's sharing model numbers.
  enum ObjectSharing {
    SHARING_PRIVATE = 0,
    SHARING_PUBLIC_READONLY = 1,
    SHARING_PUBLIC_READWRITE = 2,
    SHARING_DELETED_BY_OWNER = 3
  };
  Q_ENUM(ObjectSharing)

  // The low bits of an object's flags word.
  enum ObjectStates {
    STATE_MODIFIED = 1,
    STATE_HAS_LOCAL_ONLY_CONTENT = 4,
    STATE_HAS_REMOTE_ONLY_CONTENT = 8,
    STATE_LINKS_MODIFIED = 2
  };
  Q_ENUM(ObjectStates)

  KELDRA_QML_CONSTANT(OpStatus, STATUS_INPROGRESS)
  KELDRA_QML_CONSTANT(OpStatus, STATUS_OK)
  KELDRA_QML_CONSTANT(OpStatus, STATUS_ERROR_NETWORK_PROBLEM)
  KELDRA_QML_CONSTANT(OpStatus, STATUS_ERROR_WRONG_LOGIN)
  KELDRA_QML_CONSTANT(OpStatus, STATUS_CANCELED)
  KELDRA_QML_CONSTANT(OpStatus, STATUS_ERROR_UNKNOWN)
  KELDRA_QML_CONSTANT(ObjectSharing, SHARING_PRIVATE)
  KELDRA_QML_CONSTANT(ObjectSharing, SHARING_PUBLIC_READONLY)
  KELDRA_QML_CONSTANT(ObjectSharing, SHARING_PUBLIC_READWRITE)
  KELDRA_QML_CONSTANT(ObjectSharing, SHARING_DELETED_BY_OWNER)
  KELDRA_QML_CONSTANT(ObjectStates, STATE_MODIFIED)
  KELDRA_QML_CONSTANT(ObjectStates, STATE_HAS_LOCAL_ONLY_CONTENT)
  KELDRA_QML_CONSTANT(ObjectStates, STATE_HAS_REMOTE_ONLY_CONTENT)
  KELDRA_QML_CONSTANT(ObjectStates, STATE_LINKS_MODIFIED)

 public:
  explicit KeldraImpl(QObject* parent = nullptr);
  ~KeldraImpl() override;

  // The OpStatus value of a library result code: 0 is STATUS_OK, 0x6001 in progress,
  // 0x6004 wrong login, 0x6005 network problem, 0x6006 cancelled, anything else
  // STATUS_ERROR_UNKNOWN.
  static int errorCodeToStatus(int err);
};

}  // namespace qtplugin
}  // namespace keldra
