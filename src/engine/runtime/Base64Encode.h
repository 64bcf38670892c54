// Streaming Base64 encoder (standard or URL-safe alphabet, padded with '=').
//
// Takes bytes one at a time with put() and hands out characters with get(); a group
// of 3 bytes gives 4 characters. After end() the last partial group is handed out
// with its padding. encodeChunk() pumps whole chunks; feeding a text in any number
// of chunks gives the same characters as one encode(). Plain state for one user.
#pragma once

class Base64Encode {
 public:
  explicit Base64Encode(bool url_safe = false);
  virtual ~Base64Encode() {}

  // Starts a new text (the alphabet stays). Always true.
  bool begin();
  // Takes one byte; false (nothing taken) while the group's 3 bytes are not handed out.
  bool put(unsigned char b);
  // Hands out the next character; false when there is none.
  bool get(unsigned char& c);
  // No more input: the partial group and its padding may be handed out. Always true.
  bool end();

  // Complete characters not yet handed out.
  int sizeReady() const;
  // Characters built or partly built and not yet handed out.
  int sizeTouched() const;

  // Takes in[0..inlen) and writes characters into out, whose room outlen gives;
  // outlen receives the number written. With last, the text ends with this chunk and
  // its padding is written too. False, with outlen as given, when out is too small
  // for everything this chunk produces (bytes or characters would be left behind).
  bool encodeChunk(const unsigned char* in, unsigned int inlen, unsigned char* out,
                   unsigned int& outlen, bool last);
  // end(), then writes the partial group and its padding; false when they do not fit.
  bool encodeChunkFlush(unsigned char* out, unsigned int& outlen);

  // Standard alphabet; out needs 4 × ceil(inlen / 3) characters.
  static bool encode(const unsigned char* in, unsigned int inlen, unsigned char* out,
                     unsigned int& outlen);

 private:
  // Characters get() would still hand out now.
  int pending() const;
  // Hands out characters into out[written..room).
  void drain(unsigned char* out, unsigned int room, unsigned int& written);

  const char* m_alphabet;
  unsigned char m_chars[4];
  unsigned char m_carry;
  int m_out_index;
  int m_in_count;
  bool m_end;
};
