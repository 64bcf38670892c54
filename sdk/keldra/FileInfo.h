// FileInfo: typed view of an attribute of class "file_info", facts about one copy of
// a media file (a multimedia object's "local_info" and "remote_info").
//
// Each fact is one field of a fixed type: "bitrate" uint64, "duration" int64,
// "file_size" uint64, "frame_height" uint32, "fps" float, "frame_width" uint32. A
// setter writes exactly that type into the first field of its name (appended when
// absent), creating the attribute first; 0, or 2 when it cannot be created. A getter
// returns the value only when the field holds exactly that type, and otherwise 0 (NaN
// for the frame rate); getters never create anything. The units of bit rate, duration
// and frame rate are those of whoever writes them.
//
// Thread: used on the thread whose string pool interned its names.
#pragma once

#include <keldra/AttributeHandle.h>
#include <keldra/ErrorCode.h>
#include <keldra/StringPool.h>

namespace orva {
namespace keldra {

// Names of FileInfo, interned once per string pool.
class FileInfoStrings : public StringPool::StringSet {
 public:
  static StringPool::StringSet* create_strings(StringPool& pool);

  StringPool::StringHandle file_info;  // the class
  StringPool::StringHandle bitrate;
  StringPool::StringHandle duration;
  StringPool::StringHandle file_size;
  StringPool::StringHandle frame_height;
  StringPool::StringHandle fps;
  StringPool::StringHandle frame_width;
};

class FileInfo : public AttributeHandle {
 public:
  // Unbound root view.
  FileInfo();
  // A root view over a new attribute holding a deep copy of |other| (unbound when
  // |other| is).
  FileInfo(const FileInfo& other);
  // Copies |other|'s content into this view's own attribute.
  FileInfo& operator=(const FileInfo& other);

  ErrorCode set_bitrate(unsigned long long bitrate);
  unsigned long long get_bitrate() const;
  ErrorCode set_duration(long long duration);
  long long get_duration() const;
  ErrorCode set_file_size(unsigned long long size);
  unsigned long long get_file_size() const;
  ErrorCode set_frame_height(unsigned int height);
  unsigned int get_frame_height() const;
  ErrorCode set_frame_rate(float fps);
  float get_frame_rate() const;
  ErrorCode set_frame_width(unsigned int width);
  unsigned int get_frame_width() const;

  const StringPool::StringHandle& get_class_name_handle() const override;

 private:
  const FileInfoStrings* m_strings;
};

}  // namespace keldra
}  // namespace orva
