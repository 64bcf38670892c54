// The image scaler of the media upload: scales an image file into a smaller copy and
// tells its observer when done. The platform may offer none: create() then gives an
// empty pointer, and callers must skip scaling instead of calling through it.
//
// Reference counted; holds a reference to its observer, which must outlive it. Used on
// the thread of the direct transfer; the observer is called back on that thread.
#pragma once

#include <keldra/ErrorCode.h>
#include <keldra/RefCountable.h>
#include <keldra/SharedPointer.h>
#include <keldra/WriteStream.h>

#include <cstdint>
#include <string>

namespace orva {
namespace keldra {
namespace internal {

class ImageScaler : public orva::internal::RefCountable {
 public:
  struct ScaledImageInfo {
    uint32_t width;
    uint32_t height;
    uint64_t file_size;
  };
  enum State { IDLE = 0, SCALING = 1, DONE = 2 };

  class ImageScalerObserver {
   public:
    // A scaling ended; |path| holds the result.
    virtual void handle_scaling_done(orva::ErrorCode status, ScaledImageInfo info,
                                     const std::string& path) = 0;
    virtual void handle_scaling_stream_done(orva::ErrorCode status, ScaledImageInfo info,
                                            WriteStream& stream) = 0;
    virtual void progress_listener(State) {}

   protected:
    ~ImageScalerObserver() {}
  };

  // The platform's scaler; empty when the platform has none (always, here).
  static orva::SharedPointer<ImageScaler> create(ImageScalerObserver& observer);

  ~ImageScaler() override {}

  // Starts scaling |source_path| so that its longest side is |longest_side|, into
  // |target_path|: 0x6001 started (the outcome follows through the observer); any other
  // result: not started.
  virtual orva::ErrorCode scale_file(int longest_side, const std::string& source_path,
                                     const std::string& target_path) = 0;
  virtual orva::ErrorCode scale_to_stream(int longest_side, const std::string& source_path,
                                          WriteStream& stream) = 0;
  virtual orva::ErrorCode cancel() = 0;
  virtual State state() const = 0;

 protected:
  explicit ImageScaler(ImageScalerObserver& observer) : m_observer(observer) {}
  ImageScalerObserver& observer() const { return m_observer; }

 private:
  ImageScaler(const ImageScaler&) = delete;
  ImageScaler& operator=(const ImageScaler&) = delete;

  ImageScalerObserver& m_observer;
};

}  // namespace internal
}  // namespace keldra
}  // namespace orva
