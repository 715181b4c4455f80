/* shim.exe's source of requests in host builds: from_shim_file itself, with
   the reset of what it keeps between the runs of one test process.  Its
   state is its own file's, so only a file that holds it can put it back. */
#include "builds/from_shim_file.cpp"
#include "tests/support/launcher_state.h"

void reset_shim_state()
{
    library_length = 0;
    search_path = 0;
    later_units = 0;
}
