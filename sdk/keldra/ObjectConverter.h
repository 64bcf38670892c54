// Converts objects to and from transfer data by MIME type.
//
// The one codec is the compact transfer format, "application/vnd.ostra.keldraobjectcompact".
// A codec's encoder and decoder are made on first use and kept; the converter owns
// and deletes them. MIME types are compared exactly (case and blanks matter).
//
// Thread: a converter is used on one thread, as its codecs keep names interned in
// that thread's string pool.
// Results: 8 (ORVA_ERROR_NOT_FOUND) for an unknown MIME type or a codec that cannot
// be made; otherwise the codec's result (0; 3 for an empty buffer pointer, data the
// format cannot carry or malformed input; 2 for a failed write or missing memory).
#pragma once

#include <keldra/DynamicBuffer.h>
#include <keldra/ErrorCode.h>
#include <keldra/Object.h>
#include <keldra/ObjectDecoder.h>
#include <keldra/ObjectEncoder.h>
#include <keldra/RefCountable.h>
#include <keldra/SharedPointer.h>

#include <string>
#include <vector>

#define KELDRA_COMPACT_MIME_TYPE "application/vnd.ostra.keldraobjectcompact"

namespace orva {
namespace keldra {

class ObjectConverter : public orva::internal::RefCountable {
 public:
  struct Codec {
    std::string mime_type;
    ObjectEncoder* encoder;  // owned; null until first needed
    ObjectDecoder* decoder;  // owned; null until first needed
  };

  // A converter with the compact codec; empty when none can be made.
  static orva::SharedPointer<ObjectConverter> create();

  // A converter without codecs.
  ObjectConverter();
  ~ObjectConverter() override;

  // Index of the codec of exactly this MIME type, -1 when none.
  int find_codec(const std::string& mime_type) const;
  // The codec's encoder or decoder, made on first use; null for an unknown MIME type
  // or when it cannot be made.
  ObjectEncoder* get_encoder(const std::string& mime_type);
  ObjectDecoder* get_decoder(const std::string& mime_type);
  // A new encoder or decoder for a MIME type this library can handle, else null.
  ObjectEncoder* create_encoder(const std::string& mime_type);
  ObjectDecoder* create_decoder(const std::string& mime_type);

  // Appends |object| to |buffer| in the format of |mime_type|.
  ErrorCode encode(const Object& object, orva::SharedPointer<DynamicBuffer>& buffer,
                   const std::string& mime_type, bool header_only);
  // |object| becomes a new object read from data[0..length).
  ErrorCode decode(const unsigned char* data, unsigned int length, ObjectPtr& object,
                   const std::string& mime_type);

 private:
  ObjectConverter(const ObjectConverter&) = delete;
  ObjectConverter& operator=(const ObjectConverter&) = delete;

  std::vector<Codec> m_codecs;
};

}  // namespace keldra
}  // namespace orva
