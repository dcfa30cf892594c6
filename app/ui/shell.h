// Process-wide pieces of the windowed program: its title, how web pages and
// files are opened and how the power-off command is run (both replaceable,
// so that tests never start a browser nor power the machine off).
#pragma once

#include <QString>

#include <functional>
#include <string>

namespace app {

// The program's title: the localized "ProductName", or the partner's
// ProductName of oem.ini when that is set.
QString ComposeWindowTitle();
// The title kept at start for the main window and the about box; composed
// on first use when nobody set it.
QString WindowTitle();
void SetWindowTitle(const QString& title);

// The image string of a picture that oem.ini names: an image string as it
// stands, else a file of the file system (absolute, or in the install
// folder), else a picture of the skin.
QString PartnerImage(const std::string& value);

// Opens a web address, a file URL or a local path with the desktop's program;
// false when nothing on the desktop can open it (xdg-open found no program,
// or there is no opener at all).
using AddressOpener = std::function<bool(const QString& address)>;
// Replaces the desktop opener; an empty function puts it back.
void SetAddressOpener(AddressOpener opener);
bool OpenAddress(const QString& address);

// Runs the install's power-off command once every conversion has ended well.
using PowerOffRunner = std::function<void(const std::string& command)>;
// Replaces the default runner; an empty function puts it back.
void SetPowerOffRunner(PowerOffRunner runner);
void RunPowerOff(const std::string& command);
// The default runner: the command through /bin/sh -c, detached, so that it
// outlives the program; false (and logged) when it cannot be started.
bool StartDetachedShellCommand(const std::string& command);

// The support page: oem.ini's support line, else the help page of the
// language's web values.
QString SupportAddress();
bool OpenSupportPage();

}  // namespace app
