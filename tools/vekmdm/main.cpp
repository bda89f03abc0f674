// vekmdm: shows, creates and edits modem database files.
#include "Commands.h"

#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

using namespace vekmdm;

namespace {

constexpr const char* kVersion = "vekmdm " VEK_TOOLS_VERSION;

// The manual page is made from these sections ("Commands:", "Options:",
// "Exit codes:"): two spaces or more part a name from its meaning.
constexpr const char* kHelp =
    "vekmdm: shows, creates and edits modem database files (Trv3.mdm)\n"
    "Usage: vekmdm COMMAND [ARGUMENTS]\n"
    "\n"
    "Commands:\n"
    "  show FILE                          print every definition and the indices\n"
    "  new [--force] FILE                 write the built-in definition; a file that holds\n"
    "                                     anything is replaced only with --force\n"
    "  add FILE                           append a copy of the built-in definition\n"
    "  remove FILE INDEX                  remove definition INDEX; outgoing and incoming follow it\n"
    "  set FILE INDEX FIELD VALUE         change one field of definition INDEX\n"
    "  set FILE outgoing|incoming INDEX   the definition for placed or answered calls (-1: none)\n"
    "  fields                             list the field names that show prints and set takes\n"
    "\n"
    "Options:\n"
    "  -h, --help                         print this help\n"
    "  --version                          print the program's version\n"
    "\n"
    "Values the library cannot use are refused: ComPort 1 to 255, BaudRate and\n"
    "LineBaudRate a line speed the port takes, strings no longer than the field of\n"
    "the modem setup record, outgoing and incoming naming a definition (or -1).\n"
    "\n"
    "Exit codes:\n"
    "    0  done\n"
    "    1  the file could not be read or written\n"
    "    2  a usage mistake, or a value the library cannot use\n"
    "    3  an index that names no definition\n"
    "    4  new: the file holds something, and --force was not given\n";

int UsageMistake(const std::string& what)
{
    std::fprintf(stderr, "vekmdm: %s (vekmdm --help shows how)\n", what.c_str());
    return kUsage;
}

// A command given the wrong number of arguments: says what it takes.
int Takes(std::string_view command, const char* arguments)
{
    return UsageMistake(std::string(command) + " takes " + arguments);
}

int RunNew(std::vector<std::string_view> args)
{
    bool force = false;
    std::vector<std::string_view> files;
    for (const std::string_view arg : args) {
        if (arg == "--force")
            force = true;
        else if (arg.starts_with("-") && arg.size() > 1)
            return UsageMistake("new has no option " + std::string(arg));
        else
            files.push_back(arg);
    }
    if (files.size() != 1)
        return Takes("new", "[--force] FILE");
    return New(std::string(files[0]), force);
}

int RunSet(const std::vector<std::string_view>& args)
{
    const bool chooses = args.size() >= 2 && (args[1] == "outgoing" || args[1] == "incoming");
    if (chooses && args.size() == 3)
        return SetIndex(std::string(args[0]), args[1], args[2]);
    if (!chooses && args.size() == 4)
        return SetField(std::string(args[0]), args[1], args[2], args[3]);
    return Takes("set", "FILE INDEX FIELD VALUE, or FILE outgoing|incoming INDEX");
}

int Run(std::string_view command, const std::vector<std::string_view>& args)
{
    if (command == "show")
        return args.size() == 1 ? Show(std::string(args[0])) : Takes(command, "FILE");
    if (command == "new")
        return RunNew(args);
    if (command == "add")
        return args.size() == 1 ? Add(std::string(args[0])) : Takes(command, "FILE");
    if (command == "remove")
        return args.size() == 2 ? Remove(std::string(args[0]), args[1]) : Takes(command, "FILE INDEX");
    if (command == "set")
        return RunSet(args);
    if (command == "fields")
        return args.empty() ? Fields() : Takes(command, "no arguments");
    return UsageMistake("no command \"" + std::string(command) + "\"");
}

} // namespace

int main(int argc, char** argv)
{
    const std::vector<std::string_view> args(argv + 1, argv + argc);
    if (args.empty())
        return UsageMistake("no command given");
    if (args[0] == "--help" || args[0] == "-h") {
        std::fputs(kHelp, stdout);
        return kDone;
    }
    if (args[0] == "--version") {
        std::puts(kVersion);
        return kDone;
    }
    return Run(args[0], {args.begin() + 1, args.end()});
}
