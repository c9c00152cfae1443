#pragma once

#include <string>
#include <string_view>

namespace ripwarden {

// How this system writes paths, for the few places where the core reads or
// builds one itself: everything else hands paths through untouched.
class PathRules {
 public:
  virtual ~PathRules() = default;

  // True when a source names a disc image or a copied disc folder rather
  // than a drive by the name the system gives it.
  virtual bool IsPathSource(std::string_view source) const = 0;

  // The path of name inside folder. An empty folder leaves the name as it is.
  virtual std::string JoinPath(std::string_view folder, std::string_view name) const = 0;

  // A chosen folder as the settings keep it: ending in the separator.
  // The empty text stays empty.
  virtual std::string StoredFolder(std::string_view folder) const = 0;

  // A stored folder as the folder chooser takes it: without the final
  // separator, unless that would leave no folder at all.
  virtual std::string ChooserFolder(std::string_view folder) const = 0;
};

}  // namespace ripwarden
