// Reads a file the way the C run-time library's text mode presents it to fgets with a
// buffer of 260 characters, byte for byte the same on every build:
//   - CR LF becomes LF; a CR not followed by LF stays a character of its line;
//   - a Ctrl-Z (code 26) ends the file: nothing from it on is read;
//   - each piece holds at most 259 characters and ends after a line feed, so a longer
//     line arrives as several pieces;
//   - a read error ends the file after what was read before it.
// Each piece also tells how it ended and where it lies in the file, for tools that show
// what the program reads; the program itself needs only its text.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "base/file.h"

// How a piece ended.
enum class PieceEnd : uint8_t {
  kLf,         // a line feed
  kCrLf,       // CR LF, which reads as one line feed
  kFull,       // 259 characters without a line feed: the line goes on in the next piece
  kCtrlZ,      // a Ctrl-Z, which ends the file
  kEndOfData,  // the end of the data (or a read error) without a line feed
};

// Why the file ended, once ReadPiece has returned false.
enum class TextEnd : uint8_t { kEndOfData, kCtrlZ, kReadError };

// One piece as fgets would return it: its text without the final line feed, and where it
// lies in the file. The text may hold NUL bytes; it stays valid until the next read.
// Every field is filled in by ReadPiece (no start values: they would cost the program).
struct TextPiece {
  std::string_view text;
  PieceEnd end;
  size_t offset;     // of its first byte in the file
  size_t rawLength;  // bytes of the file it took, its line end included
  size_t loneCr;     // index in `text` of its first CR that no LF followed (a CR that
                     // ended no line), or npos
  bool EndsWithNewline() const { return end == PieceEnd::kLf || end == PieceEnd::kCrLf; }
};

class TextModeReader {
 public:
  static constexpr size_t kLineBufferSize = 260;  // as passed to fgets
  static constexpr size_t kMaxPieceLength = kLineBufferSize - 1;
  static constexpr char kCtrlZ = 26;  // ends the file

  explicit TextModeReader(File& source);
  TextModeReader(const TextModeReader&) = delete;
  TextModeReader& operator=(const TextModeReader&) = delete;

  // Reads the next piece; false at the end of the file.
  bool ReadPiece(TextPiece& piece);

  // Why the file ended and where: the offset of the Ctrl-Z, or how many bytes were read.
  // Meaningful once ReadPiece has returned false.
  TextEnd End() const { return endReason_; }
  size_t Offset() const { return base_ + pos_; }

 private:
  static constexpr size_t kRawBufferSize = size_t{64} * 1024;

  bool NextPiece(TextPiece& piece);
  // Makes at least one more raw byte available; false at the end of the data.
  bool Fill();
  // Appends raw bytes [pos_, pos_ + count) to the piece being assembled in line_.
  void Carry(size_t count);
  // Consumes the next `count` raw bytes as the end of the piece and makes it `piece`.
  void Take(TextPiece& piece, size_t count, PieceEnd end);

  static constexpr size_t kRestart = static_cast<size_t>(-1);

  File& source_;
  size_t base_ = 0;  // offset in the file of raw_[0]
  size_t pos_ = 0;   // next unread byte in raw_
  size_t end_ = 0;   // end of valid bytes in raw_
  bool atEnd_ = false;
  TextEnd endReason_ = TextEnd::kEndOfData;
  size_t loneCr_ = std::string_view::npos;  // of the piece being assembled
  char line_[kLineBufferSize];  // a piece that straddles two raw reads
  size_t lineLength_ = 0;
  char raw_[kRawBufferSize];
};
