#include "platform/files.h"

bool NameOneFile(Files& files, const std::string& a, const std::string& b) {
  if (files.SameName(a, b)) return true;
  // Other names of one file - its 8.3 name, a link, its data stream - differ as text;
  // the volume tells them apart only where the file exists, which is where it matters.
  const std::optional<FileId> first = files.Identify(a);
  if (!first) return false;
  const std::optional<FileId> second = files.Identify(b);
  return second && *first == *second;
}
