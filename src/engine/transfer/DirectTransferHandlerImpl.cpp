#include "transfer/DirectTransferHandlerImpl.h"
#include "transfer/DirectTransferLog.h"

#include <keldra/Link.h>
#include <keldra/LoggerUmbo.h>
#include <keldra/StateCriterion.h>

#include <algorithm>
#include <cassert>
#include <cstdlib>
#include <map>
#include <memory>
#include <new>

namespace orva {
namespace keldra {
namespace internal {

namespace {

using namespace transfer_log;

DirectTransferHandlerImpl::NetworkAdapterFactory& adapter_factory() {
  static DirectTransferHandlerImpl::NetworkAdapterFactory factory;
  return factory;
}

// Copies |from| into |to|: 0, 2 when memory runs out, 1 on any other exception.
template <class T>
orva::ErrorCode copy_list(const std::vector<T>& from, std::vector<T>& to) {
  try {
    to = from;
  } catch (const std::bad_alloc&) {
    return ORVA_ERROR_OUT_OF_MEMORY;
  } catch (...) {
    return ORVA_ERROR_UNKNOWN;
  }
  return ORVA_ERROR_NONE;
}

}  // namespace

// The search's progress handler. The store's searcher keeps its handler by plain
// pointer and reports from the event loop, possibly after the handler that started the
// search is gone; so each searcher of the thread gets one relay that lives as long as
// the thread, and a handler claims it for its search and lets go when destroyed.
class DirectTransferHandlerImpl::SearchRelay final : public ProgressHandler {
 public:
  static SearchRelay& of(Search* search) {
    thread_local std::map<Search*, std::unique_ptr<SearchRelay>> relays;
    std::unique_ptr<SearchRelay>& relay = relays[search];
    if (!relay) relay.reset(new SearchRelay);
    return *relay;
  }

  void handle_progress(float, orva::ErrorCode status) override {
    if (m_owner && status != ORVA_ERROR_KELDRA_IN_PROGRESS) m_owner->handle_search_end(status);
  }

  void claim(DirectTransferHandlerImpl* owner) { m_owner = owner; }
  void release(DirectTransferHandlerImpl* owner) {
    if (m_owner == owner) m_owner = nullptr;
  }

 private:
  SearchRelay() : m_owner(nullptr) {}
  DirectTransferHandlerImpl* m_owner;
};

orva::SharedPointer<DirectTransferHandler> DirectTransferHandlerImpl::create(
    const orva::SharedPointer<DataAdapter>& adapter, orva::ErrorCode* error) {
  orva::SharedPointer<DirectTransferHandler> result;
  orva::ErrorCode code = ORVA_ERROR_NONE;
  if (!adapter.is_valid()) {
    code = ORVA_ERROR_INVALID_PARAMETERS;
  } else {
    try {
      DirectTransferHandlerImpl* handler = new DirectTransferHandlerImpl(adapter);
      result = handler;
      if (!handler->is_usable()) code = ORVA_ERROR_UNKNOWN;
    } catch (const std::bad_alloc&) {
      code = ORVA_ERROR_OUT_OF_MEMORY;
    }
  }
  // Dropping the handler releases what it took from the adapter.
  if (code != ORVA_ERROR_NONE) result = orva::SharedPointer<DirectTransferHandler>();
  if (error) *error = code;
  return result;
}

void DirectTransferHandlerImpl::set_network_adapter_factory(const NetworkAdapterFactory& factory) {
  adapter_factory() = factory;
}

DirectTransferHandlerImpl::DirectTransferHandlerImpl(
    const orva::SharedPointer<DataAdapter>& adapter)
    : m_data_adapter(adapter),
      m_queue_upload(false),
      m_objects_upload(false),
      m_objects_upload_all(false),
      m_objects_download(false),
      m_objects_download_cascade(false),
      m_objects_subscribe(false),
      m_objects_subscribe_cascade(false),
      m_mmfiles_upload(false),
      m_mmfiles_download(false),
      m_local_filter(false),
      m_cascade_depth(0),
      m_bytes_transferred(0),
      m_extension_objects_sent(false),
      m_phase(IDLE),
      m_transfer_listener(nullptr),
      m_stages_left(0),
      m_items_total(0),
      m_items_done(0),
      m_status(ORVA_ERROR_NONE),
      m_response_failed(false),
      m_body_received(false),
      m_search_step(NONE),
      m_search_status(ORVA_ERROR_NONE),
      m_forward_phase(FORWARD_NONE),
      m_parallel_upload_scaling(0) {
  m_sync_adapter = adapter->sync_adapter();
  m_repository = adapter->repository();
  if (m_sync_adapter.is_valid() && m_repository.is_valid()) m_file_manager = FileManager::open();
  disable_all_tasks();
}

DirectTransferHandlerImpl::~DirectTransferHandlerImpl() {
  trace("DirectTransferHandler::~DirectTransferHandler");
  // A search of ours still under way ends; its report finds no owner.
  if (m_search.is_valid()) {
    if (m_search->is_active()) m_search->cancel();
    SearchRelay::of(m_search.get()).release(this);
  }
  // The adapter's own destructor ends its connection; no report is made.
  m_network_adapter.release();
}

// ---------------------------------------------------------------------------------------
// Enabling the work.

void DirectTransferHandlerImpl::disable_all_tasks() {
  trace("DirectTransferHandler::disable_all_tasks() ++");
  m_objects_uplist.clear();
  m_mmfiles_uplist.clear();
  m_mmo_imagefiles_uplist.clear();
  m_mmfiles_downlist.clear();
  m_objects_downlist.clear();
  m_local_objects.clear();
  m_queue_list.clear();
  m_objects_subscribelist.clear();
  m_queue_upload = false;
  m_objects_upload = false;
  m_objects_upload_all = false;
  m_mmfiles_upload = false;
  m_mmfiles_download = false;
  m_objects_download = false;
  m_objects_subscribe = false;
  m_local_filter = false;
  m_objects_download_cascade = false;
  m_objects_subscribe_cascade = false;
  m_cascade_depth = 0;
  m_items_total = 0;
  m_items_done = 0;
  m_extension_objects_sent = false;
  m_forward_phase = FORWARD_NONE;
  m_parallel_upload_scaling = 0;
  m_mmo_object.release();
  m_uploading_mmo_object.release();
  m_scaled_copies.clear();
  m_scaler.release();
  trace("DirectTransferHandler::disable_all_tasks() --");
}

void DirectTransferHandlerImpl::enable_objects_upload() {
  trace("DirectTransferHandler::enable_objects_upload");
  m_objects_upload = true;
}

void DirectTransferHandlerImpl::enable_objects_upload_without_ids() {
  trace("DirectTransferHandler::enable_objects_upload_without_ids");
  m_objects_upload_all = true;
}

void DirectTransferHandlerImpl::enable_mmf_upload() {
  trace("DirectTransferHandler::enable_mmf_upload");
  m_mmfiles_upload = true;
}

void DirectTransferHandlerImpl::enable_mmf_download() {
  trace("DirectTransferHandler::enable_mmf_download");
  m_mmfiles_download = true;
}

void DirectTransferHandlerImpl::enable_queue_upload(const std::string& queue_name) {
  m_queue_upload = true;
  m_queue_service = queue_name;
}

orva::ErrorCode DirectTransferHandlerImpl::enable_objects_download(
    const std::vector<unsigned long long>& global_ids, bool cascade) {
  LoggerUmbo::logf(kTrace, "DirectTransferHandler::enable_objects_download, count %d, cascaded %d",
                   static_cast<int>(global_ids.size()), cascade ? 1 : 0);
  m_objects_download_cascade = cascade;
  m_objects_download = true;
  return copy_list(global_ids, m_objects_downlist);
}

orva::ErrorCode DirectTransferHandlerImpl::enable_objects_subscribe(
    const std::vector<unsigned long long>& global_ids, bool cascade) {
  LoggerUmbo::logf(kTrace, "DirectTransferHandler::enable_objects_subscribe, count %d, cascaded %d",
                   static_cast<int>(global_ids.size()), cascade ? 1 : 0);
  m_objects_subscribe_cascade = cascade;
  m_objects_subscribe = true;
  return copy_list(global_ids, m_objects_subscribelist);
}

orva::ErrorCode DirectTransferHandlerImpl::set_local_objects_filter(
    const std::vector<unsigned int>& local_ids, unsigned int depth) {
  LoggerUmbo::logf(kTrace,
                   "DirectTransferHandler::set_local_objects_filter, count %d, cascade depth %d",
                   static_cast<int>(local_ids.size()), static_cast<int>(depth));
  m_cascade_depth = depth;
  m_local_filter = true;
  return copy_list(local_ids, m_local_objects);
}

void DirectTransferHandlerImpl::set_download_options(const SyncService::FileSyncOptions& options) {
  LoggerUmbo::logf(kTrace, "DirectTransferHandler::set_download_options: Download resizing: %d",
                   options.image_scaling_longest_side);
  m_download_options = options;
}

void DirectTransferHandlerImpl::set_upload_options(const SyncService::FileSyncOptions& options) {
  LoggerUmbo::logf(kTrace, "DirectTransferHandler::set_upload_options: Upload resizing: %d",
                   options.image_scaling_longest_side);
  m_upload_options = options;
}

float DirectTransferHandlerImpl::get_transfer_stage_progress() const {
  if (m_items_total == 0) return 1.0f;
  return static_cast<float>(m_items_done) / static_cast<float>(m_items_total);
}

// ---------------------------------------------------------------------------------------
// The run.

orva::ErrorCode DirectTransferHandlerImpl::start(const SyncService::SyncParams& params,
                                                 const std::string& device_id,
                                                 DirectTransferHandler::Listener& listener) {
  trace("DirectTransferHandler::start ++");
  perf("DirectTransferHandler::Start");
  if (is_active()) return ORVA_ERROR_NOT_READY;
  // The listener may drop its count of this handler from inside the final report.
  orva::SharedPointer<DirectTransferHandler> self(this);

  // What runs of a process killed meanwhile left behind goes before this run writes.
  if (m_file_manager.is_valid()) m_file_manager->remove_leftovers();

  m_transfer_listener = &listener;
  m_device_id = device_id;
  m_sync_params = params;

  m_progress.reset();
  m_stages_left = 0;
  add_stage(0.05f);
  add_stage(0.1f);
  add_stage(0.99f);

  m_items_total = 0;
  m_bytes_transferred = 0;
  m_status = ORVA_ERROR_KELDRA_IN_PROGRESS;
  m_response_failed = false;
  m_body_received = false;
  m_phase = IDLE;
  m_search_step = NONE;
  m_items_done = 0;
  m_failed_objects.clear();
  m_failed_files.clear();
  m_uploaded_objects.clear();
  m_downloaded_objects.clear();
  m_extension_objects_sent = false;
  m_batch_packages.clear();
  m_awaited_keys.clear();
  m_awaited_files.clear();
  m_reply_awaited = false;
  m_sent_states.clear();
  m_built_global_ids.clear();

  next_step();

  const orva::ErrorCode status = m_status;
  LoggerUmbo::logf(kTrace, "DirectTransferHandler::start --, status %d", status);
  return status;
}

void DirectTransferHandlerImpl::cancel() {
  orva::SharedPointer<DirectTransferHandler> self(this);
  stop(ORVA_ERROR_KELDRA_CANCELLED);
}

void DirectTransferHandlerImpl::next_step() {
  for (;;) {
    orva::ErrorCode result = ORVA_ERROR_NONE;
    const Phase phase = m_phase;
    switch (phase) {
      case IDLE:
        m_phase = SEARCHING;
        continue;
      case SEARCHING:
        trace("DirectTransferHandler SEARCHING");
        perf("SEARCHING start");
        result = next_search_step();
        break;
      case CONNECTING:
        trace("DirectTransferHandler CONNECTING");
        perf("CONNECTING");
        result = connect();
        LoggerUmbo::logf(kTrace, "DirectTransferHandler connecting Error %d", result);
        break;
      case BATCH_FORWARD:
        trace("DirectTransferHandler BATCH FW");
        perf("BATCH FORWARD");
        result = batch_forward();
        break;
      case FORWARD:
        trace("DirectTransferHandler FORWARD");
        perf("FORWARD");
        result = send_forward_message();
        LoggerUmbo::logf(kTrace, "DirectTransferHandler forwarding Error %d", result);
        break;
      case OBJECTS:
        trace("DirectTransferHandler OBJECTS");
        perf("OBJECTS");
        result = send_objects_message();
        LoggerUmbo::logf(kTrace, "DirectTransferHandler objects Error %d", result);
        break;
      case SUBSCRIBE:
        trace("DirectTransferHandler SUBSCRIBE");
        perf("SUBSCRIBE");
        result = send_subscription_message();
        break;
      case DOWNLOAD:
        trace("DirectTransferHandler DOWNLOAD");
        perf("DOWNLOAD");
        result = receive_next_mmfile();
        break;
      case FINISHED:
        trace("DirectTransferHandler FINISHED");
        perf("Finished");
        stop(ORVA_ERROR_NONE);
        return;
      default:
        assert(!"phase out of range");
        std::abort();
    }
    // The step ended the run itself (a failure it met, or a stop from a callback made
    // inside it): that stop made the one final report.
    if (m_phase == FINISHED) break;
    // A callback inside the step ran the machine on: that run of it carries on.
    if (m_phase != phase) break;
    if (result == ORVA_ERROR_NONE) {
      m_phase = static_cast<Phase>(phase + 1);
      continue;
    }
    if (result == ORVA_ERROR_KELDRA_IN_PROGRESS) break;
    if (result == ORVA_ERROR_NOT_READY && phase == FORWARD) break;
    stop(result);
    break;
  }
  trace("DirectTransferHandler::next_step() --");
}

orva::ErrorCode DirectTransferHandlerImpl::connect() {
  if (!m_network_adapter.is_valid()) {
    const NetworkAdapterFactory& factory = adapter_factory();
    m_network_adapter = factory ? factory(*this) : NetworkAdapter::create(*this);
    if (!m_network_adapter.is_valid()) return ORVA_ERROR_UNKNOWN;
  }
  return m_network_adapter->open(m_sync_params.iap);
}

void DirectTransferHandlerImpl::stop(orva::ErrorCode status) {
  LoggerUmbo::logf(kTrace, "DirectTransferHandler: stopping with status %d", status);
  // First, so that the state changes of the close below are ignored.
  m_phase = FINISHED;
  disable_all_tasks();
  // A search of this run that is still under way ends here; its report is ignored.
  if (m_search.is_valid() && m_search->is_active()) m_search->cancel();
  if (m_network_adapter.is_valid()) m_network_adapter->close();
  m_response_failed = false;
  m_reply_awaited = false;
  m_status = status;
  if (status == ORVA_ERROR_NONE) {
    m_progress.finish();
    m_stages_left = 0;
  }
  report_progress();
}

void DirectTransferHandlerImpl::report_progress() {
  const float total = m_progress.total_progress();
  LoggerUmbo::logf(kTrace, "DirectTransferHandler: progress %.2f , items done %d of %d",
                   static_cast<double>(total), static_cast<int>(m_items_done),
                   static_cast<int>(m_items_total));
  if (m_transfer_listener) m_transfer_listener->handle_transfer_progress(m_status, total, m_phase);
}

// ---------------------------------------------------------------------------------------
// Network events.

void DirectTransferHandlerImpl::handle_network_state_change(orva::ErrorCode status,
                                                            NetworkAdapter::State state) {
  LoggerUmbo::logf(kTrace, "DirectTransferHandler: network state %d in phase %d, err %d",
                   static_cast<int>(state), static_cast<int>(m_phase), status);
  orva::SharedPointer<DirectTransferHandler> self(this);
  const bool ready = state == NetworkAdapter::READY;
  // The reply to the request of the exchange is whole (or there was none in a 2xx).
  if (m_reply_awaited && ready && status == ORVA_ERROR_NONE && is_active()) close_reply();
  // A failed response line ends the run here, after its reply was handled whole.
  if (m_response_failed && is_active()) status = ORVA_ERROR_UNKNOWN;
  const bool body_received = m_body_received;
  if (ready) m_body_received = false;

  switch (m_phase) {
    case CONNECTING:
      trace("handle_network_state_change:Connecting");
      if (ready && status == ORVA_ERROR_NONE) {
        trace("DirectTransferHandler::handle_network_state_change() NetworkAdapter::READY");
        start_next_stage();
        report_progress();
        next_step();
      } else if (status != ORVA_ERROR_NONE) {
        trace("DirectTransferHandler::handle_network_state_change() status != ORVA_ERROR_NONE");
        stop(status);
      }
      break;
    case FORWARD:
      trace("handle_network_state_change:fw");
      if (status != ORVA_ERROR_NONE) {
        stop(status);
      } else if (ready) {
        next_forward_phase();
      }
      break;
    case DOWNLOAD:
      if (status != ORVA_ERROR_NONE) {
        // A file whose body could not be held (above the network adapter's bound) is
        // booked as failed; like any failed download it ends the run.
        if (status == ORVA_ERROR_OUT_OF_MEMORY && !m_mmfiles_downlist.empty()) {
          book_failed_download(m_mmfiles_downlist.front(), status);
        }
        stop(status);
      } else if (ready) {
        // A download that ended without body bytes has nothing to save: its entry is
        // skipped, or the step would ask for the same file again.
        if (!body_received && !m_mmfiles_downlist.empty()) {
          LoggerUmbo::logf(kTrace, "DirectTransferHandler: download of obj %u gave no body",
                           m_mmfiles_downlist.front());
          m_mmfiles_downlist.erase(m_mmfiles_downlist.begin());
          ++m_items_done;
          report_progress();
          if (!is_active()) break;
        }
        next_step();
      }
      break;
    case BATCH_FORWARD:
      trace("handle_network_state_change:batch fw");
      // fall through
    case OBJECTS:
    case SUBSCRIBE:
      if (status != ORVA_ERROR_NONE) {
        stop(status);
      } else if (ready) {
        next_step();
      }
      break;
    default:
      trace("DirectTransferHandler: network state ignored");
      break;
  }
}

void DirectTransferHandlerImpl::handle_network_response_head(
    const NetworkAdapter::Response& response) {
  perf("DirectTransferHandler::handle_network_response_head");
  LoggerUmbo::logf(kTrace,
                   "DirectTransferHandler::handle_network_response_head status: %d, "
                   "content_type: %s",
                   response.status, response.content_type.c_str());
  orva::SharedPointer<DirectTransferHandler> self(this);
  if (response.status != ORVA_ERROR_NONE && is_active()) stop(response.status);
  m_content_type = response.content_type;
}

void DirectTransferHandlerImpl::handle_network_response_body(
    const orva::SharedPointer<DynamicBuffer>& body) {
  perf("DirectTransferHandler::handle_network_response_body ++");
  trace("DirectTransferHandler::handle_network_response_body ++");
  orva::SharedPointer<DirectTransferHandler> self(this);
  const unsigned int length = body.is_valid() ? body->get_data_length() : 0;
  m_bytes_transferred += length;
  m_body_received = true;
  orva::ErrorCode result = ORVA_ERROR_NONE;
  switch (m_phase) {
    case BATCH_FORWARD:
    case FORWARD:
    case OBJECTS:
    case SUBSCRIBE:
      if (length > 0) {
        DumpCompactMessage(body->get_data(), length, false, true);
        result = handle_reply(body->get_data(), static_cast<int>(length));
      }
      break;
    case DOWNLOAD:
      if (!m_mmfiles_downlist.empty()) {
        const unsigned int local_id = m_mmfiles_downlist.front();
        result = process_file_download_result(local_id, body, m_content_type);
        // The handling may have ended the run, which empties the list.
        if (!m_mmfiles_downlist.empty() && m_mmfiles_downlist.front() == local_id) {
          m_mmfiles_downlist.erase(m_mmfiles_downlist.begin());
        }
      } else {
        trace("DirectTransferHandler: got download response body for nothing");
      }
      break;
    default:
      break;
  }
  perf("DirectTransferHandler::handle_network_response_body --");
  if (result != ORVA_ERROR_NONE && is_active()) stop(result);
}

void DirectTransferHandlerImpl::handle_network_progress(float progress) {
  LoggerUmbo::logf(kTrace, "DirectTransferHandler::handle_network_progress progress: %.2f",
                   static_cast<double>(progress));
  switch (m_phase) {
    case BATCH_FORWARD:
    case FORWARD:
    case OBJECTS:
    case DOWNLOAD:
      break;
    default:
      return;
  }
  orva::SharedPointer<DirectTransferHandler> self(this);
  if (progress == 1.0f) {
    trace("handle_network_progress start_next_stage begin");
    start_next_stage();
    trace("handle_network_progress start_next_stage end");
  } else if (progress > 0.0f && progress < 1.0f) {
    trace("DirectTransferHandler set_stage_progress begin");
    m_progress.set_stage_progress(progress);
  }
  report_progress();
}

// ---------------------------------------------------------------------------------------
// Reply lines.

orva::ErrorCode DirectTransferHandlerImpl::handle_response_status(
    const SyncParser::ResponseStatus& status) {
  LoggerUmbo::logf(
      kTrace, "DirectTransferHandler: request response status %d, errors %d, message: %s",
      static_cast<int>(status.status), static_cast<int>(num_of_errors()), status.message.c_str());
  m_response_line_seen = true;
  // Kept apart from the run status: the run goes on (and reports 0x6001) until the
  // adapter's next state change ends it with 1.
  if (status.status != 0 || num_of_errors() > 0) m_response_failed = true;
  return ORVA_ERROR_NONE;
}

// ---------------------------------------------------------------------------------------
// SEARCHING.

orva::ErrorCode DirectTransferHandlerImpl::next_search_step() {
  for (;;) {
    switch (m_search_step) {
      case NONE:
        trace("NONE");
        if (m_queue_upload) {
          // The store keeps no upload queue: nothing can be taken from it.
          orva::SharedPointer<orva::internal::RefCountable> queue =
              m_repository->get_upload_queue();
          if (!queue.is_valid()) return ORVA_ERROR_OUT_OF_MEMORY;
        }
        break;
      case CHILDREN:
        trace("CHILDREN");
        if (m_local_filter) {
          if (m_cascade_depth != 0) {
            std::vector<ObjectBase> children;
            search_children(m_local_objects, children, m_cascade_depth);
            for (const ObjectBase& child : children)
              m_local_objects.push_back(child.get_local_id());
          }
          std::sort(m_local_objects.begin(), m_local_objects.end());
          // An object linked from two parents, or also in the filter, goes into a
          // package once.
          m_local_objects.erase(std::unique(m_local_objects.begin(), m_local_objects.end()),
                                m_local_objects.end());
          if (m_objects_upload) m_objects_uplist = m_local_objects;
        }
        break;
      case LOCAL_OBJECTS:
        trace("LOCAL_OBJECTS");
        if (m_objects_upload_all && m_objects_upload) {
          // Waits for the search; any other code ends the run.
          const orva::ErrorCode r = start_search_all_objects();
          if (r != ORVA_ERROR_NONE) return r;
        }
        break;
      case LOCAL_MMF:
      case REMOTE_MMF: {
        const bool local = m_search_step == LOCAL_MMF;
        trace(local ? "LOCAL_MMF" : "REMOTE_MMF");
        if (local ? m_mmfiles_upload : m_mmfiles_download) {
          StateCriterion criterion;
          criterion.set_service_id(kPersonal);
          criterion.set_class_name(kMultimedia);
          criterion.check_if_has_unloaded_content(local, !local);
          const orva::ErrorCode r = start_search(criterion);
          if (r != ORVA_ERROR_NONE) return r;
        }
        break;
      }
      case DONE: {
        perf("SEARCHING end");
        trace("DONE");
        m_items_total = static_cast<uint32_t>(m_queue_list.size() + m_objects_uplist.size() +
                                              m_mmfiles_uplist.size() + m_objects_downlist.size() +
                                              m_mmfiles_downlist.size());
        const orva::ErrorCode r = create_batch_request_packages(m_batch_packages);
        if (r == ORVA_ERROR_NONE) {
          create_progress_stages(m_batch_packages);
          start_next_stage();
          report_progress();
        }
        return r;
      }
      default:
        assert(!"search step out of range");
        std::abort();
    }
    m_search_step = static_cast<SearchStep>(m_search_step + 1);
  }
}

orva::ErrorCode DirectTransferHandlerImpl::start_search_all_objects() {
  trace("DirectTransferHandler::start_search_all_objects");
  StateCriterion criterion;
  criterion.set_service_id(kPersonal);
  criterion.check_if_modified(true);
  return start_search(criterion);
}

orva::ErrorCode DirectTransferHandlerImpl::start_search(const Criterion& criterion) {
  m_search = m_repository->get_searcher();
  if (!m_search.is_valid()) return ORVA_ERROR_OUT_OF_MEMORY;
  m_search_status = ORVA_ERROR_KELDRA_IN_PROGRESS;
  const Search::SortPref unsorted = {Search::SortPref::ORDER_NONE, Search::SortPref::KEY_NONE};
  SearchRelay& relay = SearchRelay::of(m_search.get());
  relay.claim(this);
  m_search->start(criterion, unsorted, relay);
  return m_search_status;
}

void DirectTransferHandlerImpl::handle_search_end(orva::ErrorCode status) {
  // A search that ends after its run was stopped must not end that run again.
  if (m_phase != SEARCHING) {
    LoggerUmbo::logf(kTrace, "DirectTransferHandler: search end %d after the run, ignored", status);
    return;
  }
  orva::SharedPointer<DirectTransferHandler> self(this);
  if (status != ORVA_ERROR_NONE) {
    stop(status);
    return;
  }
  std::vector<unsigned int> results = m_search->get_results();
  std::sort(results.begin(), results.end());
  std::vector<unsigned int>* out = nullptr;
  switch (m_search_step) {
    case LOCAL_OBJECTS:
      out = &m_objects_uplist;
      break;
    case LOCAL_MMF:
      out = &m_mmfiles_uplist;
      break;
    case REMOTE_MMF:
      out = &m_mmfiles_downlist;
      break;
    default:
      assert(!"search end in a step without search");
      std::abort();
  }
  filter_results(results, m_local_objects, *out);
  m_search_step = static_cast<SearchStep>(m_search_step + 1);
  next_step();
}

void DirectTransferHandlerImpl::search_children(const std::vector<unsigned int>& local_ids,
                                                std::vector<ObjectBase>& children,
                                                unsigned int depth) const {
  for (unsigned int id : local_ids) search_children(id, children, depth);
}

void DirectTransferHandlerImpl::search_children(unsigned int local_id,
                                                std::vector<ObjectBase>& children,
                                                unsigned int depth) const {
  std::vector<Link> links;
  // An object whose children cannot be read adds none.
  m_repository->get_object_children(local_id, links);
  std::vector<unsigned int> level;
  for (const Link& link : links) {
    children.push_back(ObjectBase(link.get_local_link(), link.get_global_link()));
    level.push_back(link.get_local_link());
  }
  if (depth > 1) search_children(level, children, depth - 1);
}

void DirectTransferHandlerImpl::filter_results(const std::vector<unsigned int>& results,
                                               const std::vector<unsigned int>& filter,
                                               std::vector<unsigned int>& out) const {
  if (!m_local_filter) {
    out = results;
    return;
  }
  out.clear();
  std::set_intersection(results.begin(), results.end(), filter.begin(), filter.end(),
                        std::back_inserter(out));
}

// ---------------------------------------------------------------------------------------
// Progress.

void DirectTransferHandlerImpl::add_stage(float start) {
  m_progress.add_stage(start);
  ++m_stages_left;
}

void DirectTransferHandlerImpl::start_next_stage() {
  // A request beyond the counted work units moves nothing.
  if (m_stages_left == 0) return;
  --m_stages_left;
  m_progress.start_next_stage();
}

void DirectTransferHandlerImpl::create_progress_stages(
    const std::vector<orva::SharedPointer<RequestPackage>>& packages) {
  trace("DirectTransferHandler::create_progress_stages");
  m_progress.reset();
  m_stages_left = 0;
  add_stage(0.05f);
  add_stage(0.1f);
  size_t units = 0;
  if (m_objects_upload || m_mmfiles_upload) units += packages.size();
  if (m_objects_upload) {
    trace("OBJECTS upload enabled");
    units += 1;
  }
  if (m_mmfiles_upload) {
    if (!m_mmfiles_uplist.empty()) {
      LoggerUmbo::logf(kTrace, "FORWARD enabled: items to send: %d",
                       static_cast<int>(m_mmfiles_uplist.size()));
    }
    units += m_mmfiles_uplist.size();
  }
  if (m_objects_download) {
    trace("m_objects_download enabled");
    units += 1;
  }
  if (m_mmfiles_download) {
    if (!m_mmfiles_downlist.empty()) {
      LoggerUmbo::logf(kTrace, "MMF Download enabled: items to dw: %d",
                       static_cast<int>(m_mmfiles_downlist.size()));
    }
    units += m_mmfiles_downlist.size();
  }
  if (units == 0) return;
  const float step = static_cast<float>(0.89 / static_cast<double>(units));
  float previous = 0.1f;
  for (size_t i = 1; i <= units; ++i) {
    const float stage = static_cast<float>(0.1 + static_cast<double>(static_cast<float>(i) * step));
    // So many units that the stages no longer rise in float: the rest share the last.
    if (!(stage > previous) || stage >= 1.0f) break;
    LoggerUmbo::logf(kTrace, "create_stages %.2f", static_cast<double>(stage));
    add_stage(stage);
    previous = stage;
  }
}

}  // namespace internal
}  // namespace keldra
}  // namespace orva
