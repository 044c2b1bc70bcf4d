// The few object services the connector needs: a constant string to name a
// device service by, and an object's printable text.
#pragma once

#include <string>
#include <string_view>

#include "MobileDevice.h"

// The string object for a text, made once and kept for the life of the process.
CFStringRef CFStringMakeConstant(std::string_view text);

// The name of the device's file service.
CFStringRef AFCServiceName();

// What an object says about itself; "(null)" for no object.
std::string CFCopyDescriptionText(CFTypeRef object);
