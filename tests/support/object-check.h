// Checks of an installed run-time object, read with binutils.
#pragma once

#include <string>
#include <vector>

namespace support {

// Names every way the object falls short of what a run-time module must be:
// exactly the given global functions exported, each starting with endbr64,
// and the given internal ones global of hidden visibility (the other
// modules call them; a program does not see them); every function (the
// local ones too) typed, sized and with an unwind entry; only pc-relative
// relocations in its code, so it links into position-independent programs;
// the CET property note and a non-executable stack note. Empty when all
// holds.
std::string check_object(const std::string &path, const std::vector<std::string> &exported,
                         const std::vector<std::string> &internal, const std::vector<std::string> &local_functions);

}  // namespace support
