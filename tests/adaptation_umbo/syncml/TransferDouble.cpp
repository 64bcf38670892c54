#include "TransferDouble.h"

#include <QTimer>

#include <new>
#include <sstream>
#include <stdexcept>

namespace keldra_test {

using orva::SharedPointer;
using orva::keldra::DataAdapter;
using orva::keldra::internal::DirectTransferHandler;

namespace {

template <class T>
std::string list_of(const std::vector<T>& values) {
  std::ostringstream out;
  out << "[";
  for (size_t i = 0; i < values.size(); ++i) out << (i ? "," : "") << values[i];
  out << "]";
  return out.str();
}

template <class T>
const T& pick(const std::vector<T>& values, int run) {
  return values[std::min(static_cast<size_t>(run), values.size() - 1)];
}

}  // namespace

TransferDoubles::TransferDoubles() {
  DirectTransferHandler::set_factory(
      [this](const SharedPointer<DataAdapter>& adapter, orva::ErrorCode* error) {
        calls.push_back(adapter.is_valid() ? "create" : "create(no adapter)");
        if (script.create_error != 0) {
          *error = script.create_error;
          return SharedPointer<DirectTransferHandler>();
        }
        *error = 0;
        last = new TransferDouble(*this);
        return SharedPointer<DirectTransferHandler>(last);
      });
}

TransferDoubles::~TransferDoubles() {
  DirectTransferHandler::set_factory(DirectTransferHandler::Factory());
}

void TransferDouble::disable_all_tasks() { m_owner.calls.push_back("disable_all_tasks"); }
void TransferDouble::enable_objects_upload() { m_owner.calls.push_back("enable_objects_upload"); }
void TransferDouble::enable_objects_upload_without_ids() {
  m_owner.calls.push_back("enable_objects_upload_without_ids");
}
void TransferDouble::enable_mmf_upload() { m_owner.calls.push_back("enable_mmf_upload"); }
void TransferDouble::enable_mmf_download() { m_owner.calls.push_back("enable_mmf_download"); }
void TransferDouble::enable_queue_upload(const std::string& queue_name) {
  m_owner.calls.push_back("enable_queue_upload(" + queue_name + ")");
}

orva::ErrorCode TransferDouble::enable_objects_download(
    const std::vector<unsigned long long>& global_ids, bool cascade) {
  m_owner.calls.push_back("enable_objects_download(" + list_of(global_ids) + "," +
                          std::to_string(cascade) + ")");
  return m_owner.script.download_enable_result;
}

orva::ErrorCode TransferDouble::enable_objects_subscribe(
    const std::vector<unsigned long long>& global_ids, bool cascade) {
  m_owner.calls.push_back("enable_objects_subscribe(" + list_of(global_ids) + "," +
                          std::to_string(cascade) + ")");
  return m_owner.script.subscribe_enable_result;
}

orva::ErrorCode TransferDouble::set_local_objects_filter(const std::vector<unsigned int>& local_ids,
                                                         unsigned int depth) {
  m_owner.calls.push_back("set_local_objects_filter(" + list_of(local_ids) + "," +
                          std::to_string(depth) + ")");
  return 0;
}

void TransferDouble::set_download_options(
    const orva::keldra::SyncService::FileSyncOptions& options) {
  m_owner.calls.push_back("set_download_options(" +
                          std::to_string(options.image_scaling_longest_side) + ")");
}

const DirectTransferHandler::DownloadedObjects& TransferDouble::downloaded_objects() const {
  m_owner.calls.push_back("downloaded_objects");
  return m_downloaded;
}

orva::ErrorCode TransferDouble::start(const orva::keldra::SyncService::SyncParams& params,
                                      const std::string& device_id, Listener& listener) {
  m_owner.calls.push_back("start(" + params.service + ")");
  m_owner.device_ids.push_back(device_id);
  if (m_active) return ORVA_ERROR_NOT_READY;
  const int run = m_runs++;
  const TransferScript& script = m_owner.script;
  const RunEnd end = pick(script.ends, run);
  const orva::ErrorCode result = pick(script.results, run);
  if (end == RunEnd::THROW_MEMORY) throw std::bad_alloc();
  if (end == RunEnd::THROW_OTHER) throw std::runtime_error("transfer");
  m_listener = &listener;
  m_active = true;
  m_bytes = 0;
  m_downloaded.clear();
  if (static_cast<size_t>(run) < script.downloads.size()) {
    for (const auto& pair : script.downloads[run]) {
      m_downloaded.emplace(pair.first, orva::keldra::ObjectBase(pair.second, pair.first));
    }
  }
  switch (end) {
    case RunEnd::INSIDE_START:
      end_run(result, 1.0f, true);
      return result;
    case RunEnd::RETURN_ONLY:
      end_run(result, 1.0f, false);
      return result;
    case RunEnd::LATER: {
      std::weak_ptr<char> alive = m_alive;
      QTimer::singleShot(0, [this, alive, result] {
        if (alive.expired() || !m_active) return;
        m_listener->handle_transfer_progress(ORVA_ERROR_KELDRA_IN_PROGRESS, 0.5f, OBJECTS);
        QTimer::singleShot(0, [this, alive, result] {
          if (alive.expired() || !m_active) return;
          end_run(result, 1.0f, true);
        });
      });
      return ORVA_ERROR_KELDRA_IN_PROGRESS;
    }
    case RunEnd::HALF_THEN_WAIT: {
      std::weak_ptr<char> alive = m_alive;
      QTimer::singleShot(0, [this, alive] {
        if (alive.expired() || !m_active) return;
        m_listener->handle_transfer_progress(ORVA_ERROR_KELDRA_IN_PROGRESS, 0.5f, OBJECTS);
      });
      return ORVA_ERROR_KELDRA_IN_PROGRESS;
    }
    default:
      return ORVA_ERROR_KELDRA_IN_PROGRESS;
  }
}

void TransferDouble::end_run(orva::ErrorCode status, float progress, bool tell) {
  m_bytes = m_owner.script.bytes_per_run;
  // A handler that fails may still be in its last phase when it reports.
  m_active = status != 0 && m_owner.script.active_after_end;
  if (tell) m_listener->handle_transfer_progress(status, progress, FINISHED);
}

void TransferDouble::finish(orva::ErrorCode status, float progress) {
  if (m_active) end_run(status, progress, true);
}

void TransferDouble::cancel() {
  m_owner.calls.push_back("cancel");
  m_active = false;
  // As the handler does: the cancellation reaches the listener before cancel returns.
  if (m_listener) m_listener->handle_transfer_progress(ORVA_ERROR_KELDRA_CANCELLED, 0.5f, FINISHED);
}

}  // namespace keldra_test
