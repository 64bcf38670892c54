// The direct transfer handler as the sync task manager drives it: one run of uploads,
// downloads and subscriptions against the sync server, enabled task by task before the
// run starts, reporting its progress and its end to a listener.
//
// create() makes the handler of this library (DirectTransferHandlerImpl) unless a
// factory is installed with set_factory(), the seam through which tests put a recording
// double in its place.
//
// Reference counted, held through SharedPointer. Used only on the thread of its data
// adapter, which runs a Qt event loop; listener calls come on that thread.
#pragma once

#include <keldra/DataAdapter.h>
#include <keldra/ErrorCode.h>
#include <keldra/ObjectBase.h>
#include <keldra/RefCountable.h>
#include <keldra/SharedPointer.h>
#include <keldra/SyncService.h>

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace orva {
namespace keldra {
namespace internal {

class DirectTransferHandler : public orva::internal::RefCountable {
 public:
  enum Phase {
    IDLE = 0,
    SEARCHING = 1,
    CONNECTING = 2,
    BATCH_FORWARD = 3,
    FORWARD = 4,
    OBJECTS = 5,
    SUBSCRIBE = 6,
    DOWNLOAD = 7,
    FINISHED = 8
  };

  // Receives a run's reports: status ORVA_ERROR_KELDRA_IN_PROGRESS while it runs, then
  // its final status once; progress 0..1 of the whole run. Not owned by the handler.
  class Listener {
   public:
    virtual void handle_transfer_progress(orva::ErrorCode status, float progress, Phase phase) = 0;

   protected:
    ~Listener() {}
  };

  // The kinds of work items, by the prefix of their item keys.
  enum RequestType {
    REQUEST_NONE = 0,
    REQUEST_QUEUE_FORWARD = 1,    // "qf": upload-queue item, by local id
    REQUEST_OBJECT_ADD = 2,       // "oa": object without global id, by local id
    REQUEST_OBJECT_REPLACE = 3,   // "or": object with a global id, by local id
    REQUEST_OBJECT_DOWNLOAD = 4,  // "od": by the requested global id
    REQUEST_MMF_UPLOAD = 5,       // "mu": multimedia file upload, by local id
    REQUEST_MMF_DOWNLOAD = 6,     // "md": by global id, or local id without one
    REQUEST_PS = 7                // "ps": made by nothing
  };
  // A parsed item key: {0, 0} when not recognised.
  struct Request {
    RequestType type;
    unsigned long long id;
  };
  // An item that the server or the store refused.
  struct ItemResult {
    ObjectBase object;
    orva::ErrorCode error;
  };

  typedef std::multimap<unsigned long long, ObjectBase> DownloadedObjects;
  typedef std::function<orva::SharedPointer<DirectTransferHandler>(
      const orva::SharedPointer<DataAdapter>& adapter, orva::ErrorCode* error)>
      Factory;

  // A new handler over |adapter|, the caller's the only count. Empty with *error (error
  // may be null): 3 for an empty adapter, 1 when the adapter gives no sync adapter or
  // repository, 2 out of memory (or an installed factory's code). *error 0 on success.
  static orva::SharedPointer<DirectTransferHandler> create(
      const orva::SharedPointer<DataAdapter>& adapter, orva::ErrorCode* error);
  // Installs the factory that create() uses; an empty one removes it. Test seam.
  static void set_factory(const Factory& factory);

  // The key of an item: its kind's two letters and |id| in decimal ("oa17"). A type
  // outside 1 to 7 is a broken invariant.
  static std::string create_item_key(RequestType type, unsigned long long id);
  // The kind and id of a key; a key whose number after the two letters is 0 or missing
  // gives {0, 0}, unknown letters with a number give {0, number}.
  static Request parse_item_key(const std::string& key);

  ~DirectTransferHandler() override {}

  // Clears every enabled task, the id lists and the local-ids filter.
  virtual void disable_all_tasks() = 0;
  virtual void enable_objects_upload() = 0;
  // The objects upload searches the store for all changed objects itself.
  virtual void enable_objects_upload_without_ids() = 0;
  virtual void enable_mmf_upload() = 0;
  virtual void enable_mmf_download() = 0;
  virtual void enable_queue_upload(const std::string& queue_name) = 0;
  // 0, or 2 when memory runs out.
  virtual orva::ErrorCode enable_objects_download(const std::vector<unsigned long long>& global_ids,
                                                  bool cascade) = 0;
  virtual orva::ErrorCode enable_objects_subscribe(
      const std::vector<unsigned long long>& global_ids, bool cascade) = 0;
  // Limits the next run to these objects and their children to |depth| (an empty list
  // limits it to nothing). 0.
  virtual orva::ErrorCode set_local_objects_filter(const std::vector<unsigned int>& local_ids,
                                                   unsigned int depth) = 0;
  // Kept for the next run; only the image scaling longest side is applied.
  virtual void set_download_options(const SyncService::FileSyncOptions& options) = 0;

  // Starts a run: 7 while one is active; ORVA_ERROR_KELDRA_IN_PROGRESS while it
  // continues (reports follow on |listener|), or its final status when it ended
  // already, in which case |listener| has heard that end before start returns.
  virtual orva::ErrorCode start(const SyncService::SyncParams& params, const std::string& device_id,
                                Listener& listener) = 0;
  // Ends the run with 0x6006, reporting (0x6006, progress, FINISHED) to the listener
  // before it returns.
  virtual void cancel() = 0;
  // True while a run is in phases 1 to 7.
  virtual bool is_active() const = 0;
  // Bytes moved by the current or last run (0 after start).
  virtual uint64_t get_data_transfered() const = 0;
  // The objects downloaded by the last run, valid until the next start.
  virtual const DownloadedObjects& downloaded_objects() const = 0;
  // The results of the last run, valid until the next start: objects refused or left
  // unanswered by a reply, files refused or left unanswered, objects whose upload the
  // server confirmed, and the two failure lists' sizes.
  virtual const std::vector<ItemResult>& failed_objects() const = 0;
  virtual const std::vector<ItemResult>& failed_files() const = 0;
  virtual const std::vector<ObjectBase>& uploaded_objects() const = 0;
  virtual uint32_t num_of_errors() const = 0;

 protected:
  DirectTransferHandler() {}

 private:
  DirectTransferHandler(const DirectTransferHandler&) = delete;
  DirectTransferHandler& operator=(const DirectTransferHandler&) = delete;
};

}  // namespace internal
}  // namespace keldra
}  // namespace orva
