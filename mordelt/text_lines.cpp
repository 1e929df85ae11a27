#include "mordelt/text_lines.h"

#include <climits>
#include <cstring>
#include <utility>

namespace mordelt {
namespace {

constexpr std::size_t kFirstLineCapacity = 1024;
constexpr std::size_t kLargestBlock = platform::kImpossibleSize / 2;

}  // namespace

void TextBuffer::Clear() { SetLength(0); }

bool TextBuffer::Reserve(std::size_t bytes) {
  if (bytes <= capacity_) return true;
  std::size_t capacity = capacity_ == 0 ? kFirstLineCapacity : capacity_;
  while (capacity < bytes) {
    if (capacity > kLargestBlock) return false;
    capacity *= 2;
  }
  platform::HeapBlock grown = platform::AllocateBlock(memory_, capacity);
  if (!grown) return false;
  if (block_) std::memcpy(grown.as<char>(), block_.as<char>(), capacity_);
  block_ = std::move(grown);
  capacity_ = capacity;
  return true;
}

void TextBuffer::SetLength(std::size_t length) {
  if (!block_) return;  // nothing held: c_str() is "" already
  length_ = length;
  block_.as<char>()[length] = '\0';
}

bool TextBuffer::Assign(const char* text, std::size_t length) {
  if (!Reserve(platform::CheckedSize(length, 1, 1))) return false;
  std::memmove(block_.as<char>(), text, length);
  SetLength(length);
  return true;
}

bool TextBuffer::Append(const char* text, std::size_t length) {
  if (!Reserve(platform::CheckedSize(length, 1, length_ + 1))) return false;
  std::memmove(block_.as<char>() + length_, text, length);
  SetLength(length_ + length);
  return true;
}

FileOpen OpenTextFile(platform::Files& files, const char* name, platform::UniqueTextFile& file) {
  platform::UniqueFile handle(
      files, files.CreateFileA(name, platform::kGenericRead,
                               platform::kFileShareRead | platform::kFileShareWrite,
                               platform::kFileAttributeNormal | platform::kSecuritySqosPresent |
                                   platform::kSecurityIdentification));
  if (!handle) {
    const platform::SystemError error = files.GetLastError();
    return error == platform::kErrorFileNotFound || error == platform::kErrorPathNotFound
               ? FileOpen::NoSuchFile
               : FileOpen::Refused;
  }
  if (files.GetFileType(handle.get()) != platform::kFileTypeDisk) return FileOpen::Refused;
  file.reset(files.fdopen_r(handle.release()));
  return file ? FileOpen::Opened : FileOpen::Refused;
}

bool BeginsWithUtf16Mark(const char* line) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(line);
  if (bytes[0] == 0xFF) return bytes[1] == 0xFE;
  if (bytes[0] == 0xFE) return bytes[1] == 0xFF;
  return false;
}

LineRead ReadWholeLine(platform::Files& files, platform::TextFileHandle file, TextBuffer& line) {
  // Each fgets call fills the free part of the buffer. Its last byte is set beforehand: when the
  // call leaves that byte alone, the call ended early, at a line feed or the end of the file. A
  // call that fills the buffer ended there too only when its last byte read is a line feed. This
  // test holds even for lines with NUL bytes, where the string's length says nothing.
  std::size_t used = 0;  // bytes of the line read by the earlier calls, all of them non-final
  if (!line.Reserve(kFirstLineCapacity)) return LineRead::OutOfMemory;
  for (;;) {
    char* const start = line.data() + used;
    const std::size_t room = line.capacity() - used;
    const int size = room > INT_MAX ? INT_MAX : static_cast<int>(room);
    start[size - 1] = '\x01';
    if (files.fgets(start, size, file) == nullptr) {
      if (files.ferror(file) != 0) return LineRead::ReadError;
      if (used == 0) return LineRead::EndOfFile;
      line.data()[used] = '\0';  // what arrived is the last line; the failed call added nothing
      break;
    }
    const bool filled = start[size - 1] == '\0';
    if (!filled || (size >= 2 && start[size - 2] == '\n')) break;
    used += static_cast<std::size_t>(size) - 1;
    if (!line.Reserve(line.capacity() + 1)) return LineRead::OutOfMemory;
  }
  line.SetLength(std::strlen(line.data()));
  return LineRead::Line;
}

}  // namespace mordelt
