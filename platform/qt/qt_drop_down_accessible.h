#pragma once

// Makes screen readers, and anything else that finds controls by name, call
// a drop-down list by the label beside it. On Linux Qt names a drop-down
// list after its current item, and so would have it called "MP4" rather
// than "File format:". Idempotent.
namespace ripwarden::qt_platform {

void NameDropDownListsAfterTheirLabels();

}  // namespace ripwarden::qt_platform
