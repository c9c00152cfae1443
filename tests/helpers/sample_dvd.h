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

// A series disc made the same way, labelled "MY SERIES": episodes of 12, 14
// and 16 s as titles 1 to 3 (English and French sound, an English subtitle),
// title 4 playing all three, title 5 episode 1 again.
std::string SampleSeriesDvdImage();

}  // namespace ripwarden::testing
