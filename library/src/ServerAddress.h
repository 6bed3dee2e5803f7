#pragma once

#include <string>

// How a session talks to its server. A plain setting ("host" or "host:port")
// keeps the classic lockstep dialogue without encryption; a URL chooses one of
// the submission modes.
enum class ServerMode {
    kPlain,       // "host[:port]": classic dialogue, no TLS, no AUTH
    kStartTls,    // "smtp+starttls://" (587) or "nntp+starttls://" (119): TLS after STARTTLS
    kImplicitTls  // "smtps://" (465) or "nntps://" (563): TLS from the first byte
};

// A server setting split into host name and port. The setting may end in ":"
// and a decimal port from 1 to 65535 ("mail.example.com:2525"); host names
// cannot hold a ":", so a setting without one keeps its meaning. An IPv6
// address is written in brackets ("[2001:db8::1]:587").
struct ServerAddress {
    std::string host;  // without the port and without brackets
    int port = 0;      // the port to use; 0 when the text after ":" is no valid port
    ServerMode mode = ServerMode::kPlain;
    bool bValid = true;  // false for a URL with an unknown scheme or one for the other protocol
};

ServerAddress SplitServerAddress(const char* pszSetting, int nDefaultPort);

// The setting of a mail (bNews false) or news server: a URL of the matching
// protocol, or a plain setting with `nPlainPort` as its default port.
ServerAddress ParseServerSetting(const char* pszSetting, bool bNews, int nPlainPort);

// True when the setting is a URL ("scheme://...").
bool IsServerUrl(const char* pszSetting);
