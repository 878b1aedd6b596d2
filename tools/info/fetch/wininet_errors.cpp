#include "tools/info/fetch/fetch_report.h"

namespace {

struct Entry {
  long number;
  const char* name;
  const char* text;
  const char* fix = "";
};

// The errors a fetch of one URL can end with; the texts say what to look at first.
constexpr Entry kErrors[] = {
    {12001, "ERROR_INTERNET_OUT_OF_HANDLES", "WinINet ran out of handles"},
    {12002, "ERROR_INTERNET_TIMEOUT",
     "the server did not answer in time (or the fetch deadline passed)"},
    {12003, "ERROR_INTERNET_EXTENDED_ERROR", "the server sent an error of its own"},
    {12004, "ERROR_INTERNET_INTERNAL_ERROR", "an internal error in WinINet"},
    {12005, "ERROR_INTERNET_INVALID_URL", "the URL is malformed"},
    {12006, "ERROR_INTERNET_UNRECOGNIZED_SCHEME",
     "the URL's scheme is not http or https (or is misspelt)"},
    {12007, "ERROR_INTERNET_NAME_NOT_RESOLVED",
     "the server's name could not be resolved: a wrong host name in the URL, no DNS, or "
     "a network that reaches the Internet only through a proxy",
     "check the host name in the URL, and the machine's DNS and proxy settings"},
    {12017, "ERROR_INTERNET_OPERATION_CANCELLED", "the request was cancelled"},
    {12029, "ERROR_INTERNET_CANNOT_CONNECT",
     "no connection to the server could be made: nothing listens at that host and port, "
     "or a firewall blocks it",
     "check that the server runs there and that no firewall blocks the connection"},
    {12030, "ERROR_INTERNET_CONNECTION_ABORTED", "the connection was aborted"},
    {12031, "ERROR_INTERNET_CONNECTION_RESET", "the server reset the connection"},
    {12033, "ERROR_INTERNET_INVALID_PROXY_REQUEST", "the proxy refused the request"},
    {12037, "ERROR_INTERNET_SEC_CERT_DATE_INVALID",
     "the server's certificate has expired or is not valid yet (or the machine's clock is "
     "wrong)",
     "renew the server's certificate, or set the machine's clock"},
    {12038, "ERROR_INTERNET_SEC_CERT_CN_INVALID",
     "the server's certificate is for another host name than the URL's",
     "serve a certificate made out to the URL's host name"},
    {12039, "ERROR_INTERNET_HTTP_TO_HTTPS_ON_REDIR", "a redirect from http to https"},
    {12040, "ERROR_INTERNET_HTTPS_TO_HTTP_ON_REDIR", "a redirect from https to http"},
    {12044, "ERROR_INTERNET_CLIENT_AUTH_CERT_NEEDED",
     "the server asks for a client certificate"},
    {12045, "ERROR_INTERNET_INVALID_CA",
     "the server's certificate is issued by an authority this machine does not trust "
     "(self-signed, a private CA, a missing intermediate certificate, or a proxy that "
     "inspects https)",
     "have the server send its intermediate certificates, or trust the private CA on this "
     "machine"},
    {12055, "ERROR_INTERNET_SEC_CERT_ERRORS", "the server's certificate has errors"},
    {12056, "ERROR_INTERNET_SEC_CERT_NO_REV", "the certificate's revocation is unknown"},
    {12057, "ERROR_INTERNET_SEC_CERT_REV_FAILED",
     "the server's certificate could not be checked for revocation: Windows could not "
     "reach the revocation server (CRL or OCSP) that the certificate names, most often "
     "because a proxy or firewall blocks it (Wine reports a certificate of an authority "
     "this machine does not trust so, too)",
     "let this machine reach the certificate authority's CRL and OCSP addresses (through "
     "the proxy, where there is one), or serve a certificate whose revocation servers it "
     "can reach"},
    {12152, "ERROR_HTTP_INVALID_SERVER_RESPONSE", "the server's answer is not valid HTTP"},
    {12156, "ERROR_HTTP_REDIRECT_FAILED", "a redirect could not be followed"},
    {12157, "ERROR_INTERNET_SECURITY_CHANNEL_ERROR",
     "the TLS handshake failed: the server and this machine share no TLS version or "
     "cipher suite (a server that speaks only TLS 1.3, which Windows 10 lacks, or only "
     "suites Schannel lacks or keeps off, such as ChaCha20 and DHE), or the connection "
     "broke during it",
     "enable TLS 1.2 on the server with ECDHE and AES-GCM suites (falwick-info check URL "
     "names what the server refuses)"},
    {12163, "ERROR_INTERNET_DISCONNECTED", "the machine is not connected to a network"},
    {12164, "ERROR_INTERNET_SERVER_UNREACHABLE", "the server is unreachable"},
    {12165, "ERROR_INTERNET_PROXY_SERVER_UNREACHABLE", "the proxy server is unreachable"},
    {12166, "ERROR_INTERNET_BAD_AUTO_PROXY_SCRIPT", "the proxy auto-configuration script fails"},
    {12167, "ERROR_INTERNET_UNABLE_TO_DOWNLOAD_SCRIPT",
     "the proxy auto-configuration script could not be downloaded"},
    {12169, "ERROR_INTERNET_SEC_INVALID_CERT", "the server's certificate is invalid"},
    {12170, "ERROR_INTERNET_SEC_CERT_REVOKED", "the server's certificate has been revoked"},
    {12175, "ERROR_INTERNET_DECODING_FAILED", "the answer's content encoding could not be decoded"},
    // System and Winsock errors that reach a fetch.
    {5, "ERROR_ACCESS_DENIED", "access denied"},
    {10053, "WSAECONNABORTED", "the connection was aborted on this machine"},
    {10054, "WSAECONNRESET", "the server reset the connection"},
    {10060, "WSAETIMEDOUT", "the connection timed out"},
};

constexpr long kCertificateErrors[] = {12037, 12038, 12045, 12055, 12056, 12057, 12169, 12170};

}  // namespace

WinInetErrorInfo DescribeWinInetError(long number) {
  for (const Entry& entry : kErrors) {
    if (entry.number == number) return {entry.name, entry.text, entry.fix};
  }
  const bool wininet = number >= 12000 && number < 12200;
  return {"error " + std::to_string(number), wininet ? "a WinINet error" : "a system error", ""};
}

bool IsCertificateError(long number) {
  for (const long certificate : kCertificateErrors) {
    if (certificate == number) return true;
  }
  return false;
}
