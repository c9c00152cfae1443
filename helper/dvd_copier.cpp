#include "helper/dvd_copier.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <system_error>
#include <vector>

#include "helper/output_file.h"

namespace ripwarden::helper {

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr int kChunkBlocks = 512;
constexpr int kTries = 3;
constexpr std::int64_t kMiB = 1024 * 1024;

// One file of the source, copied into one or more files of the copy.
struct Piece {
  int title_set;
  DvdFileKind kind;
  std::unique_ptr<DvdFile> file;
};

std::string CopyName(int title_set, DvdFileKind kind, int part) {
  const char* extension = kind == DvdFileKind::kInfo ? "IFO" : kind == DvdFileKind::kBackup ? "BUP" : "VOB";
  char name[32];
  if (title_set == 0) {
    std::snprintf(name, sizeof name, "VIDEO_TS.%s", extension);
  } else {
    std::snprintf(name, sizeof name, "VTS_%02d_%d.%s", title_set, kind == DvdFileKind::kTitle ? part : 0,
                  extension);
  }
  return name;
}

class Progress {
 public:
  Progress(std::int64_t total, int title_sets, const std::function<void(const std::string&)>& say)
      : total_(total), title_sets_(title_sets), say_(say), start_(Clock::now()), last_(start_) {}

  void Advance(std::int64_t bytes, int title_set) {
    done_ += bytes;
    const auto now = Clock::now();
    if (now - last_ < std::chrono::milliseconds(500) && done_ < total_) return;
    last_ = now;
    const double seconds = std::chrono::duration<double>(now - start_).count();
    const double rate = seconds > 0 ? static_cast<double>(done_) / seconds : 0;
    // Rounded down so that 100 means done.
    const double percent =
        total_ > 0 ? std::floor(static_cast<double>(done_) * 10000 / static_cast<double>(total_)) / 100 : 100;
    const long eta = rate > 0 ? std::lround(static_cast<double>(total_ - done_) / rate) : 0;
    char line[128];
    std::snprintf(line, sizeof line,
                  "Copying: title set %d of %d, %.2f %% (%.1f MB/s, ETA %02ldh%02ldm%02lds)", title_set,
                  title_sets_, percent, rate / kMiB, eta / 3600, eta / 60 % 60, eta % 60);
    say_(line);
  }

 private:
  std::int64_t total_;
  int title_sets_;
  const std::function<void(const std::string&)>& say_;
  Clock::time_point start_;
  Clock::time_point last_;
  std::int64_t done_ = 0;
};

// Returns how many blocks could not be read; those are zeros in `out`, so
// that every later byte of the copy stays where the disc has it.
int ReadChunk(DvdFile& file, std::int64_t first, int count, unsigned char* out) {
  for (int attempt = 0; attempt < kTries; ++attempt) {
    if (file.Read(first, count, out)) return 0;
  }
  int unreadable = 0;
  for (int block = 0; block < count; ++block) {
    unsigned char* at = out + static_cast<std::ptrdiff_t>(block) * kBlockBytes;
    if (!file.Read(first + block, 1, at)) {
      std::memset(at, 0, kBlockBytes);
      ++unreadable;
    }
  }
  return unreadable;
}

}  // namespace

int CopyDvd(DvdSource& source, const fs::path& requested_folder,
            const std::function<void(const std::string&)>& say, const CopyOptions& options) {
  const fs::path folder = requested_folder.has_filename() ? requested_folder : requested_folder.parent_path();
  const int title_sets = source.TitleSets();
  std::vector<Piece> pieces;
  std::int64_t total = 0;
  for (int set = 0; set <= title_sets; ++set) {
    for (const DvdFileKind kind :
         {DvdFileKind::kInfo, DvdFileKind::kBackup, DvdFileKind::kMenu, DvdFileKind::kTitle}) {
      if (set == 0 && kind == DvdFileKind::kTitle) continue;
      auto file = source.Open(set, kind);
      if (!file && kind == DvdFileKind::kInfo) {
        say("Error: The disc's " + CopyName(set, kind, 0) + " cannot be opened.");
        return kCopyUnreadableSource;
      }
      if (!file || file->Blocks() <= 0) continue;
      total += file->Blocks() * kBlockBytes;
      pieces.push_back({set, kind, std::move(file)});
    }
  }
  say("Size: " + std::to_string(total));

  std::error_code error;
  const fs::path parent = folder.has_parent_path() ? folder.parent_path() : fs::path(".");
  const auto space = fs::space(parent, error);
  const std::int64_t needed = total + std::max<std::int64_t>(64 * kMiB, total / 50);
  if (!error && static_cast<std::uintmax_t>(needed) > space.available) {
    say("Error: Not enough space for a copy: it needs " + std::to_string((needed + kMiB - 1) / kMiB) +
        " MB and the work folder has " + std::to_string(space.available / kMiB) + " MB free.");
    return kCopyNoSpace;
  }

  std::string why;
  const auto not_written = [&say](const std::string& reason) {
    say("Error: The copy could not be written: " + reason);
    return kCopyNotWritten;
  };
  const fs::path video_ts = folder / "VIDEO_TS";
  for (const fs::path& made : {folder, video_ts}) {
    if (!fs::create_directory(made, error)) {
      return not_written(error ? error.message() : std::make_error_code(std::errc::file_exists).message());
    }
  }

  Progress progress(total, title_sets, say);
  std::vector<unsigned char> buffer(static_cast<std::size_t>(kChunkBlocks) * kBlockBytes);
  std::int64_t unreadable = 0;
  std::vector<fs::path> written;
  for (Piece& piece : pieces) {
    const std::int64_t blocks = piece.file->Blocks();
    const std::int64_t part_blocks =
        piece.kind == DvdFileKind::kTitle ? options.blocks_per_title_vob : blocks;
    for (std::int64_t part_start = 0; part_start < blocks; part_start += part_blocks) {
      const int part = static_cast<int>(part_start / part_blocks) + 1;
      written.push_back(video_ts / CopyName(piece.title_set, piece.kind, part));
      auto out = CreateOutputFile(written.back(), why);
      if (!out) return not_written(why);
      const std::int64_t part_end = std::min(blocks, part_start + part_blocks);
      for (std::int64_t first = part_start; first < part_end; first += kChunkBlocks) {
        const int count = static_cast<int>(std::min<std::int64_t>(kChunkBlocks, part_end - first));
        unreadable += ReadChunk(*piece.file, first, count, buffer.data());
        const std::size_t bytes = static_cast<std::size_t>(count) * kBlockBytes;
        if (!out->Write(buffer.data(), bytes, why)) return not_written(why);
        progress.Advance(static_cast<std::int64_t>(bytes), piece.title_set);
      }
      if (!out->Close(why)) return not_written(why);
    }
  }
  if (pieces.empty()) progress.Advance(0, 0);
  if (!SyncCopy(folder, written, why)) return not_written(why);
  say("Copied: " + std::to_string(total) + " bytes, " + std::to_string(unreadable) +
      " unreadable blocks skipped");
  return unreadable == 0 ? kCopiedWell : kCopiedDamaged;
}

}  // namespace ripwarden::helper
