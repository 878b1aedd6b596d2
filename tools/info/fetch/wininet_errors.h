// WinINet's error numbers as an integrator meets them: the constant's name in the SDK and
// what it usually means for a published info file.
#pragma once

#include <string>

struct WinInetErrorInfo {
  std::string name;  // "ERROR_INTERNET_CANNOT_CONNECT"; "error N" for a number not known
  std::string text;  // what it means, in a phrase
  std::string fix;   // what to do about it; empty when there is no one thing
};

// The name and meaning of `number`: a WinINet error (12001 to 12175), or one of the
// system and Winsock errors a fetch can end with.
WinInetErrorInfo DescribeWinInetError(long number);

// Whether `number` says the server's certificate was not accepted.
bool IsCertificateError(long number);
