#pragma once

#include <optional>
#include <string>

namespace ripwarden::linux_platform {

// The file to execute for a configured program, as a shell would find it: a
// name without "/" is looked up in the folders of path_variable (an empty
// entry meaning the current folder); a path with "/" is taken as it is.
// Relative results are completed with current_folder, so that they do not
// change meaning when the child starts in another working folder. Nothing
// when the name is empty or no folder holds an executable file of that name.
std::optional<std::string> FindProgram(const std::string& program, const char* path_variable,
                                       const std::string& current_folder);

// The current folder of this process; empty when it cannot be told.
std::string CurrentFolder();

}  // namespace ripwarden::linux_platform
