// Reads a file the way the C run-time library's text mode presents it to fgets with a
// buffer of 260 characters, byte for byte the same on every build:
//   - CR LF becomes LF; a CR not followed by LF stays a character of its line;
//   - a Ctrl-Z (code 26) ends the file: nothing from it on is read;
//   - each piece holds at most 259 characters and ends after a line feed, so a longer
//     line arrives as several pieces;
//   - a read error ends the file after what was read before it.
#pragma once

#include <cstddef>
#include <string_view>

// Where the raw bytes come from.
class ByteSource {
 public:
  virtual ~ByteSource() = default;
  // Places up to `size` bytes in `buffer` and returns their number; 0 at the end.
  // Sets `failed` when the read failed (the bytes returned with it still count).
  virtual size_t Read(char* buffer, size_t size, bool& failed) = 0;
};

// Bytes already in memory, handed out as a file would be (the bytes are not copied).
class MemoryByteSource : public ByteSource {
 public:
  explicit MemoryByteSource(std::string_view bytes) : bytes_(bytes) {}
  size_t Read(char* buffer, size_t size, bool& failed) override;

 private:
  std::string_view bytes_;
  size_t position_ = 0;
};

// One piece as fgets would return it: its text without the final line feed, and
// whether it had one. The text may hold NUL bytes; it stays valid until the next read.
struct TextPiece {
  std::string_view text;
  bool endsWithNewline = false;
};

class TextModeReader {
 public:
  static constexpr size_t kLineBufferSize = 260;  // as passed to fgets
  static constexpr size_t kMaxPieceLength = kLineBufferSize - 1;

  explicit TextModeReader(ByteSource& source);
  TextModeReader(const TextModeReader&) = delete;
  TextModeReader& operator=(const TextModeReader&) = delete;

  // Reads the next piece; false at the end of the file.
  bool ReadPiece(TextPiece& piece);

 private:
  static constexpr size_t kRawBufferSize = size_t{64} * 1024;

  // Makes at least one more raw byte available; false at the end of the data.
  bool Fill();
  // Appends raw bytes [pos_, pos_ + count) to the piece being assembled in line_.
  void Carry(size_t count);
  // Consumes the next `count` raw bytes as the end of the piece and returns the piece.
  TextPiece Take(size_t count, bool newline);

  static constexpr size_t kRestart = static_cast<size_t>(-1);

  ByteSource& source_;
  size_t pos_ = 0;  // next unread byte in raw_
  size_t end_ = 0;  // end of valid bytes in raw_
  bool atEnd_ = false;
  char line_[kLineBufferSize];  // a piece that straddles two raw reads
  size_t lineLength_ = 0;
  char raw_[kRawBufferSize];
};
