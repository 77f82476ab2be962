#pragma once

#include <string_view>

namespace kavrel {

// The code in brackets that opens a -ERR text (RFC 2449 section 8, RFC 3206): what a caller
// needs to tell "try again later" from "the password is wrong" without reading prose.
enum class TResponseCode {
    None,        // no code, or one this program does not know
    LoginDelay,  // [LOGIN-DELAY]: logged in too soon after the last time
    InUse,       // [IN-USE]: another session holds the mailbox
    SysTemp,     // [SYS/TEMP]: a passing fault of the server
    SysPerm,     // [SYS/PERM]: a lasting fault of the server
    Auth,        // [AUTH]: the credentials were refused
};

// The code at the start of a reply's text (blanks before it allowed, case ignored), e.g. of
// the message of a refused login: ResponseCodeOf(" [IN-USE] Do you have another POP
// session running?") is TResponseCode::InUse.
TResponseCode ResponseCodeOf(std::string_view AText);

}  // namespace kavrel
