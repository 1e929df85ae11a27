#pragma once

#include <cstddef>

#include "platform/files.h"
#include "platform/memory.h"

namespace mordelt {

// A NUL-terminated text in one heap block that grows as needed: its size stays that of the
// longest text it was asked to hold. Empty (and usable as "") before the first Assign or Append.
class TextBuffer {
 public:
  explicit TextBuffer(platform::Memory& memory) : memory_(memory) {}

  const char* c_str() const { return block_ ? block_.as<char>() : ""; }
  char* data() { return block_.as<char>(); }
  std::size_t length() const { return length_; }
  std::size_t capacity() const { return capacity_; }

  void Clear();
  // Replaces the text / adds to it. False, with the text unchanged, when memory runs out.
  [[nodiscard]] bool Assign(const char* text, std::size_t length);
  [[nodiscard]] bool Append(const char* text, std::size_t length);
  // Makes room for at least `bytes` bytes, keeping the bytes already held. False when memory runs
  // out (the buffer is unchanged then).
  [[nodiscard]] bool Reserve(std::size_t bytes);
  // Sets the length after the bytes were written through data(); writes the NUL after them.
  void SetLength(std::size_t length);

 private:
  platform::Memory& memory_;
  platform::HeapBlock block_;
  std::size_t capacity_ = 0;
  std::size_t length_ = 0;
};

enum class FileOpen {
  Opened,
  NoSuchFile,  // neither the file nor its folder exists (the system's 2 or 3)
  Refused,     // it exists but cannot be read as a text file
};

// Opens the script or path file `name` for reading as a text stream (CR LF reads as LF), sharing
// reading and writing with others, into `file`. Refused when it cannot be opened (held open by
// another program without sharing, access denied, a folder, a name no file can have) or when no
// stream can be made, and also when it is no file on a disk: a pipe, a console, a serial port or
// NUL is closed before anything is read from it, as a read may wait for ever or take what another
// program sends. A pipe's server learns who opened it, but cannot act as that user.
[[nodiscard]] FileOpen OpenTextFile(platform::Files& files, const char* name,
                                    platform::UniqueTextFile& file);

// Whether a file's first line begins with the byte-order mark of UTF-16 (FF FE or FE FF): a file
// saved as "Unicode", which holds no text of the ANSI code page. A UTF-8 mark is not one.
[[nodiscard]] bool BeginsWithUtf16Mark(const char* line);

enum class LineRead { Line, EndOfFile, ReadError, OutOfMemory };

// Reads the next line of `file` whole, however long it is, through as many fgets calls as it
// needs: the bytes up to and including the next line feed, or up to the end of the file. The
// line is the C string that the buffer then holds: a NUL byte read from the file ends it.
//
// EndOfFile when nothing was left to read. ReadError when a read failed (ferror), even after part
// of a line had arrived: that part is lost. OutOfMemory when the buffer cannot grow; the line is
// lost then.
[[nodiscard]] LineRead ReadWholeLine(platform::Files& files, platform::TextFileHandle file,
                                     TextBuffer& line);

}  // namespace mordelt
