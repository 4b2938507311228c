#pragma once

#include <QString>

// Rights the tools need beyond an ordinary user's, and how to get them.
namespace rights {

// Started set-user-ID or set-group-ID: real and effective ids differ.
bool startedSetId();

// Effective user root: may create links under /dev.
bool isAdministrator();

// May open raw packet sockets: root, or the CAP_NET_RAW capability (set on the file by the package).
bool hasRawNetworkRights();

// Starts this program again through pkexec with the same arguments; the caller then quits.
// False with a text when pkexec is missing or could not be started.
bool restartAsAdministrator(QString* error);

} // namespace rights
