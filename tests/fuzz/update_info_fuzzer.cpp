// The update-information file: arbitrary bytes, read the way the downloaded file is read
// (ReadUpdateInfo on fake files holding them) and piece by piece through
// TextModeReader over reads of varying sizes, both checked against a plain
// implementation of the text-mode rules, with where each piece lies and how it ended;
// read once more with an observer, which must change nothing; then what the notice is
// made of.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "fake_system.h"
#include "fuzz_support.h"
#include "update/info_file.h"
#include "update/notice_text.h"
#include "base/text_mode_reader.h"

namespace {

constexpr size_t kNoFailure = static_cast<size_t>(-1);
constexpr char kCtrlZ = 26;
const ProgramVersion kInstalled{3.0, 20};

struct Piece {
  std::string_view text;
  bool newline = false;
  bool operator==(const Piece& other) const {
    return text == other.text && newline == other.newline;
  }
};

// The rules, one character at a time: nothing from the first Ctrl-Z on; CR LF reads as
// LF, any other CR stays; a piece ends after a line feed or when it holds 259
// characters, the line feed included. The pieces point into `text`.
FUZZ_UNTRACED std::vector<Piece> ReferencePieces(std::string_view bytes, std::string& text) {
  text.clear();
  for (size_t i = 0; i < bytes.size() && bytes[i] != kCtrlZ; ++i) {
    if (bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') continue;
    text += bytes[i];
  }
  std::vector<Piece> pieces;
  size_t start = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\n') {
      pieces.push_back(Piece{std::string_view(text).substr(start, i - start), true});
      start = i + 1;
    } else if (i + 1 - start == TextModeReader::kMaxPieceLength) {
      pieces.push_back(Piece{std::string_view(text).substr(start, i + 1 - start), false});
      start = i + 1;
    }
  }
  if (start < text.size()) pieces.push_back(Piece{std::string_view(text).substr(start), false});
  return pieces;
}

// Hands the bytes out in reads of two alternating sizes, and fails at `failAt` (the
// bytes returned with the failure still count). Reading on after the end is an error.
class ChunkSource : public File {
 public:
  ChunkSource(std::string_view bytes, size_t first, size_t second, size_t failAt)
      : bytes_(bytes), sizes_{first, second}, failAt_(failAt) {}

  FUZZ_UNTRACED size_t Read(char* buffer, size_t size, bool& failed) override {
    FUZZ_CHECK(!ended_);
    size_t count = std::min({bytes_.size() - position_, size, sizes_[turn_]});
    turn_ ^= 1;
    failed = false;
    if (failAt_ != kNoFailure && position_ + count >= failAt_) {
      count = failAt_ - position_;
      failed = true;
    }
    std::memcpy(buffer, bytes_.data() + position_, count);
    position_ += count;
    ended_ = failed || count == 0;
    return count;
  }

 private:
  std::string_view bytes_;
  size_t sizes_[2];
  size_t turn_ = 0;
  size_t failAt_;
  size_t position_ = 0;
  bool ended_ = false;
};

// A piece's text is the file's bytes where it says it lies, right after the previous
// piece, followed by the line end it names; its lone CR is its first CR.
FUZZ_UNTRACED void CheckWhereThePieceLies(std::string_view file, const TextPiece& piece,
                                          size_t next) {
  FUZZ_CHECK(piece.offset == next);
  FUZZ_CHECK(file.substr(piece.offset, piece.text.size()) == piece.text);
  const std::string_view lineEnd =
      file.substr(piece.offset + piece.text.size(), piece.rawLength - piece.text.size());
  switch (piece.end) {
    case PieceEnd::kLf:
      FUZZ_CHECK(lineEnd == "\n");
      break;
    case PieceEnd::kCrLf:
      FUZZ_CHECK(lineEnd == "\r\n");
      break;
    case PieceEnd::kFull:
      FUZZ_CHECK(lineEnd.empty() && piece.text.size() == TextModeReader::kMaxPieceLength);
      break;
    case PieceEnd::kCtrlZ:
      FUZZ_CHECK(lineEnd.empty() && file[piece.offset + piece.rawLength] == kCtrlZ);
      break;
    case PieceEnd::kEndOfData:
      FUZZ_CHECK(lineEnd.empty());
      break;
  }
  FUZZ_CHECK(piece.loneCr == piece.text.find('\r'));
}

// Sees the pieces ReadUpdateInfoText applies, and the state each finds.
class Recorder : public InfoReadObserver {
 public:
  explicit Recorder(const ProgramVersion& installed) { applied_.newest = installed; }
  void OnPiece(const TextPiece& piece, const UpdateInfo& info) override {
    FUZZ_CHECK(info.newest.version == applied_.newest.version &&
               info.newest.build == applied_.newest.build && info.messages == applied_.messages);
    ApplyInfoLine(piece.text, applied_);
    ++pieces;
  }
  void OnEnd(const TextModeReader& /*reader*/) override { ++ends; }
  size_t pieces = 0;
  size_t ends = 0;

 private:
  UpdateInfo applied_;
};

void CheckMessage(const std::string& message) {
  FUZZ_CHECK(message.size() <= kMaxMessageLength);
  FUZZ_CHECK(message.find_first_of(std::string("\n\0\x1a", 3)) == std::string::npos);
  FUZZ_CHECK(message.empty() || message[0] != ' ');
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // The last bytes steer the reading; the rest is the file.
  FuzzedDataProvider provider(data, size);
  size_t firstRead = provider.ConsumeIntegral<uint8_t>() + size_t{1};
  size_t secondRead = provider.ConsumeIntegral<uint8_t>() + size_t{1};
  const uint8_t repeat = provider.ConsumeIntegral<uint8_t>();
  const bool fails = provider.ConsumeBool();
  const uint32_t failOffset = provider.ConsumeIntegral<uint32_t>();
  const std::string text = provider.ConsumeRemainingBytesAsString();

  // Now and then the text over and over, for files past the reader's 64 KiB raw buffer
  // and messages past their limit.
  std::string file = text;
  if (repeat >= 250 && !text.empty()) {
    while (file.size() < kMaxMessageLength + 4096) file += text;
    firstRead *= 509;  // reads of a few bytes would only slow the run
    secondRead *= 509;
  }
  const size_t failAt = fails ? failOffset % (file.size() + 1) : kNoFailure;
  std::string translated;
  const std::vector<Piece> expected = ReferencePieces(
      std::string_view(file).substr(0, std::min(failAt, file.size())), translated);

  // The reader itself, over reads of every size.
  ChunkSource source(file, firstRead, secondRead, failAt);
  TextModeReader reader(source);
  size_t count = 0;
  size_t next = 0;
  TextPiece piece;
  while (reader.ReadPiece(piece)) {
    FUZZ_CHECK(count < expected.size());
    FUZZ_CHECK((Piece{piece.text, piece.EndsWithNewline()} == expected[count]));
    CheckWhereThePieceLies(file, piece, next);
    next = piece.offset + piece.rawLength;
    ++count;
  }
  FUZZ_CHECK(count == expected.size());
  const size_t ctrlZ = file.find(kCtrlZ);
  if (ctrlZ < std::min(failAt, file.size())) {
    FUZZ_CHECK(reader.End() == TextEnd::kCtrlZ && reader.Offset() == ctrlZ);
  } else {
    FUZZ_CHECK(reader.End() == (fails ? TextEnd::kReadError : TextEnd::kEndOfData));
    FUZZ_CHECK(reader.Offset() == std::min(failAt, file.size()));
  }

  // The real path: the file read through the program's file access.
  CallLog log;
  FakeFiles files(log);
  const std::string path = "C:\\Apps\\Writer\\info.txt";
  files.files[path] = file;
  if (fails) files.readFailsAt = failAt;
  const UpdateInfo info = ReadUpdateInfo(files, path, kInstalled);
  FUZZ_CHECK(files.files.count(path) == 0);

  UpdateInfo fromPieces;
  fromPieces.newest = kInstalled;
  for (const Piece& p : expected) ApplyInfoLine(p.text, fromPieces);
  FUZZ_CHECK(info.newest.version == fromPieces.newest.version);
  FUZZ_CHECK(info.newest.build == fromPieces.newest.build);
  FUZZ_CHECK(info.messages == fromPieces.messages);

  // Watching the reading changes nothing of it.
  ChunkSource again(file, firstRead, secondRead, failAt);
  UpdateInfo watched;
  watched.newest = kInstalled;
  Recorder recorder(kInstalled);
  ReadUpdateInfoText(again, watched, &recorder);
  FUZZ_CHECK(recorder.pieces == expected.size() && recorder.ends == 1);
  FUZZ_CHECK(watched.newest.version == info.newest.version &&
             watched.newest.build == info.newest.build && watched.messages == info.messages);

  // What the notice is made of.
  FUZZ_CHECK(std::isfinite(info.newest.version));
  for (const std::string& message : info.messages) CheckMessage(message);
  // Of two equal versions at most one is newer, by its build.
  FUZZ_CHECK(!IsNewerVersion(info.newest, info.newest));
  if (info.newest.version == kInstalled.version) {
    FUZZ_CHECK(!(IsNewerVersion(info.newest, kInstalled) && IsNewerVersion(kInstalled, info.newest)));
  }
  FUZZ_CHECK(FormatDisplayVersion(info.newest) == ExpectedDisplayVersion(info.newest));
  const std::string notice = ComposeNoticeText(info.messages);
  size_t length = 0;
  size_t shown = 0;
  for (const std::string& message : info.messages) {
    if (message.empty()) continue;
    if (shown++ == 0) FUZZ_CHECK(StartsWith(notice, message));
    length += message.size();
  }
  FUZZ_CHECK(notice.size() == length + (shown > 1 ? 4 * (shown - 1) : 0));
  if (!info.messages[2].empty()) FUZZ_CHECK(EndsWith(notice, info.messages[2]));
  return 0;
}
