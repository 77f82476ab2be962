#pragma once

#include <cstdint>
#include <string>

#include "net/http/http_client.h"
#include "update/update_view.h"

// "Check for Updates": fetch the version file, compare, ask, download the installer, start it
// and end the program.
namespace kavrel {

// This build in the version file's notation, compared as text.
inline constexpr char CurrentVersion[] = "00150";

// Where the version file is kept: beside the settings file.
std::string VersionFilePath();

// Compared byte by byte; a text that begins another is the smaller.
bool IsNewerVersion(const std::string& announced, const std::string& current = CurrentVersion);

// The name the installer is asked to be saved under, from the version file's "fileName": only
// its last component, so that a hostile or spoofed server cannot write outside the download
// folder. Nothing usable gives "setup.exe".
std::string InstallerFileName(const std::string& fileName);

// Points the client at "host" or "host:port" (port 80 when none is given), or at
// "https://host[:port]" (port 443 when none is given) over TLS; "http://" may stand before
// a plain one. With tlsOnly every form is reached over TLS, on its own port if it names one.
void SetHTTPTarget(THTTPClient& http1, const std::string& server, bool tlsOnly = false);

// The command. Returns at once when Busy is set; otherwise it holds Busy and the hourglass
// until it ends, and puts both back on every path except the one that ends the program.
void UpdateExecute(THTTPClient& http1, TUpdateView& view, bool& Busy);

// The report when no version information can be had: two log lines and an OK box.
void ShowNoVersionInfo(TUpdateView& view);

// Progress of a body read of http1.
void UpdateWork(TUpdateView& view, std::int32_t AWorkCount);

}  // namespace kavrel
