// The library's direct transfer handler: one run searches the store for work, opens
// the network session, sends its requests phase by phase and ends with one status.
//
// A run never blocks: each wait (a store search, the opening of the session, a reply)
// returns to the event loop of the thread that called start(), and the run goes on in
// the callback that ends the wait. The phases come in their fixed order (SEARCHING,
// CONNECTING, BATCH_FORWARD, FORWARD, OBJECTS, SUBSCRIBE, DOWNLOAD, FINISHED); a phase
// with nothing to do is passed at once; every failure ends the run at once.
//
// Each run first removes what runs of a process that was killed left behind (partial
// downloads, request package folders; FileManager::remove_leftovers).
//
// Reports: every report while the run goes on carries ORVA_ERROR_KELDRA_IN_PROGRESS;
// the run ends with exactly one final report (its status, the progress reached, and
// FINISHED), made by stop(): a search completion, a reply or a state change that comes
// after it is ignored. A reply whose response line tells of failure is remembered
// apart and ends the run with 1 at the adapter's next state change; so does a reply to
// a package without a response line, and one that leaves an ordinary object or a file
// of its request unanswered (booked in the failed objects or files with 1).
//
// The phase steps of the exchange with the server (batch forward, forward, objects,
// subscribe, download) are protected virtual operations: a step that has nothing to
// send returns 0, one that posted a request returns 0x6001.
//
// Ownership: reference counted; it holds its data adapter, the network adapter it made
// (closed at the end of each run), and the store's searcher. The listener given to
// start() is not owned: its owner must cancel the run (or destroy the handler) before
// the listener goes. A search still under way when the handler is destroyed is
// cancelled, and its report reaches no freed handler.
//
// Thread: the one that made it, running a Qt event loop; nothing is locked.
#pragma once

#include "transfer/DirectTransferHandler.h"
#include "transfer/FileManager.h"
#include "transfer/ImageScaler.h"
#include "transfer/NetworkAdapter.h"
#include "transfer/TransferExtension.h"

#include "compact/SyncParser.h"
#include "syncengine/TaskProgress.h"

#include <keldra/DataAdapter.h>
#include <keldra/DynamicBuffer.h>
#include <keldra/Object.h>
#include <keldra/ProgressHandler.h>
#include <keldra/Repository.h>
#include <keldra/Search.h>
#include <keldra/SyncAdapter.h>
#include <keldra/SyncService.h>
#include <tervo/ustring.h>

#include <cstdint>
#include <functional>
#include <set>
#include <string>
#include <unordered_map>
#include <vector>

namespace orva {
namespace keldra {
namespace internal {

class RequestPackage;

class DirectTransferHandlerImpl : public DirectTransferHandler,
                                  public NetworkAdapter::Listener,
                                  public SyncParser::Consumer,
                                  public ImageScaler::ImageScalerObserver {
 public:
  // The sub-steps of SEARCHING, in the order they run.
  enum SearchStep {
    NONE = 0,           // takes the upload queue's ids
    CHILDREN = 1,       // widens the local filter by children
    LOCAL_OBJECTS = 2,  // searches the locally new or changed objects
    LOCAL_MMF = 3,      // multimedia with content only on the device
    REMOTE_MMF = 4,     // multimedia with content only on the server
    DONE = 5            // counts the work and sets the progress stages
  };

  typedef std::function<orva::SharedPointer<NetworkAdapter>(NetworkAdapter::Listener& listener)>
      NetworkAdapterFactory;

  // The handler over |adapter|: *error (may be null) 0, 3 for an empty adapter, 1 when
  // it gives no sync adapter or repository, 2 out of memory.
  static orva::SharedPointer<DirectTransferHandler> create(
      const orva::SharedPointer<DataAdapter>& adapter, orva::ErrorCode* error);
  // Makes handlers connect through |factory| instead of NetworkAdapter::create; an
  // empty one restores it. Test seam.
  static void set_network_adapter_factory(const NetworkAdapterFactory& factory);

  ~DirectTransferHandlerImpl() override;

  // DirectTransferHandler.
  void disable_all_tasks() override;
  void enable_objects_upload() override;
  void enable_objects_upload_without_ids() override;
  void enable_mmf_upload() override;
  void enable_mmf_download() override;
  void enable_queue_upload(const std::string& queue_name) override;
  orva::ErrorCode enable_objects_download(const std::vector<unsigned long long>& global_ids,
                                          bool cascade) override;
  orva::ErrorCode enable_objects_subscribe(const std::vector<unsigned long long>& global_ids,
                                           bool cascade) override;
  orva::ErrorCode set_local_objects_filter(const std::vector<unsigned int>& local_ids,
                                           unsigned int depth) override;
  void set_download_options(const SyncService::FileSyncOptions& options) override;
  orva::ErrorCode start(const SyncService::SyncParams& params, const std::string& device_id,
                        DirectTransferHandler::Listener& listener) override;
  void cancel() override;
  bool is_active() const override { return m_phase > IDLE && m_phase < FINISHED; }
  uint64_t get_data_transfered() const override { return m_bytes_transferred; }
  const DownloadedObjects& downloaded_objects() const override { return m_downloaded_objects; }
  const std::vector<ItemResult>& failed_objects() const override { return m_failed_objects; }
  const std::vector<ItemResult>& failed_files() const override { return m_failed_files; }
  const std::vector<ObjectBase>& uploaded_objects() const override { return m_uploaded_objects; }
  uint32_t num_of_errors() const override {
    return static_cast<uint32_t>(m_failed_objects.size() + m_failed_files.size());
  }

  // Kept for the runs; only the first word (image scaling) is ever read.
  void set_upload_options(const SyncService::FileSyncOptions& options);
  bool is_scaling_enabled() const { return m_upload_options.image_scaling_longest_side != 0; }
  // Items done / items total of the run; 1.0 when the total is 0.
  float get_transfer_stage_progress() const;

  // The digest for a download from |url| when the download host rule allows it (see
  // DownloadHostRule.h): 0 with |digest| written, 0 with |digest| untouched when the
  // rule refuses it, 3 when an address cannot be split or no credentials are set.
  orva::ErrorCode get_auth_digest(const std::string& url, std::string& digest) const;

  Phase phase() const { return m_phase; }
  // The run status: 0x6001 while the run goes on, then its final status.
  orva::ErrorCode status() const { return m_status; }

  // NetworkAdapter::Listener.
  void handle_network_state_change(orva::ErrorCode status, NetworkAdapter::State state) override;
  void handle_network_response_head(const NetworkAdapter::Response& response) override;
  void handle_network_response_body(const orva::SharedPointer<DynamicBuffer>& body) override;
  void handle_network_progress(float progress) override;

  // SyncParser::Consumer: the reply lines.
  orva::ErrorCode handle_object_status(const SyncParser::ObjectStatus& status) override;
  orva::ErrorCode handle_forward_status(const SyncParser::ForwardStatus& status) override;
  orva::ErrorCode handle_response_status(const SyncParser::ResponseStatus& status) override;

  // ImageScaler::ImageScalerObserver.
  void handle_scaling_done(orva::ErrorCode status, ImageScaler::ScaledImageInfo info,
                           const std::string& path) override;
  void handle_scaling_stream_done(orva::ErrorCode status, ImageScaler::ScaledImageInfo info,
                                  WriteStream& stream) override;

  // The FORWARD sub-phases.
  enum ForwardPhase {
    FORWARD_NONE = 0,
    UPLOAD_NO_SCALING_MMOS = 1,
    START_SCALE_FIRST_MMO = 2,
    SCALE_FIRST_MMO_DONE = 3,
    PARALLEL_SCALING_AND_UPLOAD = 4,
    UPLOAD_IMAGES_DIRECTLY = 5,
    FORWARD_FINISHED = 6
  };
  // Most bytes of file data in one batch package.
  static const uint64_t kBatchPackageLimit = 0x100000;

  // The byte count of the file at |path|, -1 when it cannot be opened. 64-bit: files of
  // 2 GiB and more are measured as they are.
  static int64_t get_file_size(const std::string& path);
  // The whole file at |path|; empty when it cannot be opened or read whole.
  static orva::SharedPointer<DynamicBuffer> get_file_data(const std::string& path);
  // The file name after the last backslash: false (and |name| empty) when there is none.
  static bool get_filename_from_uri(std::string uri, std::string& name);
  // The resized address of an image: ".s/" after the sixth '/', "w<N>-h<N>_" in front
  // of the file name; 3 (|url| untouched) with fewer than six '/'.
  orva::ErrorCode add_vcdn_resizing_to_remote_url(const orva::ustring& remote_url,
                                                  std::string& url) const;
  // The address to fetch: resized for images when the download options ask for it.
  void add_resizing_to_remote_url(const orva::ustring& remote_url, const std::string& mime,
                                  std::string& url) const;

 protected:
  // Takes the adapter's sync adapter and repository and a file manager. Throws
  // std::bad_alloc.
  explicit DirectTransferHandlerImpl(const orva::SharedPointer<DataAdapter>& adapter);
  // The adapter gave what a run needs.
  bool is_usable() const {
    return m_sync_adapter.is_valid() && m_repository.is_valid() && m_file_manager.is_valid();
  }

  // The phase steps: 0 nothing (more) to send, 0x6001 a request is on its way, else the
  // failure that ends the run (in FORWARD 7 makes the run wait).
  virtual orva::ErrorCode batch_forward();
  virtual orva::ErrorCode send_forward_message();
  virtual orva::ErrorCode send_objects_message();
  virtual orva::ErrorCode send_subscription_message();
  virtual orva::ErrorCode receive_next_mmfile();
  // Saves the body of the download of |local_id|; counts the entry done.
  virtual orva::ErrorCode process_file_download_result(
      unsigned int local_id, const orva::SharedPointer<DynamicBuffer>& body,
      const std::string& content_type);
  // Builds the media batch packages at the end of the search.
  virtual orva::ErrorCode create_batch_request_packages(
      std::vector<orva::SharedPointer<RequestPackage>>& packages);

  // The object exchange (DirectTransferObjects.cpp). Results: 0; 0x6001 posted; 2 no
  // package or object could be made; 3 no "/sync" in the server address or no
  // credentials; the package's, the extension's and the adapter's codes unchanged.
  // The run's first package carries the system objects that have content.
  orva::ErrorCode create_upload_package(orva::SharedPointer<RequestPackage>& package,
                                        bool with_mapping);
  orva::ErrorCode add_extension_object_submit(const orva::SharedPointer<RequestPackage>& package,
                                              unsigned int local_id, bool only_with_content);
  // |type| 2 (add) or 3 (update); an empty object or another type is a broken invariant.
  orva::ErrorCode add_object_submit(const orva::SharedPointer<RequestPackage>& package,
                                    RequestType type, const ObjectPtr& object);
  orva::ErrorCode add_upload_objects_to_request_package(
      const orva::SharedPointer<RequestPackage>& package);
  orva::ErrorCode add_download_objects_to_request_package(
      const orva::SharedPointer<RequestPackage>& package);
  orva::ErrorCode add_subscribe_objects_to_request_package(
      const orva::SharedPointer<RequestPackage>& package);
  orva::ErrorCode create_mapping_object(const ObjectPtr& object);
  void collect_mappings(std::vector<ObjectBase>& list);
  // 0 without posting when the package holds fewer than 2 commands.
  orva::ErrorCode send_message(const orva::SharedPointer<RequestPackage>& package);
  orva::ErrorCode send_zip_message(const orva::SharedPointer<RequestPackage>& package);
  // Posts the package to the upload address; a posted package's item keys are the ones
  // its reply may answer.
  orva::ErrorCode upload(const orva::SharedPointer<RequestPackage>& package, bool as_zip_request);
  // The request just posted: the "S" line keys and the files ("mu" keys) its reply is to
  // answer, and whether it is a package, whose reply must carry an "R" line.
  void await_reply(const std::vector<std::string>& item_keys,
                   const std::vector<std::string>& file_keys, bool with_response_line);
  // Takes the record of every stored object with local changes and a global id that the
  // package does not upload, and the global id of every stored object, so that a
  // download reply finds which of them were edited or removed while it was on its way:
  // 0, or the store's error.
  orva::ErrorCode record_changed_objects();

  // The object replies (DirectTransferReplies.cpp).
  // Parses a reply body and applies its lines; the parse's result. A reply of OBJECTS or
  // SUBSCRIBE is written in one transaction when every object of it is accepted, and
  // handled again object by object (each its own transaction) when one is refused.
  orva::ErrorCode handle_reply(const unsigned char* data, int length);
  void handle_incoming_objects(const Request& request, const std::vector<ObjectPtr>& objects);
  void save_object_result(const Request& request, orva::ErrorCode code, const ObjectPtr& object);
  // The confirmed upload of |local_id| (see DirectTransferReplies.cpp) and a
  // downloaded object: the sync adapter's or the repository's code.
  orva::ErrorCode replace_uploaded(unsigned int local_id, Object& incoming);
  // |removed|: the object was stored when the package was built and has been removed
  // since; nothing is written (the result is 0) and it is not booked.
  orva::ErrorCode store_downloaded(Object& incoming, bool& removed);
  // Whether an object of |global_id| was stored when the package posted last was built.
  bool stored_when_built(unsigned long long global_id);
  // Notes that an object of |global_id| was stored when that package was built.
  void note_stored_when_built(unsigned long long global_id);
  // The stored object |local_id| changed since the package was built (by its record, or
  // by its local changes when it had none then); a store error counts as changed.
  bool edited_since_built(unsigned int local_id);
  // At the adapter's READY after a reply (or after a 2xx without a body): books what
  // the request carried and the reply left unanswered, and fails the run when a
  // package's reply had no "R" line.
  void close_reply();
  // Stores the pairs of the objects a reply added, in one mapping update; a failure is
  // booked against each of them.
  void flush_pending_mappings();
  // The record of |object| as stored, without its in-memory modified marks: a reply
  // compares it with the record its package read. False when it cannot be written.
  static bool stored_record(const Object& object, std::string& out);
  // The extension of this handler, made on first use (empty when it cannot be made).
  TransferExtension* extension();

  // Media upload (batch packages, FORWARD and its sub-phases, the "F" lines).
  orva::ErrorCode add_files_to_batch_request_package(
      const orva::SharedPointer<RequestPackage>& package);
  orva::ErrorCode add_mmf_to_request_package(const orva::SharedPointer<RequestPackage>& package,
                                             const ObjectPtr& object);
  orva::ErrorCode find_mmos_with_images_to_upload();
  void next_forward_phase();
  orva::ErrorCode upload_no_scaling_mmos();
  orva::ErrorCode add_files_to_request_package(const orva::SharedPointer<RequestPackage>& package);
  orva::ErrorCode upload_images_without_zip_file();
  orva::ErrorCode send_mmf_object(const ObjectPtr& object);
  orva::ErrorCode upload_mmf_data(const orva::SharedPointer<DynamicBuffer>& data,
                                  const std::string& request_id, const std::string& content_type);
  orva::ErrorCode process_file_upload_result(unsigned int local_id,
                                             const SyncParser::ForwardStatus& status);
  // The "F" line of a queued item ("qf"): 2, since the store keeps no upload queue;
  // nothing changes, and the result stops the parse and the run.
  orva::ErrorCode process_queue_upload_result(unsigned int local_id,
                                              const SyncParser::ForwardStatus& status);
  // The scaling path of FORWARD.
  orva::ErrorCode start_scaling_next_mmo();
  orva::ErrorCode start_scaling_mmo(unsigned int& local_id);
  orva::ErrorCode start_parallel_scaling_and_upload();
  orva::ErrorCode parallel_upload_and_scaling();
  orva::ErrorCode remove_local_uri_file(ObjectPtr& object);
  // Ends FORWARD: releases the scaling objects and moves the run to OBJECTS.
  void end_forward();
  // Media download.
  orva::ErrorCode set_mmo_local_file(const ObjectPtr& object, const std::string& path);
  // Inside the store's transaction: looks at the object of |local_id| again and, when
  // the download is still wanted, renames the |part| file to a name in |folder| that no
  // object records (|part| then empty, |path| the file) and records it.
  orva::ErrorCode place_downloaded_file(unsigned int local_id, const std::string& folder,
                                        std::string& part, std::string& path);
  // Adds the file of |local_id| to the failed files with |status|.
  void book_failed_download(unsigned int local_id, orva::ErrorCode status);

  // For the steps.
  const orva::SharedPointer<NetworkAdapter>& network_adapter() const { return m_network_adapter; }
  const orva::SharedPointer<Repository>& repository() const { return m_repository; }
  std::vector<unsigned int>& mmfiles_downlist() { return m_mmfiles_downlist; }
  // The work lists of the run (emptied when it stops).
  const std::vector<unsigned int>& objects_uplist() const { return m_objects_uplist; }
  const std::vector<unsigned int>& mmfiles_uplist() const { return m_mmfiles_uplist; }
  const std::vector<unsigned int>& local_objects() const { return m_local_objects; }
  uint32_t items_total() const { return m_items_total; }
  void count_item_done() { ++m_items_done; }
  void add_bytes(uint64_t bytes) { m_bytes_transferred += bytes; }
  // Logs the progress and tells the listener: (m_status, total, m_phase).
  void report_progress();

 private:
  class SearchRelay;

  DirectTransferHandlerImpl(const DirectTransferHandlerImpl&) = delete;
  DirectTransferHandlerImpl& operator=(const DirectTransferHandlerImpl&) = delete;

  // The phase machine.
  void next_step();
  orva::ErrorCode connect();
  // Ends the run: FINISHED, tasks disabled, adapter closed, status, the final report.
  void stop(orva::ErrorCode status);

  // SEARCHING.
  orva::ErrorCode next_search_step();
  orva::ErrorCode start_search_all_objects();
  orva::ErrorCode start_search(const Criterion& criterion);
  void handle_search_end(orva::ErrorCode status);
  void search_children(const std::vector<unsigned int>& local_ids,
                       std::vector<ObjectBase>& children, unsigned int depth) const;
  void search_children(unsigned int local_id, std::vector<ObjectBase>& children,
                       unsigned int depth) const;
  void filter_results(const std::vector<unsigned int>& results,
                      const std::vector<unsigned int>& filter,
                      std::vector<unsigned int>& out) const;

  // Progress.
  void create_progress_stages(const std::vector<orva::SharedPointer<RequestPackage>>& packages);
  void add_stage(float start);
  void start_next_stage();

  orva::SharedPointer<DataAdapter> m_data_adapter;
  orva::SharedPointer<SyncAdapter> m_sync_adapter;
  orva::SharedPointer<Repository> m_repository;
  SyncParser m_parser;
  orva::SharedPointer<NetworkAdapter> m_network_adapter;
  orva::SharedPointer<FileManager> m_file_manager;

  bool m_queue_upload;
  std::string m_queue_service;
  std::vector<unsigned int> m_queue_list;
  bool m_objects_upload;
  bool m_objects_upload_all;
  std::vector<unsigned int> m_objects_uplist;
  bool m_objects_download;
  bool m_objects_download_cascade;
  std::vector<unsigned long long> m_objects_downlist;
  bool m_objects_subscribe;
  bool m_objects_subscribe_cascade;
  std::vector<unsigned long long> m_objects_subscribelist;
  bool m_mmfiles_upload;
  std::vector<unsigned int> m_mmfiles_uplist;
  std::vector<unsigned int> m_mmo_imagefiles_uplist;
  bool m_mmfiles_download;
  std::vector<unsigned int> m_mmfiles_downlist;

  SyncService::SyncParams m_sync_params;
  std::string m_device_id;
  bool m_local_filter;
  std::vector<unsigned int> m_local_objects;
  unsigned int m_cascade_depth;
  uint64_t m_bytes_transferred;
  bool m_extension_objects_sent;
  std::string m_content_type;
  Phase m_phase;
  DirectTransferHandler::Listener* m_transfer_listener;
  TaskProgress m_progress;
  // Stages declared and not yet started: a request never starts one that is not there.
  uint32_t m_stages_left;
  uint32_t m_items_total;
  uint32_t m_items_done;
  orva::ErrorCode m_status;
  // A response line told of failure: the run ends with 1 at the next state change.
  bool m_response_failed;
  // A reply body arrived since the adapter was last ready.
  bool m_body_received;

  orva::SharedPointer<Search> m_search;
  SearchStep m_search_step;
  orva::ErrorCode m_search_status;

  std::vector<ItemResult> m_failed_objects;
  std::vector<ItemResult> m_failed_files;
  std::vector<ObjectBase> m_uploaded_objects;
  DownloadedObjects m_downloaded_objects;
  SyncService::FileSyncOptions m_upload_options;
  SyncService::FileSyncOptions m_download_options;
  std::vector<orva::SharedPointer<RequestPackage>> m_batch_packages;

  // The object exchange.
  orva::SharedPointer<TransferExtension> m_extension;
  // The item keys of the request posted last that its reply has not answered yet: a
  // reply line for any other key is ignored.
  std::multiset<std::string> m_awaited_keys;
  // The same for its files, by local id ("F" lines).
  std::multiset<unsigned int> m_awaited_files;
  // A request of the exchange is posted and its reply not yet closed; it is a package
  // (its reply must carry an "R" line); its reply carried one.
  bool m_reply_awaited = false;
  bool m_response_line_awaited = false;
  bool m_response_line_seen = false;
  // The stored record, by local id, of each object that had local changes when the
  // package posted last was built (the uploaded ones, and with a download every other
  // one that has a global id): a reply never sync-replaces an object edited since. An
  // entry goes once its object is written by the reply; all go when the reply closes.
  std::unordered_map<unsigned int, std::string> m_sent_states;
  // With a download, the global ids of the objects stored when the package posted last
  // was built, and those an upload of it learnt from its reply: one that the reply
  // brings and that is no longer stored was removed meanwhile and stays removed (its
  // removal is still recorded for the next sync). Emptied with m_sent_states; sorted
  // when looked at.
  std::vector<unsigned long long> m_built_global_ids;
  bool m_built_global_ids_sorted = true;
  // Pairs of objects added from download replies, saved once per reply.
  std::vector<ObjectBase> m_pending_mappings;
  // A reply is being written in one transaction; a write of it was refused.
  bool m_reply_batched = false;
  bool m_batch_refused = false;
  // A reply is handled again after its batch was refused: its progress is told once.
  bool m_replaying = false;

  // Media upload.
  int m_forward_phase;
  orva::SharedPointer<ImageScaler> m_scaler;
  ObjectPtr m_mmo_object;
  ObjectPtr m_uploading_mmo_object;
  uint32_t m_parallel_upload_scaling;
  // Objects whose in-memory local url names a scaled copy to remove after its upload.
  std::set<const Object*> m_scaled_copies;
};

}  // namespace internal
}  // namespace keldra
}  // namespace orva
