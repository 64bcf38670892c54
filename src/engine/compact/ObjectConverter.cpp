#include <keldra/ObjectConverter.h>

#include "compact/SyncParser.h"
#include "compact/SyncSerializer.h"

#include <new>

namespace orva {
namespace keldra {

orva::SharedPointer<ObjectConverter> ObjectConverter::create() {
  orva::SharedPointer<ObjectConverter> converter;
  try {
    converter = new ObjectConverter();
    Codec compact = {KELDRA_COMPACT_MIME_TYPE, nullptr, nullptr};
    converter->m_codecs.push_back(compact);
  } catch (const std::bad_alloc&) {
    converter.release();
  }
  return converter;
}

ObjectConverter::ObjectConverter() {}

ObjectConverter::~ObjectConverter() {
  for (Codec& codec : m_codecs) {
    delete codec.encoder;
    delete codec.decoder;
  }
}

int ObjectConverter::find_codec(const std::string& mime_type) const {
  for (size_t i = 0; i < m_codecs.size(); ++i) {
    if (m_codecs[i].mime_type == mime_type) return static_cast<int>(i);
  }
  return -1;
}

ObjectEncoder* ObjectConverter::get_encoder(const std::string& mime_type) {
  int index = find_codec(mime_type);
  if (index < 0) return nullptr;
  Codec& codec = m_codecs[index];
  if (!codec.encoder) codec.encoder = create_encoder(mime_type);
  return codec.encoder;
}

ObjectDecoder* ObjectConverter::get_decoder(const std::string& mime_type) {
  int index = find_codec(mime_type);
  if (index < 0) return nullptr;
  Codec& codec = m_codecs[index];
  if (!codec.decoder) codec.decoder = create_decoder(mime_type);
  return codec.decoder;
}

ObjectEncoder* ObjectConverter::create_encoder(const std::string& mime_type) {
  if (mime_type != KELDRA_COMPACT_MIME_TYPE) return nullptr;
  try {
    return new internal::SyncSerializer();
  } catch (const std::exception&) {
    return nullptr;
  }
}

ObjectDecoder* ObjectConverter::create_decoder(const std::string& mime_type) {
  if (mime_type != KELDRA_COMPACT_MIME_TYPE) return nullptr;
  return new (std::nothrow) internal::SyncParser();
}

ErrorCode ObjectConverter::encode(const Object& object, orva::SharedPointer<DynamicBuffer>& buffer,
                                  const std::string& mime_type, bool header_only) {
  ObjectEncoder* encoder = get_encoder(mime_type);
  if (!encoder) return ORVA_ERROR_NOT_FOUND;
  return encoder->encode(object, buffer, header_only);
}

ErrorCode ObjectConverter::decode(const unsigned char* data, unsigned int length,
                                  ObjectPtr& object, const std::string& mime_type) {
  ObjectDecoder* decoder = get_decoder(mime_type);
  if (!decoder) return ORVA_ERROR_NOT_FOUND;
  return decoder->decode(data, length, object);
}

}  // namespace keldra
}  // namespace orva
