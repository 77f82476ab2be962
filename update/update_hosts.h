#pragma once

#include <string>

// Where updates come from and where the maker's site is. Both are compiled in as placeholders
// until the project has a home of its own; a distributor points Kavrel at another server with
// the keys "updatehost" and "webhost" of section "general" in the settings file. Either may
// carry a port ("updates.example.net:8080"); the update host may be "https://host[:port]".
namespace kavrel {

// Over TLS: the version file names what is downloaded and started.
inline constexpr char kDefaultUpdateHost[] = "https://updates.kavrel.example.org";
inline constexpr char kDefaultWebHost[] = "kavrel.example.org";

struct TUpdateHosts {
    std::string UpdateHost = kDefaultUpdateHost;
    std::string WebHost = kDefaultWebHost;
};

// The hosts of this run.
const TUpdateHosts& UpdateHosts();

// Reads the two keys once at start-up, from one reading of the file; a missing or empty key,
// or a file too large to read, keeps the compiled-in host. Nothing is ever written back.
void LoadUpdateHosts(const std::string& iniPath);

// The maker's web address, as the user is sent to it: "https://" + web host + "/".
std::string WebAddress();

}  // namespace kavrel
