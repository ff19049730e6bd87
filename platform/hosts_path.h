// SPDX-License-Identifier: MIT
// Where the platform keeps its hosts file. Formed afresh on each call.
#pragma once

#include <string>

// /etc/hosts on Linux. On Windows: the system directory + "\drivers\etc\hosts", UTF-8.
std::string HostsPath();
