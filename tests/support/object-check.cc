#include "object-check.h"

#include "process.h"

#include <set>
#include <sstream>

namespace support {

std::string check_object(const std::string &path, const std::vector<std::string> &exported,
                         const std::vector<std::string> &internal, const std::vector<std::string> &local_functions)
{
    std::ostringstream problems;

    // readelf -sW: Num: Value Size Type Bind Vis Ndx Name
    std::set<std::string> globals, hidden, functions;
    std::istringstream symbols(output_of({"readelf", "-sW", path}));
    for (std::string line; std::getline(symbols, line);) {
        std::istringstream fields(line);
        std::string num, value, size, type, bind, vis, ndx, name;
        if (!(fields >> num >> value >> size >> type >> bind >> vis >> ndx >> name) || ndx == "UND")
            continue;
        if (bind == "GLOBAL" || bind == "WEAK")
            (vis == "HIDDEN" ? hidden : globals).insert(name);
        if (type == "FUNC") {
            functions.insert(name);
            if (size == "0")
                problems << name << " has no size; ";
        }
    }
    const auto compare = [&](const char *what, const std::vector<std::string> &names, const std::set<std::string> &have) {
        if (have == std::set<std::string>(names.begin(), names.end()))
            return;
        problems << what << ':';
        for (const auto &name : have)
            problems << ' ' << name;
        problems << "; ";
    };
    compare("exports", exported, globals);
    compare("internal", internal, hidden);
    for (const auto &names : {exported, internal, local_functions})
        for (const auto &name : names)
            if (!functions.count(name))
                problems << name << " is not a typed function; ";

    const std::string frames = output_of({"readelf", "--debug-dump=frames", path});
    std::size_t fdes = 0;
    for (std::size_t at = 0; (at = frames.find(" FDE ", at)) != std::string::npos; ++at)
        ++fdes;
    if (fdes != functions.size())
        problems << fdes << " unwind entries for " << functions.size() << " functions; ";

    std::istringstream relocations(output_of({"readelf", "-rW", path}));
    bool in_text = false;
    for (std::string line; std::getline(relocations, line);) {
        if (line.rfind("Relocation section", 0) == 0)
            in_text = line.find("'.rela.text'") != std::string::npos;
        else if (in_text && line.find("R_X86_64_") != std::string::npos &&
                 line.find("R_X86_64_PC32") == std::string::npos && line.find("R_X86_64_PLT32") == std::string::npos)
            problems << "absolute relocation: " << line << "; ";
    }

    // CET: the property note, and an endbr64 first in every exported routine.
    if (output_of({"readelf", "-n", path}).find("x86 feature: IBT, SHSTK") == std::string::npos)
        problems << "no IBT and SHSTK property note; ";
    const std::string code = output_of({"objdump", "-d", "--no-show-raw-insn", path});
    for (const auto &name : exported) {
        const std::size_t label = code.find("<" + name + ">:\n");
        const std::size_t first = label == std::string::npos ? label : code.find('\n', label) + 1;
        if (first == std::string::npos || code.substr(first, code.find('\n', first) - first).find("endbr64") ==
                                              std::string::npos)
            problems << name << " does not start with endbr64; ";
    }

    const std::string sections = output_of({"readelf", "-SW", path});
    const auto note = sections.find(".note.GNU-stack");
    if (note == std::string::npos)
        problems << "no .note.GNU-stack; ";
    else if (sections.substr(note, sections.find('\n', note) - note).find('X') != std::string::npos)
        problems << "executable stack note; ";
    return problems.str();
}

}  // namespace support
