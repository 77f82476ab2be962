#pragma once

#include <string>

#include "net/pop3/pop3.h"

// Signing in to an account slot: where its server is, how the connection is protected, and
// the memory of the accounts that have used TLS, whose passwords never go in clear again.
namespace kavrel {

// Points pop at slot's server, security, login and password. An account whose server offered
// STLS before requires it from now on: a man in the middle who strips STLS from the CAPA answer
// gets no password, and the log says why.
void PrepareSession(TPOP3& pop, int slot);

// After a log-in: remembers an account that used TLS. True when the session runs in clear
// and its password or token crossed the wire.
bool NoteSession(TPOP3& pop);

// The accounts that have logged in over TLS, one "host:port login" a line, in the settings
// folder beside the settings file.
std::string TLSMemoryPath();

}  // namespace kavrel
