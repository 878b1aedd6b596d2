#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "memory_source.h"
#include "base/text_mode_reader.h"

namespace {

// Pieces as strings, each with "\n" when it ended with a line feed. Checks on the way
// that the pieces tell truly where they lie: they cover the file from its start without
// gap, their text is the file's bytes there, their line end is what follows in the file,
// their lone CR is their first CR, and the reader ends where the file or its Ctrl-Z does.
std::vector<std::string> Pieces(const std::string& bytes, size_t chunk = 1 << 20) {
  MemorySource source(bytes, chunk);
  TextModeReader reader(source);
  std::vector<std::string> pieces;
  TextPiece piece;
  size_t next = 0;
  while (reader.ReadPiece(piece)) {
    pieces.push_back(std::string(piece.text) + (piece.EndsWithNewline() ? "\n" : ""));
    EXPECT_EQ(piece.offset, next);
    EXPECT_EQ(bytes.substr(piece.offset, piece.text.size()), piece.text);
    const std::string lineEnd =
        bytes.substr(piece.offset + piece.text.size(), piece.rawLength - piece.text.size());
    const char* const ends[] = {"\n", "\r\n", "", "", ""};
    EXPECT_EQ(lineEnd, ends[static_cast<size_t>(piece.end)]);
    EXPECT_EQ(piece.end == PieceEnd::kFull, piece.text.size() == 259);
    EXPECT_EQ(piece.loneCr, piece.text.find('\r'));
    next = piece.offset + piece.rawLength;
  }
  const size_t ctrlZ = bytes.find('\x1a');
  EXPECT_EQ(reader.End(), ctrlZ == std::string::npos ? TextEnd::kEndOfData : TextEnd::kCtrlZ);
  EXPECT_EQ(reader.Offset(), ctrlZ == std::string::npos ? bytes.size() : ctrlZ);
  return pieces;
}

// The rules written the slow, obvious way: translate the whole text, then cut it up.
std::vector<std::string> ReferencePieces(const std::string& bytes) {
  std::string text;
  for (size_t i = 0; i < bytes.size(); ++i) {
    if (bytes[i] == 26) break;
    if (bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') continue;
    text += bytes[i];
  }
  std::vector<std::string> pieces;
  std::string piece;
  for (char c : text) {
    piece += c;
    if (c == '\n' || piece.size() == 259) {
      pieces.push_back(piece);
      piece.clear();
    }
  }
  if (!piece.empty()) pieces.push_back(piece);
  return pieces;
}

using P = std::vector<std::string>;

TEST(TextModeReader, LineEndsAsTheRunTimeLibraryReadsThem) {
  EXPECT_EQ(Pieces("a\r\nb\nc"), (P{"a\n", "b\n", "c"}));
  EXPECT_EQ(Pieces("a\rb\r\n"), (P{"a\rb\n"}));        // a lone CR stays
  EXPECT_EQ(Pieces("a\r\r\nb\r"), (P{"a\r\n", "b\r"}));
  EXPECT_EQ(Pieces("\n\n"), (P{"\n", "\n"}));
  EXPECT_EQ(Pieces(""), P{});
}

TEST(TextModeReader, CtrlZEndsTheFile) {
  EXPECT_EQ(Pieces("VERSION=1\n\x1aVERSION=2\n"), (P{"VERSION=1\n"}));
  EXPECT_EQ(Pieces("ab\x1a" "cd"), (P{"ab"}));
  EXPECT_EQ(Pieces("\x1a"), P{});
  EXPECT_EQ(Pieces("a\r\x1a\n"), (P{"a\r"}));
}

TEST(TextModeReader, LongLinesArriveIn259CharacterPieces) {
  const std::string line(300, 'x');
  EXPECT_EQ(Pieces(line + "\r\n"), (P{std::string(259, 'x'), std::string(41, 'x') + "\n"}));
  // CR LF read as the 259th character still belongs to the piece.
  EXPECT_EQ(Pieces(std::string(258, 'y') + "\r\nz"), (P{std::string(258, 'y') + "\n", "z"}));
  EXPECT_EQ(Pieces(std::string(259, 'y') + "\n"), (P{std::string(259, 'y'), "\n"}));
}

TEST(TextModeReader, NulBytesAreCharactersOfTheirPiece) {
  EXPECT_EQ(Pieces(std::string("a\0b\nc", 5)), (P{std::string("a\0b\n", 4), "c"}));
}

TEST(TextModeReader, AReadErrorEndsTheFileAfterWhatWasRead) {
  MemorySource source("one\ntwo\nthree\n", 4, 6);
  TextModeReader reader(source);
  TextPiece piece;
  ASSERT_TRUE(reader.ReadPiece(piece));
  EXPECT_EQ(piece.text, "one");
  ASSERT_TRUE(reader.ReadPiece(piece));
  EXPECT_EQ(piece.text, "tw");
  EXPECT_EQ(piece.end, PieceEnd::kEndOfData);
  EXPECT_FALSE(reader.ReadPiece(piece));
  EXPECT_EQ(reader.End(), TextEnd::kReadError);
  EXPECT_EQ(reader.Offset(), 6u);
}

// Any bytes, handed over in any chunk sizes (so that pieces, CR LF pairs and Ctrl-Z
// straddle the reads), read exactly as the plain rules say.
TEST(TextModeReader, AgreesWithTheRulesOnRandomInputInRandomChunks) {
  std::mt19937 random(20261209);
  const char alphabet[] = {'a', 'b', ' ', '\r', '\n', '\r', '\n', 26, '\0', '='};
  for (int round = 0; round < 3000; ++round) {
    std::string bytes(random() % 1200, ' ');
    for (char& c : bytes) {
      // Mostly letters, so that long lines occur too.
      c = random() % 4 != 0 ? 'x' : alphabet[random() % sizeof alphabet];
    }
    if (round % 3 == 0) bytes.erase(std::remove(bytes.begin(), bytes.end(), 26), bytes.end());
    const size_t chunk = 1 + random() % 300;
    ASSERT_EQ(Pieces(bytes, chunk), ReferencePieces(bytes)) << "round " << round;
  }
}

TEST(TextModeReader, PiecesStraddlingItsOwnBufferReadWhole) {
  // Lines laid so that CR LF pairs and long lines cross the reader's 64 KiB refills.
  std::string bytes;
  while (bytes.size() < 200000) {
    bytes += std::string(bytes.size() % 517, 'q') + (bytes.size() % 3 ? "\r\n" : "\r");
  }
  EXPECT_EQ(Pieces(bytes), ReferencePieces(bytes));
  EXPECT_EQ(Pieces(bytes, 65535), ReferencePieces(bytes));
}

}  // namespace
