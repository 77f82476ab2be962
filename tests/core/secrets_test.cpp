#include "core/secrets.h"

#include <gtest/gtest.h>

#include "config/settings.h"
#include "config/u_globals.h"
#include "core/memory_secret_store.h"
#include "tests/support/temp_dir.h"

namespace kavrel {
namespace {

using test::ReadFile;

// With the option on, a password lives in the keyring only; a keyring that cannot take it stops
// the save instead of leaving it in the file; turned off, the file holds it again and the
// keyring lets it go.
TEST(Secrets, PasswordsKeptInTheKeyringNeverReachTheFile) {
    test::TTempDir dir;
    test::TScopedEnv config("XDG_CONFIG_HOME", dir.path());
    IniPath = dir / "kavrel.ini";
    auto owned = std::make_unique<TMemorySecretStore>();
    TMemorySecretStore& store = *owned;
    SetSecrets(std::move(owned));
    Settings = PW_SETTINGS_TYPE{};
    Settings.Server[1] = "pop.example.org";
    Settings.Account[1] = "ann";
    Settings.Password[1] = "hunter2";
    Settings.PasswordsInKeyring = true;

    SaveSettingsAndSecrets(false);
    EXPECT_EQ(ReadFile(IniPath).find("hunter2"), std::string::npos);
    EXPECT_EQ(store.Lookup(PasswordKey(1)), "hunter2");
    Settings = PW_SETTINGS_TYPE{};
    LoadSettings();
    EXPECT_EQ(Settings.Password[1], "");
    EXPECT_EQ(PasswordOf(1), "hunter2");

    store.Unavailable = "nobody answers";
    Settings.Password[1] = "changed";
    EXPECT_THROW(SaveSettingsAndSecrets(true), ESettingsSaveError);
    EXPECT_EQ(ReadFile(IniPath).find("changed"), std::string::npos);

    store.Unavailable.reset();
    Settings.PasswordsInKeyring = false;
    SaveSettingsAndSecrets(true);
    EXPECT_NE(ReadFile(IniPath).find("pw1=changed\n"), std::string::npos);
    EXPECT_TRUE(store.Secrets().empty());
    SetSecrets(nullptr);
}

}  // namespace
}  // namespace kavrel
