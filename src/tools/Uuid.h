#pragma once

#include <string>

namespace Uuid {

// A fresh random (version 4) UUID in its canonical 36-character upper-case form, for folder
// names that must never collide: a download's work folder, an update's staging folder.
std::string random();

} // namespace Uuid
