#pragma once

#include <string>

// A server setting split into host name and port. The setting may end in ":"
// and a decimal port from 1 to 65535 ("mail.example.com:2525"); host names
// cannot hold a ":", so a setting without one keeps its meaning.
struct ServerAddress {
    std::string host;  // without the port
    int port = 0;      // the port to use; 0 when the text after ":" is no valid port
};

ServerAddress SplitServerAddress(const char* pszSetting, int nDefaultPort);
