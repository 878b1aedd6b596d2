#include "base/text_mode_reader.h"

#include <cstdint>
#include <cstring>

namespace {

constexpr char kCtrlZ = TextModeReader::kCtrlZ;

// Index of the first LF, CR or Ctrl-Z in [data, data + size), or size. Eight bytes at a
// time: reading pieces is the whole cost of reading a file, so this loop is the hot one.
size_t FindSpecial(const char* data, size_t size) {
  constexpr uint64_t kOnes = 0x0101010101010101ULL;
  constexpr uint64_t kHighs = 0x8080808080808080ULL;
  size_t i = 0;
  for (; i + 8 <= size; i += 8) {
    uint64_t word;
    std::memcpy(&word, data + i, 8);
    const uint64_t lf = word ^ (kOnes * '\n');
    const uint64_t cr = word ^ (kOnes * '\r');
    const uint64_t eof = word ^ (kOnes * kCtrlZ);
    // A zero byte in any of the three marks a match somewhere in this word.
    const uint64_t zero =
        ((lf - kOnes) & ~lf) | ((cr - kOnes) & ~cr) | ((eof - kOnes) & ~eof);
    if (zero & kHighs) break;
  }
  for (; i < size; ++i) {
    const char c = data[i];
    if (c == '\n' || c == '\r' || c == kCtrlZ) return i;
  }
  return size;
}

}  // namespace

TextModeReader::TextModeReader(File& source) : source_(source) {}

bool TextModeReader::Fill() {
  if (atEnd_) return false;
  bool failed = false;
  base_ += end_;
  pos_ = 0;
  end_ = source_.Read(raw_, kRawBufferSize, failed);
  if (failed || end_ == 0) atEnd_ = true;
  if (failed) endReason_ = TextEnd::kReadError;
  return end_ > 0;
}

void TextModeReader::Carry(size_t count) {
  std::memcpy(line_ + lineLength_, raw_ + pos_, count);
  lineLength_ += count;
  pos_ += count;
}

void TextModeReader::Take(TextPiece& piece, size_t count, PieceEnd end) {
  if (lineLength_ == 0) {
    piece.text = std::string_view(raw_ + pos_, count);  // in place: the common case
    pos_ += count;
  } else {
    Carry(count);
    piece.text = std::string_view(line_, lineLength_);
  }
  piece.end = end;
}

bool TextModeReader::ReadPiece(TextPiece& piece) {
  const size_t offset = base_ + pos_;
  loneCr_ = std::string_view::npos;
  if (!NextPiece(piece)) return false;
  piece.offset = offset;
  piece.rawLength = base_ + pos_ - offset;
  piece.loneCr = loneCr_;
  return true;
}

bool TextModeReader::NextPiece(TextPiece& piece) {
  lineLength_ = 0;
  for (;;) {
    if (pos_ == end_ && !Fill()) {
      if (lineLength_ == 0) return false;
      Take(piece, 0, PieceEnd::kEndOfData);  // the last line had no line feed
      return true;
    }
    const size_t room = kMaxPieceLength - lineLength_;
    const size_t window = end_ - pos_ < room ? end_ - pos_ : room;
    size_t i = 0;
    for (;;) {
      i += FindSpecial(raw_ + pos_ + i, window - i);
      if (i == window) break;
      const char c = raw_[pos_ + i];
      if (c == '\n') {
        Take(piece, i, PieceEnd::kLf);
        pos_ += 1;
        return true;
      }
      if (c == kCtrlZ) {
        atEnd_ = true;
        endReason_ = TextEnd::kCtrlZ;
        end_ = pos_ + i;  // nothing from here on is read
        if (lineLength_ == 0 && i == 0) return false;
        Take(piece, i, PieceEnd::kCtrlZ);
        return true;
      }
      // A CR: with a following LF the two read as one LF; alone it is a character.
      // (The LF may lie just past the window: the pair then is the piece's last
      // character, as it is for the run-time library.)
      if (pos_ + i + 1 < end_) {
        if (raw_[pos_ + i + 1] == '\n') {
          Take(piece, i, PieceEnd::kCrLf);
          pos_ += 2;
          return true;
        }
        if (loneCr_ == std::string_view::npos) loneCr_ = lineLength_ + i;
        ++i;
        continue;
      }
      // The CR is the last byte of this raw read: look at the next one.
      Carry(i);
      ++pos_;
      if (Fill() && raw_[0] == '\n') {
        ++pos_;
        Take(piece, 0, PieceEnd::kCrLf);
        return true;
      }
      if (loneCr_ == std::string_view::npos) loneCr_ = lineLength_;
      line_[lineLength_++] = '\r';
      if (lineLength_ == kMaxPieceLength) {
        Take(piece, 0, PieceEnd::kFull);
        return true;
      }
      i = kRestart;
      break;
    }
    if (i == kRestart) continue;
    if (lineLength_ + window == kMaxPieceLength) {
      Take(piece, window, PieceEnd::kFull);  // a full piece without line feed
      return true;
    }
    Carry(window);  // the raw read ended inside the piece
  }
}
