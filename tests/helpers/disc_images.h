#pragma once

#include <string>
#include <vector>

namespace ripwarden::testing {

// Runs a tool found in PATH with its standard output silenced. Its exit code;
// 127 when it could not be run at all.
int RunTool(const std::vector<std::string>& argv);

// The smallest VIDEO_TS folder that disc authoring tools accept as a DVD:
// a video manager and one title set with one empty video sector.
void WriteMinimalVideoTs(const std::string& video_ts_folder);

// Disc images built by the real tools; each returns an empty text and prints
// why when the tool is missing or fails.
//   genisoimage -dvd-video: UDF with an ISO 9660 bridge, as on a DVD; the
//   label is at most 32 bytes, an empty one stands for none given.
std::string MakeDvdImage(const std::string& folder, const std::string& label);
//   xorriso: plain ISO 9660, an empty label giving none at all.
std::string MakeIsoImage(const std::string& folder, const std::string& label);
//   mkudffs: an empty UDF file system, whose label may hold 126 bytes.
std::string MakeUdfImage(const std::string& folder, const std::string& label);

}  // namespace ripwarden::testing
