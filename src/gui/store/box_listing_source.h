#pragma once

#include <functional>
#include <optional>

#include "core/store/file_mng.h"

class DeviceSession;

// Where the folder download dialog gets the main unit's three box listings; empty when the
// main unit could not be asked. The dialog takes it as a function so it can be tested
// without a connection.
using BoxListingSource = std::function<std::optional<voxmg::BoxListings>()>;

// The listings through the session's FTP client, back in the CP932 form the folder builder
// reads. The session must outlive the function.
BoxListingSource boxListingFrom(DeviceSession& session);
