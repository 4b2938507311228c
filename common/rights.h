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

// May create links in dir (/dev for virtual serial ports): access(2), so that a read-only
// mount or a directory that refuses this user counts even for root.
bool canCreateLinksIn(const QString& dir);

// Starting the program again as administrator: see AdminRestart (adminrestart.h).

} // namespace rights
