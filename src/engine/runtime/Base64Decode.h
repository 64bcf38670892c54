// Streaming Base64 decoder accepting both the standard and the URL-safe alphabet,
// mixed freely.
//
// Takes characters one at a time with put() and hands out bytes with get(); a group
// of 4 characters gives 3 bytes. A '=' ends the text: the group keeps the bytes of
// the characters before it and nothing more is taken until begin(). Input without
// padding yields its complete bytes. Plain state for one user.
#pragma once

class Base64Decode {
 public:
  Base64Decode();
  virtual ~Base64Decode() {}

  // Starts a new text. Always true.
  bool begin();
  // Takes one character; false (nothing taken) while the group's 4 characters are not
  // handed out, after a '=', and for any character outside both alphabets and '='.
  bool put(unsigned char c);
  // Hands out the next ready byte; false when there is none.
  bool get(unsigned char& b);

  // Complete bytes not yet handed out.
  int sizeReady() const;
  // Bytes built or partly built and not yet handed out.
  int sizeTouched() const;
  // 0 while the group holds no character, else 3 minus the bytes handed out.
  int sizePending() const;

  // Takes in[0..inlen) and writes bytes into out, whose room outlen gives; outlen
  // receives the number written. White space (line breaks) is skipped, and so is
  // further padding after a '='. False when the text holds any other character
  // outside the alphabets, text after its padding, or when out is too small for the
  // bytes of this chunk. flush has no effect.
  bool decodeChunk(const unsigned char* in, unsigned int inlen, unsigned char* out,
                   unsigned int& outlen, bool flush);
  // Writes bytes that a too small out left behind; false when they do not fit either.
  bool decodeChunkFlush(unsigned char* out, unsigned int& outlen);

  // A fresh decoder over the whole text. 3 × ceil(inlen / 4) bytes are always enough.
  static bool decode(const unsigned char* in, unsigned int inlen, unsigned char* out,
                     unsigned int& outlen);

 private:
  void drain(unsigned char* out, unsigned int room, unsigned int& written);

  unsigned char m_bytes[3];
  unsigned char m_carry;
  int m_out_index;
  int m_in_count;
  bool m_pad;
};
