// Process-wide pieces of the windowed program: its title, and how web pages
// and files are opened (replaceable, so that tests never start a browser).
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

// Opens a web address, a file URL or a local path with the desktop's program.
using AddressOpener = std::function<bool(const QString& address)>;
// Replaces the desktop opener; an empty function puts it back.
void SetAddressOpener(AddressOpener opener);
bool OpenAddress(const QString& address);

// The support page: oem.ini's support line, else the help page of the
// language's web values.
QString SupportAddress();
bool OpenSupportPage();

}  // namespace app
