// The command line of vekhost: options, help texts and the dispatch to
// the subcommands.
#pragma once

namespace vekhost {

int Main(int argc, char** argv);

} // namespace vekhost
