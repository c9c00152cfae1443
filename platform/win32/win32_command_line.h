#pragma once

#include <string>
#include <vector>

namespace ripwarden::win32_platform {

// The command line that hands each argument to the child exactly as it
// stands: quoted where it holds a blank or a quote (or is empty), with
// backslashes doubled only before a quote, so that CommandLineToArgvW and the
// C runtime's own parsing give back the same bytes. The program path is
// always quoted; a path cannot hold a quote.
std::wstring BuildCommandLine(const std::wstring& program, const std::vector<std::wstring>& arguments);

// One argument in that form.
std::wstring QuoteArgument(const std::wstring& argument);

}  // namespace ripwarden::win32_platform
