#pragma once

#include <string>

namespace orvik::platform {

// Who keeps `device` from us, as a sentence for a person (see holderSentence): the live process its
// lock file names, else a process that has the device open; never this process. Empty where the
// system cannot tell (another user's processes are hidden from us, and Windows says nothing).
std::string portHolder(const std::string& device);

// Removes the lock files of `device` whose process has ended: a program that died without removing its
// lock file must not keep the device from everyone after it. Lock files of another host, or in a form
// that names no process, stay. True when one was removed.
bool removeStaleLockFiles(const std::string& device);

}  // namespace orvik::platform
