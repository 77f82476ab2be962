#include "net/pop3/response_code.h"

#include <gtest/gtest.h>

namespace kavrel {
namespace {

TEST(ResponseCode, IsReadFromTheStartOfTheText) {
    // Texts as the session's errors hold them: the reply after "-ERR", its blank included.
    struct {
        const char* text;
        TResponseCode code;
    } const rows[] = {
        {" [LOGIN-DELAY] minimum time between logins is 15 minutes", TResponseCode::LoginDelay},
        {" [IN-USE] Do you have another POP session running?", TResponseCode::InUse},
        {" [SYS/TEMP] Temporary authentication failure.", TResponseCode::SysTemp},
        {" [SYS/PERM] Your account is locked", TResponseCode::SysPerm},
        {" [AUTH] Authentication failed.\r\n", TResponseCode::Auth},
        {"[auth] lower case", TResponseCode::Auth},
        // Codes form a hierarchy (RFC 2449 8): a deeper one keeps its parent's meaning.
        {" [SYS/TEMP/QUOTA] later", TResponseCode::SysTemp},
        {" [SYS] no kind given", TResponseCode::None},
        {" [AUTHX] another code", TResponseCode::None},
        {" [UTF8] not a failure", TResponseCode::None},
        {" Authentication failed [AUTH]", TResponseCode::None},
        {" [AUTH no closing bracket", TResponseCode::None},
        {"", TResponseCode::None},
    };
    for (const auto& r : rows) EXPECT_EQ(ResponseCodeOf(r.text), r.code) << r.text;
}

}  // namespace
}  // namespace kavrel
