// One frame of the binary position stream, and the variable-length integer (MBI) that
// the frames are made of.
//
// MBI: a signed 64-bit value with at most 62 bits of magnitude, written big-endian in
// 1 to 9 bytes. Every byte but the last has bit 7 set; the first byte carries the
// sign in bit 6 and the top 6 magnitude bits, each further byte 7 more bits. The
// encoder writes the fewest bytes, so a value never starts with two bytes without
// magnitude bits: the pair 80 80 marks the start of a key frame.
//
// Frame bytes, in order: the marker 80 80 (key frames only), MBI mask, then one MBI per
// present value: the 2-bit value (0x200), time, byte value (0x40), latitude and
// longitude (0x01), horizontal accuracy (0x04), altitude (0x02), additional value
// (0x80), vertical accuracy (0x08), speed (0x10), course (0x20), a block of MBI length n
// plus n bytes (0x100, skipped) and one MBI per further mask bit (skipped). A delta
// frame has no marker, holds differences from the previous frame and flags only the
// values that changed (the coordinates' bit when either coordinate changed).
//
// Values are scaled to integers: time in tenths of a second, coordinates in 1e-7
// degrees, altitude, accuracies and the additional value in tenths, speed in
// hundredths, course in whole degrees.
//
// The MBI helpers use per-thread scratch buffers: the returned pointers stay valid
// until the next call of the same helper on the same thread.
#pragma once

namespace orva {
namespace keldra {
class ReadStream;
class WriteStream;

namespace internal {

class PositionStreamItem;

class BinaryPositionStreamFrame {
 public:
  // Bits of |mask| beyond the low eight, which are the PositionStreamItem flags of
  // the same values (0x01 coordinates ... 0x80 additional value).
  enum Bit : int {
    BIT_SKIPPED_BLOCK = 0x100,  // read only
    BIT_TWO_BIT_VALUE = 0x200   // read only
  };

  // The largest magnitude an MBI carries (62 bits).
  static constexpr unsigned long long MAX_MBI_MAGNITUDE = (1ULL << 62) - 1;

  // A key frame with mask and every value 0.
  BinaryPositionStreamFrame();
  void reset();

  // The MBI bytes of |v| and their number in |len|; null (len 0) when |v| needs more
  // than 62 bits of magnitude.
  static const unsigned char* encode_mbi(long long v, unsigned int& len);
  // Decodes exactly one MBI of |len| bytes. False for a null or empty input, more
  // than 9 bytes, a sequence that ends before its last byte or has a byte without
  // bit 7 before it, and one whose first two bytes carry no magnitude bits.
  static bool decode_mbi(const unsigned char* bytes, unsigned int len, long long& v);
  // Reads bytes up to and including the first one without bit 7. Null when the stream
  // is not ok, ends first, or 10 bytes came without such a byte.
  static const unsigned char* read_mbi(ReadStream& s, unsigned int& len);
  static bool read_and_decode_mbi(ReadStream& s, long long& v);
  // False when |s| is not ok, |v| cannot be encoded or the bytes were not appended.
  static bool encode_and_write_mbi(long long v, WriteStream& s);

  // x * 10^n rounded half away from zero, through one more decimal that is truncated.
  // Values beyond what an MBI frame can carry (and NaN) give 0.
  static long long round_to_int(double x, int n);
  // i / 10^n.
  static double int_to_double(long long i, int n);

  // Resets the frame and takes the item's time (milliseconds, divided by 100 toward
  // zero) and its flagged values. False when a flagged value is not finite or too
  // large to be carried; the frame is then reset.
  bool from_item(const PositionStreamItem& item);
  // Sets the item's time and flag 0x100, and each value of the mask's low eight bits
  // with its flag; coordinates are normalised. Other fields of the item stay.
  void to_item(PositionStreamItem& item) const;
  // True when from_item(item) of the item that to_item() made gives this frame's
  // time and scaled values back exactly (coordinates apart, which to_item()
  // normalises). Values beyond a float's or a double's precision fail, and so do
  // times of 2^55 tenths of a second and more, whose differences an encoder could
  // not write.
  bool writes_back(const PositionStreamItem& item) const;

  // |delta| = the non-key frame of the differences of this frame from |previous|: the
  // time always, each value of this frame's mask only when it changed. The byte value
  // and the bits from 0x100 up are never part of a delta.
  void get_delta_from(const BinaryPositionStreamFrame& previous,
                      BinaryPositionStreamFrame& delta) const;
  // Adds the delta's time and each difference its mask flags; the mask stays.
  void add_delta(const BinaryPositionStreamFrame& delta);

  // Appends the frame in one piece (nothing on failure). Bits 0x100 and from 0x400 up
  // are not written. False when the stream is not ok or a value cannot be encoded.
  bool write(WriteStream& s) const;
  // Reads one frame, a key frame when it starts with the marker. False on any
  // malformed or cut-short part; a skipped block must lie within the stream.
  bool read(ReadStream& s);
  // Reads a key frame whose marker has already been consumed.
  bool read_after_marker(ReadStream& s);

  bool key;
  unsigned long long mask;
  long long time;
  long long latitude;
  long long longitude;
  long long altitude;
  long long horizontal_accuracy;
  long long vertical_accuracy;
  long long speed;
  long long course;
  unsigned char byte_value;
  long long additional_value;
  unsigned char two_bit_value;

 private:
  // Reads the fields that follow the mask MBI.
  bool read_fields(ReadStream& s, long long mask_value, bool key_frame);
};

}  // namespace internal
}  // namespace keldra
}  // namespace orva
