// UploadQueueItem: one queued upload of a file or a data block to a target service, as
// the library's interfaces carry it. The store keeps no upload queue on this platform,
// so the type exists for those interfaces only.
//
// Invariant: an item holds a file name or a data block, never both; the item type says
// which (set_filename and set_blob drop the other and set the type).
//
// Shared through orva::SharedPointer; no thread of its own, no locks.
#pragma once

#include <keldra/DynamicBuffer.h>
#include <keldra/RefCountable.h>
#include <keldra/SharedPointer.h>
#include <tervo/ustring.h>

#include <string>

namespace orva {
namespace keldra {

class UploadQueueItem : public orva::internal::RefCountable {
 public:
  enum Type { TYPE_NONE = 0, TYPE_BLOB = 1, TYPE_FILE = 2 };
  enum State { STATE_NONE = 0, STATE_WAITING = 1, STATE_FAILED = 3, STATE_SENT = 4 };

  UploadQueueItem() : m_local_id(0), m_item_type(TYPE_NONE), m_item_state(STATE_NONE), m_status(0) {}
  ~UploadQueueItem() override {}

  void set_local_id(unsigned int local_id) { m_local_id = local_id; }
  unsigned int get_local_id() const { return m_local_id; }
  void set_item_type(Type type) { m_item_type = type; }
  Type get_item_type() const { return m_item_type; }
  void set_item_state(State state) { m_item_state = state; }
  State get_item_state() const { return m_item_state; }
  void set_status(int status) { m_status = status; }
  int get_status() const { return m_status; }
  void set_target_service(const std::string& service) { m_target_service = service; }
  const std::string& get_target_service() const { return m_target_service; }
  void set_data_type(const std::string& type) { m_data_type = type; }
  const std::string& get_data_type() const { return m_data_type; }

  // The file to send: drops the data block, type 2.
  void set_filename(const orva::ustring& name) {
    m_filename = name;
    m_blob = orva::SharedPointer<DynamicBuffer>();
    m_item_type = TYPE_FILE;
  }
  const orva::ustring& get_filename() const { return m_filename; }
  // The data block to send: clears the file name, type 1.
  void set_blob(const orva::SharedPointer<DynamicBuffer>& blob) {
    m_blob = blob;
    m_filename = orva::ustring();
    m_item_type = TYPE_BLOB;
  }
  const orva::SharedPointer<DynamicBuffer>& get_blob() const { return m_blob; }

 private:
  UploadQueueItem(const UploadQueueItem&) = delete;
  UploadQueueItem& operator=(const UploadQueueItem&) = delete;

  unsigned int m_local_id;
  Type m_item_type;
  State m_item_state;
  std::string m_target_service;
  std::string m_data_type;
  orva::ustring m_filename;
  int m_status;
  orva::SharedPointer<DynamicBuffer> m_blob;
};

}  // namespace keldra
}  // namespace orva
