#pragma once

// How long the dialogue waits, in seconds: for the connection, for room to
// send, and for each reply. The environment variable QUILLNET_TIMEOUT (a
// positive number of seconds) sets all three; otherwise 60, 300 and 300.
// Each wait is bounded on its own, so a large message never times out for
// being large.
struct DialogueTimeouts {
    int nConnect = 60;
    int nSend = 300;
    int nReceive = 300;

    static DialogueTimeouts FromEnvironment();
};
