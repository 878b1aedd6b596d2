// Files on Windows: GetModuleFileNameW and GetTempPathW spelled for the ANSI functions,
// GetFullPathNameW with CompareStringOrdinal, the file's id by handle, DeleteFileA,
// CreateFileA, GetDiskFreeSpaceExA, GetFileAttributesExA and the run-time library's
// streams.
#pragma once

#include <string>

#include "platform/files.h"
#include "platform/path_spelling.h"

// The ANSI code page of this process's system (CP_ACP) and the file system's short names.
class Win32PathNames final : public PathNames {
 public:
  std::string ToAnsi(std::u16string_view path) const override;
  std::u16string FromAnsi(std::string_view path) const override;
  std::u16string ShortForm(const std::u16string& path) const override;
};

// `path` spelled for the ANSI functions (SpellForAnsi over Win32PathNames); none when the
// spelling is too long for them.
std::optional<SpelledPath> SpellPath(const std::u16string& path);

// The user's temporary directory as Win32Files::TempDirectory spells it, ending in a
// backslash; none when it cannot be had.
std::optional<SpelledPath> SpelledTempDirectory();

class Win32Files : public Files {
 public:
  std::optional<std::string> ModulePath() override;
  std::optional<std::string> TempDirectory() override;
  bool SameName(const std::string& a, const std::string& b) override;
  std::optional<FileId> Identify(const std::string& path) override;
  bool Delete(const std::string& path) override;
  std::unique_ptr<File> OpenForReading(const std::string& path) override;
  std::unique_ptr<File> OpenForWriting(const std::string& path) override;
  bool CreatePlaceholder(const std::string& path) override;
  bool FreeSpace(const std::string& directory, uint64_t& freeBytes) override;
  bool FileSize(const std::string& path, uint64_t& size) override;
};
