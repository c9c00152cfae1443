#pragma once

#include <string>

namespace ripwarden::testing {

// An unencrypted PAL DVD image holding one title of `seconds` seconds (test
// pattern and tone) under the volume label `label` (1 to 32 bytes), made by
// scripts/make-sample-dvd.sh. Each image is made once per build tree and
// shared by every test program in it, including ones running at the same
// time; a later edit of the script makes it anew. Throws when it cannot be
// made, missing tools included, so that a test never passes without it.
std::string SampleDvdImage(int seconds, const std::string& label);

}  // namespace ripwarden::testing
